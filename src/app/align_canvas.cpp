#include "app/align_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plivora {

namespace {

// A press and release this close (widget pixels) are a click, not a drag.
constexpr qreal kClickSlack = 3;

}  // namespace

// A view pixel's centre x lies at x / scale + 0.5 on the picture (the
// reduction picks every scale-th pixel, and a picture pixel's centre is at
// its index + 0.5), so the view's turn centre and shift carry over as
// c / scale + 0.5 and d / scale. QPainter turns clockwise as seen for a
// positive angle: the view's anticlockwise turn is its negative.
QImage GhostPicture(const QImage& reference, const QImage& current, const GhostPlacement& placement, GhostMode mode,
                    bool currentShown) {
  QImage out = reference.convertToFormat(QImage::Format_RGB32);
  if (current.isNull() || reference.isNull()) return out;
  QImage moved(out.size(), QImage::Format_ARGB32_Premultiplied);
  moved.fill(Qt::transparent);
  {
    QPainter p(&moved);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const Real s = placement.scale;
    const Real cx = Real(placement.width - 1) / 2 / s + 0.5L, cy = Real(placement.height - 1) / 2 / s + 0.5L;
    p.translate(double(cx + placement.transform.dx / s), double(cy + placement.transform.dy / s));
    p.rotate(double(-placement.transform.turn));
    p.translate(double(-cx), double(-cy));
    p.drawImage(0, 0, current);
  }
  QPainter p(&out);
  switch (mode) {
    case GhostMode::kHalf:
      p.setOpacity(0.5);
      p.drawImage(0, 0, moved);
      break;
    case GhostMode::kFlicker:
      if (!currentShown) break;
      // Where the moved view leaves the reference's area uncovered, white:
      // paper, as the previews show what carries no ink.
      out.fill(Qt::white);
      p.drawImage(0, 0, moved);
      break;
    case GhostMode::kDifference:
      p.setCompositionMode(QPainter::CompositionMode_Difference);
      p.drawImage(0, 0, moved);
      break;
  }
  return out;
}

KeyRect KeyRectFromPoints(QPoint a, QPoint b, bool click, const KeyRect& size, uint32_t width, uint32_t height) {
  if (!click) {
    const int64_t left = std::min(a.x(), b.x()), top = std::min(a.y(), b.y());
    return {left, top, std::max(a.x(), b.x()) - left + 1, std::max(a.y(), b.y()) - top + 1};
  }
  const int64_t w = std::clamp<int64_t>(size.width, 1, width), h = std::clamp<int64_t>(size.height, 1, height);
  return {std::clamp<int64_t>(a.x() - w / 2, 0, int64_t(width) - w), std::clamp<int64_t>(a.y() - h / 2, 0, int64_t(height) - h), w, h};
}

AlignCanvas::AlignCanvas(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::CrossCursor);
  setMinimumSize(320, 240);
}

void AlignCanvas::SetReference(const QImage& picture, uint32_t width, uint32_t height) {
  reference_ = picture;
  width_ = width;
  height_ = height;
  current_ = QImage();
  shown_ = GhostPicture(reference_, current_, placement_, mode_, currentShown_);
  update();
}

void AlignCanvas::SetCurrent(const QImage& picture, const GhostPlacement& placement) {
  current_ = picture;
  placement_ = placement;
  shown_ = GhostPicture(reference_, current_, placement_, mode_, currentShown_);
  update();
}

void AlignCanvas::ClearCurrent() { SetCurrent(QImage(), placement_); }

void AlignCanvas::SetMode(GhostMode mode) {
  mode_ = mode;
  currentShown_ = true;
  SetCurrent(current_, placement_);
}

void AlignCanvas::SetFlickerPhase(bool currentShown) {
  currentShown_ = currentShown;
  SetCurrent(current_, placement_);
}

void AlignCanvas::SetKey(const KeyRect& key) {
  key_ = key;
  update();
}

QRectF AlignCanvas::Fit() const {
  if (shown_.isNull()) return {};
  const qreal s = std::min(qreal(width()) / shown_.width(), qreal(height()) / shown_.height());
  const qreal w = shown_.width() * s, h = shown_.height() * s;
  return {(width() - w) / 2, (height() - h) / 2, w, h};
}

QPoint AlignCanvas::ViewPixel(QPointF p) const {
  const QRectF fit = Fit();
  const Real x = Real(p.x() - fit.x()) / Real(fit.width()) * Real(width_);
  const Real y = Real(p.y() - fit.y()) / Real(fit.height()) * Real(height_);
  return {int(std::clamp<int64_t>(FloorOf(x), 0, int64_t(width_) - 1)), int(std::clamp<int64_t>(FloorOf(y), 0, int64_t(height_) - 1))};
}

void AlignCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(64, 64, 64));
  if (shown_.isNull()) return;
  const QRectF fit = Fit();
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(fit, shown_);
  // The key rectangle, its view pixels' outer edges.
  const qreal s = fit.width() / width_;
  p.setPen(QPen(Qt::yellow, 1, Qt::DashLine));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(fit.x() + key_.x * s, fit.y() + key_.y * s, key_.width * s, key_.height * s));
}

void AlignCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || shown_.isNull()) return QWidget::mousePressEvent(event);
  pressed_ = event->position();
}

void AlignCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
  const QPointF from = *pressed_, to = event->position();
  pressed_.reset();
  const bool click = std::abs(to.x() - from.x()) <= kClickSlack && std::abs(to.y() - from.y()) <= kClickSlack;
  key_ = KeyRectFromPoints(ViewPixel(from), ViewPixel(to), click, key_, width_, height_);
  update();
  if (onKeyChosen) onKeyChosen();
}

}  // namespace plivora
