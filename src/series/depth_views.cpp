#include "series/depth_views.h"

#include <cstring>

#include "common/error.h"
#include "series/layered_views.h"
#include "series/made_view.h"
#include "series/view_error.h"

namespace plivora {

int64_t DepthShift(const DepthScale& scale, int g, int k) {
  const Real lenses = (Real(g) - Real(scale.key)) / 255 * scale.depth;
  return Round(LayerShift(lenses * scale.pixelsPerLens, k, scale.frames));
}

void GreysOf(const uint8_t* row, uint32_t width, uint8_t* greys) {
  for (uint32_t x = 0; x < width; ++x) greys[x] = row[size_t(x) * 4];
}

void WarpRow(const uint8_t* colours, const uint8_t* greys, uint32_t width, const int64_t* shifts, uint8_t* out,
             int16_t* nearest) {
  const auto w = int64_t(width);
  for (int64_t x = 0; x < w; ++x) nearest[x] = -1;  // nothing landed yet
  for (int64_t x = 0; x < w; ++x) {
    const uint8_t g = greys[x];
    const int64_t to = x - shifts[g];
    if (to < 0 || to >= w || nearest[to] >= g) continue;
    nearest[to] = g;
    std::memcpy(out + to * 4, colours + x * 4, 4);
  }
  // Each run of holes takes the farther of the pixels either side of it.
  for (int64_t x = 0; x < w;) {
    if (nearest[x] >= 0) {
      ++x;
      continue;
    }
    int64_t end = x;
    while (end < w && nearest[end] < 0) ++end;
    const bool left = x > 0, right = end < w;
    int64_t from = -1;
    if (left && right)
      from = nearest[x - 1] <= nearest[end] ? x - 1 : end;
    else if (left || right)
      from = left ? x - 1 : end;
    for (int64_t h = x; h < end; ++h) {
      if (from >= 0)
        std::memcpy(out + h * 4, out + from * 4, 4);
      else
        std::memset(out + h * 4, 0, 4);  // nothing landed: OpenDepthViews refuses shifts that allow it
    }
    x = end;
  }
}

namespace {

class DepthStack {
 public:
  DepthStack(SourceReader& picture, std::unique_ptr<SourceReader> map, const DepthScale& scale)
      : picture_(picture), map_(std::move(map)), width_(picture.image().Width), colours_(size_t(width_) * 4),
        mapRow_(size_t(width_) * 4), greys_(width_), nearest_(width_), shifts_(size_t(scale.frames) * 256) {
    for (int k = 1; k <= scale.frames; ++k)
      for (int g = 0; g < 256; ++g) shifts_[size_t(k - 1) * 256 + size_t(g)] = DepthShift(scale, g, k);
  }
  void ViewRow(size_t k, uint32_t row, uint8_t* dest) {
    if (int64_t(row) != read_) {
      read_ = -1;
      picture_.ReadRow(row, colours_.data());
      map_->ReadRow(row, mapRow_.data());
      GreysOf(mapRow_.data(), width_, greys_.data());
      read_ = row;
    }
    WarpRow(colours_.data(), greys_.data(), width_, shifts_.data() + k * 256, dest, nearest_.data());
  }

 private:
  SourceReader& picture_;
  std::unique_ptr<SourceReader> map_;
  uint32_t width_;
  std::vector<uint8_t> colours_, mapRow_, greys_;
  std::vector<int16_t> nearest_;
  std::vector<int64_t> shifts_;  // per view, per grey
  int64_t read_ = -1;            // the row colours_ and greys_ hold
};

}  // namespace

std::vector<std::unique_ptr<SourceReader>> OpenDepthViews(SourceReader& picture, std::unique_ptr<SourceReader> map,
                                                          const DepthScale& scale) {
  const SourceImage& p = picture.image();
  const SourceImage& m = map->image();
  if (m.Model != ColourModel::kGrey)
    FailView(m.Path, QStringLiteral("a depth map must be greyscale, and it is %1").arg(ColourModelName(m.Model)));
  if (m.Width != p.Width || m.Height != p.Height)
    FailView(m.Path, QStringLiteral("as the depth map of \"%1\" it must be %2 x %3 pixels, as the picture is, and it is %4 x %5")
                         .arg(p.Path)
                         .arg(p.Width)
                         .arg(p.Height)
                         .arg(m.Width)
                         .arg(m.Height));
  if (scale.frames < 2) Fail(QStringLiteral("Views are made two or more at a time (a fault in this program)"));
  for (const int g : {0, 255}) {
    const int64_t shift = DepthShift(scale, g, 1);
    if ((shift < 0 ? -shift : shift) >= int64_t(p.Width))
      FailView(m.Path, QStringLiteral("as a depth map with depth %1 it moves the pixels of grey %2 by %3 pixels in the first "
                                      "view, which leaves nothing of the picture's %4 columns where it was; give less depth")
                           .arg(FormatGeneral15(scale.depth))
                           .arg(g)
                           .arg(shift < 0 ? -shift : shift)
                           .arg(p.Width));
  }
  SourceImage made = p;
  made.Profile.clear();
  made.Orientation = 1;
  auto stack = std::make_shared<DepthStack>(picture, std::move(map), scale);
  std::vector<std::unique_ptr<SourceReader>> views;
  for (int k = 0; k < scale.frames; ++k) views.push_back(std::make_unique<MadeView<DepthStack>>(stack, size_t(k), made));
  return views;
}

}  // namespace plivora
