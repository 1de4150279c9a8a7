// Every export option of the table, one at a time at a value other than its
// default, goes the whole way round: typed on the command line and saved as
// a job, opened by the window and saved again, and the job read back holds
// what was typed; the window's export of the opened job gives the pixels of
// the command line's export of the same job. An option added to the table
// without a case here fails the test.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <map>

#include "app_test_support.h"
#include "jobs/export.h"
#include "jobs/job_file.h"
#include "options/option_table.h"
#include "series/source_image.h"
#include "series/tiff_resolution.h"
#include "series/source_file.h"

using namespace plivora;
using namespace plivora::test;

namespace {

// The file's pixels above its caption strip (0.2 inch at its vertical
// resolution, which prints the time), and its profile.
struct Plate {
  QByteArray rows, profile;
  uint32_t width = 0, height = 0;
};

Plate ReadPlate(const QString& path) {
  Plate plate;
  SourceFile file(path);
  QString whyNot;
  const std::optional<TiffResolution> resolution = ReadTiffResolution(file, &whyNot);
  if (!resolution) Fail(whyNot);
  const std::unique_ptr<SourceReader> reader = OpenSource(path);
  const SourceImage& image = reader->image();
  plate.width = image.Width;
  plate.height = image.Height;
  plate.profile = image.Profile;
  const uint32_t caption = uint32_t(std::lround(0.2 * double(resolution->y)));
  QByteArray row(qsizetype(image.Width) * 4, 0);
  for (uint32_t r = 0; r + caption < image.Height; ++r) {
    reader->ReadRow(r, reinterpret_cast<uint8_t*>(row.data()));
    plate.rows += row;
  }
  return plate;
}

}  // namespace

class WindowOptionsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  static int Interlace(const QStringList& arguments) {
    QProcess cli;
    cli.start(qEnvironmentVariable("PLIVORA_INTERLACE"), QStringList{QStringLiteral("-q")} + arguments);
    if (!cli.waitForFinished(60000)) return -1;
    if (cli.exitCode() != 0) qWarning("%s", cli.readAllStandardError().constData());
    return cli.exitCode();
  }

 private slots:
  void init() { qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toLocal8Bit()); }

  void everyOptionGoesRoundTheJobAndTheWindow() {
    const QString folder = dir_.filePath("round");
    QDir().mkpath(folder);
    QStringList views;
    for (int i = 0; i < 3; ++i) views << WriteView(QStringLiteral("%1/v%2.tif").arg(folder).arg(i), 40, 60, i);
    const QString press = folder + QStringLiteral("/press.icc"), screen = folder + QStringLiteral("/screen.icc");
    QVERIFY(QFile::copy(QString::fromLatin1(kDefaultCmykProfile), press));
    QVERIFY(QFile::copy(QStringLiteral("/usr/share/color/icc/ghostscript/a98.icc"), screen));
    // A small plate the cases change one option of.
    const QStringList base = {QStringLiteral("--unit"), QStringLiteral("inch"), QStringLiteral("--width"), QStringLiteral("1"),
                              QStringLiteral("--dpi"), QStringLiteral("300"), QStringLiteral("--lpi"), QStringLiteral("39.5018")};
    const std::map<QString, QStringList> cases = {
        {"dpi", {"--dpi", "auto"}},
        {"lpi", {"--lpi", "41.3"}},
        {"width", {"--width", "1.3"}},
        {"height", {"--height", "0.7"}},
        {"unit", {"--unit", "cm", "--width", "2.5"}},
        {"compress", {"--compress", "3"}},
        {"compression", {"--compression", "lzw"}},
        {"bigtiff", {"--bigtiff"}},
        {"colour", {"--colour", "cmyk"}},
        {"cmyk-profile", {"--colour", "cmyk", "--cmyk-profile", press}},
        {"rgb-profile", {"--colour", "rgb", "--rgb-profile", screen}},
        {"intent", {"--colour", "rgb", "--intent", "perceptual"}},
        {"lenses", {"--lenses", "horizontal"}},
        {"order", {"--order", "pingpong"}},
        {"hold-ends", {"--hold-ends", "2"}},
        {"phase", {"--phase", "3/8"}},
        {"thickness", {"--thickness", "0.6mm"}},
        {"index", {"--index", "1.49"}},
        {"mirror", {"--mirror"}},
        {"panels", {"--panels", "2"}},
        {"bleed", {"--bleed", "0.1"}},
        {"marks", {"--marks"}},
        // Without layers or a depth map these make nothing, and are kept.
        {"frames", {"--frames", "5"}},
        {"depth", {"--depth", "0.5"}},
        {"key-depth", {"--key-depth", "100"}},
    };
    // The views stage's search is run when a job is saved, and the job keeps
    // the shifts it found in their place (tests/cli/align_test.py).
    const QStringList searched{QStringLiteral("align"), QStringLiteral("key"), QStringLiteral("key-shift")};
    // Views made from a depth map, and saved, are the command line's: the
    // window has no layer list (tests/cli/made_views_test.py).
    const QStringList made{QStringLiteral("depth-map"), QStringLiteral("save-views")};
    for (const OptionEntry& option : ExportOptions()) {
      if (searched.contains(option.name) || made.contains(option.name)) continue;
      const auto c = cases.find(option.name);
      QVERIFY2(c != cases.end(), qPrintable(QStringLiteral("no round-trip case for --%1").arg(option.name)));
      const QString name = option.name;
      const QString typedJob = QStringLiteral("%1/%2.plivora").arg(folder, name);
      const QString windowJob = QStringLiteral("%1/%2-window.plivora").arg(folder, name);
      const QString cliOut = QStringLiteral("%1/%2-cli.tif").arg(folder, name);
      const QString windowOut = QStringLiteral("%1/%2-window.tif").arg(folder, name);
      QCOMPARE(Interlace(base + c->second + QStringList{QStringLiteral("--save-job"), typedJob, QStringLiteral("-o"), cliOut} + views), 0);
      const Job typed = ReadJob(typedJob);
      QVERIFY2(typed.options.count(name), qPrintable(name));

      WindowRig rig;
      rig.w().OpenJob(typedJob);
      QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
      rig.desktop.saveAnswers << windowOut;
      rig.w().BitBtn7->click();
      QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(name + QStringLiteral(": ") + rig.desktop.errors.join('\n')));
      rig.w().SaveJob(windowJob);
      const Job saved = ReadJob(windowJob);
      for (const OptionEntry& o : ExportOptions()) {
        if (o.name == QLatin1String("height") && !typed.options.count(o.name)) continue;  // the window shows the aspect's
        QCOMPARE(ValueOrDefault(saved.options, o.name), ValueOrDefault(typed.options, o.name));
      }
      QCOMPARE(saved.views, typed.views);

      QCOMPARE(Interlace({QStringLiteral("--job"), typedJob}), 0);
      const int panels = ValueOrDefault(typed.options, QStringLiteral("panels")).toInt();
      for (int k = 1; k <= panels; ++k) {
        const QString a = panels == 1 ? windowOut : PanelFileName(windowOut, k, panels);
        const QString b = panels == 1 ? cliOut : PanelFileName(cliOut, k, panels);
        const Plate window = ReadPlate(a), command = ReadPlate(b);
        QCOMPARE(window.width, command.width);
        QCOMPARE(window.height, command.height);
        QCOMPARE(window.profile, command.profile);
        QVERIFY2(window.rows == command.rows, qPrintable(QStringLiteral("%1: the window's pixels differ").arg(name)));
      }
    }
  }

  // The summary's size is the file the export then writes, a profile the
  // plate carries included: grey, CMYK (with the press's profile) and RGB.
  void theSummaryTellsTheSizeWritten() {
    const QString folder = dir_.filePath("sizes");
    QDir().mkpath(folder);
    QStringList views;
    for (int i = 0; i < 2; ++i) views << WriteView(QStringLiteral("%1/v%2.tif").arg(folder).arg(i), 40, 60, i);
    for (const char* colour : {"grey", "cmyk", "rgb"}) {
      WindowRig rig;
      TForm1& w = rig.w();
      rig.desktop.setupAnswers << OptionValues{{QStringLiteral("colour"), QString::fromLatin1(colour)}};
      w.PrintSetupClick();
      rig.Import(views);
      w.ComboBox2->setCurrentIndex(0);
      w.Edit3->setText(QStringLiteral("1"));
      w.Edit3KeyUp();
      const QString out = QStringLiteral("%1/%2.tif").arg(folder, QString::fromLatin1(colour));
      rig.desktop.saveAnswers << out;
      w.BitBtn7->click();
      QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
      const QString told = w.OutputSummary->text().section(QChar('\n'), 2, 2);
      const QString size = QLocale().toString(double(QFileInfo(out).size()) / 1000000, 'f', 1) + QStringLiteral(" MB");
      QVERIFY2(told.contains(size), qPrintable(QStringLiteral("%1: \"%2\" does not tell %3").arg(QString::fromLatin1(colour), told, size)));
    }
  }
};

QTEST_MAIN(WindowOptionsTest)
#include "window_options_test.moc"
