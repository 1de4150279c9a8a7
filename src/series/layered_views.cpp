#include "series/layered_views.h"

#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "series/made_view.h"
#include "series/paper_white.h"
#include "series/view_error.h"

namespace plivora {

Real LayerShift(Real pixels, int k, int frames) {
  const Real middle = Real(frames + 1) / 2;
  const Real share = (Real(k) - middle) / Real(frames - 1);
  return share * pixels;
}

namespace {

// The smallest whole number at or above v.
int64_t Ceiling(Real v) {
  const int64_t t = Trunc(v);
  return Real(t) < v ? t + 1 : t;
}

int64_t Floor(Real v) {
  const int64_t t = Trunc(v);
  return Real(t) > v ? t - 1 : t;
}

}  // namespace

ColumnSpan CommonColumns(const QString& path, uint32_t width, Real pixels, int frames) {
  // The views at either end move the bottom layer furthest, by half its
  // parallax each way: as many columns go at each side.
  const Real reach = (pixels < 0 ? -pixels : pixels) / 2;
  const int64_t left = Ceiling(reach);
  const int64_t right = Floor(Real(width) - 1 - reach);  // the last column kept
  if (frames < 2 || right < left)
    Fail(ViewErrorText(path, QStringLiteral("as the bottom layer it moves %1 pixels across the views, so no column of its "
                                            "%2 is shown in every view; give it less depth or a wider picture")
                                 .arg(FormatGeneral15(reach * 2))
                                 .arg(width)));
  return {left, uint32_t(right - left + 1)};
}

namespace {

struct OpenLayer {
  std::shared_ptr<SharedRows> rows;
  size_t who = 0;
  uint32_t width = 0, height = 0;
  int64_t x = 0, y = 0;          // corner, relative to the bottom layer's
  std::vector<Real> shifts;      // per view
};

// The layers the N views share, read one row of each at a time.
class LayerStack {
 public:
  LayerStack(std::vector<OpenLayer> layers, int frames, ColumnSpan columns, ColourModel working, FilterPath path)
      : layers_(std::move(layers)), asked_(size_t(frames), 0), columns_(columns), path_(path),
        colour_(size_t(columns.width) * 4), alpha_(size_t(columns.width) * 4) {
    PaperWhite(working, white_);
  }
  void ViewRow(size_t k, uint32_t row, uint8_t* dest);

 private:
  void LetGo(size_t k, uint32_t row);
  void Lay(const OpenLayer& layer, Real shift, uint32_t row, uint8_t* dest);

  std::vector<OpenLayer> layers_;
  std::vector<uint32_t> asked_;  // per view: the last row asked for
  uint32_t low_ = 0;             // the lowest of them
  ColumnSpan columns_;
  FilterPath path_;
  uint8_t white_[4];
  std::vector<uint8_t> colour_, alpha_;  // a layer's row resampled, over the views' columns
};

void LayerStack::LetGo(size_t k, uint32_t row) {
  asked_[k] = row;
  const uint32_t low = *std::min_element(asked_.begin(), asked_.end());
  if (low == low_) return;
  low_ = low;
  for (const OpenLayer& layer : layers_)
    layer.rows->LetGo(layer.who, uint32_t(std::clamp<int64_t>(int64_t(low) - layer.y, 0, layer.height)));
}

void LayerStack::ViewRow(size_t k, uint32_t row, uint8_t* dest) {
  LetGo(k, row);
  for (uint32_t x = 0; x < columns_.width; ++x) std::memcpy(dest + size_t(x) * 4, white_, 4);
  for (const OpenLayer& layer : layers_) Lay(layer, layer.shifts[k], row, dest);
}

// Lays the layer's row that shows in view row `row` over dest.
void LayerStack::Lay(const OpenLayer& layer, Real shift, uint32_t row, uint8_t* dest) {
  const int64_t y = int64_t(row) - layer.y;
  if (y < 0 || y >= int64_t(layer.height)) return;
  // View column X shows layer column X + u0; only the layer's own columns
  // are laid (nothing is made up past its edges).
  const Real u0 = Real(columns_.left - layer.x) + shift;
  const int64_t begin = std::max<int64_t>(0, Ceiling(-u0));
  const int64_t end = std::min<int64_t>(columns_.width, Floor(Real(layer.width) - 1 - u0) + 1);
  if (begin >= end) return;
  const uint8_t* colour = layer.rows->Row(layer.who, uint32_t(y));
  const uint8_t* alpha = layer.rows->Alpha(layer.who, uint32_t(y));
  if (Real(Trunc(u0)) == u0) {
    colour += Trunc(u0) * 4;
    alpha += Trunc(u0) * 4;
  } else {
    const FixedPosition start = ToFixed(u0), step = FixedPosition(1) << 32;
    FilterAlong(colour, int64_t(layer.width) - 1, start, step, size_t(begin), size_t(end), colour_.data(), path_);
    FilterAlong(alpha, int64_t(layer.width) - 1, start, step, size_t(begin), size_t(end), alpha_.data(), path_);
    colour = colour_.data();
    alpha = alpha_.data();
  }
  for (int64_t x = begin; x < end; ++x) LayOver(colour + x * 4, alpha[x * 4], white_, dest + x * 4);
}

}  // namespace

std::vector<std::unique_ptr<SourceReader>> OpenLayeredViews(const std::vector<StackLayer>& layers, int frames,
                                                            ColumnSpan columns, ColourModel working, FilterPath path) {
  if (layers.empty() || frames < 2)
    Fail(QStringLiteral("Views were to be made from no layer, or fewer than two (a fault in this program)"));
  const SourceImage& bottom = layers[0].rows->image();
  std::vector<OpenLayer> open;
  for (size_t j = 0; j < layers.size(); ++j) {
    const StackLayer& in = layers[j];
    const SourceImage& image = in.rows->image();
    if (j > 0 && !in.rows->HasAlpha())
      FailView(image.Path, QStringLiteral("it is a layer above the bottom one but has no alpha, so it would hide every "
                                          "layer under it; save it as PNG or TIFF with transparency"));
    OpenLayer layer;
    layer.rows = in.rows;
    layer.width = image.Width;
    layer.height = image.Height;
    layer.x = j == 0 ? 0 : in.x - layers[0].x;
    layer.y = j == 0 ? 0 : in.y - layers[0].y;
    for (int k = 1; k <= frames; ++k) layer.shifts.push_back(LayerShift(in.pixels, k, frames));
    layer.who = layer.rows->AddTaker(uint32_t(std::clamp<int64_t>(-layer.y, 0, layer.height)));
    open.push_back(std::move(layer));
  }
  SourceImage made = bottom;
  made.Width = columns.width;
  made.Model = working;
  made.Profile.clear();
  made.Orientation = 1;
  auto stack = std::make_shared<LayerStack>(std::move(open), frames, columns, working, path);
  std::vector<std::unique_ptr<SourceReader>> views;
  for (int k = 0; k < frames; ++k) views.push_back(std::make_unique<MadeView<LayerStack>>(stack, size_t(k), made));
  return views;
}

}  // namespace plivora
