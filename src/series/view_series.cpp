#include "series/view_series.h"

#include <algorithm>

#include "common/error.h"
#include "common/numbers.h"

namespace plivora {

int64_t PhotoAspect(uint32_t width, uint32_t height) {
  return Round(Divide(Real(width), Real(height)) * 10000);
}

QString HeightFromWidth(const QString& widthText, int64_t photoAspect, QChar decimalSeparator) {
  const Real width = ParseFloat(widthText, decimalSeparator);
  return FormatGeneral15(Divide(width, Real(photoAspect)) * 10000, decimalSeparator);
}

QString PathExtension(const QString& path) {
  const int dot = path.lastIndexOf(QChar('.'));
  if (dot < 0) return QString();
  const QString tail = path.mid(dot);
  if (tail.contains(QChar('/')) || tail.contains(QChar('\\')) || tail.contains(QChar(':'))) return QString();
  return tail;
}

bool IsNegativeExtension(const QString& extension) {
  return extension == QLatin1String(".gjs") || extension == QLatin1String(".GJS");
}

std::optional<FrameOrder> FrameOrderFromName(const QString& name) {
  for (const FrameOrder order : {FrameOrder::kForward, FrameOrder::kReverse, FrameOrder::kPingPong})
    if (name == FrameOrderName(order)) return order;
  return std::nullopt;
}

QString FrameOrderName(FrameOrder order) {
  switch (order) {
    case FrameOrder::kReverse: return QStringLiteral("reverse");
    case FrameOrder::kPingPong: return QStringLiteral("pingpong");
    case FrameOrder::kForward: break;
  }
  return QStringLiteral("forward");
}

std::vector<int> FrameIndices(int count, const FrameSequence& sequence) {
  if (sequence.holdEnds < 1 || sequence.holdEnds > 255)
    Fail(QStringLiteral("The first and the last frame can be held 1 to 255 times, not %1").arg(sequence.holdEnds));
  std::vector<int> frames;
  for (int i = 0; i < count; ++i) frames.push_back(i);
  if (sequence.Plain() || count == 0) return frames;
  if (sequence.order == FrameOrder::kReverse) std::reverse(frames.begin(), frames.end());
  if (sequence.order == FrameOrder::kPingPong)
    for (int i = count - 2; i >= 1; --i) frames.push_back(i);
  if (sequence.holdEnds > 1) {
    std::vector<int> held(size_t(sequence.holdEnds), frames.front());
    if (frames.size() > 1) {
      held.insert(held.end(), frames.begin() + 1, frames.end() - 1);
      held.insert(held.end(), size_t(sequence.holdEnds), frames.back());
    }
    frames = held;
  }
  if (frames.size() > 255) {
    QString how = sequence.order == FrameOrder::kForward ? QString()
                                                         : QStringLiteral(" in %1 order").arg(FrameOrderName(sequence.order));
    if (sequence.holdEnds > 1) how += QStringLiteral(", the first and the last held %1 times,").arg(sequence.holdEnds);
    Fail(QStringLiteral("A lens can show at most 255 frames; the %1 views%2 make %3").arg(count).arg(how).arg(frames.size()));
  }
  return frames;
}

QStringList ExpandFrames(const QStringList& views, const FrameSequence& sequence) {
  if (sequence.Plain()) return views;
  QStringList frames;
  for (const int i : FrameIndices(int(views.size()), sequence)) frames << views[i];
  return frames;
}

}  // namespace plivora
