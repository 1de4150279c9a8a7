// The frame of the program: the main window's controls at start, the error
// guard and its full-stop rule, the logo link, the timers, and the splash.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "app/error_guard.h"
#include "app/form2.h"
#include "app/picture_box.h"
#include "app_test_support.h"
#include "common/error.h"

using namespace plivora;
using namespace plivora::test;

class WindowShellTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsAtStart() {
    WindowRig rig;
    TForm1& w = rig.w();
    QVERIFY(rig.desktop.errors.isEmpty());
    QCOMPARE(w.windowTitle(), QStringLiteral("Plivora 13.4"));
    QVERIFY(w.Image2->isVisibleTo(&w));
    QCOMPARE(w.ListBox1->count(), 0);
    QCOMPARE(w.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(w.Label4->text(), QStringLiteral("0"));
    for (QPushButton* off : {w.BitBtn5, w.BitBtn7, w.BitBtn4, w.BitBtn1, w.BitBtn2}) QVERIFY(!off->isEnabled());
    for (QPushButton* on : {w.BitBtn9, w.BitBtn3, w.BitBtn12}) QVERIFY(on->isEnabled());
    QVERIFY(!w.Edit4->isEnabled());
    QCOMPARE(w.Edit4->text(), QStringLiteral("3"));
    QCOMPARE(w.ComboBox3->currentIndex(), 0);
    QCOMPARE(w.ComboBox1->count(), 13);
    QCOMPARE(w.ComboBox1->currentIndex(), -1);
    QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("75.5555555555555"));
    QCOMPARE(w.ComboBox2->currentText(), QStringLiteral("cm"));
    QCOMPARE(w.BitBtn9->toolTip(), QStringLiteral("Import tif(导入立体系列图)"));
    QCOMPARE(w.BitBtn9->iconSize(), QSize(40, 40));
    // The hidden controls exist, hold their texts and stay hidden.
    QVERIFY(w.CheckBox1->isChecked() && !w.CheckBox1->isVisibleTo(&w));
    QVERIFY(!w.BitBtn10->isEnabled() && !w.BitBtn10->isVisibleTo(&w));
    QVERIFY(!w.BitBtn11->isVisibleTo(&w) && !w.GroupBox1->isVisibleTo(&w));
    QCOMPARE(w.Edit8->text(), QStringLiteral("0"));
    QCOMPARE(w.GroupBox1->title(), QStringLiteral("上边界"));
    // Scripts find the controls by name.
    for (const char* name : {"ListBox1", "BitBtn7", "ComboBox1", "Edit3", "Image4", "ProgressBar1", "BitBtn11"})
      QVERIFY2(w.findChild<QWidget*>(name), name);
    QCOMPARE(w.Timer1->interval(), 100);
    QTRY_VERIFY(!w.Timer1->isActive());  // off after its first tick
  }

  void focusStartsOnTheViewList() {
    WindowRig rig;
    rig.w().show();
    QVERIFY(QTest::qWaitForWindowActive(&rig.w()));
    QCOMPARE(QApplication::focusWidget(), rig.w().ListBox1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.w().ComboBox1));
  }

  void fullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Stream read error" << "Stream read error.";
    QTest::newRow("full stop") << "Done." << "Done.";
    QTest::newRow("quote") << "Cannot open file \"a.tif\"" << "Cannot open file \"a.tif\"";
    QTest::newRow("closing bracket") << "(Auto)" << "(Auto)";
    QTest::newRow("hyphen") << "a-" << "a-";
    QTest::newRow("slash") << "in /tmp/" << "in /tmp/.";
    QTest::newRow("digit") << "I/O error 17" << "I/O error 17.";
    QTest::newRow("chinese") << "错误" << "错误.";
    QTest::newRow("empty") << "" << "";
  }

  void fullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorDialogText(message), shown);
  }

  void guardShowsEveryKindOfException() {
    FakeDesktop desktop;
    QVERIFY(RunGuarded(desktop, nullptr, [] {}));
    QVERIFY(!RunGuarded(desktop, nullptr, [] { Fail(QStringLiteral("File access denied")); }));
    QVERIFY(!RunGuarded(desktop, nullptr, [] { throw std::runtime_error("runtime"); }));
    QVERIFY(!RunGuarded(desktop, nullptr, [] { throw std::bad_alloc(); }));
    QVERIFY(!RunGuarded(desktop, nullptr, [] { throw 42; }));
    QCOMPARE(desktop.errors.size(), 4);
    QCOMPARE(desktop.errors[0], QStringLiteral("File access denied."));
    QCOMPARE(desktop.errors[1], QStringLiteral("runtime."));
    QCOMPARE(desktop.errors[2], QStringLiteral("Out of memory."));
  }

  void logoLinkOpensTheBrowserAndTheBigLogoDoesNothing() {
    WindowRig rig;
    rig.w().show();
    QTest::mouseClick(rig.w().Image1, Qt::LeftButton);
    QVERIFY(rig.desktop.browsed.isEmpty());
    QTest::mouseClick(rig.w().Image2, Qt::LeftButton);
    QCOMPARE(rig.desktop.browsed.size(), 1);
    QCOMPARE(rig.desktop.browsed.first().scheme(), QStringLiteral("https"));
  }

  void clearEmptiesThePreviewPicture() {
    WindowRig rig;
    QImage picture(8, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    rig.w().Image4->SetPicture(picture);
    rig.w().BitBtn3->click();
    QVERIFY(rig.w().Image4->picture().isNull());
  }

  void splashShowsTheJpegAndHidesOnClickOrTick() {
    const QImage picture = SplashPicture();
    QCOMPARE(picture.size(), QSize(640, 480));
    FakeDesktop desktop;
    TForm2 clicked(desktop);
    QVERIFY(desktop.errors.isEmpty());
    QCOMPARE(clicked.Timer1->interval(), 1000);
    clicked.show();
    QVERIFY(clicked.waiting());
    QTest::mouseClick(clicked.Image1, Qt::LeftButton);
    QVERIFY(!clicked.waiting());
    QVERIFY(!clicked.isVisible());

    TForm2 ticked(desktop);
    QElapsedTimer clock;
    clock.start();
    while (ticked.waiting()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QVERIFY(clock.elapsed() >= 900);
  }
};

QTEST_MAIN(WindowShellTest)
#include "window_shell_test.moc"
