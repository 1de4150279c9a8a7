// What the window refuses or asks before it loses something: a profile of
// a name that is taken, the print setup's fields the export would refuse
// (the real dialog, which stays open), a bleed across a unit switch, the
// lens "Save lens…" would save, fields shown from their start, a summary
// that fits its label, and the views of a job that are no file now.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/profile_edits.h"
#include "app/wording.h"
#include "app_test_support.h"
#include "common/error.h"
#include "jobs/job_file.h"
#include "jobs/profiles.h"

using namespace plivora;
using namespace plivora::test;

Q_DECLARE_METATYPE(QMessageBox::StandardButton)

namespace {

QStringList Views(const QString& folder, int count) {
  QDir().mkpath(folder);
  QStringList views;
  for (int i = 0; i < count; ++i) views << WriteView(QStringLiteral("%1/v%2.tif").arg(folder).arg(i), 40, 60, i);
  return views;
}

}  // namespace

class WindowRefusalsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void init() { qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toLocal8Bit()); }

  // Add (and Save lens, below) with a name that is taken asks first, in the
  // caption language; Cancel keeps the profile as it was.
  void aProfileOfATakenNameIsReplacedOnlyWhenSaid_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("question");
    QTest::newRow("lens, cancel") << int(ProfileKind::kLens) << false << QMessageBox::Cancel << QStringLiteral("Replace lens \"PET 75\"?");
    QTest::newRow("lens, yes, Chinese") << int(ProfileKind::kLens) << true << QMessageBox::Yes << QStringLiteral("替换光栅“PET 75”？");
    QTest::newRow("printer, cancel") << int(ProfileKind::kPrinter) << false << QMessageBox::Cancel
                                     << QStringLiteral("Replace printer \"PET 75\"?");
    QTest::newRow("printer, yes") << int(ProfileKind::kPrinter) << false << QMessageBox::Yes << QStringLiteral("Replace printer \"PET 75\"?");
  }
  void aProfileOfATakenNameIsReplacedOnlyWhenSaid() {
    QFETCH(int, kind);
    QFETCH(bool, chinese);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, question);
    const auto k = ProfileKind(kind);
    const QString key = k == ProfileKind::kLens ? QStringLiteral("lpi") : QStringLiteral("dpi");
    ProfileBook book;
    book.Put(k, {QStringLiteral("PET 75"), {{key, QStringLiteral("75.4")}}, {}});
    FakeDesktop desktop;
    desktop.askAnswers << answer;
    SetChineseWording(chinese);
    const bool put = AddProfile(desktop, nullptr, book, k, QStringLiteral("PET 75"), {{key, QStringLiteral("60")}});
    SetChineseWording(false);
    QCOMPARE(desktop.questions, QStringList{question});
    QCOMPARE(put, answer == QMessageBox::Yes);
    QCOMPARE(book.Find(k, QStringLiteral("PET 75"))->options.at(key), put ? QStringLiteral("60") : QStringLiteral("75.4"));
    // A new name is put without a question.
    QVERIFY(AddProfile(desktop, nullptr, book, k, QStringLiteral("PET 100"), {{key, QStringLiteral("100")}}));
    QCOMPARE(desktop.questions.size(), 1);
  }

  // "Save lens…": strip and LPI apart, an LPI no lens has refused, and the
  // dialog asked again with what was typed; a taken name is asked about.
  void saveLensRefusesWhatNoLensHas_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("strip");
    QTest::addColumn<QString>("lpi");
    QTest::addColumn<QString>("problem");
    QTest::newRow("strip, no sheet") << "PET" << "3" << "" << "No pitch test sheet was printed since the window opened; type the LPI";
    QTest::newRow("LPI 3") << "PET" << "" << "3" << "LPI 3 is no lens's: a lens has 5 to 400 LPI";
    QTest::newRow("LPI 401") << "PET" << "" << "401" << "LPI 401 is no lens's: a lens has 5 to 400 LPI";
    QTest::newRow("LPI not a number") << "PET" << "" << "75,5x" << "LPI is not a number";
    QTest::newRow("neither") << "PET" << "" << "" << "Give the winning strip or the LPI (one of the two)";
    QTest::newRow("no name") << "" << "" << "75" << "A lens needs a name";
    QTest::newRow("LPI 5") << "PET" << "" << "5" << "";
    QTest::newRow("LPI 400") << "PET" << "" << "400" << "";
  }
  void saveLensRefusesWhatNoLensHas() {
    QFETCH(QString, name);
    QFETCH(QString, strip);
    QFETCH(QString, lpi);
    QFETCH(QString, problem);
    QFile::remove(ProfilesPath());
    WindowRig rig;
    TForm1& w = English(rig);
    rig.desktop.saveLensAnswers << SaveLensChoices{name, strip, lpi, 0, false}
                                << SaveLensChoices{QStringLiteral("PET"), {}, QStringLiteral("75.5"), 0, false};
    Trigger(w, "SaveLens");
    QCOMPARE(rig.desktop.saveLensAsked.first().strips, 0);
    QCOMPARE(rig.desktop.saveLensProblems, problem.isEmpty() ? QStringList{} : QStringList{problem});
    // Still open after a refusal: the next answer is saved.
    const ProfileBook book = ReadProfiles(ProfilesPath());
    QCOMPARE(book.Find(ProfileKind::kLens, QStringLiteral("PET"))->options.at(QStringLiteral("lpi")), problem.isEmpty() ? lpi : QStringLiteral("75.5"));
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  void saveLensAsksBeforeReplacing_data() {
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("kept");
    QTest::newRow("cancel") << QMessageBox::Cancel << QStringLiteral("75.4");
    QTest::newRow("yes") << QMessageBox::Yes << QStringLiteral("80");
  }
  void saveLensAsksBeforeReplacing() {
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, kept);
    ProfileBook book;
    book.Put(ProfileKind::kLens, {QStringLiteral("PET 75"), {{QStringLiteral("lpi"), QStringLiteral("75.4")}, {QStringLiteral("phase"), QStringLiteral("3/8")}}, {}});
    WriteProfiles(ProfilesPath(), book);
    WindowRig rig;
    TForm1& w = English(rig);
    rig.desktop.saveLensAnswers << SaveLensChoices{QStringLiteral("PET 75"), {}, QStringLiteral("80"), 0, false};
    rig.desktop.askAnswers << answer;
    Trigger(w, "SaveLens");
    QCOMPARE(rig.desktop.questions, QStringList{QStringLiteral("Replace lens \"PET 75\"?")});
    const Profile* lens = ReadProfiles(ProfilesPath()).Find(ProfileKind::kLens, QStringLiteral("PET 75"));
    QCOMPARE(lens->options.at(QStringLiteral("lpi")), kept);
    QCOMPARE(lens->options.count(QStringLiteral("phase")), size_t(answer == QMessageBox::Cancel));
    // Cancel brings the dialog back with what was typed.
    QCOMPARE(rig.desktop.saveLensAsked.size(), answer == QMessageBox::Cancel ? 2 : 1);
    if (answer == QMessageBox::Cancel) QCOMPARE(rig.desktop.saveLensAsked.last().lpi, QStringLiteral("80"));
  }

  // The real dialog: OK with a field the export would refuse names the
  // field and leaves the dialog open; the values stay as they were.
  void theSetupRefusesEachBadFieldAndStaysOpen_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("named");
    QTest::newRow("bleed 25 in") << "Bleed" << "25" << "inch" << "Bleed";
    QTest::newRow("bleed 26 cm") << "Bleed" << "26" << "cm" << "Bleed";
    QTest::newRow("DPI 40O0") << "Dpi" << "40O0" << "cm" << "DPI";
    QTest::newRow("DPI 0") << "Dpi" << "0" << "cm" << "DPI";
    QTest::newRow("LPI 0") << "Lpi" << "0" << "cm" << "LPI";
  }
  void theSetupRefusesEachBadFieldAndStaysOpen() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, unit);
    QFETCH(QString, named);
    WindowRig rig;
    English(rig);
    QtDesktop real;
    OptionValues values{{QStringLiteral("dpi"), QStringLiteral("4000")}, {QStringLiteral("lpi"), QStringLiteral("75")},
                        {QStringLiteral("unit"), unit}};
    const OptionValues before = values;
    QString warned, unitShown;
    bool openAfter = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("BleedUnit"))) unitShown = label->text();
      dialog->findChild<QLineEdit*>(field)->setText(text);
      QTimer::singleShot(0, [&] {  // the warning, over the dialog
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        warned = box->text();
        box->accept();
      });
      dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
      openAfter = dialog->isVisible();
      dialog->reject();
    });
    QVERIFY(!real.AskPrintSetup(&rig.w(), values, {}));
    QVERIFY(openAfter);
    QVERIFY2(warned.startsWith(named), qPrintable(warned));
    QCOMPARE(unitShown, unit == QLatin1String("inch") ? QStringLiteral("in") : QStringLiteral("cm"));
    QVERIFY(values == before);
  }

  // A bleed typed in one unit keeps its length when the window's unit is
  // switched: the job saved afterwards holds the same bleed.
  void aUnitSwitchKeepsTheBleed_data() {
    QTest::addColumn<int>("unitFrom");
    QTest::addColumn<QString>("bleed");
    QTest::addColumn<qint64>("bleedE4");
    QTest::newRow("20 cm, then inch") << 1 << "20" << qint64(78740);
    QTest::newRow("0.125 in, then cm") << 0 << "0.125" << qint64(1250);
    QTest::newRow("3mm, then inch") << 1 << "3mm" << qint64(1181);
  }
  void aUnitSwitchKeepsTheBleed() {
    QFETCH(int, unitFrom);
    QFETCH(QString, bleed);
    QFETCH(qint64, bleedE4);
    WindowRig rig;
    TForm1& w = English(rig);
    rig.Import(Views(dir_.filePath("unit"), 2));
    w.ComboBox2->setCurrentIndex(unitFrom);
    rig.desktop.setupAnswers << OptionValues{{QStringLiteral("bleed"), bleed}};
    w.PrintSetupClick();
    QCOMPARE(rig.desktop.setupAsked.first().at(QStringLiteral("unit")), unitFrom == 0 ? QStringLiteral("inch") : QStringLiteral("cm"));
    w.ComboBox2->setCurrentIndex(1 - unitFrom);
    const QString path = dir_.filePath("unit/bleed.plivora");
    w.SaveJob(path);
    try {
      QCOMPARE(qint64(SettingsFrom(ReadJob(path).options).bleedE4), bleedE4);
    } catch (const Error& e) {
      QFAIL(qPrintable(e.message()));
    }
  }

  // A value longer than its field shows its first characters.
  void fieldsShowTheirStart_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::newRow("height") << "height" << "1.33333333333333";
    QTest::newRow("width") << "width" << "2.66666666666666666";
  }
  void fieldsShowTheirStart() {
    QFETCH(QString, option);
    QFETCH(QString, value);
    const QStringList views = Views(dir_.filePath("start"), 2);
    const QString path = dir_.filePath("start/long.plivora");
    Job job;
    job.views = views;
    job.options = {{QStringLiteral("unit"), QStringLiteral("inch")}, {option, value}};
    WriteJob(path, job);
    WindowRig rig;
    TForm1& w = English(rig);
    w.OpenJob(path);
    auto* field = w.findChild<QLineEdit*>(FindExportOption(option)->windowField);
    QCOMPARE(field->text(), value);
    QCOMPARE(field->cursorPosition(), 0);
  }

  // Every line of the summary fits its label or ends in an ellipsis; the
  // tip holds every line whole.
  void theSummaryFitsAndItsTipIsWhole_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<int>("width");
    QTest::newRow("English, narrow") << false << 140;
    QTest::newRow("Chinese, narrow") << true << 120;
    QTest::newRow("English, wide") << false << 600;
  }
  void theSummaryFitsAndItsTipIsWhole() {
    QFETCH(bool, chinese);
    QFETCH(int, width);
    WindowRig rig;
    TForm1& w = rig.w();
    if (ChineseWording() != chinese) w.SwitchLanguage();
    rig.Import(Views(dir_.filePath("tip"), 3));
    rig.desktop.setupAnswers << OptionValues{{QStringLiteral("bleed"), QStringLiteral("0.3")}, {QStringLiteral("marks"), QString()}};
    w.PrintSetupClick();
    w.OutputSummary->setFixedWidth(width);
    w.UpdateOutputSummary();
    const QStringList shown = w.OutputSummary->text().split(QChar('\n'));
    const QStringList whole = w.OutputSummary->toolTip().split(QChar('\n'));
    QCOMPARE(shown.size(), 4);
    const QFontMetrics metrics = w.OutputSummary->fontMetrics();
    bool elided = false;
    for (int i = 0; i < shown.size(); ++i) {
      const QString& line = shown[i];
      const bool fits = metrics.horizontalAdvance(line) <= w.OutputSummary->contentsRect().width();
      QVERIFY2(fits, qPrintable(line));
      QVERIFY(whole.contains(line) || (line.endsWith(QChar(0x2026)) && whole[i].startsWith(line.chopped(1))));
      elided = elided || !whole.contains(line);
    }
    QCOMPARE(elided, width < 300);
  }

  // Unsaved edits to an open job: the title is marked, and closing, opening
  // or dropping another job asks first (Save writes it, Discard lets it go,
  // Cancel keeps everything as it is).
  void unsavedChangesAreAskedAbout_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    for (const char* action : {"close", "open", "drop"}) {
      QTest::addRow("%s, save", action) << QString::fromLatin1(action) << QMessageBox::Save;
      QTest::addRow("%s, discard", action) << QString::fromLatin1(action) << QMessageBox::Discard;
      QTest::addRow("%s, cancel", action) << QString::fromLatin1(action) << QMessageBox::Cancel;
    }
  }
  void unsavedChangesAreAskedAbout() {
    QFETCH(QString, action);
    QFETCH(QMessageBox::StandardButton, answer);
    const QString folder = dir_.filePath("unsaved-" + action + QString::number(int(answer)));
    Job job;
    job.views = Views(folder, 2);
    job.options = {{QStringLiteral("lpi"), QStringLiteral("75")}};
    const QString a = folder + QStringLiteral("/a.plivora"), b = folder + QStringLiteral("/b.plivora");
    WriteJob(a, job);
    WriteJob(b, job);
    WindowRig rig;
    TForm1& w = English(rig);
    w.OpenJob(a);
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("a.plivora \u2014")));
    w.ComboBox1->setEditText(QStringLiteral("80"));
    QVERIFY2(w.windowTitle().startsWith(QStringLiteral("a.plivora* \u2014")), qPrintable(w.windowTitle()));
    rig.desktop.askAnswers << answer;
    bool replaced = false;
    if (action == QLatin1String("close")) replaced = w.close();
    if (action == QLatin1String("open")) w.OpenJob(b);
    if (action == QLatin1String("drop")) w.ImportFromOutside({b});
    if (action != QLatin1String("close")) replaced = w.windowTitle().startsWith(QStringLiteral("b.plivora \u2014"));
    QCOMPARE(rig.desktop.questions, QStringList{QStringLiteral("The job \"a.plivora\" has changes that are not saved. Save them?")});
    QCOMPARE(replaced, answer != QMessageBox::Cancel);
    QCOMPARE(ReadJob(a).options.at(QStringLiteral("lpi")), answer == QMessageBox::Save ? QStringLiteral("80") : QStringLiteral("75"));
    if (!replaced) QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("80"));
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  // A file no view reader takes is refused where it comes in, named; the
  // views beside it are imported.
  void aNonImageIsRefusedAtTheDrop_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("frame");
    QTest::newRow("English") << false << QString();
    QTest::newRow("Chinese") << true << QStringLiteral("这些文件不是图片，未导入：");
  }
  void aNonImageIsRefusedAtTheDrop() {
    QFETCH(bool, chinese);
    QFETCH(QString, frame);
    const QStringList views = Views(dir_.filePath("drop"), 2);
    const QString notes = dir_.filePath("drop/notes.txt");
    WriteFile(notes, "not a picture\n");
    WindowRig rig;
    TForm1& w = rig.w();
    if (ChineseWording() != chinese) w.SwitchLanguage();
    w.ImportFromOutside({QDir::cleanPath(dir_.filePath("drop/z.png")), views[0], notes, views[1]});
    QCOMPARE(rig.items(), views);
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY2(rig.desktop.errors[0].startsWith(frame) && rig.desktop.errors[0].contains(QStringLiteral("notes.txt")) &&
                 rig.desktop.errors[0].contains(QStringLiteral("z.png")),
             qPrintable(rig.desktop.errors[0]));
  }

  // "Written: PATH (SIZE)" after a plate or a sheet, until the next action.
  void whatWasWrittenIsSaid_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<bool>("sheet");
    QTest::addColumn<QString>("said");
    QTest::newRow("plate") << false << false << QStringLiteral("Written: %1 (");
    QTest::newRow("plate, Chinese") << true << false << QStringLiteral("已写入：%1（");
    QTest::newRow("pitch sheet") << false << true << QStringLiteral("Written: %1 (");
  }
  void whatWasWrittenIsSaid() {
    QFETCH(bool, chinese);
    QFETCH(bool, sheet);
    QFETCH(QString, said);
    WindowRig rig;
    TForm1& w = rig.w();
    if (ChineseWording() != chinese) w.SwitchLanguage();
    rig.Import(Views(dir_.filePath("written"), 2));
    w.Edit3->setText(QStringLiteral("1"));
    const QString out = dir_.filePath(sheet ? "written/sheet.tif" : "written/plate.tif");
    rig.desktop.saveAnswers << out;
    if (sheet) {
      PitchTestChoices c;
      c.range = QStringLiteral("0.5");
      c.step = QStringLiteral("0.1");
      c.strip = QStringLiteral("0.5");
      rig.desktop.pitchAnswers << c;
      w.BitBtn13->click();
    } else {
      w.BitBtn7->click();
    }
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QVERIFY(QFile::exists(out));
    QVERIFY2(w.Written->toolTip().startsWith(said.arg(QDir::toNativeSeparators(out))), qPrintable(w.Written->toolTip() + QStringLiteral(" / ") + said.arg(QDir::toNativeSeparators(out))));
    QVERIFY(!w.Written->text().isEmpty());
    w.ComboBox1->setEditText(QStringLiteral("80"));  // the next action
    QVERIFY(w.Written->text().isEmpty() && w.Written->toolTip().isEmpty());
  }

  // Qt's own buttons follow the caption language (its translations).
  void theToolkitsButtonsFollowTheCaptions_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("cancel");
    QTest::newRow("English") << false << QStringLiteral("Cancel");
    QTest::newRow("Chinese") << true << QStringLiteral("取消");
  }
  void theToolkitsButtonsFollowTheCaptions() {
    QFETCH(bool, chinese);
    QFETCH(QString, cancel);
    SetChineseWording(chinese);
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::Cancel);
    const QString shown = box.button(QMessageBox::Cancel)->text().remove(QChar('&'));
    SetChineseWording(false);
    QVERIFY2(shown.startsWith(cancel), qPrintable(shown));
  }

  // The views of a job that are no file now: red in the list, counted in
  // the summary, and all named by Export.
  void missingViewsAreMarkedCountedAndNamed_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("counted");
    QTest::newRow("English") << false << QStringLiteral("2 of the 4 views are missing");
    QTest::newRow("Chinese") << true << QStringLiteral("4 张图中缺少 2 张");
  }
  void missingViewsAreMarkedCountedAndNamed() {
    QFETCH(bool, chinese);
    QFETCH(QString, counted);
    const QStringList there = Views(dir_.filePath("gone"), 2);
    Job job;
    job.views = {there[0], dir_.filePath("gone/a.tif"), there[1], dir_.filePath("gone/b.tif")};
    const QString path = dir_.filePath("gone/card.plivora");
    WriteJob(path, job);
    WindowRig rig;
    TForm1& w = rig.w();
    if (ChineseWording() != chinese) w.SwitchLanguage();
    w.OpenJob(path);
    for (int i = 0; i < 4; ++i) {
      const bool gone = i % 2 == 1;
      QCOMPARE(w.ListBox1->item(i)->foreground().color() == Qt::red, gone);
      QCOMPARE(w.ListBox1->item(i)->toolTip().isEmpty(), !gone);
    }
    QVERIFY2(w.OutputSummary->toolTip().contains(counted), qPrintable(w.OutputSummary->toolTip()));
    QVERIFY(w.OutputSummary->styleSheet().contains(QStringLiteral("red")));
    rig.desktop.errors.clear();
    w.BitBtn7->click();
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY(rig.desktop.errors[0].contains(QStringLiteral("a.tif")) && rig.desktop.errors[0].contains(QStringLiteral("b.tif")));
    QVERIFY(rig.desktop.saveAsked.isEmpty());
  }
};

QTEST_MAIN(WindowRefusalsTest)
#include "window_refusals_test.moc"
