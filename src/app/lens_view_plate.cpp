#include "app/lens_view_plate.h"

#include "common/error.h"
#include "jobs/export_plan.h"

namespace plivora {

namespace {

// A plate writer whose rows go to a sampled plate: no file, no header.
class SampledRows final : public PlateWriter {
 public:
  explicit SampledRows(SampledPlate& plate) : plate_(plate) {}
  void Append(const uint8_t* rows, size_t count, size_t stride) override {
    for (size_t r = 0; r < count; ++r) plate_.TakeRow(next_++, rows + r * stride);
  }
  void Finish() override {
    if (!plate_.Complete()) Fail(QStringLiteral("The lens view's plate lacks row %1 (a fault in this program)").arg(next_));
  }
  OutputFile& file() override { Fail(QStringLiteral("The lens view's plate has no file (a fault in this program)")); }

 private:
  SampledPlate& plate_;
  uint32_t next_ = 0;
};

// The plate as the proof sees it: the file's size, resolutions, model and
// profile, at the plan's own resolutions.
PlateFrame FrameOf(const PanelPlan& panel) {
  const PlateLayout& layout = panel.layout;
  PlateFrame frame;
  frame.width = uint32_t(layout.width);
  frame.height = uint32_t(layout.rows);
  frame.xDpi = Divide(Real(layout.xResolutionE9), 1000000000);
  frame.yDpi = Divide(Real(layout.yResolutionE9), 1000000000);
  frame.model = layout.samples == 3 ? ColourModel::kRgb : ColourModel::kCmyk;
  frame.profile = layout.iccProfile;
  return frame;
}

}  // namespace

LensModel LensOf(const ExportSettings& settings) {
  LensModel lens;
  lens.lpi = ParseFloat(settings.texts.lpi, settings.texts.decimalSeparator);  // read as the settings read it
  lens.direction = settings.lens.lenses == Lenses::kHorizontal ? LensDirection::kHorizontal : LensDirection::kVertical;
  lens.thickness = settings.lens.thickness;
  lens.index = settings.lens.index;
  return lens;
}

std::unique_ptr<SampledPlate> SampleExport(const ExportRequest& request, const LensModel& lens, const ProgressFn& progress) {
  ProgressReporter reporter(progress);
  ExportPlan plan = PlanExport(request, reporter);
  if (plan.plate.panels.size() != 1) Fail(QStringLiteral("The lens view sees one plate, not panels (a fault in this program)"));
  auto plate = std::make_unique<SampledPlate>(FrameOf(plan.plate.panels.front()), lens);
  WritePlan(request, plan, std::make_unique<SampledRows>(*plate), reporter);
  return plate;
}

}  // namespace plivora
