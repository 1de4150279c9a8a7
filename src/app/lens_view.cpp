#include "app/lens_view.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <new>

#include "app/named_widget.h"
#include "app/picture_box.h"
#include "app/wording.h"
#include "common/error.h"
#include "proof/screen_colours.h"

namespace plivora {

namespace {

// Steps of Play's sweep from one end of the lobe to the other, one a tick.
constexpr int kSweepSteps = 40;
constexpr int kTickMs = 100;

QString LensWords(const LensModel& lens) {
  const QString direction = lens.direction == LensDirection::kVertical ? Words(QStringLiteral("vertical lenses"), QStringLiteral("竖向光栅"))
                                                                        : Words(QStringLiteral("horizontal lenses"), QStringLiteral("横向光栅"));
  return Words(QStringLiteral("%1 LPI, %2, %3 mm thick, index %4"), QStringLiteral("%1 线，%2，厚 %3 mm，折射率 %4"))
      .arg(FormatGeneral15(lens.lpi), direction, QString::number(double(lens.thickness * 25.4L), 'g', 4), FormatGeneral15(lens.index));
}

}  // namespace

LensView::LensView(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("LensView"));
  resize(640, 520);
  auto* grid = new QGridLayout(this);
  Picture = Make<PictureBox>(this, "LensPicture");
  AngleLabel = Make<QLabel>(this, "LensAngleLabel");
  Angle = Make<QSlider>(this, "LensAngle");
  Angle->setOrientation(Qt::Horizontal);
  AngleText = Make<QLabel>(this, "LensAngleText");
  AngleText->setMinimumWidth(48);
  DistanceLabel = Make<QLabel>(this, "LensDistanceLabel");
  Distance = Make<QLineEdit>(this, "LensDistance");
  Distance->setMaximumWidth(100);
  Play = Make<QPushButton>(this, "LensPlay");
  Status = Make<QLabel>(this, "LensStatus");
  grid->addWidget(Picture, 0, 0, 1, 6);
  grid->setRowStretch(0, 1);
  grid->addWidget(AngleLabel, 1, 0);
  grid->addWidget(Angle, 1, 1);
  grid->addWidget(AngleText, 1, 2);
  grid->addWidget(DistanceLabel, 1, 3);
  grid->addWidget(Distance, 1, 4);
  grid->addWidget(Play, 1, 5);
  grid->addWidget(Status, 2, 0, 1, 6);
  grid->setColumnStretch(1, 1);
  AngleLabel->setBuddy(Angle);
  DistanceLabel->setBuddy(Distance);
  Timer = new QTimer(this);
  Timer->setInterval(kTickMs);
  connect(Timer, &QTimer::timeout, this, [this] { Step(); });
  connect(Angle, &QSlider::valueChanged, this, [this] { Redraw(); });
  connect(Distance, &QLineEdit::editingFinished, this, [this] { Redraw(); });
  connect(Play, &QPushButton::clicked, this, [this] { PlayClick(); });
  Retitle();
}

LensView::~LensView() = default;

void LensView::SetPlate(std::unique_ptr<SampledPlate> plate, const LensModel& lens, LengthUnit bare, QChar separator) {
  auto colours = std::make_unique<ScreenColours>(plate->frame(), QStringLiteral("(the lens view's plate)"));
  plate_ = std::move(plate);
  colours_ = std::move(colours);
  lens_ = lens;
  bare_ = bare;
  separator_ = separator;
  // The slider spans the lens's lobe, where every view comes round once.
  const int lobe = int(std::min<int64_t>(Trunc(LobeAngle(lens) * kTenths), 89 * kTenths));
  const QSignalBlocker quiet(Angle);
  Angle->setRange(-lobe, lobe);
  Angle->setSingleStep(1);
  Angle->setPageStep(kTenths);
  Redraw();
}

void LensView::Retitle() {
  setWindowTitle(Words(QStringLiteral("Lens view"), QStringLiteral("光栅透视")));
  AngleLabel->setText(Words(QStringLiteral("&Angle:"), QStringLiteral("角度(&A):")));
  DistanceLabel->setText(Words(QStringLiteral("&Distance:"), QStringLiteral("观看距离(&D):")));
  Distance->setPlaceholderText(Words(QStringLiteral("far away"), QStringLiteral("远处")));
  Distance->setToolTip(Words(QStringLiteral("The eye's distance from the print's centre: 600mm, 24in; empty for far away"),
                             QStringLiteral("眼睛到印品中心的距离：600mm、24in；留空为远处")));
  Play->setText(Playing() ? Words(QStringLiteral("Stop"), QStringLiteral("停止")) : Words(QStringLiteral("Play"), QStringLiteral("播放")));
  if (plate_) Redraw();
}

bool LensView::Playing() const { return Timer->isActive(); }

void LensView::PlayClick() {
  if (Playing())
    Timer->stop();
  else if (plate_)
    Timer->start();
  Retitle();
}

void LensView::Step() {
  // The sweep stops at each end of the lobe, then turns back.
  const int step = std::max(1, (Angle->maximum() - Angle->minimum()) / kSweepSteps);
  int next = Angle->value() + way_ * step;
  if (next >= Angle->maximum()) {
    next = Angle->maximum();
    way_ = -1;
  } else if (next <= Angle->minimum()) {
    next = Angle->minimum();
    way_ = 1;
  }
  Angle->setValue(next);
}

void LensView::ShowStatus(const QString& text, bool problem) {
  Status->setText(text);
  Status->setStyleSheet(problem ? QStringLiteral("color: red") : QString());
}

// The proof at the slider's angle and the field's distance. What can't be
// shown is said in the status line, never in a dialog: this runs on every
// move of the slider.
void LensView::Redraw() {
  const Real angle = Real(Angle->value()) / kTenths;
  AngleText->setText(QStringLiteral("%1\u00b0").arg(QString::number(double(angle), 'f', 1)));
  if (!plate_) return;
  Viewpoint eye;
  eye.angle = angle;
  const QString distance = Distance->text().trimmed();
  if (!distance.isEmpty()) {
    Real inches = 0;
    try {
      inches = ParseLengthInches(distance, bare_, separator_);
    } catch (const Error&) {
    }
    if (!(inches > 0))
      return ShowStatus(Words(QStringLiteral("The distance \"%1\" is not a length above 0, such as 600mm"),
                              QStringLiteral("观看距离“%1”须为大于 0 的长度，如 600mm"))
                            .arg(distance),
                        true);
    eye.distance = inches;
  }
  try {
    Picture->SetPicture(colours_->ToScreen(plate_->Proof(lens_, eye)));
  } catch (const Error& e) {
    return ShowStatus(e.message(), true);
  } catch (const std::bad_alloc&) {
    return ShowStatus(Words(QStringLiteral("Not enough memory to show the plate"), QStringLiteral("内存不足，无法显示印版")), true);
  }
  const PlateFrame& frame = plate_->frame();
  ShowStatus(Words(QStringLiteral("Plate of %1 x %2 pixels through %3"), QStringLiteral("%1 x %2 像素的印版，透过%3"))
                 .arg(frame.width)
                 .arg(frame.height)
                 .arg(LensWords(lens_)),
             false);
}

}  // namespace plivora
