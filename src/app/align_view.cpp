#include "app/align_view.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <new>

#include "app/named_widget.h"
#include "app/wording.h"
#include "common/error.h"
#include "preview/frames.h"
#include "series/source_image.h"

namespace plivora {

namespace {

// A flicker's half period.
constexpr int kFlickerMs = 400;
// Turns are kept to a millionth of a degree, so that steps of 0.05 add up
// to the decimal the job file shows.
constexpr Real kTurnGrain = 1000000;

QString Signed(Real value) { return (value < 0 ? QStringLiteral("-") : QStringLiteral("+")) + QString::number(double(std::abs(value)), 'f', 2); }

// The view at `path` reduced by `S` (ten-thousandths of a view pixel to a
// picture pixel) into an RGB picture of its own reduced size.
QImage ReducedPicture(const QString& path, bool negativeInput, int64_t S, uint32_t* width, uint32_t* height) {
  SourceImage header;
  ReadSourceHeader(path, header);
  *width = header.Width;
  *height = header.Height;
  FrameScale scale;
  scale.S = S;
  scale.frameSize = ReducedSize(header.Width, header.Height, S);
  return BuildFrame(path, negativeInput, scale);
}

}  // namespace

QString TransformText(const ViewTransform& t) {
  return QStringLiteral("%1, %2, %3\u00b0").arg(Signed(t.dx), Signed(t.dy), QString::number(double(t.turn), 'f', 2));
}

AlignView::AlignView(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("AlignView"));
  resize(760, 600);
  auto* grid = new QGridLayout(this);
  Canvas = Make<AlignCanvas>(this, "AlignCanvas");
  ViewsLabel = Make<QLabel>(this, "AlignViewsLabel");
  Views = Make<QComboBox>(this, "AlignViews");
  GhostLabel = Make<QLabel>(this, "AlignGhostLabel");
  Ghost = Make<QComboBox>(this, "AlignGhost");
  Ghost->addItems({QString(), QString(), QString()});
  Auto = Make<QPushButton>(this, "AlignAuto");
  Shift = Make<QLabel>(this, "AlignShift");
  Key = Make<QLabel>(this, "AlignKey");
  Hint = Make<QLabel>(this, "AlignHint");
  Hint->setWordWrap(true);
  Status = Make<QLabel>(this, "AlignStatus");
  Status->setWordWrap(true);
  grid->addWidget(Canvas, 0, 0, 1, 5);
  grid->setRowStretch(0, 1);
  grid->addWidget(ViewsLabel, 1, 0);
  grid->addWidget(Views, 1, 1);
  grid->addWidget(GhostLabel, 1, 2);
  grid->addWidget(Ghost, 1, 3);
  grid->addWidget(Auto, 1, 4);
  grid->addWidget(Shift, 2, 0, 1, 2);
  grid->addWidget(Key, 2, 2, 1, 3);
  grid->addWidget(Hint, 3, 0, 1, 5);
  grid->addWidget(Status, 4, 0, 1, 5);
  grid->setColumnStretch(1, 1);
  ViewsLabel->setBuddy(Views);
  GhostLabel->setBuddy(Ghost);
  // The arrows and brackets belong to the picture: a box that took the
  // focus by a click hands it back once chosen.
  for (QWidget* w : {static_cast<QWidget*>(Views), static_cast<QWidget*>(Ghost), static_cast<QWidget*>(Auto)})
    w->setFocusPolicy(Qt::ClickFocus);
  setFocusProxy(Canvas);
  Flicker = new QTimer(this);
  Flicker->setInterval(kFlickerMs);
  connect(Flicker, &QTimer::timeout, this, [this, shown = false]() mutable {
    shown = !shown;
    Canvas->SetFlickerPhase(shown);
  });
  connect(Views, &QComboBox::currentIndexChanged, this, [this](int i) {
    SetCurrent(i);
    Canvas->setFocus();
  });
  connect(Ghost, &QComboBox::currentIndexChanged, this, [this](int i) {
    const GhostMode mode = i == 1 ? GhostMode::kFlicker : i == 2 ? GhostMode::kDifference : GhostMode::kHalf;
    Canvas->SetMode(mode);
    if (mode == GhostMode::kFlicker)
      Flicker->start();
    else
      Flicker->stop();
    Canvas->setFocus();
  });
  connect(Auto, &QPushButton::clicked, this, [this] {
    if (onAutoAlign) onAutoAlign();
  });
  Canvas->onKeyChosen = [this] {
    ShowKey();
    if (onKeyChanged) onKeyChanged();
  };
  Retitle();
}

AlignView::~AlignView() = default;

const KeyRect& AlignView::key() const { return Canvas->key(); }

void AlignView::SetSeries(const QStringList& views, const std::vector<ViewTransform>& transforms, const KeyRect& key,
                          bool negativeInput) {
  SourceImage header;
  ReadSourceHeader(views.value(0), header);
  const int64_t S = std::max<int64_t>(10000, Round(Real(header.Width) * 10000 / Real(kPictureWidth)));
  uint32_t width = 0, height = 0;
  const QImage reference = ReducedPicture(views.value(0), negativeInput, S, &width, &height);
  const bool sameSeries = views == views_;
  views_ = views;
  transforms_ = transforms;
  transforms_.resize(size_t(views.size()));
  negative_ = negativeInput;
  scale_ = Real(S) / 10000;
  Canvas->SetReference(reference, width, height);
  Canvas->SetKey(key);
  ShowKey();
  {
    const QSignalBlocker quiet(Views);
    Views->clear();
    for (int i = 0; i < views.size(); ++i) Views->addItem(ViewItem(i));
  }
  const int keep = sameSeries && current_ >= 0 && current_ < views.size() ? current_ : std::min<int>(1, int(views.size()) - 1);
  current_ = -1;
  SetCurrent(keep);
}

void AlignView::SetTransforms(const std::vector<ViewTransform>& transforms) {
  transforms_ = transforms;
  transforms_.resize(size_t(views_.size()));
  for (int i = 0; i < views_.size(); ++i) Views->setItemText(i, ViewItem(i));
  ShowPlacement();
}

void AlignView::SetCurrent(int view) {
  if (view < 0 || view >= views_.size()) return;
  {
    const QSignalBlocker quiet(Views);
    Views->setCurrentIndex(view);
  }
  if (view == current_) return;
  current_ = view;
  currentPicture_ = QImage();
  try {
    currentPicture_ = ReducedPicture(views_[view], negative_, Round(scale_ * 10000), &currentWidth_, &currentHeight_);
    ShowStatus(QString(), false);
  } catch (const Error& e) {
    ShowStatus(e.message(), true);
  } catch (const std::bad_alloc&) {
    ShowStatus(Words(QStringLiteral("Not enough memory to show the view"), QStringLiteral("内存不足，无法显示该视图")), true);
  }
  ShowPlacement();
}

void AlignView::Nudge(Real dx, Real dy, Real turn) {
  if (current_ < 0) return;
  ViewTransform& t = transforms_[size_t(current_)];
  t.dx += dx;
  t.dy += dy;
  const Real turned = std::clamp(t.turn + turn, -kMaxTurnDegrees, kMaxTurnDegrees);
  t.turn = Real(Round(turned * kTurnGrain)) / kTurnGrain;
  Views->setItemText(current_, ViewItem(current_));
  ShowPlacement();
  if (onTransformsChanged) onTransformsChanged();
}

void AlignView::keyPressEvent(QKeyEvent* event) {
  const Real step = event->modifiers().testFlag(Qt::ShiftModifier) ? kFineStep : kPixelStep;
  switch (event->key()) {
    case Qt::Key_Left: return Nudge(-step, 0, 0);
    case Qt::Key_Right: return Nudge(step, 0, 0);
    case Qt::Key_Up: return Nudge(0, -step, 0);
    case Qt::Key_Down: return Nudge(0, step, 0);
    case Qt::Key_BracketLeft: return Nudge(0, 0, -kTurnStep);
    case Qt::Key_BracketRight: return Nudge(0, 0, kTurnStep);
    default: QWidget::keyPressEvent(event);
  }
}

void AlignView::showEvent(QShowEvent* event) {
  if (Ghost->currentIndex() == 1) Flicker->start();
  QWidget::showEvent(event);
}

void AlignView::hideEvent(QHideEvent* event) {
  Flicker->stop();
  QWidget::hideEvent(event);
}

void AlignView::ShowPlacement() {
  if (current_ < 0) return;
  const ViewTransform& t = transforms_[size_t(current_)];
  Shift->setText(Words(QStringLiteral("View %1: shift %2, %3 px, turn %4\u00b0"), QStringLiteral("视图 %1：位移 %2, %3 像素，旋转 %4\u00b0"))
                     .arg(current_ + 1)
                     .arg(Signed(t.dx), Signed(t.dy), QString::number(double(t.turn), 'f', 2)));
  if (currentPicture_.isNull()) return Canvas->ClearCurrent();
  Canvas->SetCurrent(currentPicture_, GhostPlacement{scale_, currentWidth_, currentHeight_, t});
}

void AlignView::ShowKey() {
  Key->setText(Words(QStringLiteral("Key rectangle: %1"), QStringLiteral("关键矩形：%1")).arg(KeyRectText(Canvas->key())));
}

QString AlignView::ViewItem(int view) const {
  return QStringLiteral("%1  %2  %3").arg(view + 1).arg(QFileInfo(views_[view]).fileName(), TransformText(transforms_[size_t(view)]));
}

void AlignView::ShowStatus(const QString& text, bool problem) {
  Status->setText(text);
  Status->setStyleSheet(problem ? QStringLiteral("color: red") : QString());
}

void AlignView::Retitle() {
  setWindowTitle(Words(QStringLiteral("Alignment view"), QStringLiteral("视图对齐")));
  ViewsLabel->setText(Words(QStringLiteral("&View:"), QStringLiteral("视图(&V):")));
  GhostLabel->setText(Words(QStringLiteral("&Ghost:"), QStringLiteral("叠影(&G):")));
  const QString ghosts[] = {Words(QStringLiteral("50 %"), QStringLiteral("半透明 50 %")), Words(QStringLiteral("Flicker"), QStringLiteral("闪烁")),
                            Words(QStringLiteral("Difference"), QStringLiteral("差值"))};
  for (int i = 0; i < 3; ++i) Ghost->setItemText(i, ghosts[i]);
  Auto->setText(Words(QStringLiteral("&Auto align"), QStringLiteral("自动对齐(&A)")));
  Hint->setText(Words(QStringLiteral("The view over the first one. Arrow keys move it by a pixel (with Shift a quarter pixel); "
                                     "[ and ] turn it by 0.05\u00b0. Click or drag on the picture to set the key rectangle."),
                      QStringLiteral("当前视图叠在第一张上。方向键移动一个像素（按住 Shift 为四分之一像素）；"
                                     "[ 和 ] 旋转 0.05\u00b0。在图上单击或拖动以设定关键矩形。")));
  if (!views_.isEmpty()) {
    ShowKey();
    ShowPlacement();
  }
}

}  // namespace plivora
