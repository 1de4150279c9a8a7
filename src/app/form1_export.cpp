// What the window writes: the export, and the pitch test sheet. Each asks
// for a file name, then runs the core with the fields' texts, the busy
// cursor and the progress bar, and beeps when the file is written.
#include <QApplication>
#include <functional>
#include <algorithm>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include "app/form1.h"
#include "app/wording.h"
#include "common/error.h"
#include "common/numbers.h"
#include "common/signal_cleanup.h"
#include "jobs/export.h"
#include "jobs/pitch_sheet.h"
#include "options/option_table.h"

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
// The print setup's output form comes first, among them or added to them.
struct SaveEntry {
  OutputForm form;
  QString Filter(PlateColour colour) const {
    QString text = form.bigTiff ? QStringLiteral("BigTIFF") : QStringLiteral("TIF");
    const QString comma = Words(QStringLiteral(", "), QStringLiteral("，"));
    if (colour == PlateColour::kCmyk) text += comma + Words(QStringLiteral("CMYK"), QStringLiteral("四色"));
    if (colour == PlateColour::kRgb) text += comma + QStringLiteral("RGB");
    const QString compressed = Words(QStringLiteral("%1 compressed"), QStringLiteral("%1 压缩"));
    switch (form.compression) {
      case Compression::Lzw: text += comma + compressed.arg(QStringLiteral("LZW")); break;
      case Compression::PackBits: text += comma + compressed.arg(QStringLiteral("PackBits")); break;
      case Compression::Deflate: text += comma + compressed.arg(QStringLiteral("Deflate")); break;
      case Compression::None: break;
    }
    return text + QStringLiteral(" (*.tif)");
  }
};

std::vector<SaveEntry> ExportEntries(const OutputForm& first) {
  std::vector<SaveEntry> entries = {{{}}, {{Compression::Lzw, false}}, {{Compression::PackBits, false}}, {{Compression::None, true}}};
  const auto same = [&](const SaveEntry& e) { return e.form.compression == first.compression && e.form.bigTiff == first.bigTiff; };
  const auto it = std::find_if(entries.begin(), entries.end(), same);
  const SaveEntry chosen{first};
  if (it != entries.end()) entries.erase(it);
  entries.insert(entries.begin(), chosen);
  return entries;
}

QString ExportFilter(const std::vector<SaveEntry>& entries, PlateColour colour) {
  QStringList filters;
  for (const SaveEntry& e : entries) filters << e.Filter(colour);
  return filters.join(QStringLiteral(";;"));
}

// The form of the entry the file was saved under. A dialog that names no
// entry leaves the preselected one; an entry it never offered is refused
// rather than guessed.
OutputForm FormOfEntry(const std::vector<SaveEntry>& entries, const QString& filter, PlateColour colour) {
  if (filter.isEmpty()) return entries.front().form;
  for (const SaveEntry& e : entries)
    if (filter == e.Filter(colour)) return e.form;
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
  // Views made from the layers window's layers or depth map take the list's
  // place; with views listed too, the export is refused rather than guessed.
  const bool made = made_.Active();
  ExportRequest request;
  if (made) PutMadeInRequest(request);
  if (count == 0 && !made) Fail(Words(QStringLiteral("There are no views to export; import a series first"),
                             QStringLiteral("没有可导出的图片；请先导入系列图")));
  if (count > 255)
    Fail(Words(QStringLiteral("A series can hold at most 255 views; this one has %1"), QStringLiteral("一个系列最多 255 张图；这个有 %1 张"))
             .arg(count));
  // Views that are no file now are named all together, before the dialog.
  if (const QStringList missing = MarkMissingViews(); !missing.isEmpty())
    Fail(Words(QStringLiteral("%1 of the %2 views are missing:\n%3"), QStringLiteral("%2 张图中缺少 %1 张：\n%3"))
             .arg(missing.size())
             .arg(count)
             .arg(missing.join(QChar('\n'))));

  // The events processed below could deliver another click on Export; one
  // export runs at a time.
  if (exporting_) return;
  // The views stage's search is run by Auto align in the alignment view,
  // where the operator sees the shifts it finds before they are exported.
  const AlignSettings search = AlignSettingsFrom(jobKept_.options);
  if (search.automatic || search.keyShift) {
    desktop_.ShowError(this, Words(QStringLiteral("This job asks for its views to be aligned (--align auto or --key-shift), "
                                                  "which an export does not do on its own. Open the alignment view (the button beside the logo), "
                                                  "press Auto align, check the shifts, and export again."),
                                   QStringLiteral("此作业要求对齐视图（--align auto 或 --key-shift），导出不会自行对齐。"
                                                  "请打开视图对齐窗口（标志旁的按钮），按“自动对齐”，检查位移后再导出。")));
    return;
  }
  QString filter;
  const PlateColour colour = setup_.settings.colour.plate;
  const std::vector<SaveEntry> entries = ExportEntries(setup_.settings.form);
  // An open job's output is proposed where it was written last.
  const bool jobOutput = !jobPath_.isEmpty() && !jobKept_.output.isEmpty();
  if (jobOutput) outputFolder_ = QFileInfo(jobKept_.output).absolutePath();
  const QString proposed = jobOutput ? QFileInfo(jobKept_.output).completeBaseName() : QStringLiteral("zorvex");
  const QString path = AskSavePath(proposed, ExportFilter(entries, colour), &filter);
  if (path.isEmpty()) return;
  const OutputForm form = FormOfEntry(entries, filter, colour);

  ExportScope scope(*this, ProgressBar1, exporting_);
  // Let the dialog's area redraw before the window stops answering.
  QApplication::processEvents();

  PhotoCount = uint8_t(count);
  // The fields read in the export's order, with the runtime's messages.
  request.settings = WindowSettings();
  request.settings.form = form;
  if (!made) {
    request.views = Items();
    request.transforms = jobKept_.TransformsFor(request.views);  // an opened job's shifts and turns
  }
  request.firstPhotoWidth = FirstPhotoWidth;
  request.firstPhotoHeight = FirstPhotoHeight;
  request.negativeInput = !made && NegativeInput == 1;
  request.outputPath = QFileInfo(path).absoluteFilePath();
  request.now = desktop_.Now();
  request.locale = QLocale();
  if (!jobPath_.isEmpty()) request.slugName = QFileInfo(jobPath_).fileName();
  request.inputs.Add(jobPath_, QStringLiteral("the job"));
  request.tooLargeAdvice = TooLargeAdvice();

  // No events are handled while the export runs; the bar repaints itself
  // at once so the user sees it advance.
  ExportInterlaced(request, [this](int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
  });
  jobKept_.output = request.outputPath;  // the output a job saved from the window names
  // A signal that came while the file took its name ends the program now.
  RaiseDeferredSignal();
  QStringList written;
  const int panels = request.settings.panels;
  for (int k = 1; k <= panels; ++k) written << (panels == 1 ? request.outputPath : PanelFileName(request.outputPath, k, panels));
  ShowWritten(written);
  ShowTitle();  // the job's output changed
  desktop_.Beep();
}

namespace {

// What a sheet of `c` would refuse: a field that is no number, or not above
// 0 (the range: below 0), named as the dialog names it; else the sheet's
// own refusal (too many strips, a step too fine, no lens, too few rows) in
// a frame of the caption language.
QString PitchProblem(const PitchTestChoices& c, const PitchSheetTexts& t) {
  const struct {
    QString name, text;
    bool zeroTaken;
  } numbers[] = {{QStringLiteral("DPI"), c.dpi, false},
                 {QStringLiteral("LPI"), c.lpi, false},
                 {Words(QStringLiteral("Sheet width"), QStringLiteral("测试页宽度")), c.width, false},
                 {Words(QStringLiteral("LPI range"), QStringLiteral("线数范围")), c.range, true},
                 {Words(QStringLiteral("LPI step"), QStringLiteral("线数步长")), c.step, false},
                 {Words(QStringLiteral("Strip height"), QStringLiteral("条高")), c.strip, false}};
  for (const auto& n : numbers) {
    Real value = 0;
    try {
      value = ParseFloat(n.text.trimmed(), t.decimalSeparator);
    } catch (const Error&) {
      return Words(QStringLiteral("%1 is not a number"), QStringLiteral("%1 不是数字")).arg(n.name);
    }
    if (n.zeroTaken ? !(value >= 0) : !(value > 0))
      return (n.zeroTaken ? Words(QStringLiteral("%1 must be 0 or more"), QStringLiteral("%1 不能小于 0"))
                          : Words(QStringLiteral("%1 must be above 0"), QStringLiteral("%1 必须大于 0")))
          .arg(n.name);
  }
  try {
    PlanPitchSheet(t);
  } catch (const Error& e) {
    return CoreWords(QStringLiteral("测试页不能这样印：%1"), e.message());
  }
  return QString();
}

}  // namespace

// The pitch test sheet: the dialog shows the DPI, LPI and width it prints
// at (the window's, a width too narrow for the sheet's own header widened to
// the sheet's default) and checks them when OK is pressed; the window's
// unit and compress, the print setup's lenses and mirror. It needs no views.
void TForm1::BitBtn13Click() {
  if (exporting_) return;
  const ExportTexts fields = FieldTexts();
  if (fields.dpi == QLatin1String("(Auto)"))
    Fail(Words(QStringLiteral("A pitch test prints at the plate setter's DPI; type it instead of (Auto)"),
               QStringLiteral("节距测试按制版机的输出精度打印；请输入精度，不要用 (Auto)")));
  const PitchSheetTexts defaults;
  PitchTestChoices choices;
  choices.dpi = fields.dpi;
  choices.lpi = fields.lpi;
  choices.unit = fields.inch ? QStringLiteral("inch") : QStringLiteral("cm");
  const Real minimum = fields.inch ? 4 : 10.16L;  // 4 inches: the header's text and rulers
  choices.width = fields.width;
  try {
    if (ParseFloat(fields.width, fields.decimalSeparator) < minimum) choices.width = fields.inch ? defaults.width : QStringLiteral("20");
  } catch (const Error&) {
    choices.width = fields.inch ? defaults.width : QStringLiteral("20");
  }
  choices.range = defaults.range;
  choices.step = defaults.step;
  choices.strip = fields.inch ? defaults.strip : QStringLiteral("1.27");
  const auto texts = [&](const PitchTestChoices& c) {
    PitchSheetTexts t;
    t.dpi = c.dpi.trimmed();
    t.lpi = c.lpi.trimmed();
    t.width = c.width.trimmed();
    t.compress = fields.compress;
    t.inch = fields.inch;
    t.range = c.range;
    t.step = c.step;
    t.strip = c.strip;
    t.phase = c.phase;
    t.decimalSeparator = fields.decimalSeparator;
    t.lenses = setup_.settings.lens.lenses;
    t.mirror = setup_.settings.lens.mirror;
    return t;
  };
  // What the sheet would refuse, named when OK is pressed.
  const PitchTestCheck check = [&](const PitchTestChoices& c) { return PitchProblem(c, texts(c)); };
  if (!desktop_.AskPitchTest(this, choices, check)) return;
  // The sheet is always written as the plain file.
  const QString path = AskSavePath(QStringLiteral("pitchtest"), QStringLiteral("TIF (*.tif)"), nullptr);
  if (path.isEmpty()) return;

  ExportScope scope(*this, ProgressBar1, exporting_);
  QApplication::processEvents();
  PitchSheetRequest request;
  request.texts = texts(choices);
  request.outputPath = QFileInfo(path).absoluteFilePath();
  request.now = desktop_.Now();
  request.locale = QLocale();
  lastSheet_ = WritePitchSheet(request, [this](int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
  });
  sheetPrinted_ = true;
  RaiseDeferredSignal();
  ShowWritten({request.outputPath});
  desktop_.Beep();
}

// The save dialog of both outputs, offering `filter`'s entries: in the
// folder the last output went to (before the first, where the file dialogs
// opened last); remembers the folder for next time.
QString TForm1::AskSavePath(const QString& proposedName, const QString& filter, QString* selectedFilter) {
  FileDialogOptions options;
  options.title = QStringLiteral("Save as tiff");
  options.filter = filter;
  options.defaultSuffix = QStringLiteral("tif");
  options.folder = outputFolder_.isEmpty() ? lastFolder_ : outputFolder_;
  options.fileName = proposedName;
  const QString path = desktop_.SaveFileName(this, options, selectedFilter);
  if (!path.isEmpty()) outputFolder_ = QFileInfo(path).absolutePath();
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
  t.bleed = setup_.settings.texts.bleed;
  return t;
}


OptionValues TForm1::WindowValues(bool portable) const {
  // The open job's options the window does not show go on as they were.
  OptionValues values;
  if (!jobPath_.isEmpty())
    for (const auto& [name, value] : jobKept_.options)
      if (const OptionEntry* o = FindExportOption(name); o && o->shown == Shown::kNowhere) values[name] = value;
  // What the views are made from is the layers window's, job or none.
  PutMadeOptions(made_, values);
  for (const auto& [name, value] : setup_.values) values[name] = value;
  const QChar sep = DecimalSeparator();
  for (const OptionEntry& o : ExportOptions()) {
    if (o.windowField.isEmpty()) continue;
    const QWidget* control = findChild<QWidget*>(o.windowField);
    if (const auto* box = qobject_cast<const QComboBox*>(control); box && o.kind == OptionKind::kChoice) {
      // A choice is its item only while the box shows it; else the default
      // (the unit box with no item selected counts as cm).
      const int i = box->currentIndex();
      values[o.name] = i >= 0 && box->currentText() == box->itemText(i) ? o.choices[size_t(i)].name : o.fallback;
      continue;
    }
    const auto* box = qobject_cast<const QComboBox*>(control);
    const QString text = box ? box->currentText() : qobject_cast<const QLineEdit*>(control)->text();
    // "(Auto)" is no number, and goes as it is.
    values[o.name] = portable && CanonicalValue(o.name, text) != QLatin1String("(Auto)") ? PortableNumberText(text, sep) : text;
  }
  return values;
}

void TForm1::ShowFieldValues(const OptionValues& values) {
  for (const OptionEntry& o : ExportOptions()) {
    const auto value = values.find(o.name);
    if (o.windowField.isEmpty() || value == values.end()) continue;
    QWidget* control = findChild<QWidget*>(o.windowField);
    if (auto* box = qobject_cast<QComboBox*>(control); box && o.kind == OptionKind::kChoice) {
      for (size_t i = 0; i < o.choices.size(); ++i)
        if (o.choices[i].name == value->second) box->setCurrentIndex(int(i));
    } else if (box) {
      box->setEditText(value->second);
    } else {
      qobject_cast<QLineEdit*>(control)->setText(value->second);
    }
  }
  ShowFieldsFromStart();
}

ExportSettings TForm1::WindowSettings() const { return SettingsFrom(WindowValues(), DecimalSeparator()); }

// The unit is inch only while the box shows its first item.
bool TForm1::UnitIsInch() const {
  return ComboBox2->currentIndex() == 0 && ComboBox2->currentText() == ComboBox2->itemText(0);
}

}  // namespace plivora
