#include "cli/layer_arguments.h"

#include <algorithm>
#include <cmath>

#include "cli/command_line.h"
#include "cli/option_words.h"
#include "common/file_names.h"
#include "common/numbers.h"
#include "options/option_table.h"
#include "series/view_series.h"

namespace plivora {

namespace {

[[noreturn]] void Refuse(const QString& text, const QString& why) {
  throw UsageError(QStringLiteral("--layer \"%1\": %2").arg(text, why));
}

}  // namespace

Layer ParseLayerArgument(const QString& text) {
  QStringList parts = text.split(QChar(':'));
  if (parts.size() < 2) Refuse(text, QStringLiteral("give FILE:DEPTH or FILE:DEPTH:X,Y"));
  Layer layer;
  bool corner = false;
  if (parts.size() >= 3 && parts.last().contains(QChar(','))) {
    const QStringList xy = parts.last().split(QChar(','));
    bool okX = false, okY = false;
    const qlonglong x = xy.size() == 2 ? xy[0].trimmed().toLongLong(&okX) : 0;
    const qlonglong y = xy.size() == 2 ? xy[1].trimmed().toLongLong(&okY) : 0;
    if (!okX || !okY || std::llabs(x) > INT32_MAX || std::llabs(y) > INT32_MAX)
      Refuse(text, QStringLiteral("the corner \"%1\" is not two whole numbers of pixels X,Y").arg(parts.last()));
    layer.x = x;
    layer.y = y;
    parts.removeLast();
    corner = true;
  }
  const QString depth = parts.takeLast();
  Real value = 0;
  try {
    value = ParseFloat(depth.trimmed());
  } catch (const Error&) {
    Refuse(text, QStringLiteral("the depth \"%1\" is not a number of lens widths%2")
                     .arg(depth, corner ? QString() : QStringLiteral(" (FILE:DEPTH[:X,Y])")));
  }
  if (!(value >= -kMaxMadeDepth && value <= kMaxMadeDepth))
    Refuse(text, QStringLiteral("the depth must be from -%1 to %1 lens widths").arg(int(kMaxMadeDepth)));
  // Held as a job holds it, so that a job saved from this command line
  // makes the same views.
  layer.depth = Real(double(value));
  const QString file = parts.join(QChar(':'));
  if (file.isEmpty()) Refuse(text, QStringLiteral("no file is named"));
  layer.path = AbsoluteFileName(file);
  return layer;
}

// A request whose views are made: the made views are the reference, and
// the views stage has nothing to align.
ExportRequest MadeRequest(ExportRequest req) {
  ExportSettings& settings = req.settings;
  if (settings.align.automatic || settings.align.keyShift)
    throw UsageError(QStringLiteral("--align and --key-shift align view files; views made from layers or a depth map "
                                    "need no aligning"));
  const MadeViewPlan made = PlanMadeViews(req);
  if (!settings.HeightGiven()) settings = settings.WithHeightFromAspect(PhotoAspect(made.columns.width, made.height));
  req.firstPhotoWidth = int32_t(made.columns.width);
  req.firstPhotoHeight = int32_t(made.height);
  CheckCommandLinePlate(settings, int(ExpandFrames(MadeViewNames(made.frames), settings.lens.frames).size()));
  return req;
}

// The layers typed (--layer), else the job's.
std::vector<Layer> LayersOf(const ParsedOptions& typed, const Job* job) {
  std::vector<Layer> layers;
  for (const QString& text : typed.All(QStringLiteral("--layer"))) layers.push_back(ParseLayerArgument(text));
  if (layers.empty() && job && typed.Operands().isEmpty()) layers = job->layers;
  return layers;
}

QString MadeLine(const ExportRequest& request, const MadeViewPlan& made) {
  const QStringList names = MadeViewNames(made.frames);
  const QString from = request.layers.empty()
                           ? QStringLiteral("\"%1\" and its depth map").arg(request.views.value(0))
                           : QStringLiteral("%1 layers").arg(request.layers.size());
  return QStringLiteral("made: %1 views (%2 .. %3) from %4, %5 x %6 pixels")
      .arg(made.frames)
      .arg(names.first(), names.last(), from)
      .arg(made.columns.width)
      .arg(made.height);
}

}  // namespace plivora
