#include "app/form2.h"

#include <QFile>
#include <QTimer>

#include "app/error_guard.h"
#include "app/jpeg_picture.h"
#include "app/picture_box.h"
#include "common/error.h"

namespace plivora {

QImage SplashPicture() {
  QFile file(QStringLiteral(":/pictures/splash.jpg"));
  if (!file.open(QIODevice::ReadOnly)) Fail(QStringLiteral("The splash picture is missing from the program"));
  return DecodeJpeg(file.readAll());
}

TForm2::TForm2(Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), desktop_(desktop) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("About"));
  Image1 = new ClickablePicture(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setGeometry(0, 0, 640, 480);
  RunGuarded(desktop_, nullptr, [this] { Image1->setPixmap(QPixmap::fromImage(SplashPicture())); });
  Image1->onClick = [this] { RunGuarded(desktop_, this, [this] { Image1Click(); }); };
  setFixedSize(640, 480);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { RunGuarded(desktop_, this, [this] { Timer1Timer(); }); });
  Timer1->start();
}

void TForm2::Timer1Timer() { Timer1->stop(); }

void TForm2::Image1Click() {
  Timer1->stop();
  hide();
}

bool TForm2::waiting() const { return Timer1->isActive(); }

}  // namespace plivora
