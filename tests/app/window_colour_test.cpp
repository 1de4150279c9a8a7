// The window's colour plates: the print setup kept beside the settings, the
// summary naming the plate, "Import images…" for other formats, and the
// export writing the plate the setup asks for under the save dialog's types.
#include <tiffio.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "app_test_support.h"
#include "app/wording.h"
#include "colour/icc_profile.h"

using namespace plivora;
using namespace plivora::test;

namespace {

// The print setup dialog's answer for these colours.
OptionValues Setup(PlateColour plate, const QString& cmykProfile = {}, const QString& rgbProfile = {},
                   Intent intent = Intent::kRelative) {
  OptionValues setup{{QStringLiteral("colour"), PlateColourName(plate)}, {QStringLiteral("intent"), IntentName(intent)}};
  if (!cmykProfile.isEmpty()) setup[QStringLiteral("cmyk-profile")] = cmykProfile;
  if (!rgbProfile.isEmpty()) setup[QStringLiteral("rgb-profile")] = rgbProfile;
  return setup;
}

// Closes the window, as the user would, and opens the next run's.
void CloseAndRestart(WindowRig& rig) {
  rig.w().close();
  rig.Restart();
}

QString SummaryLine(TForm1& w) { return w.OutputSummary->text().section(QChar('\n'), -1); }


}  // namespace

class WindowColourTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  QString Png(const QString& name, int width, int height, QColor colour) {
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(colour);
    const QString path = dir_.filePath(name);
    if (!picture.save(path)) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

 private slots:
  // A setup chosen in the dialog is shown, written at close beside the
  // settings (which keep their ten lines) and offered again by the next run;
  // a window never set up writes no file.
  void theSetupIsKeptForTheNextRun() {
    WindowRig rig;
    const QString setupPath = rig.exeDir + QStringLiteral("/vexo/plivora-setup.json");
    CloseAndRestart(rig);
    QVERIFY(!QFile::exists(setupPath));
    QCOMPARE(SummaryLine(English(rig)), QStringLiteral("Grey plate"));

    const QString rgbProfile = dir_.filePath("srgb.icc");
    WriteFile(rgbProfile, IccProfile::Srgb().bytes());
    rig.desktop.setupAnswers << Setup(PlateColour::kRgb, QString(), rgbProfile, Intent::kPerceptual);
    Trigger(rig.w(), "PrintSetup");
    QVERIFY(SummaryLine(rig.w()).startsWith(QStringLiteral("RGB plate, sRGB")));
    QVERIFY(SummaryLine(rig.w()).endsWith(QStringLiteral("perceptual intent")) ||
            SummaryLine(rig.w()).endsWith(QStringLiteral("…")));
    CloseAndRestart(rig);
    QVERIFY(QFile::exists(setupPath));
    QCOMPARE(FileBytes(rig.settingsPath()).count('\n'), 10);
    const ColourOptions& kept = rig.w().printSetup().settings.colour;
    QCOMPARE(kept.plate, PlateColour::kRgb);
    QCOMPARE(kept.rgbProfile, rgbProfile);
    QCOMPARE(kept.intent, Intent::kPerceptual);
    // Cancelling the dialog changes nothing; it was shown the kept setup.
    Trigger(rig.w(), "PrintSetup");
    QCOMPARE(rig.desktop.setupAsked.last().at(QStringLiteral("rgb-profile")), rgbProfile);
    QCOMPARE(rig.w().printSetup().settings.colour.plate, PlateColour::kRgb);
  }

  // The lens options are kept with the colours, named in the summary, and
  // the export writes what the command line writes with the same options.
  void theLensSetupIsKeptShownAndExported() {
    WindowRig rig;
    rig.desktop.setupAnswers << OptionValues{{QStringLiteral("lenses"), QStringLiteral("horizontal")},
                                             {QStringLiteral("order"), QStringLiteral("pingpong")},
                                             {QStringLiteral("hold-ends"), QStringLiteral("2")},
                                             {QStringLiteral("phase"), QStringLiteral("3/8")},
                                             {QStringLiteral("mirror"), QString()}};
    Trigger(rig.w(), "PrintSetup");
    const QStringList views = {WriteView(dir_.filePath("l1.tif"), 40, 60, 1), WriteView(dir_.filePath("l2.tif"), 40, 60, 2),
                               WriteView(dir_.filePath("l3.tif"), 40, 60, 3)};
    rig.Import(views);
    const QString summary = English(rig).OutputSummary->text();
    QCOMPARE(summary.section(QChar('\n'), 1, 1), QStringLiteral("89 lenses down, 52.94 px per lens"));
    QVERIFY2(summary.section(QChar('\n'), 3, 3).startsWith(QStringLiteral("ping-pong, ends x2, phase 3/8, mirrored")),
             qPrintable(summary));
    const QString out = dir_.filePath("lens-window.tif");
    rig.desktop.saveAnswers << out;
    rig.w().BitBtn7->click();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QProcess cli;
    const QString cliOut = dir_.filePath("lens-cli.tif");
    cli.start(qEnvironmentVariable("PLIVORA_INTERLACE"),
              QStringList{"-q", "--lenses", "horizontal", "--order", "pingpong", "--hold-ends", "2", "--phase", "3/8",
                          "--mirror", "-o", cliOut} + views);
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    // All but the caption strip (0.2 inch at 4000 dpi), which names the file.
    const QByteArray window = FileBytes(out), command = FileBytes(cliOut);
    QCOMPARE(window.size(), command.size());
    const qsizetype strip = qsizetype(800) * 315 * 4;
    QVERIFY(window.mid(334, window.size() - 334 - strip) == command.mid(334, command.size() - 334 - strip));
    rig.w().close();
    rig.Restart();
    const LensOptions& kept = rig.w().printSetup().settings.lens;
    QCOMPARE(kept.lenses, Lenses::kHorizontal);
    QCOMPARE(kept.frames.order, FrameOrder::kPingPong);
    QCOMPARE(kept.frames.holdEnds, 2);
    QCOMPARE(double(kept.phase), 0.375);
    QVERIFY(kept.mirror);
    QCOMPARE(rig.w().printSetup().settings.phaseText, QStringLiteral("3/8"));
  }

  // A file that is not a setup is named and left as it is; keys of a newer
  // version survive a save.
  void aBrokenSetupIsNamedAndLeftAlone() {
    WindowRig rig;
    const QString setupPath = rig.exeDir + QStringLiteral("/vexo/plivora-setup.json");
    const QList<QByteArray> broken = {"{\"colour\": \"purple\"}", "not json", "[1]", "{\"intent\": 3}",
                                      "{\"phase\": \"1/2/3\"}", "{\"hold-ends\": 0}", "{\"lenses\": \"round\"}",
                                      "{\"mirror\": \"yes\"}"};
    for (const QByteArray& bytes : broken) {
      WriteFile(setupPath, bytes);
      rig.desktop.errors.clear();
      CloseAndRestart(rig);
      QVERIFY2(rig.desktop.errors.value(0).startsWith(QStringLiteral("Cannot read the print setup \"%1\"").arg(setupPath)),
               qPrintable(rig.desktop.errors.join('\n')));
      QCOMPARE(rig.w().printSetup().settings.colour.plate, PlateColour::kGrey);
      CloseAndRestart(rig);
      QCOMPARE(FileBytes(setupPath), bytes);
    }
    WriteFile(setupPath, "{\"colour\": \"cmyk\", \"later\": [1, 2]}");
    CloseAndRestart(rig);
    rig.desktop.setupAnswers << Setup(PlateColour::kCmyk, QString(), QString(), Intent::kSaturation);
    Trigger(rig.w(), "PrintSetup");
    CloseAndRestart(rig);
    QVERIFY(FileBytes(setupPath).contains("\"later\""));
    QCOMPARE(rig.w().printSetup().settings.colour.intent, Intent::kSaturation);
    // A setup of the first builds: hold-ends a number, mirror false.
    rig.w().close();
    WriteFile(setupPath, "{\"format\": 1, \"hold-ends\": 3, \"mirror\": false, \"order\": \"pingpong\"}");
    rig.desktop.errors.clear();
    rig.Restart();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QCOMPARE(rig.w().printSetup().settings.lens.frames.holdEnds, 3);
  }

  // A profile the export would refuse turns the summary red with the reason.
  void anUnusableProfileIsWarnedOf() {
    WindowRig rig;
    const QString notIcc = dir_.filePath("not.icc");
    WriteFile(notIcc, QByteArray(200, 'x'));
    rig.desktop.setupAnswers << Setup(PlateColour::kCmyk, notIcc);
    rig.Import({WriteView(dir_.filePath("v1.tif"), 40, 60)});
    Trigger(rig.w(), "PrintSetup");
    QVERIFY2(rig.w().OutputSummary->toolTip().contains(notIcc), qPrintable(rig.w().OutputSummary->toolTip()));
    QCOMPARE(rig.w().OutputSummary->styleSheet(), QStringLiteral("color: red"));
    // The usable default: no warning; the tip holds the line the label cuts.
    rig.desktop.setupAnswers << Setup(PlateColour::kCmyk);
    Trigger(English(rig), "PrintSetup");
    QVERIFY(rig.w().OutputSummary->styleSheet().isEmpty());
    QVERIFY2(rig.w().OutputSummary->toolTip().split(QChar('\n')).last().startsWith(QStringLiteral("CMYK plate, ")),
             qPrintable(rig.w().OutputSummary->toolTip()));
  }

  // "Import images…" appends in the chosen order, whatever the format, and
  // the list's first view sets the reference size.
  void importImagesAppendsAsChosen() {
    WindowRig rig;
    const QString b = Png("b.png", 30, 45, Qt::blue), a = Png("a.png", 50, 45, Qt::green);
    const QString tif = WriteView(dir_.filePath("c.tif"), 40, 60);
    rig.desktop.openAnswers << QStringList{b, tif} << QStringList{a};
    Trigger(rig.w(), "ImportImages");
    Trigger(rig.w(), "ImportImages");
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QCOMPARE(rig.items(), QStringList({b, tif, a}));
    QCOMPARE(rig.w().FirstPhotoWidth, 30);
    QCOMPARE(rig.w().Label4->text(), QStringLiteral("3"));
    QVERIFY(rig.w().BitBtn7->isEnabled());
    QVERIFY(rig.desktop.openAsked.value(0).filter.contains(QStringLiteral("*.png")));
    // A file that is no view is named, as the import names it.
    const QString bad = dir_.filePath("bad.png");
    WriteFile(bad, "\x89PNG but no more");
    rig.desktop.openAnswers << QStringList{bad};
    CloseAndRestart(rig);
    Trigger(rig.w(), "ImportImages");
    QVERIFY2(rig.desktop.errors.value(0).contains(bad), qPrintable(rig.desktop.errors.join('\n')));
  }

  // The save dialog's types name the plate; the file is the plate the setup
  // asks for, in the type chosen, carrying its profile.
  void theExportWritesThePlateOfTheSetup() {
    struct Case {
      PlateColour plate;
      QString entry;
      uint16_t samples, photometric, compression;
    };
    const QList<Case> cases = {
        {PlateColour::kCmyk, QStringLiteral("TIF, CMYK, LZW compressed (*.tif)"), 4, PHOTOMETRIC_SEPARATED, COMPRESSION_LZW},
        {PlateColour::kRgb, QStringLiteral("TIF, RGB (*.tif)"), 3, PHOTOMETRIC_RGB, COMPRESSION_NONE},
        {PlateColour::kRgb, QStringLiteral("BigTIFF, RGB (*.tif)"), 3, PHOTOMETRIC_RGB, COMPRESSION_NONE},
    };
    for (const Case& c : cases) {
      WindowRig rig;
      English(rig);
      rig.desktop.setupAnswers << Setup(c.plate);
      Trigger(rig.w(), "PrintSetup");
      rig.desktop.openAnswers << QStringList{Png("p1.png", 40, 60, Qt::red), Png("p2.png", 40, 60, Qt::cyan)};
      Trigger(rig.w(), "ImportImages");
      const QString out = dir_.filePath("plate.tif");
      rig.desktop.saveAnswers << out;
      rig.desktop.saveFilter = c.entry;
      rig.w().BitBtn7->click();
      QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
      QVERIFY(rig.desktop.saveAsked.last().filter.split(QStringLiteral(";;")).contains(c.entry));
      TIFF* tif = TIFFOpen(out.toLocal8Bit().constData(), "r");
      QVERIFY(tif);
      uint16_t samples = 0, photometric = 0, compression = 0;
      uint32_t profileBytes = 0;
      void* profile = nullptr;
      TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
      TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
      TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
      const bool hasProfile = TIFFGetField(tif, TIFFTAG_ICCPROFILE, &profileBytes, &profile) == 1;
      const bool big = TIFFIsBigTIFF(tif);
      TIFFClose(tif);
      QCOMPARE(samples, c.samples);
      QCOMPARE(photometric, c.photometric);
      QCOMPARE(compression, c.compression);
      QCOMPARE(big, c.entry.startsWith(QStringLiteral("BigTIFF")));
      QVERIFY(hasProfile && profileBytes > 128);
      QVERIFY(QFile::remove(out));
    }
  }
};

QTEST_MAIN(WindowColourTest)
#include "window_colour_test.moc"
