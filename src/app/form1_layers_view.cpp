// The layers window's button, and what the main window keeps of it: the
// layers or the depth map the views are made from (made_), saved in the
// job and exported in the place of the view list, and the made views'
// size as the reference the height follows.
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>

#include "app/form1.h"
#include "app/layers_view.h"
#include "app/wording.h"
#include "common/error.h"
#include "jobs/made_views.h"
#include "jobs/view_alignment.h"
#include "preview/frames.h"
#include "series/view_set.h"
#include "series/view_series.h"

namespace plivora {

namespace {

// The options the layers window edits, as a job names them.
const QString kFrames = QStringLiteral("frames"), kDepthMap = QStringLiteral("depth-map"), kDepth = QStringLiteral("depth"),
              kKeyDepth = QStringLiteral("key-depth");

LayersView* LayersViewOf(const QWidget& form) {
  return static_cast<LayersView*>(form.findChild<QWidget*>(QStringLiteral("LayersView"), Qt::FindDirectChildrenOnly));
}

}  // namespace

MadeSource MadeSourceOf(const Job& job) {
  MadeSource made;
  made.layers = job.layers;
  const auto text = [&](const QString& name) {
    const auto it = job.options.find(name);
    return it == job.options.end() ? QString() : it->second;
  };
  made.depthMap = text(kDepthMap);
  made.depthMapChosen = !made.depthMap.isEmpty();
  if (made.depthMapChosen) made.picture = job.views.value(0);
  made.depth = text(kDepth);
  made.keyDepth = text(kKeyDepth);
  made.frames = text(kFrames);
  return made;
}

// With nothing made, only the map goes (it alone would make views); a
// job's frames and depths that make nothing are kept as they came.
void PutMadeOptions(const MadeSource& made, OptionValues& values) {
  values.erase(kDepthMap);
  if (!made.Active()) return;
  const auto put = [&](const QString& name, const QString& text) {
    values.erase(name);
    if (!text.isEmpty()) values[name] = text;
  };
  put(kFrames, made.frames);
  put(kDepth, made.depth);
  put(kKeyDepth, made.keyDepth);
  if (made.depthMapChosen) put(kDepthMap, made.depthMap);
}

void TForm1::LayersViewClick() {
  LayersView* view = LayersViewOf(*this);
  if (!view) {
    view = new LayersView(this);
    view->onChanged = [this] { Guard(&TForm1::TakeLayersView); };
    view->onAdd = [this] { Guard(&TForm1::AddLayersClick); };
  }
  view->SetSource(made_);
  view->show();
  view->raise();
  view->activateWindow();
}

void TForm1::AddLayersClick() {
  LayersView* view = LayersViewOf(*this);
  if (!view) return;
  FileDialogOptions options;
  options.title = Words(QStringLiteral("Add layers"), QStringLiteral("添加图层"));
  options.filter = Words(QStringLiteral("Pictures with alpha (*.png *.tif *.tiff);;All files (*)"),
                         QStringLiteral("带透明通道的图片 (*.png *.tif *.tiff);;所有文件 (*)"));
  options.folder = lastFolder_;
  const QStringList chosen = desktop_.OpenFileNames(this, options);
  if (chosen.isEmpty()) return;
  lastFolder_ = QFileInfo(chosen.first()).absolutePath();
  QStringList paths;
  for (const QString& path : chosen) paths << QFileInfo(path).absoluteFilePath();
  view->AddLayers(paths);
}

void TForm1::TakeLayersView() {
  if (LayersView* view = LayersViewOf(*this)) made_ = view->source();
  // As after an import: a preview playing ends, and a press plays anew.
  PreviewState = 202;
  TakeMadeReference();
  if (made_.Active()) BitBtn7->setEnabled(true);
  UpdateOutputSummary();
}

void TForm1::ShowMadeInLayersView() {
  if (LayersView* view = LayersViewOf(*this)) view->SetSource(made_);
}

void TForm1::RetitleLayersView() {
  if (LayersView* view = LayersViewOf(*this)) view->Retitle();
}

// The request's views and layers, and refused when the view list would be
// exported beside them.
void TForm1::PutMadeInRequest(ExportRequest& request) const {
  if (ListBox1->count() > 0)
    Fail(Words(QStringLiteral("The views are made from the layers window's layers or depth map, and the view list holds views too; "
                              "clear the list, or the layers window's layers"),
               QStringLiteral("视图由图层窗口的图层或深度图生成，而图片列表中也有图片；请清空列表，或清除图层窗口的图层")));
  request.layers = made_.depthMapChosen ? std::vector<Layer>{} : made_.layers;
  request.views = made_.depthMapChosen && !made_.picture.isEmpty() ? QStringList{made_.picture} : QStringList{};
  request.transforms.clear();
}

// The made views' plan for the fields as they stand; none when nothing is
// made or the plan is refused (the summary names why).
std::optional<MadeViewPlan> TForm1::MadePlan(QString* problem) const {
  if (!made_.Active()) return std::nullopt;
  try {
    ExportRequest request;
    request.settings = WindowSettings();
    PutMadeInRequest(request);
    return PlanMadeViews(request);
  } catch (const Error& e) {
    if (problem) *problem = e.message();
    return std::nullopt;
  }
}

// The made views' depth budget: their parallax follows from the depths
// given, so it is known without measuring. None while the plan is refused
// (MadeLines names why).
QStringList TForm1::MadeBudgetLines() const {
  try {
    ExportRequest request;
    request.settings = WindowSettings();
    PutMadeInRequest(request);
    request.firstPhotoWidth = FirstPhotoWidth;
    request.firstPhotoHeight = FirstPhotoHeight;
    const MadeViewPlan made = PlanMadeViews(request);
    return plivora::DepthBudgetLines(BudgetOf(request, MadeParallax(request, made), made.frames), ChineseWording());
  } catch (const Error&) {
    return {};
  }
}

std::vector<QImage> TForm1::MadeFrames() const {
  ExportRequest request;
  request.settings = WindowSettings();
  PutMadeInRequest(request);
  const MadeViewPlan made = PlanMadeViews(request);
  ViewSet views;
  const ProgressFn silent;
  ProgressReporter opening(silent);
  OpenMadeViews(request, made, FrameSequence{}, views, opening);
  const QStringList names = MadeViewNames(made.frames);
  std::vector<QImage> frames;
  FrameScale scale;
  for (size_t k = 0; k < views.size(); ++k) frames.push_back(BuildReaderFrame(names.value(qsizetype(k)), views[k], scale));
  return frames;
}

void TForm1::TakeMadeReference() {
  // Preview plays the made views, even with no view listed.
  BitBtn5->setEnabled(ListBox1->count() >= 2 || made_.Active());
  const std::optional<MadeViewPlan> plan = MadePlan(nullptr);
  if (!plan) return;
  FirstPhotoWidth = int32_t(plan->columns.width);
  FirstPhotoHeight = int32_t(plan->height);
  PhotoAspect = plivora::PhotoAspect(plan->columns.width, plan->height);
  ShowHeight();
}

QStringList TForm1::MadeLines(int* frames, QString* warning) const {
  if (!made_.Active()) return {};
  QStringList lines;
  QString problem;
  if (const std::optional<MadeViewPlan> plan = MadePlan(&problem)) {
    *frames = plan->frames;
    lines << (made_.depthMapChosen ? Words(QStringLiteral("made: %1 views from a depth map"), QStringLiteral("生成：由深度图生成 %1 张视图"))
                                         .arg(plan->frames)
                                   : Words(QStringLiteral("made: %1 views from %2 layers"), QStringLiteral("生成：由 %2 个图层生成 %1 张视图"))
                                         .arg(plan->frames)
                                         .arg(made_.layers.size()));
  } else {
    lines << CoreWords(QStringLiteral("无法生成视图：%1"), problem);
    *warning = lines.last();
  }
  if (ListBox1->count() > 0) {
    lines << Words(QStringLiteral("The view list is not exported while layers are set; both cannot be"),
                   QStringLiteral("已设图层时不导出图片列表；二者不能同时导出"));
    *warning = lines.last();
  }
  return lines;
}

}  // namespace plivora
