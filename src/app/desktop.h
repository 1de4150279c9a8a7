// What the window asks of the desktop: file dialogs, message boxes, the
// browser, the beep and the clock. The program uses QtDesktop; tests put in
// their own answers, so every handler runs without a modal dialog.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/print_setup.h"

class QWidget;

namespace plivora {

struct FileDialogOptions {
  QString title;          // empty: the dialog's own title
  QString filter;         // Qt form: "TIFF (*.tif *.tiff);;GJS (*.gjs)"; the first entry is preselected
  QString defaultSuffix;  // added to a typed name without one ("tif")
  QString folder;         // where the dialog opens; empty: current folder
  QString fileName;       // proposed name (save dialog)
};

// What the pitch test dialog asks; the window fills in its defaults.
struct PitchTestChoices {
  QString range;   // strips cover LPI - range .. LPI + range
  QString step;    // LPI difference between strips
  QString strip;   // height of each strip's pattern, in `unit`
  QString unit;    // "inch" or "cm", shown beside the strip height
  bool phase = false;  // 8 strips at the LPI, shifted by eighths of a lens
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // The chosen paths in the dialog's order; empty when cancelled.
  virtual QStringList OpenFileNames(QWidget* parent, const FileDialogOptions& options) = 0;
  // The chosen path; empty when cancelled. The dialog asks before an
  // existing file is replaced. When `selectedFilter` is given, it receives
  // the filter entry the file was saved under, as written in options.filter.
  virtual QString SaveFileName(QWidget* parent, const FileDialogOptions& options, QString* selectedFilter) = 0;
  // A plain message box: no icon, the application's title as caption.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // The standard error dialog: error icon, the application's title as
  // caption, `text` as it stands (the full-stop rule is applied before).
  virtual void ShowError(QWidget* parent, const QString& text) = 0;
  // Asks the desktop to open `url` in the browser; the outcome is not known.
  virtual void OpenBrowser(const QUrl& url) = 0;
  virtual void Beep() = 0;
  virtual QDateTime Now() = 0;
  // The pitch test dialog, showing `choices`; false when cancelled, else
  // true with the choices as the user left them.
  virtual bool AskPitchTest(QWidget* parent, PitchTestChoices& choices) = 0;
  // The print setup dialog, showing `setup`; false when cancelled, else true
  // with the setup as the user left it (its profiles checked).
  virtual bool AskPrintSetup(QWidget* parent, PrintSetup& setup) = 0;
};

// The real dialogs of the toolkit.
class QtDesktop : public Desktop {
 public:
  QStringList OpenFileNames(QWidget* parent, const FileDialogOptions& options) override;
  QString SaveFileName(QWidget* parent, const FileDialogOptions& options, QString* selectedFilter) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  void ShowError(QWidget* parent, const QString& text) override;
  void OpenBrowser(const QUrl& url) override;
  void Beep() override;
  QDateTime Now() override;
  bool AskPitchTest(QWidget* parent, PitchTestChoices& choices) override;
  bool AskPrintSetup(QWidget* parent, PrintSetup& setup) override;
};

}  // namespace plivora
