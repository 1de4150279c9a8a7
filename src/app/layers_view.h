// The layers window: the views made from layered artwork (a list of
// layers back to front, each with its depth in lens widths at the plate and
// an optional whole-pixel corner) or from one picture and its depth map,
// and how many views are made.
//
// A window of its own that the main window owns and fills anew at each
// press of its button; the main window keeps what it holds (in the job it
// saves and exports) and hears of every change through onChanged. Adding
// layers asks the main window for the files (onAdd), which answers with
// AddLayers.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "series/layered_views.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace plivora {

// What the layers window edits. Texts are as a job keeps its options
// ("1.5", with "."); an empty one takes the option's default.
struct MadeSource {
  std::vector<Layer> layers;  // back to front; used while no depth map is chosen
  bool depthMapChosen = false;
  QString picture, depthMap, depth, keyDepth;  // the depth map's picture, map and option texts
  QString frames;                               // views to make
  // True when the export makes its views from this.
  bool Active() const { return depthMapChosen ? !depthMap.isEmpty() || !picture.isEmpty() : !layers.empty(); }
  bool operator==(const MadeSource&) const = default;
};

class LayersView : public QWidget {
 public:
  explicit LayersView(QWidget* owner);
  ~LayersView() override;

  void SetSource(const MadeSource& source);
  const MadeSource& source() const { return source_; }
  // Appends layers at depth 0 after the selected one (at the end when none
  // is selected), the first of them selected.
  void AddLayers(const QStringList& paths);
  // The selected layer, from 0 (-1: none).
  int current() const;
  void SetCurrent(int layer);
  void RemoveCurrent();
  // Moves the selected layer one place towards the front (+1) or back (-1).
  void MoveCurrent(int step);
  // The depth and corner fields' texts into the selected layer; a text that
  // is no depth or corner is named in the status line, and nothing changes.
  void TakeLayerFields();
  // The depth map's and the frames' fields into the source.
  void TakeMadeFields();
  void ShowStatus(const QString& text, bool problem);
  // The texts in the window's caption language.
  void Retitle();

  std::function<void()> onChanged, onAdd;

  QListWidget* List = nullptr;
  QPushButton *Add = nullptr, *Remove = nullptr, *Up = nullptr, *Down = nullptr;
  QLabel *DepthLabel = nullptr, *CornerLabel = nullptr, *FramesLabel = nullptr, *Status = nullptr;
  QLineEdit *Depth = nullptr, *X = nullptr, *Y = nullptr, *Frames = nullptr;
  QCheckBox* DepthMap = nullptr;
  QLabel *PictureLabel = nullptr, *MapLabel = nullptr, *MapDepthLabel = nullptr, *KeyDepthLabel = nullptr;
  QLineEdit *Picture = nullptr, *Map = nullptr, *MapDepth = nullptr, *KeyDepth = nullptr;

 private:
  void ShowSource();
  void ShowLayerFields();
  void Changed();

  MadeSource source_;
};

// "art/logo.png  +0.75  (120, 40)": a layer as the list shows it.
QString LayerText(const Layer& layer);

}  // namespace plivora
