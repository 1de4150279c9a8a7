// The lens view from the window: the plate of the window's settings, never
// written, seen through the print setup's lens as plivora-proof sees the
// exported plate; the angle slider over the lens's lobe, the distance field,
// the sweep, the words in both caption languages; refusals as errors.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include "app/lens_view.h"
#include "app/picture_box.h"
#include "app_test_support.h"
#include "proof/plate_reader.h"
#include "proof/screen_colours.h"

using namespace plivora;
using namespace plivora::test;

namespace {

// The lens of the print setup below: 50 LPI, 0.6 mm, index 1.49.
LensModel SetupLens() {
  LensModel lens;
  lens.lpi = 50;
  lens.thickness = 0.6L / 25.4L;
  lens.index = 1.49L;
  return lens;
}

// plivora-proof's picture of the exported plate, above its caption strip
// (0.2 inch at 50 samples an inch, and the sample it shares), which names
// the output and so differs from the lens view's plate.
QImage ProofOfFile(const QString& path, const Viewpoint& eye) {
  OpenedPlate plate = OpenPlate(path);
  ScreenColours colours(plate.frame, path);
  const QImage all = colours.ToScreen(RenderProof(plate.frame, *plate.rows, SetupLens(), eye, {}));
  return all.copy(0, 0, all.width(), all.height() - 11);
}

QImage AboveTheStrip(const QImage& picture) { return picture.copy(0, 0, picture.width(), picture.height() - 11); }

LensView* ViewOf(TForm1& w) { return static_cast<LensView*>(w.findChild<QWidget*>(QStringLiteral("LensView"))); }

}  // namespace

class WindowLensViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  // 4 views, 1 inch at 600 dpi, compress 2, 50 LPI; the setup's sheet.
  QStringList SetUp(WindowRig& rig, const QString& dpi) {
    QStringList views;
    for (int i = 0; i < 4; ++i) views << WriteView(dir_.filePath(QStringLiteral("v%1.tif").arg(i)), 40, 60, i);
    TForm1& w = English(rig);
    rig.desktop.setupAnswers << OptionValues{{QStringLiteral("thickness"), QStringLiteral("0.6mm")},
                                             {QStringLiteral("index"), QStringLiteral("1.49")}};
    Trigger(w, "PrintSetup");
    rig.Import(views);
    w.ComboBox2->setCurrentIndex(0);
    w.Edit3->setText(QStringLiteral("1"));
    w.Edit3KeyUp();
    w.ComboBox3->setEditText(dpi);
    w.ComboBox1->setEditText(QStringLiteral("50"));
    w.Edit2->setText(QStringLiteral("2"));
    return views;
  }

 private slots:
  void seesThePlateTheExportWritesThroughTheSetupsLens() {
    WindowRig rig;
    TForm1& w = rig.w();
    SetUp(rig, QStringLiteral("600"));
    const QString out = dir_.filePath("plate.tif");
    rig.desktop.saveAnswers << out;
    w.BitBtn7->click();
    w.BitBtn14->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    LensView* view = ViewOf(w);
    QVERIFY(view && view->isVisible());
    // The slider spans the lobe, in tenths of a degree.
    const int lobe = int(Trunc(LobeAngle(SetupLens()) * LensView::kTenths));
    QCOMPARE(std::pair(view->Angle->minimum(), view->Angle->maximum()), std::pair(-lobe, lobe));
    QVERIFY(view->Status->text().contains(QStringLiteral("50 LPI, vertical lenses, 0.6 mm thick, index 1.49")));

    // tenths of a degree, the distance typed, the eye in inches (0: far)
    const std::tuple<int, const char*, Real> cases[] = {
        {0, "", 0}, {lobe / 2, "", 0}, {-lobe, "", 0}, {35, "600mm", 600 / 25.4L}, {-20, "24", 24}};
    for (const auto& [tenths, distance, inches] : cases) {
      view->Distance->setText(QString::fromLatin1(distance));
      emit view->Distance->editingFinished();
      view->Angle->setValue(tenths);
      Viewpoint eye;
      eye.angle = Real(tenths) / LensView::kTenths;
      if (inches > 0) eye.distance = inches;
      const QImage seen = view->Picture->picture();
      QVERIFY2(AboveTheStrip(seen) == ProofOfFile(out, eye), qPrintable(QStringLiteral("%1 tenths, \"%2\"").arg(tenths).arg(distance)));
    }
    // A distance that is no length is said in the status line.
    view->Distance->setText(QStringLiteral("far"));
    emit view->Distance->editingFinished();
    QVERIFY2(view->Status->text().contains(QStringLiteral("The distance \"far\" is not a length above 0")),
             qPrintable(view->Status->text()));
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  // Play sweeps the slider to one end of the lobe, turns back and reaches
  // the other; the second press stops it. The words follow the language.
  void playSweepsTheLobeAndTheWordsFollowTheLanguage() {
    WindowRig rig;
    TForm1& w = rig.w();
    SetUp(rig, QStringLiteral("600"));
    w.BitBtn14->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    LensView* view = ViewOf(w);
    QCOMPARE(view->Play->text(), QStringLiteral("Play"));
    view->Play->click();
    QVERIFY(view->Playing());
    QCOMPARE(view->Play->text(), QStringLiteral("Stop"));
    QList<int> angles;
    for (int k = 0; k < 200; ++k) {
      view->Step();
      angles << view->Angle->value();
    }
    const auto top = std::max_element(angles.begin(), angles.end()) - angles.begin();
    QCOMPARE(angles[top], view->Angle->maximum());
    QCOMPARE(*std::min_element(angles.begin(), angles.end()), view->Angle->minimum());
    QVERIFY(angles[top + 1] < angles[top]);  // turned back
    view->Play->click();
    QVERIFY(!view->Playing());

    Trigger(w, "SwitchLanguage");
    QCOMPARE(view->windowTitle(), QStringLiteral("光栅透视"));
    QCOMPARE(view->Play->text(), QStringLiteral("播放"));
    QVERIFY2(view->Status->text().contains(QStringLiteral("50 线，竖向光栅")), qPrintable(view->Status->text()));
    Trigger(w, "SwitchLanguage");
    QCOMPARE(view->windowTitle(), QStringLiteral("Lens view"));
    QCOMPARE(view->AngleLabel->text(), QStringLiteral("&Angle:"));
  }

  // Nothing to see, and a lens the plate cannot hold, are errors; no view
  // opens and no file is written.
  void refusalsAreErrorsAndNothingIsWritten() {
    {
      WindowRig rig;
      English(rig).BitBtn14->click();
      QCOMPARE(rig.desktop.errors.size(), 1);
      QVERIFY2(rig.desktop.errors[0].contains(QStringLiteral("There are no views to see through the lens")),
               qPrintable(rig.desktop.errors[0]));
      QVERIFY(!ViewOf(rig.w()));
    }
    WindowRig rig;
    SetUp(rig, QStringLiteral("90"));  // 1.8 pixels a lens
    const QStringList before = QDir(dir_.path()).entryList(QDir::Files);
    rig.w().BitBtn14->click();
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY2(rig.desktop.errors[0].contains(QStringLiteral("a proof needs at least 2")), qPrintable(rig.desktop.errors[0]));
    QVERIFY(!ViewOf(rig.w()));
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), before);
  }
};

QTEST_MAIN(WindowLensViewTest)
#include "window_lens_view_test.moc"
