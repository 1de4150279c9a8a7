// Jobs and profiles in the window, and the places a new operator stumbled:
// a job opened with missing views, saved and run by the command line to the
// window's own bytes, dropped, named on the command line; profiles filling
// the real print setup dialog; "Save lens…" from a phase sheet; the Delete
// key, the height label, the program without a display.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include "app/wording.h"
#include "common/error.h"
#include "app_test_support.h"
#include "jobs/job_file.h"
#include "jobs/profiles.h"

using namespace plivora;
using namespace plivora::test;

namespace {

// Moves the window's export at `out` aside and runs `job` on the command
// line (with `extra`) to `out`; the two files' bytes come back in *window
// and *command.
void RunJobBeside(const QString& job, const QString& out, const QStringList& extra, QByteArray* window,
                  QByteArray* command) {
  QVERIFY(QFile::rename(out, out + QStringLiteral(".window")));
  QProcess cli;
  cli.start(qEnvironmentVariable("PLIVORA_INTERLACE"), QStringList{QStringLiteral("-q"), QStringLiteral("--job"), job} + extra);
  QVERIFY(cli.waitForFinished(60000));
  QCOMPARE(cli.exitCode(), 0);
  *window = FileBytes(out + QStringLiteral(".window"));
  *command = FileBytes(out);
}

// The same file but for its last `strip` bytes, the caption strip, which
// prints the time.
bool SameButTheStrip(const QByteArray& a, const QByteArray& b, qsizetype strip) {
  return a.size() == b.size() && a.mid(334, a.size() - 334 - strip) == b.mid(334, b.size() - 334 - strip);
}

}  // namespace

class WindowJobsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  QStringList Views(const QString& folder, int count) {
    QDir().mkpath(folder);
    QStringList views;
    for (int i = 0; i < count; ++i) views << WriteView(QStringLiteral("%1/v%2.tif").arg(folder).arg(i), 40, 60, i);
    return views;
  }

 private slots:
  void init() { qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toLocal8Bit()); }

  // The list comes back in the job's own order, the first view that is
  // there sets the reference size, and the two missing ones are named in
  // one message.
  void aJobWithMissingViewsOpensAndNamesThem() {
    const QStringList there = Views(dir_.filePath("open"), 3);
    Job job;
    job.views = {dir_.filePath("open/gone1.tif"), there[2], there[0], dir_.filePath("open/gone2.tif"), there[1]};
    job.options = {{QStringLiteral("lpi"), QStringLiteral("39.5018")}, {QStringLiteral("unit"), QStringLiteral("inch")},
                   {QStringLiteral("width"), QStringLiteral("1.5")}, {QStringLiteral("colour"), QStringLiteral("cmyk")},
                   {QStringLiteral("order"), QStringLiteral("pingpong")}};
    const QString path = dir_.filePath("open/card.plivora");
    WriteJob(path, job);
    WindowRig rig;
    TForm1& w = English(rig);
    rig.desktop.openAnswers << QStringList{path};
    Trigger(w, "OpenJob");
    QCOMPARE(rig.items(), job.views);
    QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("39.5018"));
    QCOMPARE(w.Edit3->text(), QStringLiteral("1.5"));
    QCOMPARE(w.ComboBox2->currentIndex(), 0);
    QCOMPARE(w.printSetup().settings.colour.plate, PlateColour::kCmyk);
    QCOMPARE(w.printSetup().settings.lens.frames.order, FrameOrder::kPingPong);
    QCOMPARE(w.FirstPhotoWidth, 40);
    QCOMPARE(w.windowTitle(), QStringLiteral("card.plivora \u2014 Plivora 13.4"));
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY2(rig.desktop.errors[0].startsWith(QStringLiteral("2 of the job's 5 views are missing")), qPrintable(rig.desktop.errors[0]));
    QVERIFY(rig.desktop.errors[0].contains(QStringLiteral("gone1.tif")) && rig.desktop.errors[0].contains(QStringLiteral("gone2.tif")));
  }

  // A job's views read through shifts: the area all cover is the reference
  // size, and the height follows it, as on the command line.
  void aJobsShiftsSetTheReferenceToTheAreaAllCover() {
    const QStringList views = Views(dir_.filePath("shifted"), 3);  // 40 x 60 each
    struct Case {
      std::vector<ViewTransform> shifts;
      int width, height;
    };
    const std::vector<Case> cases = {
        {{}, 40, 60},
        {{{0, 0, 0}, {2, -1, 0}, {-3, 2, 0}}, 35, 57},
        {{{0, 0, 0}, {0, 0, 0}, {0, 4, 0}}, 40, 56},
    };
    for (const Case& c : cases) {
      Job job;
      job.views = views;
      job.transforms = c.shifts;
      job.options = {{QStringLiteral("unit"), QStringLiteral("inch")}, {QStringLiteral("width"), QStringLiteral("1.5")}};
      const QString path = dir_.filePath("shifted/card.plivora");
      WriteJob(path, job);
      WindowRig rig;
      TForm1& w = English(rig);
      rig.desktop.openAnswers << QStringList{path};
      Trigger(w, "OpenJob");
      QCOMPARE(w.FirstPhotoWidth, c.width);
      QCOMPARE(w.FirstPhotoHeight, c.height);
    }
  }

  // A job that asks for the views stage's search is not exported unsearched.
  void aJobAskingForAlignmentIsNotExportedUnaligned() {
    const QStringList views = Views(dir_.filePath("search"), 2);
    for (const auto& [option, value] : {std::pair{QStringLiteral("align"), QStringLiteral("auto")},
                                        std::pair{QStringLiteral("key-shift"), QStringLiteral("0.5")}}) {
      Job job;
      job.views = views;
      job.options = {{QStringLiteral("unit"), QStringLiteral("inch")}, {QStringLiteral("width"), QStringLiteral("1.5")},
                     {option, value}};
      const QString path = dir_.filePath("search/card.plivora");
      WriteJob(path, job);
      WindowRig rig;
      TForm1& w = English(rig);
      rig.desktop.openAnswers << QStringList{path};
      Trigger(w, "OpenJob");
      rig.desktop.saveAnswers << dir_.filePath("search/out.tif");
      w.BitBtn7->click();
      QCOMPARE(rig.desktop.errors.size(), 1);
      QVERIFY2(rig.desktop.errors[0].contains(QStringLiteral("Auto align")), qPrintable(rig.desktop.errors[0]));
      QVERIFY(!QFileInfo::exists(dir_.filePath("search/out.tif")));
    }
  }

  // Saved from the window, a job runs on the command line to the bytes the
  // window writes; dropped on the list, it opens.
  void aSavedJobRunsToTheWindowsBytesAndOpensWhenDropped() {
    const QStringList views = Views(dir_.filePath("save"), 3);
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(views);
    w.ComboBox2->setCurrentIndex(0);
    w.Edit3->setText(QStringLiteral("1.5"));
    w.Edit3KeyUp();
    w.Edit2->setText(QStringLiteral("4"));
    rig.desktop.setupAnswers << OptionValues{{QStringLiteral("lenses"), QStringLiteral("horizontal")},
                                             {QStringLiteral("mirror"), QString()}};
    Trigger(w, "PrintSetup");
    const QString out = dir_.filePath("save/window.tif");
    rig.desktop.saveAnswers << out;
    w.BitBtn7->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const QString path = dir_.filePath("save/card.plivora");
    rig.desktop.saveAnswers << path;
    Trigger(w, "SaveJob");  // no job yet: "Save job as…"
    QCOMPARE(w.jobPath(), path);
    QByteArray window, command;
    RunJobBeside(path, out, {}, &window, &command);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(window.size(), command.size());
    QVERIFY(SameButTheStrip(window, command, qsizetype(800) * 1500 * 4));  // 0.2 inch at 4000 dpi

    WindowRig other;
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(path)});
    QWidget* target = other.w().ListBox1->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(other.items(), views);
    QCOMPARE(other.w().jobPath(), path);
    QVERIFY(other.w().printSetup().settings.lens.mirror);
  }

  // Bleed and marks from the print setup: the summary gives the file's
  // pixels, the trim and the bled size; the window's marked plate is the
  // command line's (the slug line names the job in both).
  void aMarkedPlateIsSummedUpAndWrittenAsTheCommandLineWritesIt() {
    const QStringList views = Views(dir_.filePath("press"), 3);
    WindowRig rig;
    TForm1& w = English(rig);
    rig.Import(views);
    w.ComboBox2->setCurrentIndex(0);
    w.ComboBox3->setEditText(QStringLiteral("1000"));
    w.Edit3->setText(QStringLiteral("1.5"));
    w.Edit3KeyUp();
    // On the grey plate: the plain file's header is 334 bytes.
    rig.desktop.setupAnswers << OptionValues{{QStringLiteral("bleed"), QStringLiteral("0.125")}, {QStringLiteral("marks"), QString()}};
    Trigger(w, "PrintSetup");
    const QStringList summary = w.OutputSummary->text().split(QChar('\n'));
    const QRegularExpression sizes(QStringLiteral("^(\\d+) x (\\d+) px, bled 1.75 x ([\\d.]+) in$"));
    const QRegularExpressionMatch m = sizes.match(summary.value(0));
    QVERIFY2(m.hasMatch(), qPrintable(summary.value(0)));
    QVERIFY2(summary.value(1).endsWith(QStringLiteral(" (over bleed)")), qPrintable(summary.value(1)));
    const QRegularExpressionMatch trim = QRegularExpression(QStringLiteral(", trim 1.5 x ([\\d.]+) in$")).match(summary.value(2));
    QVERIFY2(trim.hasMatch(), qPrintable(summary.value(2)));
    QCOMPARE(m.captured(3).toDouble(), trim.captured(1).toDouble() + 0.25);
    // The bled width (whole lenses of 13.2 px) and a half-inch margin a side.
    QVERIFY2(qAbs(m.captured(1).toInt() - 1000 * (1.75 + 2 * 0.5)) < 14, qPrintable(m.captured(1)));

    const QString path = dir_.filePath("press/press.plivora");
    rig.desktop.saveAnswers << path;
    Trigger(w, "SaveJob");
    const QString out = dir_.filePath("press/press.tif");
    rig.desktop.saveAnswers << out;
    w.BitBtn7->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QByteArray window, command;
    RunJobBeside(path, out, {QStringLiteral("-o"), out}, &window, &command);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(window.size(), command.size());
    QCOMPARE(qsizetype(window.size() - 334), qsizetype(m.captured(1).toInt()) * m.captured(2).toInt() * 4);
    // All but the caption strip, 0.2 inch at 1000 / 10 rows an inch.
    QVERIFY(SameButTheStrip(window, command, qsizetype(20) * m.captured(1).toInt() * 4));
  }

  // The real dialog: a lens fills LPI, direction, phase and the sheet's
  // thickness and index, a printer DPI,
  // plate, output form, bleed and marks; a field typed afterwards keeps what was typed.
  void aProfileFillsThePrintSetupAndEditsStay() {
    ProfileBook book;
    book.Put(ProfileKind::kLens, {QStringLiteral("pet"), {{QStringLiteral("lpi"), QStringLiteral("39.5018")},
                                                          {QStringLiteral("lenses"), QStringLiteral("horizontal")},
                                                          {QStringLiteral("phase"), QStringLiteral("3/8")},
                                                          {QStringLiteral("thickness"), QStringLiteral("0.6mm")},
                                                          {QStringLiteral("index"), QStringLiteral("1.49")}}, {}});
    book.Put(ProfileKind::kPrinter, {QStringLiteral("ctp"), {{QStringLiteral("dpi"), QStringLiteral("2400")},
                                                             {QStringLiteral("colour"), QStringLiteral("cmyk")},
                                                             {QStringLiteral("compression"), QStringLiteral("lzw")},
                                                             {QStringLiteral("bleed"), QStringLiteral("3mm")},
                                                             {QStringLiteral("marks"), QString()}}, {}});
    WriteProfiles(ProfilesPath(), book);
    WindowRig rig;
    QtDesktop real;
    OptionValues setup{{QStringLiteral("dpi"), QStringLiteral("4000")}, {QStringLiteral("lpi"), QStringLiteral("75")}};
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      dialog->findChild<QComboBox*>(QStringLiteral("LensProfile"))->setCurrentIndex(1);
      dialog->findChild<QComboBox*>(QStringLiteral("PrinterProfile"))->setCurrentIndex(1);
      dialog->findChild<QLineEdit*>(QStringLiteral("Phase"))->setText(QStringLiteral("1/8"));  // typed after: kept
      QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("Thickness"))->text(), QStringLiteral("0.6mm"));
      dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QVERIFY(real.AskPrintSetup(&rig.w(), setup, ReadProfiles(ProfilesPath())));
    QCOMPARE(setup.at(QStringLiteral("lpi")), QStringLiteral("39.5018"));
    QCOMPARE(setup.at(QStringLiteral("dpi")), QStringLiteral("2400"));
    QCOMPARE(setup.at(QStringLiteral("lenses")), QStringLiteral("horizontal"));
    QCOMPARE(setup.at(QStringLiteral("phase")), QStringLiteral("1/8"));
    QCOMPARE(setup.at(QStringLiteral("thickness")), QStringLiteral("0.6mm"));
    QCOMPARE(setup.at(QStringLiteral("index")), QStringLiteral("1.49"));
    QCOMPARE(setup.at(QStringLiteral("colour")), QStringLiteral("cmyk"));
    QCOMPARE(setup.at(QStringLiteral("compression")), QStringLiteral("lzw"));
    QCOMPARE(setup.at(QStringLiteral("bleed")), QStringLiteral("3mm"));
    QVERIFY(setup.count(QStringLiteral("marks")));
    // The dialog's check takes what a centimetre window takes (20 cm is
    // under 10 inches); the export checks again in the window's unit.
    const auto refused = [](const char* bleed) {
      try {
        SettingsFrom({{QStringLiteral("bleed"), QString::fromLatin1(bleed)}});
      } catch (const Error&) {
        return true;
      }
      return false;
    };
    QVERIFY(!refused("20"));
    QVERIFY(!refused("3mm"));
    QVERIFY(refused("26"));
    QVERIFY(refused("-1"));
  }

  // A phase sheet's strip 4 is a lens at the nominal LPI and phase 3/8;
  // the profiles dialog's "add" takes the setup's options.
  void saveLensTakesTheWinningStrip() {
    QFile::remove(ProfilesPath());
    WindowRig rig;
    TForm1& w = English(rig);
    w.ComboBox2->setCurrentIndex(0);
    w.Edit3->setText(QStringLiteral("4"));
    PitchTestChoices phase;
    phase.range = QStringLiteral("0.5");
    phase.step = QStringLiteral("0.1");
    phase.strip = QStringLiteral("0.2");
    phase.phase = true;
    rig.desktop.pitchAnswers << phase;
    rig.desktop.saveAnswers << dir_.filePath("phase.tif");
    w.BitBtn13->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    rig.desktop.saveLensAnswers << SaveLensChoices{QStringLiteral("pet75"), QStringLiteral("4"), {}, 0, false}
                                << SaveLensChoices{QStringLiteral("typed"), {}, QStringLiteral("40.5"), 0, false}
                                << SaveLensChoices{QStringLiteral("bad"), QStringLiteral("9"), {}, 0, false};
    Trigger(w, "SaveLens");
    Trigger(w, "SaveLens");
    Trigger(w, "SaveLens");
    QCOMPARE(rig.desktop.saveLensAsked.first().strips, 8);
    QVERIFY(rig.desktop.saveLensAsked.first().phaseSheet);
    const ProfileBook book = ReadProfiles(ProfilesPath());
    QCOMPARE(ProfileSummary(*book.Find(ProfileKind::kLens, QStringLiteral("pet75"))),
             QStringLiteral("lenses vertical, lpi 75.5555555555555, phase 3/8"));
    QCOMPARE(ProfileSummary(*book.Find(ProfileKind::kLens, QStringLiteral("typed"))), QStringLiteral("lenses vertical, lpi 40.5"));
    QVERIFY(!book.Find(ProfileKind::kLens, QStringLiteral("bad")));  // strip 9 of 8: refused, the dialog open
    QCOMPARE(rig.desktop.saveLensProblems, QStringList{QStringLiteral("The last sheet has strips 1 to 8, not \"9\"")});
    QVERIFY(rig.desktop.errors.isEmpty());
    rig.desktop.profileEdits << [](ProfileBook& b) { b.Remove(ProfileKind::kLens, QStringLiteral("typed")); };
    Trigger(w, "Profiles");
    QCOMPARE(rig.desktop.profilesCurrent.first().at(QStringLiteral("lpi")), QStringLiteral("75.5555555555555"));
    QVERIFY(!ReadProfiles(ProfilesPath()).Find(ProfileKind::kLens, QStringLiteral("typed")));
  }

  void theDeleteKeyRemovesTheSelectedViews() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(Views(dir_.filePath("del"), 3));
    w.ListBox1->item(1)->setSelected(true);
    w.ListBox1->setCurrentRow(1);
    QTest::keyClick(w.ListBox1, Qt::Key_Delete);
    QCOMPARE(w.ListBox1->count(), 2);
  }

  // Every caption's "&" is an accelerator: the label has a buddy, so the
  // ampersand is not shown as it stands ("&Height:").
  void everyAcceleratorHasItsField() {
    WindowRig rig;
    TForm1& w = English(rig);
    for (QLabel* label : w.findChildren<QLabel*>())
      if (label->text().contains(QChar('&'))) QVERIFY2(label->buddy(), qPrintable(label->objectName()));
    QCOMPARE(w.Label10->text(), QStringLiteral("&Height:"));
  }

  // Arguments that name no file are reported once, not imported.
  void argumentsThatAreNoFileAreNamedOnce() {
    WindowRig rig;
    const QStringList views = Views(dir_.filePath("args"), 2);
    rig.w().OpenFromCommandLine({dir_.filePath("args/nothing.tif"), views[0], QStringLiteral("/no/such/dir/x.tif"), views[1]});
    QCOMPARE(rig.items(), views);
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY(rig.desktop.errors[0].contains(QStringLiteral("nothing.tif")) && rig.desktop.errors[0].contains(QStringLiteral("x.tif")));
  }

  // Without a display the program says so and exits 1; --help and
  // --version need none.
  void theProgramAnswersWithoutADisplay() {
    const QString program = qEnvironmentVariable("PLIVORA_WINDOW");
    QVERIFY2(QFileInfo(program).isExecutable(), "PLIVORA_WINDOW must name plivora");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
    const auto run = [&](const QStringList& args) {
      QProcess p;
      p.setProcessEnvironment(env);
      p.start(program, args);
      p.waitForFinished(30000);
      return std::make_tuple(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                             p.readAllStandardError());
    };
    const auto [status, out, err] = run({});
    QCOMPARE(status, 1);
    QVERIFY2(err.contains("needs a desktop session"), err.constData());
    QCOMPARE(std::get<0>(run({QStringLiteral("--help")})), 0);
    QVERIFY(std::get<1>(run({QStringLiteral("--version")})).startsWith("plivora 13.4"));
  }
};

QTEST_MAIN(WindowJobsTest)
#include "window_jobs_test.moc"
