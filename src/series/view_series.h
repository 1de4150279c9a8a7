// Rules that tie a series to its first view: the aspect that fixes the
// output height, and whether the series holds inverted (".gjs") samples.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace plivora {

// width / height * 10000, rounded: the reference view's aspect.
int64_t PhotoAspect(uint32_t width, uint32_t height);

// The height field's text for a width text: width / aspect * 10000 in the
// general form of up to 15 significant digits ("2" with 15000 gives
// "1.33333333333333"). Raises the conversion error for a width that is not
// a number, and a division error for an aspect of 0.
QString HeightFromWidth(const QString& widthText, int64_t photoAspect, QChar decimalSeparator = QChar('.'));

// The text from the path's last "." to its end, provided no "/", "\" or ":"
// follows that dot; empty otherwise.
QString PathExtension(const QString& path);

// True for ".gjs" and ".GJS", the extensions of inverted views.
bool IsNegativeExtension(const QString& extension);

// The order in which a lens shows the series: as listed, backwards, or
// forth and back (1 .. N, then N - 1 .. 2, which loops without a jump).
enum class FrameOrder { kForward, kReverse, kPingPong };

// "forward", "reverse", "pingpong"; nothing for any other text.
std::optional<FrameOrder> FrameOrderFromName(const QString& name);
QString FrameOrderName(FrameOrder order);

struct FrameSequence {
  FrameOrder order = FrameOrder::kForward;
  int holdEnds = 1;  // how many times the first and the last frame show (1 to 255)
  bool Plain() const { return order == FrameOrder::kForward && holdEnds == 1; }
};

// The frames a lens shows, views named as often as they show: the order
// applied, then the first and the last frame shown holdEnds times each (a
// single frame, holdEnds times). A plain sequence gives `views` as they
// are; any other that makes more than 255 frames is refused, saying so.
QStringList ExpandFrames(const QStringList& views, const FrameSequence& sequence);
// The same as indices into a series of `count` views.
std::vector<int> FrameIndices(int count, const FrameSequence& sequence);

}  // namespace plivora
