// Helpers of the window tests: a desktop that answers the dialogs from
// queues and records what was shown, and a main window made in a temporary
// program folder.
#pragma once

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/desktop.h"
#include "app/form1.h"

namespace plivora::test {

class FakeDesktop : public Desktop {
 public:
  // Answers, taken front first; an empty queue answers "cancel".
  QList<QStringList> openAnswers;
  QStringList saveAnswers;
  // The save dialog's filter entry the user picks for every answer, passed
  // on as it stands; empty: the first, preselected entry.
  QString saveFilter;
  // What the window asked and showed.
  QList<FileDialogOptions> openAsked, saveAsked;
  QStringList messages, errors;
  QList<QUrl> browsed;
  int beeps = 0;
  QDateTime now{QDate(2026, 3, 14), QTime(9, 26, 53)};

  QStringList OpenFileNames(QWidget*, const FileDialogOptions& options) override;
  QString SaveFileName(QWidget*, const FileDialogOptions& options, QString* selectedFilter) override;
  void ShowMessage(QWidget*, const QString& text) override { messages << text; }
  void ShowError(QWidget*, const QString& text) override { errors << text; }
  // Questions: recorded, and answered front first from askAnswers (an
  // empty queue answers Cancel).
  QStringList questions;
  QList<QMessageBox::StandardButton> askAnswers;
  QMessageBox::StandardButton Ask(QWidget*, const QString& question, QMessageBox::StandardButtons) override {
    questions << question;
    return askAnswers.isEmpty() ? QMessageBox::Cancel : askAnswers.takeFirst();
  }
  void OpenBrowser(const QUrl& url) override { browsed << url; }
  void Beep() override { ++beeps; }
  QDateTime Now() override { return now; }
  // The pitch test dialog: records the choices it was shown and answers
  // with the next entry of pitchAnswers (an empty queue cancels; fields an
  // answer leaves empty stay as shown). An answer the dialog's check finds
  // fault with is recorded in pitchProblems and cancels, as a user would
  // after reading it.
  QList<PitchTestChoices> pitchAsked;
  QList<PitchTestChoices> pitchAnswers;
  QStringList pitchProblems;
  bool AskPitchTest(QWidget*, PitchTestChoices& choices, const PitchTestCheck& check) override {
    pitchAsked << choices;
    if (pitchAnswers.isEmpty()) return false;
    PitchTestChoices answer = pitchAnswers.takeFirst();
    // What an answer leaves empty stays as the dialog showed it.
    for (auto field : {&PitchTestChoices::dpi, &PitchTestChoices::lpi, &PitchTestChoices::width, &PitchTestChoices::unit})
      if ((answer.*field).isEmpty()) answer.*field = choices.*field;
    if (const QString problem = check(answer); !problem.isEmpty()) {
      pitchProblems << problem;
      return false;
    }
    choices = answer;
    return true;
  }
  // The print setup dialog: records the values and the profiles it was
  // shown, and answers with the next entry of setupAnswers, which the
  // dialog would have checked; an answer without a DPI or an LPI leaves
  // the field as shown.
  QList<OptionValues> setupAsked;
  QList<ProfileBook> setupProfiles;
  QList<OptionValues> setupAnswers;
  bool AskPrintSetup(QWidget*, OptionValues& values, const ProfileBook& profiles) override {
    setupAsked << values;
    setupProfiles << profiles;
    if (setupAnswers.isEmpty()) return false;
    OptionValues answer = setupAnswers.takeFirst();
    for (const char* field : {"dpi", "lpi"})
      if (!answer.count(QLatin1String(field)) && values.count(QLatin1String(field)))
        answer[QLatin1String(field)] = values.at(QLatin1String(field));
    values = answer;
    return true;
  }
  // The profiles dialog: records what "add" would take, and applies the
  // next edit of profileEdits (an empty queue changes nothing).
  QList<OptionValues> profilesCurrent;
  QList<std::function<void(ProfileBook&)>> profileEdits;
  bool ManageProfiles(QWidget*, ProfileBook& book, const OptionValues& current) override {
    profilesCurrent << current;
    if (profileEdits.isEmpty()) return false;
    profileEdits.takeFirst()(book);
    return true;
  }
  // "Save lens…": records what it was shown and answers with the next
  // entry of saveLensAnswers (an empty queue cancels); an answer the check
  // finds fault with is recorded in saveLensProblems and the dialog, still
  // open, takes the next answer.
  QList<SaveLensChoices> saveLensAsked, saveLensAnswers;
  QStringList saveLensProblems;
  bool AskSaveLens(QWidget*, SaveLensChoices& choices, const SaveLensCheck& check) override {
    saveLensAsked << choices;
    while (!saveLensAnswers.isEmpty()) {
      SaveLensChoices answer = choices;
      const SaveLensChoices given = saveLensAnswers.takeFirst();
      answer.name = given.name;
      answer.strip = given.strip;
      answer.lpi = given.lpi;
      if (const QString problem = check(answer); !problem.isEmpty()) {
        saveLensProblems << problem;
        continue;
      }
      choices = answer;
      return true;
    }
    return false;
  }
};

// A main window whose program folder is a fresh temporary folder (or
// `exeDir`, to start again on the same settings).
struct WindowRig {
  explicit WindowRig(const QString& exeDir = {});
  ~WindowRig();
  TForm1& w() { return *window; }
  QString folder() const { return exeDir; }
  QString settingsPath() const;
  // Starts a new window on the same program folder, as a second run would.
  void Restart();
  // Imports `paths` through the import button's handler.
  void Import(const QStringList& paths);
  QStringList items() const;

  std::unique_ptr<QTemporaryDir> ownDir;
  QString exeDir;
  FakeDesktop desktop;
  std::unique_ptr<TForm1> window;
};

// Writes a view of width x height pixels whose pixel (x, y) has the inks
// (x + 10 * seed, y, seed * 20, 3); returns its path.
QString WriteView(const QString& path, int width, int height, int seed = 0, bool inverted = false);

QByteArray FileBytes(const QString& path);

// Triggers the window's context-menu action of that object name.
void Trigger(TForm1& w, const char* action);
// The rig's window with its words in English (it starts in Chinese).
TForm1& English(WindowRig& rig);
// The image rows of an exported file: the bytes after the 334-byte header
// and before the 0.2-inch caption strip of a 4000 dpi, compress 10 export
// (80 rows), which carry the date and time and so differ between runs.
QByteArray ImageRows(const QByteArray& exported);

// True when the program runs under a comma-decimal locale in both the C
// library and Qt, as ctest's ".comma" runs set it up. Elsewhere the test is
// skipped, and where PLIVORA_COMMA_LOCALE is set it fails instead, so that a
// missing locale can't make the comma run pass unseen.
bool RequireCommaLocale();
void WriteFile(const QString& path, const QByteArray& bytes);

}  // namespace plivora::test
