// What the window asks of the desktop: file dialogs, message boxes, the
// browser, the beep and the clock. The program uses QtDesktop; tests put in
// their own answers, so every handler runs without a modal dialog.
#pragma once

#include <QDateTime>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "app/print_setup.h"
#include "jobs/profiles.h"

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
  QString dpi, lpi;  // what the sheet prints at
  QString width;     // the sheet's width, in `unit`
  QString range;     // strips cover LPI - range .. LPI + range
  QString step;      // LPI difference between strips
  QString strip;     // height of each strip's pattern, in `unit`
  QString unit;      // "inch" or "cm", shown beside the lengths
  bool phase = false;  // 8 strips at the LPI, shifted by eighths of a lens
};
// What is wrong with the choices, naming the field; empty when nothing is.
using PitchTestCheck = std::function<QString(const PitchTestChoices&)>;

// What "Save lens…" asks: the name, and the winning strip's number on the
// last sheet or an LPI typed instead (one of the two).
struct SaveLensChoices {
  QString name;
  QString strip;         // "7": a strip of the last sheet, 1 to `strips`
  QString lpi;           // "75.40595", when no strip is given
  int strips = 0;        // on the last sheet; 0 when none was printed (no strip to give)
  bool phaseSheet = false;
};
// What is wrong with the choices; empty when nothing is.
using SaveLensCheck = std::function<QString(const SaveLensChoices&)>;

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
  // A question with `buttons` (Yes and Cancel before a profile is replaced;
  // Save, Discard and Cancel before unsaved changes are), in the toolkit's
  // words for the caption language; the button pressed, Cancel when the
  // question is closed otherwise.
  virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& question, QMessageBox::StandardButtons buttons) = 0;
  // Asks the desktop to open `url` in the browser; the outcome is not known.
  virtual void OpenBrowser(const QUrl& url) = 0;
  virtual void Beep() = 0;
  virtual QDateTime Now() = 0;
  // The pitch test dialog, showing `choices`; false when cancelled, else
  // true with the choices as the user left them, `check` finding nothing
  // wrong (the dialog stays open and shows what it finds).
  virtual bool AskPitchTest(QWidget* parent, PitchTestChoices& choices, const PitchTestCheck& check) = 0;
  // The print setup dialog, showing `values` (the print setup's options, and
  // the window's DPI and LPI) and offering the saved lens and printer
  // profiles of `profiles` to fill them; `values`' "unit" is the window's,
  // shown beside the bleed and not a field of the dialog. False when
  // cancelled, else true with the values as the user left them, checked as
  // the export checks them (SetupProblem; the dialog stays open and shows
  // what it finds), the unit left out.
  virtual bool AskPrintSetup(QWidget* parent, OptionValues& values, const ProfileBook& profiles) = 0;
  // The profiles dialog: add (from `current`, the options of the print
  // setup), rename, delete, export to and import from a file, asking before
  // a profile is replaced (profile_edits.h). Returns true with `book` as the
  // user left it, false when nothing was changed.
  virtual bool ManageProfiles(QWidget* parent, ProfileBook& book, const OptionValues& current) = 0;
  // The "Save lens…" dialog; false when cancelled, else true with the
  // choices `check` finds nothing wrong with (the dialog stays open and
  // shows what it finds).
  virtual bool AskSaveLens(QWidget* parent, SaveLensChoices& choices, const SaveLensCheck& check) = 0;
};

// The real dialogs of the toolkit.
class QtDesktop : public Desktop {
 public:
  QStringList OpenFileNames(QWidget* parent, const FileDialogOptions& options) override;
  QString SaveFileName(QWidget* parent, const FileDialogOptions& options, QString* selectedFilter) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  void ShowError(QWidget* parent, const QString& text) override;
  QMessageBox::StandardButton Ask(QWidget* parent, const QString& question, QMessageBox::StandardButtons buttons) override;
  void OpenBrowser(const QUrl& url) override;
  void Beep() override;
  QDateTime Now() override;
  bool AskPitchTest(QWidget* parent, PitchTestChoices& choices, const PitchTestCheck& check) override;
  bool AskPrintSetup(QWidget* parent, OptionValues& values, const ProfileBook& profiles) override;
  bool ManageProfiles(QWidget* parent, ProfileBook& book, const OptionValues& current) override;
  bool AskSaveLens(QWidget* parent, SaveLensChoices& choices, const SaveLensCheck& check) override;
};

}  // namespace plivora
