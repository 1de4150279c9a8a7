// The alignment view from the window: nudges by key move the current view's
// content by the right step and reach the saved job; a click or drag on the
// picture chooses the key rectangle in the first view's pixels; Auto align
// finds a synthetic series' shifts and the summary tells the depth budget;
// the ghost puts the moved view where its transform says.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "align/key_plane.h"
#include "align/synthetic_series.h"
#include "app/align_canvas.h"
#include "app/align_view.h"
#include "app/picture_box.h"
#include "app_test_support.h"
#include "jobs/export.h"
#include "jobs/job_file.h"
#include "preview/anaglyph.h"
#include "preview/frames.h"
#include "sample/view_writer.h"

using namespace plivora;
using namespace plivora::test;

namespace {

AlignView* ViewOf(TForm1& w) { return static_cast<AlignView*>(w.findChild<QWidget*>(QStringLiteral("AlignView"))); }

struct Press {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  int times;
};

// The brightest pixel of `picture`.
QPoint Brightest(const QImage& picture) {
  QPoint at;
  int best = -1;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if (const int v = qGray(picture.pixel(x, y)); v > best) {
        best = v;
        at = {x, y};
      }
  return at;
}

}  // namespace

Q_DECLARE_METATYPE(QList<Press>)
Q_DECLARE_METATYPE(KeyRect)

class WindowAlignViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  // Three views of 240 x 160, imported; the alignment view opened on view 2.
  AlignView* Open(WindowRig& rig) {
    QStringList views;
    for (int i = 0; i < 3; ++i) views << WriteView(dir_.filePath(QStringLiteral("v%1.tif").arg(i)), 240, 160, i);
    rig.Import(views);
    English(rig).BitBtn15->click();
    AlignView* view = ViewOf(rig.w());
    return view;
  }

  // Two views of 40 x 60 and copies of them cut as view 2 moved 2 right and
  // 1 down leaves them: columns 2..39 and rows 1..59 of the first view's grid.
  void WriteShiftedPair(QStringList* views, QStringList* cut) {
    for (int seed = 0; seed < 2; ++seed) {
      *views << WriteView(dir_.filePath(QStringLiteral("p%1.tif").arg(seed)), 40, 60, seed);
      // WriteView's inks at (x, y) are (x + 10 seed, y, 20 seed, 3); the cut
      // copy's pixel (x, y) is view 1's (x + 2, y + 1) and view 2's (x, y).
      const int ox = seed == 0 ? 2 : 0, oy = seed == 0 ? 1 : 0;
      std::vector<uint8_t> inks;
      for (int y = 0; y < 59; ++y)
        for (int x = 0; x < 38; ++x) inks.insert(inks.end(), {uint8_t(x + ox + 10 * seed), uint8_t(y + oy), uint8_t(20 * seed), 3});
      *cut << dir_.filePath(QStringLiteral("c%1.tif").arg(seed));
      WriteViewFile(cut->back(), 38, 59, inks);
    }
  }

  void ShiftSecondView(TForm1& w) {
    w.BitBtn15->click();
    QTest::keyClick(ViewOf(w), Qt::Key_Right);
    QTest::keyClick(ViewOf(w), Qt::Key_Right);
    QTest::keyClick(ViewOf(w), Qt::Key_Down);
  }

 private slots:
  void nudgesMoveTheCurrentViewAndTheJobKeepsThem_data() {
    QTest::addColumn<QList<Press>>("presses");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::addColumn<double>("turn");
    const auto none = Qt::NoModifier;
    const auto shift = Qt::ShiftModifier;
    QTest::newRow("right") << QList<Press>{{Qt::Key_Right, none, 1}} << 1.0 << 0.0 << 0.0;
    QTest::newRow("left twice") << QList<Press>{{Qt::Key_Left, none, 2}} << -2.0 << 0.0 << 0.0;
    QTest::newRow("down: content moves down") << QList<Press>{{Qt::Key_Down, none, 1}} << 0.0 << 1.0 << 0.0;
    QTest::newRow("up") << QList<Press>{{Qt::Key_Up, none, 3}} << 0.0 << -3.0 << 0.0;
    QTest::newRow("Shift+right: a quarter") << QList<Press>{{Qt::Key_Right, shift, 1}} << 0.25 << 0.0 << 0.0;
    QTest::newRow("Shift+up three times") << QList<Press>{{Qt::Key_Up, shift, 3}} << 0.0 << -0.75 << 0.0;
    QTest::newRow("]: anticlockwise") << QList<Press>{{Qt::Key_BracketRight, none, 1}} << 0.0 << 0.0 << 0.05;
    QTest::newRow("[ twice: clockwise") << QList<Press>{{Qt::Key_BracketLeft, none, 2}} << 0.0 << 0.0 << -0.1;
    QTest::newRow("] seven times") << QList<Press>{{Qt::Key_BracketRight, none, 7}} << 0.0 << 0.0 << 0.35;
    QTest::newRow("] past the limit stops at 5") << QList<Press>{{Qt::Key_BracketRight, none, 103}} << 0.0 << 0.0 << 5.0;
    QTest::newRow("all three") << QList<Press>{{Qt::Key_Right, none, 1}, {Qt::Key_Down, shift, 1}, {Qt::Key_BracketLeft, none, 1}}
                               << 1.0 << 0.25 << -0.05;
  }
  void nudgesMoveTheCurrentViewAndTheJobKeepsThem() {
    QFETCH(QList<Press>, presses);
    QFETCH(double, dx);
    QFETCH(double, dy);
    QFETCH(double, turn);
    WindowRig rig;
    AlignView* view = Open(rig);
    QVERIFY(view);
    QCOMPARE(view->current(), 1);
    for (const Press& p : presses)
      for (int i = 0; i < p.times; ++i) QTest::keyClick(view, p.key, p.modifiers);
    const std::vector<ViewTransform> t = rig.w().ViewTransforms();
    QCOMPARE(t.size(), size_t(3));
    QCOMPARE(double(t[1].dx), dx);
    QCOMPARE(double(t[1].dy), dy);
    QVERIFY2(std::abs(double(t[1].turn) - turn) < 1e-9, qPrintable(QString::number(double(t[1].turn), 'g', 17)));
    QVERIFY(t[0].Identity() && t[2].Identity());  // only the current view moves
    // The saved job carries it, with the turn as the decimal it shows.
    const QString job = dir_.filePath(QStringLiteral("nudged.plivora"));
    rig.w().SaveJob(job);
    const Job saved = ReadJob(job);
    QCOMPARE(saved.transforms.size(), size_t(3));
    QCOMPARE(double(saved.transforms[1].dx), dx);
    QCOMPARE(double(saved.transforms[1].dy), dy);
    QCOMPARE(double(saved.transforms[1].turn), turn);
    QVERIFY(saved.transforms[0].Identity() && saved.transforms[2].Identity());
    // Listed beside the view, in the alignment view's chooser and the main
    // list, whose item keeps the path as its text.
    QVERIFY2(view->Views->itemText(1).endsWith(TransformText(t[1])), qPrintable(view->Views->itemText(1)));
    QCOMPARE(rig.w().ListBox1->item(1)->data(kTransformRole).toString(), TransformText(t[1]));
    QCOMPARE(rig.w().ListBox1->item(1)->text(), dir_.filePath(QStringLiteral("v1.tif")));
    QVERIFY(rig.w().ListBox1->item(0)->data(kTransformRole).toString().isEmpty());
  }

  // A whole shift cuts the series: the reference the height follows is the
  // area both cover, and back to the view's own once the shift is undone.
  void aWholeShiftCutsTheReferenceAndUndoingItRestoresIt() {
    WindowRig rig;
    AlignView* view = Open(rig);
    for (int i = 0; i < 3; ++i) QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Up);
    QCOMPARE(rig.w().FirstPhotoWidth, 237);
    QCOMPARE(rig.w().FirstPhotoHeight, 159);
    for (int i = 0; i < 3; ++i) QTest::keyClick(view, Qt::Key_Left);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(rig.w().FirstPhotoWidth, 240);
    QCOMPARE(rig.w().FirstPhotoHeight, 160);
    QVERIFY(rig.w().ViewTransforms()[1].Identity());
  }

  // The picture fills a canvas twice the view's size, so widget point p is
  // view pixel p / 2.
  void aClickOrDragSetsTheKeyRectangle_data() {
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<KeyRect>("key");
    const KeyRect third = DefaultKeyRect(240, 160);
    QTest::newRow("drag") << QPoint(20, 40) << QPoint(100, 80) << KeyRect{10, 20, 41, 21};
    QTest::newRow("drag up and left") << QPoint(100, 80) << QPoint(20, 40) << KeyRect{10, 20, 41, 21};
    QTest::newRow("drag past the edge") << QPoint(400, 280) << QPoint(600, 400) << KeyRect{200, 140, 40, 20};
    QTest::newRow("click centres the key") << QPoint(240, 160) << QPoint(240, 160)
                                            << KeyRect{120 - third.width / 2, 80 - third.height / 2, third.width, third.height};
    QTest::newRow("click near a corner keeps it inside") << QPoint(4, 314) << QPoint(5, 315)
                                                          << KeyRect{0, 160 - third.height, third.width, third.height};
  }
  void aClickOrDragSetsTheKeyRectangle() {
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(KeyRect, key);
    WindowRig rig;
    AlignView* view = Open(rig);
    view->Canvas->setFixedSize(480, 320);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QCOMPARE(view->Canvas->size(), QSize(480, 320));
    QTest::mousePress(view->Canvas, Qt::LeftButton, {}, from);
    QTest::mouseRelease(view->Canvas, Qt::LeftButton, {}, to);
    QCOMPARE(view->key(), key);
    // The window keeps it: the view made anew at the next press shows it.
    rig.w().BitBtn15->click();
    QCOMPARE(ViewOf(rig.w())->key(), key);
    QVERIFY(view->Key->text().endsWith(KeyRectText(key)));
  }

  // A foreground layer holding still under the key, the background moving
  // `step` pixels a view, the camera off by known vertical shifts. At 720
  // view pixels over 2 inches and 75 LPI a lens covers 4.8 view pixels.
  void autoAlignFindsTheShiftsAndTheSummaryTellsTheBudget_data() {
    QTest::addColumn<double>("step");
    QTest::addColumn<bool>("ghosting");
    QTest::newRow("2 px a view: within a lens") << 2.0 << false;
    QTest::newRow("8 px a view: ghosts") << 8.0 << true;
  }
  void autoAlignFindsTheShiftsAndTheSummaryTellsTheBudget() {
    QFETCH(double, step);
    QFETCH(bool, ghosting);
    SyntheticSeries s;
    s.width = 720;
    s.height = 480;
    test::Layer front{60, 60, 220, 160, {}};  // off the centre third, which the key would take by default
    const Real dys[] = {0, 2.5L, -1.75L};
    for (int k = 0; k < 3; ++k) {
      s.background.push_back(Real(step) * k);
      front.positions.push_back(0);
      s.camera.push_back({0, dys[k], 0});
    }
    s.foreground = front;
    QTemporaryDir folder;
    WindowRig rig;
    TForm1& w = English(rig);
    w.ImportImages(WriteSeries(s, folder.path()));
    w.ComboBox2->setCurrentIndex(0);  // inch
    w.Edit3->setText(QStringLiteral("2"));
    w.ComboBox1->setEditText(QStringLiteral("75"));
    w.ComboBox3->setEditText(QStringLiteral("600"));
    w.BitBtn15->click();
    AlignView* view = ViewOf(w);
    QVERIFY(view);
    // The key on the foreground, dragged: view pixels 80,80 to 259,199.
    view->Canvas->setFixedSize(720, 480);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QTest::mousePress(view->Canvas, Qt::LeftButton, {}, QPoint(80, 80));
    QTest::mouseRelease(view->Canvas, Qt::LeftButton, {}, QPoint(259, 199));
    QCOMPARE(view->key(), (KeyRect{80, 80, 180, 120}));
    view->Auto->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const std::vector<ViewTransform> t = w.ViewTransforms();
    for (int k = 0; k < 3; ++k) {
      QVERIFY2(std::abs(double(t[size_t(k)].dy + dys[k])) < 0.1, qPrintable(QString::number(double(t[size_t(k)].dy))));
      QVERIFY2(std::abs(double(t[size_t(k)].dx)) < 0.1, qPrintable(QString::number(double(t[size_t(k)].dx))));
    }
    QCOMPARE(view->transforms(), t);
    const QString summary = w.OutputSummary->toolTip();
    QVERIFY2(summary.contains(QStringLiteral("Depth: at most")), qPrintable(summary));
    QCOMPARE(summary.contains(QStringLiteral("Ghosting likely: between views ")), ghosting);
    QCOMPARE(w.OutputSummary->styleSheet().contains(QStringLiteral("red")), ghosting);
    QVERIFY(view->Status->text().startsWith(QStringLiteral("Depth: at most")));
    // In the other caption language, and gone once a nudge changes what was measured.
    w.SwitchLanguage();
    QVERIFY2(w.OutputSummary->toolTip().contains(QStringLiteral("景深：")), qPrintable(w.OutputSummary->toolTip()));
    QCOMPARE(view->Auto->text(), QStringLiteral("自动对齐(&A)"));
    QTest::keyClick(view, Qt::Key_Right);
    QVERIFY(!w.OutputSummary->toolTip().contains(QStringLiteral("景深：")));
  }

  // Auto align does what the job asked for (the key plane's fit, or a key
  // shift of S a view) and replaces the request: the job saved afterwards
  // holds the shifts, and the window exports it.
  void autoAlignTakesTheJobsSearchOver_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<double>("dxPerView");
    // The background moves 1 pixel right a view; the key holds it still.
    QTest::newRow("align auto") << QStringLiteral("align") << QStringLiteral("auto") << -1.0;
    QTest::newRow("key-shift 2") << QStringLiteral("key-shift") << QStringLiteral("2") << 2.0;
  }
  void autoAlignTakesTheJobsSearchOver() {
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(double, dxPerView);
    SyntheticSeries s;
    s.width = 480;
    s.height = 320;
    s.background = {0, 1, 2};
    s.camera = {{0, 0, 0}, {0, 1.5L, 0}, {0, -1, 0}};
    QTemporaryDir folder;
    const QStringList views = WriteSeries(s, folder.path());
    Job job;
    job.views = views;
    job.options[option] = value;
    const QString path = folder.filePath(QStringLiteral("search.plivora"));
    WriteJob(path, job);
    WindowRig rig;
    TForm1& w = English(rig);
    w.OpenJob(path);
    w.BitBtn15->click();
    ViewOf(w)->Auto->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    w.SaveJob(path);
    const Job saved = ReadJob(path);
    QVERIFY(!saved.options.count(option));
    QCOMPARE(saved.transforms.size(), size_t(3));
    QVERIFY(std::abs(double(saved.transforms[1].dy) + 1.5) < 0.1);
    for (int k = 1; k < 3; ++k)
      QVERIFY2(std::abs(double(saved.transforms[size_t(k)].dx) - k * dxPerView) < 0.1,
               qPrintable(QString::number(double(saved.transforms[size_t(k)].dx))));
    rig.desktop.saveAnswers << folder.filePath(QStringLiteral("plate.tif"));
    w.BitBtn7->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("plate.tif"))));
  }

  // The previews show the views as the export cuts them.
  void thePreviewsShowTheAlignedCutViews() {
    WindowRig rig;
    TForm1& w = English(rig);
    QStringList views, cut;
    WriteShiftedPair(&views, &cut);
    rig.Import(views);
    ShiftSecondView(w);
    w.Guard(&TForm1::BitBtn10Click);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QCOMPARE(w.Image4->picture(), BuildAnaglyph(cut[0], cut[1], false));
    QVERIFY(w.Image4->picture() != BuildAnaglyph(views[0], views[1], false));
    // The animated preview's frames, read the same way.
    const std::vector<ViewTransform> t = w.ViewTransforms();
    const CommonArea area = *AlignedAreaOf(views, t);
    QCOMPARE(area, (CommonArea{2, 1, 38, 59}));
    const std::vector<QImage> aligned = BuildFrames(views, false, {{t[0], area}, {t[1], area}});
    const std::vector<QImage> expected = BuildFrames(cut, false);
    QCOMPARE(aligned.size(), size_t(2));
    QCOMPARE(aligned[0], expected[0]);
    QCOMPARE(aligned[1], expected[1]);
  }

  // The lens view's plate is the export's: of the aligned, cut views.
  void theLensViewSeesTheAlignedCutViews() {
    QStringList views, cut;
    WriteShiftedPair(&views, &cut);
    WindowRig shifted, precut;
    English(shifted).ComboBox3->setEditText(QStringLiteral("600"));
    English(precut).ComboBox3->setEditText(QStringLiteral("600"));
    shifted.Import(views);
    ShiftSecondView(shifted.w());
    precut.Import(cut);
    QCOMPARE(shifted.w().Edit4->text(), precut.w().Edit4->text());
    const auto lensPicture = [](TForm1& w) {
      w.BitBtn14->click();
      auto* view = w.findChild<QWidget*>(QStringLiteral("LensView"));
      return view ? view->findChild<PictureBox*>(QStringLiteral("LensPicture"))->picture() : QImage();
    };
    const QImage a = lensPicture(shifted.w()), b = lensPicture(precut.w());
    QVERIFY2(shifted.desktop.errors.isEmpty(), qPrintable(shifted.desktop.errors.join('\n')));
    QVERIFY(!a.isNull());
    QCOMPARE(a, b);
  }

  // The view follows the list: with the first view deleted, the nudge goes
  // to the view shown, and with one view left the alignment view closes.
  void theViewFollowsTheList() {
    WindowRig rig;
    AlignView* view = Open(rig);
    TForm1& w = rig.w();
    w.ListBox1->clearSelection();
    w.ListBox1->item(0)->setSelected(true);
    w.BitBtn4Click();
    QCOMPARE(view->views(), rig.items());
    QCOMPARE(view->current(), 1);
    QTest::keyClick(view, Qt::Key_Right);
    const std::vector<ViewTransform> t = w.ViewTransforms();
    QCOMPARE(t.size(), size_t(2));
    QCOMPARE(double(t[1].dx), 1.0);
    QVERIFY(t[0].Identity());
    QVERIFY(view->Views->itemText(1).contains(QStringLiteral("v2.tif")));
    w.ListBox1->item(0)->setSelected(true);
    w.BitBtn4Click();
    QVERIFY(view->isHidden());
  }

  // The ghost box picks the mode; the flicker runs only while it is chosen
  // and the window is shown.
  void theGhostBoxPicksTheModeAndTheFlickerStopsWhenHidden() {
    WindowRig rig;
    AlignView* view = Open(rig);
    QVERIFY(!view->Flicker->isActive());
    view->Ghost->setCurrentIndex(1);
    QVERIFY(view->Flicker->isActive());
    view->hide();
    QVERIFY(!view->Flicker->isActive());
    rig.w().BitBtn15->click();
    QVERIFY(view->Flicker->isActive());
    view->Ghost->setCurrentIndex(2);
    QVERIFY(!view->Flicker->isActive());
  }

  void needsTwoViews() {
    WindowRig rig;
    TForm1& w = English(rig);
    rig.Import({WriteView(dir_.filePath(QStringLiteral("one.tif")), 40, 30)});
    w.BitBtn15->click();
    QCOMPARE(rig.desktop.errors, QStringList{QStringLiteral("Aligning needs two views or more; import a series first.")});
    QVERIFY(!ViewOf(w));
  }

  // A single bright pixel of the current view lands where its transform
  // puts it on the reference picture: anticlockwise turns as seen, about
  // the view's centre, shifts right and down, at the pictures' scale.
  void theGhostPutsTheViewWhereItsTransformSays_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("dot");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::addColumn<double>("turn");
    QTest::addColumn<QPoint>("landed");
    QTest::newRow("unmoved") << 21 << 1.0 << QPoint(15, 10) << 0.0 << 0.0 << 0.0 << QPoint(15, 10);
    QTest::newRow("shift right and up") << 21 << 1.0 << QPoint(15, 10) << 3.0 << -2.0 << 0.0 << QPoint(18, 8);
    QTest::newRow("right of centre, turned 90") << 21 << 1.0 << QPoint(15, 10) << 0.0 << 0.0 << 90.0 << QPoint(10, 5);
    QTest::newRow("below centre, turned 90") << 21 << 1.0 << QPoint(10, 16) << 0.0 << 0.0 << 90.0 << QPoint(16, 10);
    QTest::newRow("turned and shifted") << 21 << 1.0 << QPoint(15, 10) << 2.0 << 1.0 << 90.0 << QPoint(12, 6);
    QTest::newRow("half-size pictures") << 21 << 2.0 << QPoint(5, 10) << 4.0 << 2.0 << 0.0 << QPoint(7, 11);
  }
  void theGhostPutsTheViewWhereItsTransformSays() {
    QFETCH(int, size);
    QFETCH(double, scale);
    QFETCH(QPoint, dot);
    QFETCH(double, dx);
    QFETCH(double, dy);
    QFETCH(double, turn);
    QFETCH(QPoint, landed);
    QImage reference(size, size, QImage::Format_RGB888), current(size, size, QImage::Format_RGB888);
    reference.fill(Qt::black);
    current.fill(Qt::black);
    current.setPixelColor(dot, Qt::white);
    const auto viewSize = uint32_t(std::lround(size * scale));
    const GhostPlacement placement{Real(scale), viewSize, viewSize, {Real(dx), Real(dy), Real(turn)}};
    for (GhostMode mode : {GhostMode::kHalf, GhostMode::kDifference}) {
      const QImage ghost = GhostPicture(reference, current, placement, mode, true);
      QCOMPARE(ghost.size(), reference.size());
      QCOMPARE(Brightest(ghost), landed);
    }
    // A flicker shows the reference alone in its other half.
    QCOMPARE(qGray(GhostPicture(reference, current, placement, GhostMode::kFlicker, false).pixel(landed)), 0);
  }
};

QTEST_MAIN(WindowAlignViewTest)
#include "window_align_view_test.moc"
