// The lens view: the plate of the window's settings as an eye sees it
// through the print setup's lens, at the angle of its slider (degrees off
// square, as plivora-proof takes them) and from the distance of its field
// (empty: far away); Play sweeps the angles to and fro across the lens's
// lobe. The picture is drawn scaled to fit its box, proportions kept.
//
// A window of its own that the main window owns and fills anew at each press
// of its Lens view button: the plate is made once a press, and a new angle
// or distance only looks at it again.
#pragma once

#include <QChar>
#include <QString>
#include <QWidget>
#include <memory>

#include "common/length_text.h"
#include "proof/sampled_plate.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

namespace plivora {

class PictureBox;
class ScreenColours;

class LensView : public QWidget {
 public:
  // Angles are held in tenths of a degree.
  static constexpr int kTenths = 10;

  explicit LensView(QWidget* owner);
  ~LensView() override;

  // Shows `plate` through `lens` (of the pitch and direction it was sampled
  // for). A distance typed bare is in `bare`, with "." or `separator`.
  // Raises when the plate's colours can't be shown (its profile refused).
  void SetPlate(std::unique_ptr<SampledPlate> plate, const LensModel& lens, LengthUnit bare, QChar separator);
  // The texts in the window's caption language.
  void Retitle();
  // One step of the sweep (Play's timer): the slider moves on, and turns
  // back at its ends.
  void Step();
  bool Playing() const;

  QSlider* Angle = nullptr;
  QLabel *AngleLabel = nullptr, *AngleText = nullptr, *DistanceLabel = nullptr, *Status = nullptr;
  QLineEdit* Distance = nullptr;
  QPushButton* Play = nullptr;
  PictureBox* Picture = nullptr;
  QTimer* Timer = nullptr;

 private:
  void Redraw();
  void PlayClick();
  void ShowStatus(const QString& text, bool problem);

  std::unique_ptr<SampledPlate> plate_;
  std::unique_ptr<ScreenColours> colours_;
  LensModel lens_;
  LengthUnit bare_ = LengthUnit::kCm;
  QChar separator_ = QChar('.');
  int way_ = 1;  // the sweep's direction, +1 or -1
};

}  // namespace plivora
