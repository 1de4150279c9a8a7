// What the window writes: the export, and the pitch test sheet. Each asks
// for a file name, then runs the core with the fields' texts, the busy
// cursor and the progress bar, and beeps when the file is written.
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include "app/form1.h"
#include "common/error.h"
#include "common/signal_cleanup.h"
#include "jobs/export.h"
#include "jobs/pitch_sheet.h"

namespace plivora {

namespace {

// Holds the busy cursor and the progress bar for one export; on every way
// out, the default cursor comes back and the bar goes back to 0.
class ExportScope {
 public:
  ExportScope(TForm1& form, QProgressBar* bar, bool& running) : form_(form), bar_(bar), running_(running) {
    running_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bar_->setRange(0, 100);
  }
  ~ExportScope() {
    running_ = false;
    QApplication::restoreOverrideCursor();
    bar_->setValue(0);
    // Clicks and keys made while the busy cursor showed were meant for a
    // window that did not answer; they are not run now.
    form_.DiscardQueuedInput();
  }
  ExportScope(const ExportScope&) = delete;
  ExportScope& operator=(const ExportScope&) = delete;

 private:
  TForm1& form_;
  QProgressBar* bar_;
  bool& running_;
};

// The export's save dialog entries, in the dialog's order. The first entry,
// preselected, is the classic file the window has always written. A colour
// plate's entries say so: "TIF, CMYK, LZW compressed (*.tif)".
struct SaveEntry {
  const char* kind;
  const char* compression;
  OutputForm form;
};
const SaveEntry kExportEntries[] = {
    {"TIF", "", {}},
    {"TIF", ", LZW compressed", {Compression::Lzw, false}},
    {"TIF", ", PackBits compressed", {Compression::PackBits, false}},
    {"BigTIFF", "", {Compression::None, true}},
};

QString EntryFilter(const SaveEntry& e, PlateColour colour) {
  QString colourName;
  if (colour == PlateColour::kCmyk) colourName = QStringLiteral(", CMYK");
  if (colour == PlateColour::kRgb) colourName = QStringLiteral(", RGB");
  return QStringLiteral("%1%2%3 (*.tif)").arg(QLatin1String(e.kind), colourName, QLatin1String(e.compression));
}

QString ExportFilter(PlateColour colour) {
  QStringList filters;
  for (const SaveEntry& e : kExportEntries) filters << EntryFilter(e, colour);
  return filters.join(QStringLiteral(";;"));
}

// The form of the entry the file was saved under. A dialog that names no
// entry leaves the preselected one; an entry it never offered is refused
// rather than guessed.
OutputForm FormOfEntry(const QString& filter, PlateColour colour) {
  if (filter.isEmpty()) return kExportEntries[0].form;
  for (const SaveEntry& e : kExportEntries)
    if (filter == EntryFilter(e, colour)) return e.form;
  Fail(QStringLiteral("The save dialog answered with the file type \"%1\", which it was not offered").arg(filter));
}

}  // namespace

// What the window tells the operator when a plain file would pass 4 GiB.
QString TForm1::TooLargeAdvice() {
  return QStringLiteral("choose BigTIFF when saving if the RIP reads BigTIFF, or cut the print into panels with "
                        "plivora-interlace --panels N");
}

void TForm1::BitBtn7Click() {
  // Delete can empty the list while Export stays enabled; such a series, and
  // one too long for the column map, is refused before anything is asked.
  const int count = ListBox1->count();
  if (count == 0) Fail(QStringLiteral("There are no views to export; import a series first"));
  if (count > 255) Fail(QStringLiteral("A series can hold at most 255 views; this one has %1").arg(count));

  // The events processed below could deliver another click on Export; one
  // export runs at a time.
  if (exporting_) return;
  QString filter;
  const PlateColour colour = setup_.colour.plate;
  const QString path = AskSavePath(QStringLiteral("zorvex"), ExportFilter(colour), &filter);
  if (path.isEmpty()) return;
  const OutputForm form = FormOfEntry(filter, colour);

  ExportScope scope(*this, ProgressBar1, exporting_);
  // Let the dialog's area redraw before the window stops answering.
  QApplication::processEvents();

  PhotoCount = uint8_t(count);
  ExportRequest request;
  request.texts = FieldTexts();
  request.views = Items();
  request.firstPhotoWidth = FirstPhotoWidth;
  request.firstPhotoHeight = FirstPhotoHeight;
  request.negativeInput = NegativeInput == 1;
  request.outputPath = QFileInfo(path).absoluteFilePath();
  request.now = desktop_.Now();
  request.locale = QLocale();
  request.form = form;
  request.colour = setup_.colour;
  request.lens = setup_.lens;
  request.tooLargeAdvice = TooLargeAdvice();

  // No events are handled while the export runs; the bar repaints itself
  // at once so the user sees it advance.
  ExportInterlaced(request, [this](int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
  });
  // A signal that came while the file took its name ends the program now.
  RaiseDeferredSignal();
  desktop_.Beep();
}

// The pitch test sheet at the window's DPI, LPI, width, unit and compress,
// for the print setup's lenses (and mirrored if it is); it needs no views.
void TForm1::BitBtn13Click() {
  if (exporting_) return;
  PitchTestChoices choices;
  const PitchSheetTexts defaults;
  choices.range = defaults.range;
  choices.step = defaults.step;
  choices.unit = UnitIsInch() ? QStringLiteral("inch") : QStringLiteral("cm");
  choices.strip = UnitIsInch() ? defaults.strip : QStringLiteral("1.27");
  if (!desktop_.AskPitchTest(this, choices)) return;
  // The sheet is always written as the plain file.
  const QString path = AskSavePath(QStringLiteral("pitchtest"), QStringLiteral("TIF (*.tif)"), nullptr);
  if (path.isEmpty()) return;

  ExportScope scope(*this, ProgressBar1, exporting_);
  QApplication::processEvents();
  PitchSheetRequest request;
  PitchSheetTexts& t = request.texts;
  const ExportTexts fields = FieldTexts();
  t.dpi = fields.dpi;
  t.lpi = fields.lpi;
  t.width = fields.width;
  t.compress = fields.compress;
  t.inch = fields.inch;
  t.range = choices.range;
  t.step = choices.step;
  t.strip = choices.strip;
  t.phase = choices.phase;
  t.decimalSeparator = fields.decimalSeparator;
  // The lenses the print setup prints for.
  t.lenses = setup_.lens.lenses;
  t.mirror = setup_.lens.mirror;
  request.outputPath = QFileInfo(path).absoluteFilePath();
  request.now = desktop_.Now();
  request.locale = QLocale();
  WritePitchSheet(request, [this](int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
  });
  RaiseDeferredSignal();
  desktop_.Beep();
}

// The save dialog of both outputs, offering `filter`'s entries; remembers
// the folder for next time.
QString TForm1::AskSavePath(const QString& proposedName, const QString& filter, QString* selectedFilter) {
  FileDialogOptions options;
  options.title = QStringLiteral("Save as tiff");
  options.filter = filter;
  options.defaultSuffix = QStringLiteral("tif");
  options.folder = lastFolder_;
  options.fileName = proposedName;
  const QString path = desktop_.SaveFileName(this, options, selectedFilter);
  if (!path.isEmpty()) lastFolder_ = QFileInfo(path).absolutePath();
  return path;
}

// The parameter fields as the export reads them.
ExportTexts TForm1::FieldTexts() const {
  ExportTexts t;
  t.dpi = ComboBox3->currentText();
  t.lpi = ComboBox1->currentText();
  t.width = Edit3->text();
  t.height = Edit4->text();
  t.compress = Edit2->text();
  t.inch = UnitIsInch();
  t.decimalSeparator = DecimalSeparator();
  return t;
}

// The unit is inch only while the box shows its first item.
bool TForm1::UnitIsInch() const {
  return ComboBox2->currentIndex() == 0 && ComboBox2->currentText() == ComboBox2->itemText(0);
}

}  // namespace plivora
