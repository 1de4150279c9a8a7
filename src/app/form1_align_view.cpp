// The alignment view's button, and what the main window keeps of it: each
// view's shift and turn (saved in the job and exported), the key rectangle,
// and Auto align's measurements, from which the summary tells the depth
// budget for the fields as they stand.
#include <QApplication>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "align/key_plane.h"
#include "app/align_view.h"
#include "app/form1.h"
#include "app/wording.h"
#include "common/error.h"
#include "jobs/export.h"
#include "jobs/view_alignment.h"
#include "series/source_image.h"
#include "series/view_series.h"

namespace plivora {

namespace {

// The form's alignment view, if one was opened; found by its object name,
// as the lens view is (no meta-object of its own).
AlignView* AlignViewOf(const QWidget& form) {
  return static_cast<AlignView*>(form.findChild<QWidget*>(QStringLiteral("AlignView"), Qt::FindDirectChildrenOnly));
}

// The busy cursor and the progress bar while Auto align runs; on every way
// out the cursor comes back and the bar goes back to 0.
class AligningScope {
 public:
  explicit AligningScope(QProgressBar* bar) : bar_(bar) { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~AligningScope() {
    QApplication::restoreOverrideCursor();
    bar_->setValue(0);
  }
  AligningScope(const AligningScope&) = delete;
  AligningScope& operator=(const AligningScope&) = delete;

 private:
  QProgressBar* bar_;
};

void NeedTwoViews(const QStringList& views) {
  if (views.size() < 2)
    Fail(Words(QStringLiteral("Aligning needs two views or more; import a series first"),
               QStringLiteral("对齐需要两张或更多图片；请先导入系列图")));
}

}  // namespace

std::vector<ViewTransform> TForm1::ViewTransforms() const {
  std::vector<ViewTransform> transforms = jobKept_.TransformsFor(Items());
  transforms.resize(size_t(ListBox1->count()));
  return transforms;
}

void TForm1::SetViewTransforms(const std::vector<ViewTransform>& transforms) {
  const QStringList views = Items();
  jobKept_.views = views;
  jobKept_.transforms = transforms;
  jobKept_.transforms.resize(size_t(views.size()));
  jobKept_.DropIdentityTransforms();
  // The reference follows: the area every moved view covers, or the first
  // view's own size once none moves.
  const bool moved = !jobKept_.transforms.empty();
  if (moved)
    TakeAlignedReference(views, jobKept_.transforms);
  else if (!views.isEmpty())
    TakeReference(views.first());
  ShowTransformsInList();
  UpdateOutputSummary();
}

void TForm1::ShowTransformsInList() {
  const std::vector<ViewTransform> transforms = ViewTransforms();
  for (int i = 0; i < ListBox1->count(); ++i) {
    const ViewTransform& t = transforms[size_t(i)];
    ListBox1->item(i)->setData(kTransformRole, t.Identity() ? QVariant() : QVariant(TransformText(t)));
  }
}

std::vector<AlignedRead> TForm1::AlignedReads(const QStringList& views) const {
  const std::vector<ViewTransform> transforms = jobKept_.TransformsFor(views);
  const std::optional<CommonArea> area = AlignedAreaOf(views, transforms);
  std::vector<AlignedRead> reads;
  if (area)
    for (const ViewTransform& t : transforms) reads.push_back({t, *area});
  return reads;
}

void TForm1::AlignViewClick() {
  NeedTwoViews(Items());
  AlignView* view = AlignViewOf(*this);
  if (!view) {
    view = new AlignView(this);
    view->onTransformsChanged = [this] { Guard(&TForm1::TakeAlignViewTransforms); };
    view->onKeyChanged = [this] { Guard(&TForm1::TakeAlignViewKey); };
    view->onAutoAlign = [this] { Guard(&TForm1::AutoAlignClick); };
    // The view follows the list: a view added, moved or taken away shows
    // at once, and its nudges go to the view they were meant for.
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
      connect(ListBox1->model(), signal, view, [this] { Guard(&TForm1::RefreshAlignView); });
    connect(ListBox1->model(), &QAbstractItemModel::modelReset, view, [this] { Guard(&TForm1::RefreshAlignView); });
  }
  FillAlignView(*view);
  view->show();
  view->raise();
  view->activateWindow();
}

void TForm1::FillAlignView(AlignView& view) {
  const QStringList views = Items();
  KeyRect key;
  if (alignKey_) {
    key = *alignKey_;
  } else {
    SourceImage first;
    ReadSourceHeader(views.first(), first);
    key = DefaultKeyRect(first.Width, first.Height);
  }
  view.SetSeries(views, ViewTransforms(), key, NegativeInput == 1);
}

// The view's transforms are one a view of its own series, which is the
// list's while RefreshAlignView keeps it so; anything else would move the
// wrong views.
void TForm1::TakeAlignViewTransforms() {
  const AlignView* view = AlignViewOf(*this);
  if (!view) return;
  if (view->views() != Items()) return RefreshAlignView();
  SetViewTransforms(view->transforms());
}

void TForm1::TakeAlignViewKey() {
  if (const AlignView* view = AlignViewOf(*this)) alignKey_ = view->key();
}

// An open alignment view shows the list as it is now; with fewer than two
// views it closes.
void TForm1::RefreshAlignView() {
  AlignView* view = AlignViewOf(*this);
  if (!view || view->isHidden() || view->views() == Items()) return;
  if (ListBox1->count() < 2) {
    view->hide();
    return;
  }
  FillAlignView(*view);
}

// The same search as plivora-interlace --align auto, with the key
// rectangle chosen in the alignment view (the first view's centre third
// when none was), or the open job's key shift. What it finds replaces every view's shift and turn; a
// job that asked for the search no longer needs to, and is saved with the
// shifts instead.
void TForm1::AutoAlignClick() {
  const QStringList views = Items();
  NeedTwoViews(views);
  ExportRequest request;
  request.views = views;
  request.transforms = ViewTransforms();
  request.negativeInput = NegativeInput == 1;
  request.settings.align.automatic = true;
  request.settings.align.key = alignKey_;
  // An open job's --key-shift steps the views instead of the key's fit.
  if (!jobPath_.isEmpty()) request.settings.align.keyShift = AlignSettingsFrom(jobKept_.options).keyShift;
  FoundAlignment found;
  {
    AligningScope busy(ProgressBar1);
    found = FindAlignment(request, [this](int percent) {
      ProgressBar1->setValue(percent);
      ProgressBar1->repaint();
    });
  }
  jobKept_.options.erase(QStringLiteral("align"));
  jobKept_.options.erase(QStringLiteral("key-shift"));
  SetViewTransforms(found.transforms);
  depth_ = MeasuredDepth{views, ViewTransforms(), found.parallax};
  UpdateOutputSummary();
  if (AlignView* view = AlignViewOf(*this)) {
    view->SetTransforms(ViewTransforms());
    const QStringList lines = DepthBudgetLines();
    view->ShowStatus(lines.join(QChar('\n')), lines.size() > 2);
  }
}

// The made views' budget; otherwise the measured one, only while the list
// and its transforms are those Auto align measured: a nudge, a view added
// or moved makes the measurements stale.
QStringList TForm1::DepthBudgetLines() const {
  if (made_.Active()) return MadeBudgetLines();
  if (!depth_ || depth_->views != Items() || depth_->transforms != ViewTransforms() || depth_->parallax.empty()) return {};
  ExportRequest request;
  try {
    request.settings = WindowSettings();
  } catch (const Error&) {
    return {};  // the summary names the field
  }
  request.views = depth_->views;
  request.firstPhotoWidth = FirstPhotoWidth;
  request.firstPhotoHeight = FirstPhotoHeight;
  try {
    return plivora::DepthBudgetLines(BudgetOf(request, depth_->parallax), ChineseWording());
  } catch (const Error& e) {
    return {CoreWords(QStringLiteral("无法计算景深：%1"), e.message())};
  }
}

void TForm1::RetitleAlignView() {
  if (AlignView* view = AlignViewOf(*this)) view->Retitle();
}

}  // namespace plivora
