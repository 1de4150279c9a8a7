#include "app/picture_box.h"

#include <QMouseEvent>
#include <QPainter>

namespace plivora {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void PictureBox::ClearPicture() {
  picture_ = QImage();
  update();
}

void PictureBox::paintEvent(QPaintEvent*) {
  if (picture_.isNull() || width() <= 0 || height() <= 0) return;
  QSize fitted = picture_.size();
  fitted.scale(size(), Qt::KeepAspectRatio);
  const QRect target((width() - fitted.width()) / 2, (height() - fitted.height()) / 2, fitted.width(),
                     fitted.height());
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, picture_);
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick) onClick();
}

}  // namespace plivora
