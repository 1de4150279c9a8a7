#include "app/layers_view.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "app/named_widget.h"
#include "app/wording.h"
#include "common/error.h"
#include "common/numbers.h"
#include "options/option_table.h"

namespace plivora {

namespace {

// A whole number of pixels for a corner; none for another text.
std::optional<int64_t> Whole(const QString& text) {
  bool ok = false;
  const qlonglong value = text.trimmed().isEmpty() ? 0 : text.trimmed().toLongLong(&ok);
  if (!text.trimmed().isEmpty() && (!ok || std::llabs(value) > INT32_MAX)) return std::nullopt;
  return value;
}

QString DepthText(Real depth) { return QString::number(double(depth), 'g', 15); }

}  // namespace

QString LayerText(const Layer& layer) {
  const QString sign = layer.depth > 0 ? QStringLiteral("+") : QString();
  QString text = QFileInfo(layer.path).fileName() + QStringLiteral("  ") + sign + DepthText(layer.depth);
  if (layer.x != 0 || layer.y != 0) text += QStringLiteral("  (%1, %2)").arg(layer.x).arg(layer.y);
  return text;
}

LayersView::LayersView(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("LayersView"));
  resize(560, 440);
  auto* grid = new QGridLayout(this);
  List = Make<QListWidget>(this, "LayersList");
  Add = Make<QPushButton>(this, "LayersAdd");
  Remove = Make<QPushButton>(this, "LayersRemove");
  Up = Make<QPushButton>(this, "LayersUp");
  Down = Make<QPushButton>(this, "LayersDown");
  DepthLabel = Make<QLabel>(this, "LayersDepthLabel");
  Depth = Make<QLineEdit>(this, "LayersDepth");
  CornerLabel = Make<QLabel>(this, "LayersCornerLabel");
  X = Make<QLineEdit>(this, "LayersX");
  Y = Make<QLineEdit>(this, "LayersY");
  DepthMap = Make<QCheckBox>(this, "LayersDepthMap");
  PictureLabel = Make<QLabel>(this, "LayersPictureLabel");
  Picture = Make<QLineEdit>(this, "LayersPicture");
  MapLabel = Make<QLabel>(this, "LayersMapLabel");
  Map = Make<QLineEdit>(this, "LayersMap");
  MapDepthLabel = Make<QLabel>(this, "LayersMapDepthLabel");
  MapDepth = Make<QLineEdit>(this, "LayersMapDepth");
  KeyDepthLabel = Make<QLabel>(this, "LayersKeyDepthLabel");
  KeyDepth = Make<QLineEdit>(this, "LayersKeyDepth");
  FramesLabel = Make<QLabel>(this, "LayersFramesLabel");
  Frames = Make<QLineEdit>(this, "LayersFrames");
  Status = Make<QLabel>(this, "LayersStatus");
  Status->setWordWrap(true);
  grid->addWidget(List, 0, 0, 4, 4);
  grid->setRowStretch(3, 1);
  grid->addWidget(Add, 0, 4);
  grid->addWidget(Remove, 1, 4);
  grid->addWidget(Up, 2, 4);
  grid->addWidget(Down, 3, 4, Qt::AlignTop);
  grid->addWidget(DepthLabel, 4, 0);
  grid->addWidget(Depth, 4, 1);
  grid->addWidget(CornerLabel, 4, 2);
  grid->addWidget(X, 4, 3);
  grid->addWidget(Y, 4, 4);
  grid->addWidget(DepthMap, 5, 0, 1, 5);
  grid->addWidget(PictureLabel, 6, 0);
  grid->addWidget(Picture, 6, 1, 1, 4);
  grid->addWidget(MapLabel, 7, 0);
  grid->addWidget(Map, 7, 1, 1, 4);
  grid->addWidget(MapDepthLabel, 8, 0);
  grid->addWidget(MapDepth, 8, 1);
  grid->addWidget(KeyDepthLabel, 8, 2);
  grid->addWidget(KeyDepth, 8, 3);
  grid->addWidget(FramesLabel, 9, 0);
  grid->addWidget(Frames, 9, 1);
  grid->addWidget(Status, 10, 0, 1, 5);
  connect(Add, &QPushButton::clicked, this, [this] { if (onAdd) onAdd(); });
  connect(Remove, &QPushButton::clicked, this, [this] { RemoveCurrent(); });
  connect(Up, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
  connect(Down, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
  connect(List, &QListWidget::currentRowChanged, this, [this] { ShowLayerFields(); });
  for (QLineEdit* edit : {Depth, X, Y}) connect(edit, &QLineEdit::editingFinished, this, [this] { TakeLayerFields(); });
  for (QLineEdit* edit : {Picture, Map, MapDepth, KeyDepth, Frames})
    connect(edit, &QLineEdit::editingFinished, this, [this] { TakeMadeFields(); });
  connect(DepthMap, &QCheckBox::toggled, this, [this] { TakeMadeFields(); });
  Retitle();
}

LayersView::~LayersView() = default;

void LayersView::SetSource(const MadeSource& source) {
  source_ = source;
  ShowSource();
  SetCurrent(source_.layers.empty() ? -1 : 0);
}

int LayersView::current() const { return List->currentRow(); }

void LayersView::SetCurrent(int layer) {
  List->setCurrentRow(layer);
  ShowLayerFields();
}

void LayersView::AddLayers(const QStringList& paths) {
  if (paths.isEmpty()) return;
  const int at = current() < 0 ? int(source_.layers.size()) : current() + 1;
  for (qsizetype i = 0; i < paths.size(); ++i) source_.layers.insert(source_.layers.begin() + at + i, Layer{paths[i], 0, 0, 0});
  ShowSource();
  SetCurrent(at);
  Changed();
}

void LayersView::RemoveCurrent() {
  const int at = current();
  if (at < 0) return;
  source_.layers.erase(source_.layers.begin() + at);
  ShowSource();
  SetCurrent(std::min(at, int(source_.layers.size()) - 1));
  Changed();
}

void LayersView::MoveCurrent(int step) {
  const int at = current(), to = at + step;
  if (at < 0 || to < 0 || to >= int(source_.layers.size())) return;
  std::swap(source_.layers[size_t(at)], source_.layers[size_t(to)]);
  ShowSource();
  SetCurrent(to);
  Changed();
}

void LayersView::TakeLayerFields() {
  const int at = current();
  if (at < 0) return;
  Real depth = 0;
  try {
    depth = Depth->text().trimmed().isEmpty() ? 0 : ParseFloat(Depth->text().trimmed());
  } catch (const Error&) {
    return ShowStatus(Words(QStringLiteral("The depth \"%1\" is not a number of lens widths"), QStringLiteral("深度“%1”不是光栅宽度数"))
                          .arg(Depth->text()), true);
  }
  if (!(std::abs(depth) <= kMaxMadeDepth))
    return ShowStatus(Words(QStringLiteral("The depth must be from -%1 to %1 lens widths"), QStringLiteral("深度必须在 -%1 到 %1 个光栅宽度之间"))
                          .arg(int(kMaxMadeDepth)), true);
  const std::optional<int64_t> x = Whole(X->text()), y = Whole(Y->text());
  if (!x || !y)
    return ShowStatus(Words(QStringLiteral("The corner is two whole numbers of pixels"), QStringLiteral("位置须为两个整数像素")), true);
  Layer layer = source_.layers[size_t(at)];
  // Held as a job holds it, so that the saved job makes the same views.
  layer.depth = Real(double(depth));
  layer.x = *x;
  layer.y = *y;
  ShowStatus(QString(), false);
  if (layer == source_.layers[size_t(at)]) return;
  source_.layers[size_t(at)] = layer;
  List->item(at)->setText(LayerText(layer));
  Changed();
}

void LayersView::TakeMadeFields() {
  MadeSource next = source_;
  next.depthMapChosen = DepthMap->isChecked();
  next.picture = Picture->text().trimmed();
  next.depthMap = Map->text().trimmed();
  next.depth = MapDepth->text().trimmed();
  next.keyDepth = KeyDepth->text().trimmed();
  next.frames = Frames->text().trimmed();
  for (QWidget* w : std::initializer_list<QWidget*>{Picture, Map, MapDepth, KeyDepth}) w->setEnabled(next.depthMapChosen);
  if (next == source_) return;
  source_ = next;
  Changed();
}

void LayersView::ShowStatus(const QString& text, bool problem) {
  Status->setText(text);
  Status->setStyleSheet(problem ? QStringLiteral("color: red") : QString());
}

void LayersView::ShowSource() {
  const QSignalBlocker block(List);
  List->clear();
  for (const Layer& layer : source_.layers) {
    List->addItem(LayerText(layer));
    List->item(List->count() - 1)->setToolTip(layer.path);
  }
  const QSignalBlocker blockMap(DepthMap);
  DepthMap->setChecked(source_.depthMapChosen);
  Picture->setText(source_.picture);
  Map->setText(source_.depthMap);
  MapDepth->setText(source_.depth);
  KeyDepth->setText(source_.keyDepth);
  Frames->setText(source_.frames);
  for (QWidget* w : std::initializer_list<QWidget*>{Picture, Map, MapDepth, KeyDepth}) w->setEnabled(source_.depthMapChosen);
}

void LayersView::ShowLayerFields() {
  const int at = current();
  const bool any = at >= 0 && at < int(source_.layers.size());
  for (QWidget* w : std::initializer_list<QWidget*>{Depth, X, Y, Remove, Up, Down}) w->setEnabled(any);
  const Layer layer = any ? source_.layers[size_t(at)] : Layer{};
  Depth->setText(any ? DepthText(layer.depth) : QString());
  X->setText(any ? QString::number(layer.x) : QString());
  Y->setText(any ? QString::number(layer.y) : QString());
}

void LayersView::Changed() {
  if (onChanged) onChanged();
}

void LayersView::Retitle() {
  setWindowTitle(Words(QStringLiteral("Layers"), QStringLiteral("图层")));
  Add->setText(Words(QStringLiteral("Add…"), QStringLiteral("添加…")));
  Remove->setText(Words(QStringLiteral("Remove"), QStringLiteral("移除")));
  Up->setText(Words(QStringLiteral("Forward"), QStringLiteral("上移")));
  Down->setText(Words(QStringLiteral("Backward"), QStringLiteral("下移")));
  List->setToolTip(Words(QStringLiteral("Layers back to front: the first is the bottom one"), QStringLiteral("图层由后到前：第一个在最底层")));
  DepthLabel->setText(Words(QStringLiteral("Depth (lens widths):"), QStringLiteral("深度（光栅宽度）：")));
  Depth->setToolTip(Words(QStringLiteral("0 on the print's plane, positive in front of it, negative behind"),
                          QStringLiteral("0 在印刷面上，正数在前，负数在后")));
  CornerLabel->setText(Words(QStringLiteral("Corner X, Y (px):"), QStringLiteral("位置 X, Y（像素）：")));
  DepthMap->setText(Words(QStringLiteral("Depth map instead (one picture and its grey map, white near)"),
                          QStringLiteral("改用深度图（一张图及其灰度深度图，白色为近）")));
  PictureLabel->setText(Words(QStringLiteral("Picture:"), QStringLiteral("图片：")));
  MapLabel->setText(Words(QStringLiteral("Depth map:"), QStringLiteral("深度图：")));
  MapDepthLabel->setText(Words(QStringLiteral("Depth (lens widths):"), QStringLiteral("深度（光栅宽度）：")));
  KeyDepthLabel->setText(Words(QStringLiteral("Key grey:"), QStringLiteral("基准灰度：")));
  KeyDepth->setPlaceholderText(QStringLiteral("128"));
  FramesLabel->setText(Words(QStringLiteral("Views made:"), QStringLiteral("生成视图数：")));
  Frames->setPlaceholderText(Words(QStringLiteral("DPI / LPI"), QStringLiteral("精度 / 线数")));
}

}  // namespace plivora
