// TForm2, the About window, shown as a splash while the program starts:
// a frameless 640 x 480 picture at the centre of the screen, a one-second
// timer, and a click on the picture that hides it at once.
#pragma once

#include <QWidget>

class QTimer;

namespace plivora {

class ClickablePicture;
class Desktop;

class TForm2 : public QWidget {
 public:
  // The timer starts counting now. A picture that cannot be decoded is
  // reported through `desktop` and leaves an empty window of the same size.
  explicit TForm2(Desktop& desktop, QWidget* parent = nullptr);

  void Timer1Timer();
  void Image1Click();
  // True until the first tick or a click on the picture.
  bool waiting() const;

  ClickablePicture* Image1 = nullptr;
  QTimer* Timer1 = nullptr;

 private:
  Desktop& desktop_;
};

// The splash picture: the JPEG among the program's pictures, decoded.
QImage SplashPicture();

}  // namespace plivora
