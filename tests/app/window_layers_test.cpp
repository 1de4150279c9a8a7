// The layers window: edits of the layer list and the depth map's fields end
// in the saved job, a job with layers comes back as it went, and an export
// from the window makes the command line's plate from the same job.
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/layers_view.h"
#include "app/picture_box.h"
#include "app_test_support.h"
#include "jobs/job_file.h"

using namespace plivora;
using namespace plivora::test;

namespace {

LayersView* OpenLayers(TForm1& w) {
  w.BitBtn16->click();
  return static_cast<LayersView*>(w.findChild<QWidget*>(QStringLiteral("LayersView"), Qt::FindDirectChildrenOnly));
}

// "a:0 b:0.75@3,-4": each layer's file base name, depth and corner when set.
QString LayersText(const std::vector<Layer>& layers) {
  QStringList parts;
  for (const Layer& l : layers) {
    QString part = QFileInfo(l.path).completeBaseName() + QChar(':') + QString::number(double(l.depth));
    if (l.x != 0 || l.y != 0) part += QStringLiteral("@%1,%2").arg(l.x).arg(l.y);
    parts << part;
  }
  return parts.join(QChar(' '));
}

void Type(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  emit edit->editingFinished();
}

// One edit of the window, as the operator makes it: "select N", "depth D",
// "corner X Y", "forward", "backward", "remove".
void Apply(LayersView& view, const QString& op) {
  const QStringList word = op.split(QChar(' '));
  if (word[0] == QLatin1String("select")) view.List->setCurrentRow(word[1].toInt());
  if (word[0] == QLatin1String("depth")) Type(view.Depth, word[1]);
  if (word[0] == QLatin1String("corner")) {
    view.X->setText(word[1]);
    Type(view.Y, word[2]);
  }
  if (word[0] == QLatin1String("forward")) view.Up->click();
  if (word[0] == QLatin1String("backward")) view.Down->click();
  if (word[0] == QLatin1String("remove")) view.Remove->click();
}

}  // namespace

class WindowLayersTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  // A background of `width` x `height` without alpha, and above it a
  // half-transparent square with alpha.
  QString Background(const QString& name, int width, int height) {
    QImage sky(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) sky.setPixel(x, y, qRgb((x * 7) % 256, (y * 5) % 256, 90));
    const QString path = dir_.filePath(name);
    sky.save(path);
    return path;
  }
  QString Logo(const QString& name) {
    QImage logo(24, 16, QImage::Format_RGBA8888);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 24; ++x) logo.setPixel(x, y, qRgba(200, x * 10, 40, x < 12 ? 255 : 128));
    const QString path = dir_.filePath(name);
    logo.save(path);
    return path;
  }

 private slots:
  void editsEndInTheSavedJob_data() {
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QString>("saved");
    QTest::newRow("added in order, at depth 0") << QStringList{} << "a:0 b:0 c:0";
    QTest::newRow("the selected layer's depth") << QStringList{"select 1", "depth 0.75"} << "a:0 b:0.75 c:0";
    QTest::newRow("a depth behind the print") << QStringList{"select 2", "depth -1.5"} << "a:0 b:0 c:-1.5";
    QTest::newRow("a corner") << QStringList{"select 2", "corner 3 -4"} << "a:0 b:0 c:0@3,-4";
    QTest::newRow("forward") << QStringList{"select 0", "depth 2", "forward"} << "b:0 a:2 c:0";
    QTest::newRow("backward") << QStringList{"select 2", "backward"} << "a:0 c:0 b:0";
    QTest::newRow("the back one goes no further back") << QStringList{"select 0", "backward"} << "a:0 b:0 c:0";
    QTest::newRow("remove") << QStringList{"select 1", "remove", "depth 1"} << "a:0 c:1";
    QTest::newRow("a depth that is no number changes nothing") << QStringList{"select 1", "depth 1x"} << "a:0 b:0 c:0";
    QTest::newRow("a depth past 100 lens widths changes nothing") << QStringList{"select 1", "depth 101"} << "a:0 b:0 c:0";
    QTest::newRow("a corner that is no whole number changes nothing") << QStringList{"select 1", "corner 1.5 2"} << "a:0 b:0 c:0";
  }
  void editsEndInTheSavedJob() {
    QFETCH(QStringList, ops);
    QFETCH(QString, saved);
    WindowRig rig;
    TForm1& w = English(rig);
    LayersView* view = OpenLayers(w);
    QVERIFY(view);
    rig.desktop.openAnswers = {{Background("a.png", 60, 30), Logo("b.png"), Logo("c.png")}};
    view->Add->click();
    for (const QString& op : ops) Apply(*view, op);
    const QString job = dir_.filePath("edits.plivora");
    rig.desktop.saveAnswers = {job};
    w.Guard(&TForm1::SaveJobAsClick);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const Job read = ReadJob(job);
    QCOMPARE(LayersText(read.layers), saved);
    QVERIFY(read.views.isEmpty());
    // A refused text is named in red, and the layer keeps what it had.
    const bool refused = QString::fromLatin1(QTest::currentDataTag()).contains("changes nothing");
    QCOMPARE(view->Status->styleSheet().contains(QLatin1String("red")), refused);
  }

  void depthMapFieldsEndInTheSavedJob() {
    WindowRig rig;
    TForm1& w = English(rig);
    LayersView* view = OpenLayers(w);
    const QString picture = Background("photo.png", 60, 30), map = Background("map.png", 60, 30);
    view->DepthMap->setChecked(true);
    Type(view->Picture, picture);
    Type(view->Map, map);
    Type(view->MapDepth, QStringLiteral("2"));
    Type(view->KeyDepth, QStringLiteral("100"));
    Type(view->Frames, QStringLiteral("6"));
    const QString job = dir_.filePath("map.plivora");
    rig.desktop.saveAnswers = {job};
    w.Guard(&TForm1::SaveJobAsClick);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const Job read = ReadJob(job);
    QCOMPARE(read.views, QStringList{picture});
    QVERIFY(read.layers.empty());
    QCOMPARE(read.options.at("depth-map"), map);
    QCOMPARE(read.options.at("depth"), QStringLiteral("2"));
    QCOMPARE(read.options.at("key-depth"), QStringLiteral("100"));
    QCOMPARE(read.options.at("frames"), QStringLiteral("6"));
    // Opened again: the list stays empty, the layers window shows the map.
    WindowRig again;
    again.w().OpenJob(job);
    QCOMPARE(again.w().ListBox1->count(), 0);
    QCOMPARE(again.w().madeSource().picture, picture);
    QCOMPARE(again.w().madeSource().depthMap, map);
    QVERIFY(again.w().madeSource().depthMapChosen);
  }

  void jobWithLayersRoundTrips() {
    const QString job = dir_.filePath("trip.plivora");
    Background("sky.png", 80, 40);
    Logo("logo.png");
    WriteFile(job, QByteArray(R"({"format": 1, "layers": [{"path": "sky.png"}, {"path": "logo.png", "depth": 0.5, "position": [5, 6]}],
                      "options": {"frames": "7", "unit": "inch"}, "future": 3})"));
    WindowRig rig;
    TForm1& w = English(rig);
    w.OpenJob(job);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QVERIFY(!w.windowTitle().contains(QChar('*')));
    QCOMPARE(w.ListBox1->count(), 0);
    QVERIFY(w.BitBtn7->isEnabled());
    LayersView* view = OpenLayers(w);
    QCOMPARE(view->List->count(), 2);
    Apply(*view, QStringLiteral("select 1"));
    QCOMPARE(view->Depth->text(), QStringLiteral("0.5"));
    QCOMPARE(view->X->text(), QStringLiteral("5"));
    Apply(*view, QStringLiteral("depth 0.25"));
    // An edited layer is an unsaved change of the job.
    QVERIFY(w.windowTitle().contains(QChar('*')));
    w.Guard(&TForm1::SaveJobClick);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const Job read = ReadJob(job);
    QCOMPARE(LayersText(read.layers), QStringLiteral("sky:0 logo:0.25@5,6"));
    QCOMPARE(read.options.at("frames"), QStringLiteral("7"));
    QCOMPARE(read.unknown.keys(), QStringList{"future"});
    QVERIFY(read.views.isEmpty());
    QVERIFY(!w.windowTitle().contains(QChar('*')));
  }

  void summaryNamesTheMadeViewsAndRefusesBoth() {
    WindowRig rig;
    TForm1& w = English(rig);
    LayersView* view = OpenLayers(w);
    rig.desktop.openAnswers = {{Background("s1.png", 200, 100), Logo("s2.png")}};
    view->Add->click();
    Type(view->Frames, QStringLiteral("9"));
    QVERIFY2(w.OutputSummary->toolTip().contains(QLatin1String("made: 9 views from 2 layers")), qPrintable(w.OutputSummary->toolTip()));
    QVERIFY(!w.OutputSummary->toolTip().contains(QLatin1String("not exported")));
    // Views in the list too: said in the summary, refused by the export and
    // by the job.
    rig.Import({WriteView(dir_.filePath("v1.tif"), 40, 60)});
    QVERIFY(w.OutputSummary->toolTip().contains(QLatin1String("The view list is not exported while layers are set")));
    QVERIFY(w.OutputSummary->styleSheet().contains(QLatin1String("red")));
    rig.desktop.saveAnswers = {dir_.filePath("both.tif")};
    w.Guard(&TForm1::BitBtn7Click);
    // Refused before the save dialog was asked.
    QCOMPARE(rig.desktop.saveAnswers.size(), 1);
    rig.desktop.saveAnswers = {dir_.filePath("both.plivora")};
    w.Guard(&TForm1::SaveJobAsClick);
    QCOMPARE(rig.desktop.errors.size(), 2);
    QVERIFY2(rig.desktop.errors[0].contains(QLatin1String("the view list holds views too")), qPrintable(rig.desktop.errors[0]));
    QVERIFY(rig.desktop.errors[1].contains(QLatin1String("not both")));
    QVERIFY(!QFileInfo::exists(dir_.filePath("both.tif")));
    QVERIFY(!QFileInfo::exists(dir_.filePath("both.plivora")));
  }

  // The summary tells the made views' depth budget from the depths given:
  // a layer of depth D across F frames moves D / (F - 1) lens widths from a
  // view to the next, and more than one lens width ghosts.
  void summaryTellsTheMadeViewsDepthBudget_data() {
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<bool>("ghosting");
    QTest::newRow("1 across 9: an eighth of a lens") << "1" << "9" << false;
    QTest::newRow("-2 across 3: a lens, behind") << "-2" << "3" << false;
    QTest::newRow("4 across 3: two lenses in front") << "4" << "3" << true;
    QTest::newRow("-9 across 5: over two lenses behind") << "-9" << "5" << true;
  }
  void summaryTellsTheMadeViewsDepthBudget() {
    QFETCH(QString, depth);
    QFETCH(QString, frames);
    QFETCH(bool, ghosting);
    WindowRig rig;
    TForm1& w = English(rig);
    LayersView* view = OpenLayers(w);
    rig.desktop.openAnswers = {{Background("d1.png", 200, 100), Logo("d2.png")}};
    view->Add->click();
    Apply(*view, QStringLiteral("depth ") + depth);
    Type(view->Frames, frames);
    const QString told = w.OutputSummary->toolTip();
    QVERIFY2(told.contains(QLatin1String("Depth: at most")), qPrintable(told));
    QCOMPARE(told.contains(QLatin1String("Ghosting likely: between views 1 and 2")), ghosting);
    QCOMPARE(w.OutputSummary->styleSheet().contains(QLatin1String("red")), ghosting);
  }

  void lensViewShowsTheMadeViews() {
    WindowRig rig;
    TForm1& w = English(rig);
    LayersView* view = OpenLayers(w);
    rig.desktop.openAnswers = {{Background("l1.png", 200, 100), Logo("l2.png")}};
    view->Add->click();
    Type(view->Frames, QStringLiteral("5"));
    // No view is listed: the lens view shows the plate of the made views.
    w.Guard(&TForm1::LensViewClick);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("LensView"), Qt::FindDirectChildrenOnly));
    // With views listed too it is refused, as the export is.
    rig.Import({WriteView(dir_.filePath("l3.tif"), 40, 60)});
    w.Guard(&TForm1::LensViewClick);
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY(rig.desktop.errors[0].contains(QLatin1String("the view list holds views too")));
  }

  void previewPlaysTheMadeViews() {
    WindowRig rig;
    TForm1& w = English(rig);
    LayersView* view = OpenLayers(w);
    rig.desktop.openAnswers = {{Background("p1.png", 200, 100), Logo("p2.png")}};
    view->Add->click();
    Apply(*view, QStringLiteral("depth 8"));  // the logo moves far from a view to the next
    Type(view->Frames, QStringLiteral("3"));
    QVERIFY(w.BitBtn5->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return !w.Timer1->isActive(); }, 1000));
    QList<QImage> shown;
    QObject context;
    QObject::connect(w.Timer1, &QTimer::timeout, &context, [&] {
      shown << w.Image4->picture();
      if (shown.size() == 4) w.BitBtn11->click();
    });
    w.Guard(&TForm1::BitBtn5Click);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    // Ticks 1 to 3 show views 1, 2 and 3: the same size, each its own.
    QCOMPARE(shown.size(), 4);
    QVERIFY(!shown[1].isNull());
    QCOMPARE(shown[1].width(), 400);
    QCOMPARE(shown[2].size(), shown[1].size());
    QVERIFY(shown[1] != shown[2] && shown[2] != shown[3] && shown[1] != shown[3]);
  }

  // The anaglyph pairs two made views (2 and 4 of 5) as it pairs listed ones;
  // with views listed too it is refused, as the export is.
  void anaglyphShowsTheMadeViews() {
    WindowRig rig;
    TForm1& w = English(rig);
    LayersView* view = OpenLayers(w);
    rig.desktop.openAnswers = {{Background("a1.png", 200, 100), Logo("a2.png")}};
    view->Add->click();
    Apply(*view, QStringLiteral("depth 8"));
    Type(view->Frames, QStringLiteral("5"));
    w.Guard(&TForm1::BitBtn10Click);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QCOMPARE(rig.desktop.messages, QStringList{QStringLiteral("Please put on 3d glasses to see the 3d picture.")});
    QVERIFY(w.ListBox1->isHidden());
    const QImage shown = w.Image4->picture();
    QCOMPARE(shown.width(), 400);
    // The logo sits elsewhere in the two views: red and green part there.
    bool parted = false;
    for (int y = 0; y < shown.height() && !parted; ++y)
      for (int x = 0; x < shown.width() && !parted; ++x) parted = qRed(shown.pixel(x, y)) != qGreen(shown.pixel(x, y));
    QVERIFY(parted);

    w.Guard(&TForm1::BitBtn10Click);  // the list back
    rig.Import({WriteView(dir_.filePath("a3.tif"), 40, 60)});
    w.Guard(&TForm1::BitBtn10Click);
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY(rig.desktop.errors[0].contains(QLatin1String("the view list holds views too")));
  }

  void exportEqualsTheCommandLinesPlate_data() {
    QTest::addColumn<QString>("height");
    QTest::newRow("height from the made views") << QString();
    QTest::newRow("height given") << QStringLiteral("1.2");
  }
  void exportEqualsTheCommandLinesPlate() {
    QFETCH(QString, height);
    Background("bg.png", 300, 160);
    Logo("fg.png");
    const QString heightOption = height.isEmpty() ? QString() : QStringLiteral(", \"height\": \"%1\"").arg(height);
    const QString job = dir_.filePath("plate.plivora");
    WriteFile(job, QStringLiteral(R"({"format": 1, "layers": [{"path": "bg.png", "depth": -0.5}, {"path": "fg.png", "depth": 1.25, "position": [40, 30]}],
                      "options": {"frames": "6", "unit": "cm", "width": "2.5"%1}})").arg(heightOption).toUtf8());
    const QString expected = dir_.filePath("cli.tif"), out = dir_.filePath("window.tif");
    QProcess process;
    process.start(qEnvironmentVariable("PLIVORA_INTERLACE"), QStringList{"-q", "--job", job, "-o", expected});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());

    WindowRig rig;
    TForm1& w = English(rig);
    w.OpenJob(job);
    rig.desktop.saveAnswers = {out};
    w.Guard(&TForm1::BitBtn7Click);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const QByteArray rows = ImageRows(FileBytes(out));
    QVERIFY(!rows.isEmpty());
    QCOMPARE(FileBytes(out).size(), FileBytes(expected).size());
    QVERIFY(rows == ImageRows(FileBytes(expected)));
  }
};

QTEST_MAIN(WindowLayersTest)
#include "window_layers_test.moc"
