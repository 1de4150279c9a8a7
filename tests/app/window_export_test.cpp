// Export from the window: the same bytes as the command-line interlacer for
// the same inputs, the save dialog and the file form chosen in it, the
// progress bar, the busy cursor and the beep, and the refusals that come
// before the dialog or before the first byte.
#include <tiffio.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "app_test_support.h"

using namespace plivora;
using namespace plivora::test;

class WindowExportTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QStringList views_;

  // Runs the export with `path` as the save dialog's answer; returns the
  // progress values the bar showed.
  QList<int> Export(WindowRig& rig, const QString& path) {
    QList<int> shown;
    connect(rig.w().ProgressBar1, &QProgressBar::valueChanged, this, [&shown](int v) { shown << v; });
    rig.desktop.saveAnswers << path;
    rig.w().BitBtn7->click();
    disconnect(rig.w().ProgressBar1, nullptr, this, nullptr);
    return shown;
  }

 private slots:
  void initTestCase() {
    for (int i = 0; i < 5; ++i)
      views_ << WriteView(dir_.filePath(QStringLiteral("view%1.tif").arg(i + 1)), 40 + i, 60, i);
  }

  void sameBytesAsTheCommandLine() {
    const QString cli = qEnvironmentVariable("PLIVORA_INTERLACE");
    QVERIFY2(QFileInfo(cli).isExecutable(), "PLIVORA_INTERLACE must name plivora-interlace");
    const QString out = dir_.filePath("same.tif");
    // The caption strip prints the time to the second: remember the seconds
    // the command line could have used, and give the window each in turn.
    const QDateTime before = QDateTime::currentDateTime();
    QProcess process;
    process.start(cli, QStringList{"--quiet", "--unit", "inch", "--width", "1.5", "--compress", "12", "--lpi",
                                   "39.5018", "-o", out} + views_);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QDateTime after = QDateTime::currentDateTime();
    const QByteArray expected = FileBytes(out);
    QVERIFY(!expected.isEmpty());
    QVERIFY(QFile::remove(out));

    WindowRig rig;
    TForm1& w = English(rig);
    rig.Import(views_);
    w.ComboBox2->setCurrentIndex(0);
    w.Edit3->setText(QStringLiteral("1.5"));
    w.Edit3KeyUp();
    w.Edit2->setText(QStringLiteral("12"));
    w.ComboBox1->setEditText(QStringLiteral("39.5018"));
    bool same = false;
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after && !same; t = t.addSecs(1)) {
      rig.desktop.now = t;
      const QList<int> shown = Export(rig, out);
      QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
      same = FileBytes(out) == expected;
      // The bar climbs from the header pass to 100, then goes back to 0.
      QVERIFY(shown.size() > 3);
      QCOMPARE(shown.last(), 0);
      QCOMPARE(shown[shown.size() - 2], 100);
      QVERIFY(std::is_sorted(shown.begin(), shown.end() - 1));
    }
    QVERIFY(same);
    QCOMPARE(w.PhotoCount, uint8_t(5));
    QVERIFY(rig.desktop.beeps >= 1);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    const FileDialogOptions asked = rig.desktop.saveAsked.first();
    QCOMPARE(asked.title, QStringLiteral("Save as tiff"));
    // The classic file above is the first entry, preselected.
    QCOMPARE(asked.filter.split(QStringLiteral(";;")),
             QStringList({"TIF (*.tif)", "TIF, LZW compressed (*.tif)", "TIF, PackBits compressed (*.tif)", "BigTIFF (*.tif)"}));
    QCOMPARE(asked.fileName, QStringLiteral("zorvex"));
    QCOMPARE(asked.defaultSuffix, QStringLiteral("tif"));
  }

  // Each entry of the save dialog writes its form, read back by libtiff:
  // the same pixels as the plain file, in the entry's compression, and a
  // BigTIFF header only for BigTIFF.
  void eachSaveEntryWritesItsForm_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("compression");
    QTest::addColumn<QByteArray>("magic");
    const QByteArray classic("II*\0", 4), big("II+\0", 4);
    QTest::newRow("plain") << "TIF (*.tif)" << COMPRESSION_NONE << classic;
    QTest::newRow("lzw") << "TIF, LZW compressed (*.tif)" << COMPRESSION_LZW << classic;
    QTest::newRow("packbits") << "TIF, PackBits compressed (*.tif)" << COMPRESSION_PACKBITS << classic;
    QTest::newRow("bigtiff") << "BigTIFF (*.tif)" << COMPRESSION_NONE << big;
  }

  void eachSaveEntryWritesItsForm() {
    QFETCH(QString, entry);
    QFETCH(int, compression);
    QFETCH(QByteArray, magic);
    WindowRig rig;
    English(rig);
    rig.Import(views_);
    // Both files under one name and at the fake desktop's one clock time,
    // so that even their caption strips agree.
    const QString out = dir_.filePath("form.tif");
    Export(rig, out);
    const Decoded plain = Decode(out);
    rig.desktop.saveFilter = entry;
    Export(rig, out);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    const Decoded written = Decode(out);
    QCOMPARE(FileBytes(out).left(4), magic);
    QCOMPARE(written.compression, compression);
    QCOMPARE(written.width, plain.width);
    QCOMPARE(written.rows, plain.rows);
    QVERIFY(!plain.pixels.isEmpty());
    QVERIFY2(written.pixels == plain.pixels, "the pixels differ from the plain file's");
  }

  // A plain file over 4 GiB: the summary warns of it with the window's
  // advice before any dialog, and the export refuses it with the same
  // words before a byte is written.
  void plainOutputOver4GiBIsRefusedWithTheWindowsAdvice() {
    WindowRig rig;
    TForm1& w = English(rig);
    rig.Import(views_);
    w.ComboBox2->setCurrentIndex(0);  // inch
    w.Edit3->setText(QStringLiteral("200"));
    w.Edit4->setText(QStringLiteral("3"));
    w.Edit2->setText(QStringLiteral("1"));
    const QString refusal = QStringLiteral(
        "An output of 799994 x 12800 pixels at 41.0 GB does not fit a TIFF file (at most 4 GiB); choose BigTIFF when "
        "saving if the RIP reads BigTIFF, or cut the print into panels with plivora-interlace --panels N");
    QVERIFY2(w.OutputSummary->toolTip().startsWith(refusal + QStringLiteral("\n\n")), qPrintable(w.OutputSummary->toolTip()));
    QCOMPARE(w.OutputSummary->styleSheet(), QStringLiteral("color: red"));
    QVERIFY2(w.OutputSummary->text().startsWith(QStringLiteral("799994 x 12800 px, 200 x 3 in\n")),
             qPrintable(w.OutputSummary->text()));

    const QTemporaryDir folder;
    Export(rig, folder.filePath("large.tif"));
    QCOMPARE(rig.desktop.errors, QStringList{refusal + '.'});
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(rig.desktop.beeps, 0);
  }

  void emptyAndOverlongSeriesAreRefusedBeforeTheDialog() {
    WindowRig rig;
    TForm1& w = English(rig);
    rig.Import({views_.first()});
    w.ListBox1->item(0)->setSelected(true);
    w.BitBtn4->click();
    QVERIFY(w.BitBtn7->isEnabled());
    w.BitBtn7->click();
    QCOMPARE(rig.desktop.errors, QStringList{"There are no views to export; import a series first."});
    for (int i = 0; i < 256; ++i) w.ListBox1->addItem(views_.first());
    w.BitBtn7->click();
    QCOMPARE(rig.desktop.errors.last(), QStringLiteral("A series can hold at most 255 views; this one has 256."));
    QVERIFY(rig.desktop.saveAsked.isEmpty());
  }

  void cancelledDialogWritesNothing() {
    WindowRig rig;
    rig.Import(views_);
    const QList<int> shown = Export(rig, QString());
    QVERIFY(shown.isEmpty());
    QCOMPARE(rig.desktop.beeps, 0);
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  void failuresRestoreTheCursorAndTheBar() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(views_);
    const QString out = dir_.filePath("failed.tif");
    w.Edit2->setText(QStringLiteral("10.5"));
    Export(rig, out);
    QCOMPARE(rig.desktop.errors, QStringList{"'10.5' is not a valid integer value."});
    w.Edit2->setText(QStringLiteral("10"));
    Export(rig, dir_.filePath("no/such/folder/x.tif"));
    QCOMPARE(rig.desktop.errors.size(), 2);
    QVERIFY2(rig.desktop.errors.last().startsWith("Cannot create file"), qPrintable(rig.desktop.errors.last()));
    w.ListBox1->addItem(dir_.filePath("missing.tif"));
    Export(rig, out);
    QCOMPARE(rig.desktop.errors.size(), 3);
    QVERIFY(!QFile::exists(out));
    // A dialog naming an entry it never offered: no form is guessed.
    w.ListBox1->takeItem(w.ListBox1->count() - 1);
    rig.desktop.saveFilter = QStringLiteral("TIF, JPEG compressed (*.tif)");
    Export(rig, out);
    QCOMPARE(rig.desktop.errors.last(), QStringLiteral("The save dialog answered with the file type \"TIF, JPEG compressed "
                                                       "(*.tif)\", which it was not offered."));
    QVERIFY(!QFile::exists(out));
    QCOMPARE(w.ProgressBar1->value(), 0);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(rig.desktop.beeps, 0);
  }

  // Under a French user's locale the C library reads "2.5" as 2: the window
  // once wrote a plate of the wrong width with no error. This case runs in
  // ctest's ".comma" run, the whole program under fr_FR.UTF-8, and must give
  // the image rows the command line writes under "C".
  void commaLocaleExportsTheTextsOfCreation() {
    if (!RequireCommaLocale()) return;
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(views_);
    // 40 x 60 views: aspect 6667; the height is shown with the locale's comma.
    QCOMPARE(w.Edit4->text(), QStringLiteral("2,99985000749963"));
    w.Edit3->setText(QStringLiteral("2,5"));
    w.Edit3KeyUp();
    QCOMPARE(w.Edit4->text(), QStringLiteral("3,74981250937453"));
    w.ComboBox1->setEditText(QStringLiteral("75,4"));
    const QString out = dir_.filePath("comma.tif");
    Export(rig, out);
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));

    const QString expected = dir_.filePath("point.tif");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("PLIVORA_INTERLACE"),
                  QStringList{"-q", "--width", "2.5", "--height", "3.74981250937453", "--lpi", "75.4", "-o", expected} +
                      views_);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(ImageRows(FileBytes(out)), ImageRows(FileBytes(expected)));
    QVERIFY(!ImageRows(FileBytes(out)).isEmpty());
  }

  void negativeSeriesIsExportedInverted() {
    // Two series with the same stored bytes in the same order: ".gjs" files
    // (reversed by the import) and ".tif" files (sorted). The ".gjs" image
    // rows must be the tif rows inverted, byte for byte.
    QStringList gjs{WriteView(dir_.filePath("n0.gjs"), 40, 60, 0, true),
                    WriteView(dir_.filePath("n1.gjs"), 40, 60, 1, true)};
    QStringList tif{WriteView(dir_.filePath("t1.tif"), 40, 60, 0, true),
                    WriteView(dir_.filePath("t0.tif"), 40, 60, 1, true)};
    WindowRig negative, plain;
    negative.Import(gjs);
    plain.Import(tif);
    QCOMPARE(negative.w().NegativeInput, 1);
    QCOMPARE(plain.w().NegativeInput, 0);
    Export(negative, dir_.filePath("neg.tif"));
    Export(plain, dir_.filePath("pos.tif"));
    QVERIFY(negative.desktop.errors.isEmpty() && plain.desktop.errors.isEmpty());
    const QByteArray a = FileBytes(dir_.filePath("neg.tif")), b = FileBytes(dir_.filePath("pos.tif"));
    QCOMPARE(a.size(), b.size());
    const uint32_t start = Tag(a, 273), width = Tag(a, 256), rows = Tag(a, 257) - 80;  // 80 caption rows
    QVERIFY(start > 0 && width > 0 && rows > 0);
    for (uint32_t i = start; i < start + rows * width * 4; ++i)
      if (uint8_t(a[i]) != 255 - uint8_t(b[i])) QFAIL(qPrintable(QStringLiteral("byte %1 differs").arg(i)));
  }

 private:
  struct Decoded {
    uint32_t width = 0, rows = 0;
    int compression = 0;
    QByteArray pixels;  // every row of the file, decoded; empty when unreadable
  };

  // `path` as libtiff reads it.
  static Decoded Decode(const QString& path) {
    Decoded d;
    // The classic header's texts are padded in its own way; libtiff's
    // warnings about them say nothing here.
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif) return d;
    uint16_t compression = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &d.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &d.rows);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    d.compression = compression;
    const tmsize_t line = TIFFScanlineSize(tif);
    d.pixels.resize(qsizetype(line) * d.rows);
    for (uint32_t r = 0; r < d.rows; ++r)
      if (TIFFReadScanline(tif, d.pixels.data() + qsizetype(line) * r, r) < 0) {
        d.pixels.clear();
        break;
      }
    TIFFClose(tif);
    return d;
  }

  // The value of `tag` in the first directory of a little-endian TIFF.
  static uint32_t Tag(const QByteArray& tiff, uint16_t tag) {
    const auto u = [&](qsizetype at, int n) {
      uint32_t v = 0;
      for (int k = n - 1; k >= 0; --k) v = (v << 8) | uint8_t(tiff[at + k]);
      return v;
    };
    const uint32_t dir = u(4, 4);
    for (uint32_t e = 0; e < u(dir, 2); ++e) {
      const qsizetype at = dir + 2 + 12 * e;
      if (u(at, 2) == tag) return u(at + 2, 2) == 3 ? u(at + 8, 2) : u(at + 8, 4);
    }
    return 0;
  }
};

QTEST_MAIN(WindowExportTest)
#include "window_export_test.moc"
