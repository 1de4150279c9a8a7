// The lens view's button: the plate of the window's settings made as the
// export makes it, sampled for the print setup's lens, into the lens view.
#include <QApplication>
#include <QFileInfo>
#include <QProgressBar>

#include "app/form1.h"
#include "app/lens_view.h"
#include "app/lens_view_plate.h"
#include "app/wording.h"
#include "common/error.h"

namespace plivora {

namespace {

// The busy cursor and the progress bar while the plate is made; on every way
// out the cursor comes back, the bar goes back to 0, and input queued
// meanwhile is dropped, as after an export.
class BusyScope {
 public:
  BusyScope(TForm1& form) : form_(form) { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyScope() {
    QApplication::restoreOverrideCursor();
    form_.ProgressBar1->setValue(0);
    form_.DiscardQueuedInput();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  TForm1& form_;
};

// The form's lens view, if one was opened. Found by its object name and
// cast: LensView declares no meta-object of its own (the build runs no moc),
// so findChild<LensView*> would take any child widget for one.
LensView* LensViewOf(const QWidget& form) {
  return static_cast<LensView*>(form.findChild<QWidget*>(QStringLiteral("LensView"), Qt::FindDirectChildrenOnly));
}

}  // namespace

void TForm1::LensViewClick() {
  const QStringList views = Items();
  // The layers window's made views, when it holds any, in the list's place.
  const bool made = made_.Active();
  if (views.isEmpty() && !made)
    Fail(Words(QStringLiteral("There are no views to see through the lens; import a series first"),
               QStringLiteral("没有可透过光栅查看的图片；请先导入系列图")));
  ExportRequest request;
  request.settings = WindowSettings();
  // The print as it lies under the sheet: one plate, the right way round (a
  // plate mirrored for the back of a clear lens is seen through the sheet
  // unmirrored), without the press frame's margin, which the sheet does not
  // cover. No file is written, so no file's size limit applies.
  request.settings.panels = 1;
  request.settings.lens.mirror = false;
  request.settings.marks = false;
  request.settings.form = OutputForm{Compression::None, true};
  if (made) {
    PutMadeInRequest(request);
  } else {
    request.views = views;
    request.transforms = ViewTransforms();  // the views aligned and cut, as the export reads them
  }
  request.firstPhotoWidth = FirstPhotoWidth;
  request.firstPhotoHeight = FirstPhotoHeight;
  request.negativeInput = !made && NegativeInput == 1;
  request.outputPath = jobKept_.output;  // what the caption strip names: the output last written, if any
  request.now = desktop_.Now();
  request.locale = QLocale();
  if (!jobPath_.isEmpty()) request.slugName = QFileInfo(jobPath_).fileName();
  const LensModel lens = LensOf(request.settings);

  std::unique_ptr<SampledPlate> plate;
  {
    BusyScope busy(*this);
    plate = SampleExport(request, lens, [this](int percent) {
      ProgressBar1->setValue(percent);
      ProgressBar1->repaint();
    });
  }
  LensView* view = LensViewOf(*this);
  if (!view) view = new LensView(this);
  view->SetPlate(std::move(plate), lens, UnitIsInch() ? LengthUnit::kInch : LengthUnit::kCm, DecimalSeparator());
  view->show();
  view->raise();
  view->activateWindow();
}

void TForm1::RetitleLensView() {
  if (LensView* view = LensViewOf(*this)) view->Retitle();
}

}  // namespace plivora
