// The pitch test sheet from the window: its dialog prefilled from the
// fields, the save dialog, the core's sheet byte for byte, the progress bar,
// the busy cursor and the beep; refusals shown and nothing left behind.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "app_test_support.h"
#include "jobs/pitch_sheet.h"

using namespace plivora;
using namespace plivora::test;

class WindowPitchTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  static PitchTestChoices Choices(const QString& range, const QString& step, const QString& strip, bool phase) {
    PitchTestChoices c;
    c.range = range;
    c.step = step;
    c.strip = strip;
    c.phase = phase;
    return c;
  }

 private slots:
  void writesTheCoresSheetFromTheFieldsWithoutViews() {
    WindowRig rig;
    TForm1& w = rig.w();
    QVERIFY(w.BitBtn13->isEnabled());
    QCOMPARE(w.BitBtn13->toolTip(), QStringLiteral("Pitch test(光栅节距测试)"));
    w.ComboBox2->setCurrentIndex(0);  // inch
    w.Edit3->setText(QStringLiteral("1.5"));
    w.ComboBox1->setEditText(QStringLiteral("60.1"));
    w.Edit2->setText(QStringLiteral("8"));
    const QString out = dir_.filePath("sheet.tif");
    rig.desktop.pitchAnswers << Choices("0.2", "0.05", "0.3", false);
    rig.desktop.saveAnswers << out;
    QList<int> shown;
    connect(w.ProgressBar1, &QProgressBar::valueChanged, this, [&shown](int v) { shown << v; });
    w.BitBtn13->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));

    // The dialog opened on the sheet's defaults in the window's unit.
    QCOMPARE(rig.desktop.pitchAsked.size(), 1);
    QCOMPARE(rig.desktop.pitchAsked[0].range, QStringLiteral("0.5"));
    QCOMPARE(rig.desktop.pitchAsked[0].step, QStringLiteral("0.1"));
    QCOMPARE(rig.desktop.pitchAsked[0].strip, QStringLiteral("0.5"));
    QCOMPARE(rig.desktop.pitchAsked[0].unit, QStringLiteral("inch"));
    // The DPI and LPI it prints at, and a width of 1.5 inch, too narrow for
    // the sheet's header, widened to the sheet's 8.
    QCOMPARE(rig.desktop.pitchAsked[0].dpi, QStringLiteral("4000"));
    QCOMPARE(rig.desktop.pitchAsked[0].lpi, QStringLiteral("60.1"));
    QCOMPARE(rig.desktop.pitchAsked[0].width, QStringLiteral("8"));
    QCOMPARE(rig.desktop.saveAsked.last().fileName, QStringLiteral("pitchtest"));
    QCOMPARE(rig.desktop.saveAsked.last().filter, QStringLiteral("TIF (*.tif)"));  // the sheet is only the plain file
    QCOMPARE(shown.last(), 0);
    QCOMPARE(shown[shown.size() - 2], 100);
    QCOMPARE(rig.desktop.beeps, 1);
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // The same bytes as the core writes for those texts.
    const QByteArray written = FileBytes(out);
    PitchSheetRequest request;
    request.texts.lpi = QStringLiteral("60.1");
    request.texts.width = QStringLiteral("8");
    request.texts.compress = QStringLiteral("8");
    request.texts.range = QStringLiteral("0.2");
    request.texts.step = QStringLiteral("0.05");
    request.texts.strip = QStringLiteral("0.3");
    request.outputPath = out;
    request.now = rig.desktop.now;
    request.locale = QLocale();
    QVERIFY(QFile::remove(out));
    const PitchSheetPlan plan = WritePitchSheet(request, {});
    QCOMPARE(plan.strips.size(), size_t(9));
    QCOMPARE(written, FileBytes(out));
  }

  // The print setup's lenses and mirror: the core's sheet for them.
  void writesTheSheetForTheSetupsLenses() {
    WindowRig rig;
    rig.desktop.setupAnswers << OptionValues{{QStringLiteral("lenses"), QStringLiteral("horizontal")},
                                             {QStringLiteral("mirror"), QString()}};
    rig.w().findChild<QAction*>(QStringLiteral("PrintSetup"))->trigger();
    rig.w().ComboBox2->setCurrentIndex(0);  // inch
    rig.w().Edit3->setText(QStringLiteral("0.5"));
    const QString out = dir_.filePath("across.tif");
    rig.desktop.pitchAnswers << Choices("0.1", "0.1", "0.3", false);
    rig.desktop.saveAnswers << out;
    rig.w().BitBtn13->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const QByteArray written = FileBytes(out);
    PitchSheetRequest request;
    request.texts.width = QStringLiteral("8");
    request.texts.range = QStringLiteral("0.1");
    request.texts.step = QStringLiteral("0.1");
    request.texts.strip = QStringLiteral("0.3");
    request.texts.lenses = Lenses::kHorizontal;
    request.texts.mirror = true;
    request.outputPath = out;
    request.now = rig.desktop.now;
    request.locale = QLocale();
    QVERIFY(QFile::remove(out));
    WritePitchSheet(request, {});
    QCOMPARE(written, FileBytes(out));
  }

  void cancelWritesNothingAndRefusalsLeaveNothing() {
    WindowRig rig;
    TForm1& w = rig.w();
    const QTemporaryDir folder;
    const QString out = folder.filePath("refused.tif");
    w.BitBtn13->click();  // the pitch dialog cancelled
    rig.desktop.pitchAnswers << Choices("0.5", "0.1", "0.5", false);
    w.BitBtn13->click();  // the save dialog cancelled
    QCOMPARE(rig.desktop.saveAsked.size(), 1);
    // The dialog's check names a field it can't take, before the save dialog.
    rig.desktop.pitchAnswers << Choices("0.5", "0", "0.5", false);
    rig.desktop.saveAnswers << out;
    w.BitBtn13->click();
    QCOMPARE(rig.desktop.pitchProblems, QStringList{QStringLiteral("线数步长 必须大于 0")});
    QCOMPARE(rig.desktop.saveAsked.size(), 1);
    PitchTestChoices badLpi = Choices("0.5", "0.1", "0.5", false);
    badLpi.lpi = QStringLiteral("0");
    rig.desktop.pitchAnswers << badLpi << badLpi;
    w.BitBtn13->click();
    QCOMPARE(rig.desktop.pitchProblems.last(), QStringLiteral("LPI 必须大于 0"));  // the window starts in Chinese
    w.SwitchLanguage();
    w.BitBtn13->click();
    QCOMPARE(rig.desktop.pitchProblems.last(), QStringLiteral("LPI must be above 0"));
    // (Auto) is refused before the dialog opens.
    const qsizetype asked = rig.desktop.pitchAsked.size();
    w.ComboBox3->setEditText(QStringLiteral("(Auto)"));
    w.BitBtn13->click();
    QCOMPARE(rig.desktop.pitchAsked.size(), asked);
    QVERIFY2(rig.desktop.errors.value(0).contains(QStringLiteral("(Auto)")), qPrintable(rig.desktop.errors.join('\n')));
    rig.desktop.saveAnswers.clear();
    QVERIFY(!QFile::exists(out));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(w.ProgressBar1->value(), 0);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(rig.desktop.beeps, 0);
    // A centimetre window proposes its strip height in centimetres.
    QCOMPARE(rig.desktop.pitchAsked.last().unit, QStringLiteral("cm"));
    QCOMPARE(rig.desktop.pitchAsked.last().strip, QStringLiteral("1.27"));
  }
};

QTEST_MAIN(WindowPitchTest)
#include "window_pitch_test.moc"
