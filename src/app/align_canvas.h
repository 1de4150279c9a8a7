// The alignment view's picture: the current view laid over the reference
// view as a ghost, moved by its shift and turn, with the key rectangle drawn
// on it; a click or a drag on it chooses the key rectangle.
//
// Both pictures are reduced copies of their views at one scale: `scale`
// view pixels to a picture pixel. The ghost is drawn on the reference's
// picture, which is scaled to fit the widget with its proportions kept and
// centred.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QWidget>
#include <functional>
#include <optional>

#include "common/numbers.h"
#include "series/view_transform.h"

namespace plivora {

enum class GhostMode {
  kHalf,        // the current view at 50 % over the reference
  kFlicker,     // the two in turn
  kDifference,  // |reference - current|, black where they agree
};

// Where the current view lies on the reference picture.
struct GhostPlacement {
  Real scale = 1;             // view pixels to a picture pixel, > 0
  uint32_t width = 0, height = 0;  // the current view's own size, view pixels
  ViewTransform transform;    // the current view's
};

// The reference picture with the current one laid over it as `mode` shows
// them; `currentShown` picks the current view's half of a flicker. The
// result is RGB, of the reference picture's size.
QImage GhostPicture(const QImage& reference, const QImage& current, const GhostPlacement& placement, GhostMode mode,
                    bool currentShown);

class AlignCanvas : public QWidget {
 public:
  explicit AlignCanvas(QWidget* parent);

  // The reference picture and its view's size (view pixels), which the
  // mouse's points are measured in.
  void SetReference(const QImage& picture, uint32_t width, uint32_t height);
  void SetCurrent(const QImage& picture, const GhostPlacement& placement);
  void ClearCurrent();
  void SetMode(GhostMode mode);
  void SetFlickerPhase(bool currentShown);
  void SetKey(const KeyRect& key);
  const KeyRect& key() const { return key_; }

  // Called when a click or drag chose a new key rectangle.
  std::function<void()> onKeyChosen;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Where the reference picture is drawn in the widget.
  QRectF Fit() const;
  // The reference view's pixel under widget point `p`, kept inside the view.
  QPoint ViewPixel(QPointF p) const;

  QImage reference_, current_, shown_;
  GhostPlacement placement_;
  uint32_t width_ = 0, height_ = 0;
  GhostMode mode_ = GhostMode::kHalf;
  bool currentShown_ = true;
  KeyRect key_;
  std::optional<QPointF> pressed_;
};

// A key rectangle from a click or a drag between view pixels `a` and `b` of
// a view of width x height: a drag spans both pixels; a click (a == b)
// centres a rectangle of `size`'s width and height on the pixel, moved to
// lie inside the view.
KeyRect KeyRectFromPoints(QPoint a, QPoint b, bool click, const KeyRect& size, uint32_t width, uint32_t height);

}  // namespace plivora
