// The alignment view: one view of the series laid over the reference (the
// list's first view) as a ghost, to check and correct its shift and turn
// by eye, and the key rectangle chosen on the reference with the mouse.
//
// Keys: the arrows move the current view's content by a view pixel (with
// Shift a quarter pixel), right and down as the shift counts; "]" turns it
// 0.05 degrees anticlockwise as seen, "[" as far clockwise. The ghost is
// 50 %, a flicker between the two views, or their difference.
//
// A window of its own that the main window owns and fills anew at each
// press of its button; the main window keeps the transforms and the key
// (it hears of each change through the callbacks) and runs Auto align.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/align_canvas.h"
#include "series/view_transform.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace plivora {

class AlignView : public QWidget {
 public:
  // A nudge's steps: view pixels, and degrees.
  static constexpr Real kPixelStep = 1, kFineStep = 0.25L, kTurnStep = 0.05L;
  // The pictures are reduced to about this many pixels across (never
  // enlarged).
  static constexpr int64_t kPictureWidth = 1200;

  explicit AlignView(QWidget* owner);
  ~AlignView() override;

  // The series in list order, each view's transform (one a view) and the
  // key rectangle in the first view's pixels. Reads the reference view and
  // the current one (the second, or the one shown before while the series
  // is as long); raises the readers' errors for the reference.
  void SetSeries(const QStringList& views, const std::vector<ViewTransform>& transforms, const KeyRect& key,
                 bool negativeInput);
  // New transforms for the same series (Auto align's).
  void SetTransforms(const std::vector<ViewTransform>& transforms);
  const std::vector<ViewTransform>& transforms() const { return transforms_; }
  const QStringList& views() const { return views_; }
  const KeyRect& key() const;
  // The view laid over the reference, from 0. A view that can't be read is
  // named in the status line, and the reference is shown alone.
  void SetCurrent(int view);
  int current() const { return current_; }
  // Moves the current view's content by (dx, dy) view pixels and turns it
  // by `turn` degrees, within the turn's limit either way.
  void Nudge(Real dx, Real dy, Real turn);
  void ShowStatus(const QString& text, bool problem);
  // The texts in the window's caption language.
  void Retitle();

  // The owner hears of each change the operator makes here, and of a press
  // on Auto align.
  std::function<void()> onTransformsChanged, onKeyChanged, onAutoAlign;

  QComboBox *Views = nullptr, *Ghost = nullptr;
  QLabel *ViewsLabel = nullptr, *GhostLabel = nullptr, *Shift = nullptr, *Key = nullptr, *Hint = nullptr, *Status = nullptr;
  QPushButton* Auto = nullptr;
  AlignCanvas* Canvas = nullptr;
  QTimer* Flicker = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The flicker runs only while the window is shown.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ShowPlacement();
  void ShowKey();
  QString ViewItem(int view) const;

  QStringList views_;
  std::vector<ViewTransform> transforms_;
  bool negative_ = false;
  Real scale_ = 1;  // view pixels to a picture pixel
  int current_ = -1;
  QImage currentPicture_;
  uint32_t currentWidth_ = 0, currentHeight_ = 0;
};

// "+2.25, -1.00, 0.10°": a view's shift across and down (view pixels) and
// its turn (degrees), as the alignment view lists it.
QString TransformText(const ViewTransform& t);

}  // namespace plivora
