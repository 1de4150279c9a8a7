// The export from the window: the save dialog, then the core's export with
// the fields' texts, the busy cursor and the progress bar.
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include "app/form1.h"
#include "common/error.h"
#include "output/export.h"

namespace plivora {

namespace {

// Holds the busy cursor and the progress bar for one export; on every way
// out, the default cursor comes back and the bar goes back to 0.
class ExportScope {
 public:
  ExportScope(QProgressBar* bar, bool& running) : bar_(bar), running_(running) {
    running_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bar_->setRange(0, 100);
  }
  ~ExportScope() {
    running_ = false;
    QApplication::restoreOverrideCursor();
    bar_->setValue(0);
  }
  ExportScope(const ExportScope&) = delete;
  ExportScope& operator=(const ExportScope&) = delete;

 private:
  QProgressBar* bar_;
  bool& running_;
};

}  // namespace

void TForm1::BitBtn7Click() {
  // Delete can empty the list while Export stays enabled; such a series, and
  // one too long for the column map, is refused before anything is asked.
  const int count = ListBox1->count();
  if (count == 0) Fail(QStringLiteral("There are no views to export; import a series first"));
  if (count > 255) Fail(QStringLiteral("A series can hold at most 255 views; this one has %1").arg(count));

  FileDialogOptions options;
  options.title = QStringLiteral("Save as tiff");
  options.filter = QStringLiteral("TIF (*.tif)");
  options.defaultSuffix = QStringLiteral("tif");
  options.folder = lastFolder_;
  options.fileName = QStringLiteral("zorvex");
  // The events processed below could deliver another click on Export; one
  // export runs at a time.
  if (exporting_) return;
  const QString path = desktop_.SaveFileName(this, options);
  if (path.isEmpty()) return;
  lastFolder_ = QFileInfo(path).absolutePath();

  ExportScope scope(ProgressBar1, exporting_);
  // Let the dialog's area redraw before the window stops answering.
  QApplication::processEvents();

  PhotoCount = uint8_t(count);
  ExportRequest request;
  request.texts.dpi = ComboBox3->currentText();
  request.texts.lpi = ComboBox1->currentText();
  request.texts.width = Edit3->text();
  request.texts.height = Edit4->text();
  request.texts.compress = Edit2->text();
  // The unit is inch only while the box shows its first item.
  request.texts.inch = ComboBox2->currentIndex() == 0 && ComboBox2->currentText() == ComboBox2->itemText(0);
  request.texts.decimalSeparator = DecimalSeparator();
  request.views = Items();
  request.firstPhotoWidth = FirstPhotoWidth;
  request.firstPhotoHeight = FirstPhotoHeight;
  request.negativeInput = NegativeInput == 1;
  request.outputPath = QFileInfo(path).absoluteFilePath();
  request.now = desktop_.Now();
  request.locale = QLocale();

  // No events are handled while the export runs; the bar repaints itself
  // at once so the user sees it advance.
  ExportInterlaced(request, [this](int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
  });
  desktop_.Beep();
}

}  // namespace plivora
