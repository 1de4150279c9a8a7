// Picture controls of the windows.
#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>
#include <functional>

namespace plivora {

// Shows one picture scaled to fit its area with its proportions kept and
// centred; the rest of the area shows the background. Empty at start.
class PictureBox : public QWidget {
 public:
  explicit PictureBox(QWidget* parent = nullptr);
  void SetPicture(const QImage& picture);
  void ClearPicture();
  const QImage& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

// A picture at its own size that reports clicks (the logos, the splash).
class ClickablePicture : public QLabel {
 public:
  explicit ClickablePicture(QWidget* parent = nullptr) : QLabel(parent) {}
  std::function<void()> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace plivora
