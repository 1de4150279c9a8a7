// The settings file as the window loads it at start and saves it at close:
// first run, the rules of each line, the failures and what they leave
// behind, and a comma locale.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <sys/mount.h>
#include <unistd.h>

#include "app/settings_file.h"
#include "common/error.h"
#include "app_test_support.h"

using namespace plivora;
using namespace plivora::test;

namespace {

const QByteArray kFirstRunFile = "4000\r\n75.5555555555555\r\n2\r\n10\r\n0.5\r\n0.5\r\n0.5\r\n0\r\n\r\n0\r\n";

// The eight saved fields, joined by "|".
QString Fields(TForm1& w) {
  return QStringList{w.ComboBox3->currentText(), w.ComboBox1->currentText(), w.Edit3->text(), w.Edit2->text(),
                     w.Edit5->text(), w.Edit6->text(), w.Edit7->text(), w.Edit8->text()}
      .join('|');
}

const QString kCreationFields = QStringLiteral("4000|75.5555555555555|2|10|0.5|0.5|0.5|0");

// Starts a window on a program folder whose settings file holds `content`.
std::unique_ptr<WindowRig> StartWith(const QByteArray& content) {
  QTemporaryDir* dir = new QTemporaryDir;
  QDir(dir->path()).mkdir(QStringLiteral("vexo"));
  WriteFile(dir->path() + QStringLiteral("/vexo/plivora133.yb13"), content);
  auto rig = std::make_unique<WindowRig>(dir->path());
  rig->ownDir.reset(dir);
  return rig;
}

bool Chinese(TForm1& w) { return w.Label1->text() == QStringLiteral("输出精度:"); }

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QLocale::setDefault(QLocale::c()); }

  void firstRunMakesTheFolderAndCloseWritesTenLines() {
    WindowRig rig;
    QVERIFY(QFileInfo(rig.folder() + "/vexo").isDir());
    QVERIFY(!QFile::exists(rig.settingsPath()));
    QCOMPARE(Fields(rig.w()), kCreationFields);
    rig.w().close();
    QCOMPARE(FileBytes(rig.settingsPath()), kFirstRunFile);
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  void linesLoadWithTheirRules_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("error");
    const auto row = [](const char* name, const QByteArray& file, const char* fields, const char* error = "") {
      QTest::newRow(name) << file << QString::fromUtf8(fields) << QString::fromUtf8(error);
    };
    row("as written", kFirstRunFile, "4000|75.5555555555555|2|10|0.5|0.5|0.5|0");
    row("compress 3", "a\r\nb\r\nc\r\n3\r\n1\r\n1\r\n1\r\n1\r\n", "a|b|c|10|1|1|1|1");
    row("compress 4 and 64", "a\nb\nc\n 4\n1\n1\n1\n1\n", "a|b|c|4|1|1|1|1");
    row("compress 64", "a\nb\nc\n+64\n0\n0\n0\n0\n", "a|b|c|64|0|0|0|0");
    row("compress 65", "a\nb\nc\n65\n0\n0\n0\n0\n", "a|b|c|10|0|0|0|0");
    row("inks out of range and held to 1/10000", "(Auto)\n99\n7.5\n12\n2\n-0.1\n0.123456\n0.00004\n",
        "(Auto)|99|7.5|12|0.5|0.5|0.1235|0");
    row("inks far out of range", "a\nb\nc\n10\n1e300\n-1e30\n1\n0.25\n", "a|b|c|10|0.5|0.5|1|0.25");
    row("three lines", "x\r\ny\r\nz\r\n", "x|y|z|10|0.5|0.5|0.5|0", "'' is not a valid integer value.");
    row("compress not an integer", "x\ny\nz\n10.5\n1\n1\n1\n1\n", "x|y|z|10|0.5|0.5|0.5|0",
        "'10.5' is not a valid integer value.");
    row("one ink not a number", "x\ny\nz\n20\n1\n1\nnone\n1\n", "x|y|z|20|0.5|0.5|0.5|0",
        "'none' is not a valid floating point value.");
    row("tenth line not an integer", "x\ny\nz\n20\n1\n1\n1\n1\n\nten\n", kCreationFields.toUtf8().constData(),
        "Invalid numeric input.");
  }

  void linesLoadWithTheirRules() {
    QFETCH(QByteArray, file);
    QFETCH(QString, fields);
    QFETCH(QString, error);
    auto rig = StartWith(file);
    QCOMPARE(Fields(rig->w()), fields);
    QCOMPARE(rig->desktop.errors, error.isEmpty() ? QStringList() : QStringList{error});
    // The caption step runs only when the settings loaded.
    QCOMPARE(Chinese(rig->w()), error.isEmpty());
  }

  void reservedLineIsKeptAndLineNineWrittenEmpty() {
    auto rig = StartWith("1\r\n2\r\n3\r\n10\r\n0\r\n0\r\n0\r\n0\r\nanything\r\n  12\r\nextra\r\nlines\r\n");
    QCOMPARE(rig->w().SettingsReserved, 12);
    rig->w().close();
    QCOMPARE(FileBytes(rig->settingsPath()), QByteArray("1\r\n2\r\n3\r\n10\r\n0\r\n0\r\n0\r\n0\r\n\r\n12\r\n"));

    auto missing = StartWith("1\n2\n3\n10\n0\n0\n0\n0\n\n");
    QCOMPARE(missing->w().SettingsReserved, 0);
    missing->w().close();
    QVERIFY(FileBytes(missing->settingsPath()).endsWith("\r\n\r\n0\r\n"));
  }

  void typedTextsAreSavedExactly() {
    WindowRig rig;
    TForm1& w = rig.w();
    w.ComboBox3->setEditText(QStringLiteral("(Auto)"));
    w.ComboBox1->setEditText(QStringLiteral("lots"));
    w.Edit3->setText(QString());
    w.Edit2->setText(QStringLiteral("x1"));
    w.close();
    QCOMPARE(FileBytes(rig.settingsPath()),
             QByteArray("(Auto)\r\nlots\r\n\r\nx1\r\n0.5\r\n0.5\r\n0.5\r\n0\r\n\r\n0\r\n"));
    rig.Restart();  // lines 1 to 3 come back as they are; line 4 stops the load
    QCOMPARE(Fields(rig.w()), QStringLiteral("(Auto)|lots||10|0.5|0.5|0.5|0"));
    QCOMPARE(rig.desktop.errors, QStringList{"'x1' is not a valid integer value."});
  }

  // Runs in ctest's ".comma" run, the whole program under de_DE.UTF-8: the
  // C library's strtold then reads "0,5" as 0 and the per-ink values were
  // lost on every restart.
  void commaLocaleSurvivesItsOwnTextsAndRestarts() {
    if (!RequireCommaLocale()) return;
    WindowRig rig;
    rig.w().close();
    QCOMPARE(FileBytes(rig.settingsPath()), kFirstRunFile);  // texts as they stand
    rig.Restart();
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QCOMPARE(Fields(rig.w()), QStringLiteral("4000|75.5555555555555|2|10|0,5|0,5|0,5|0"));
    QVERIFY(Chinese(rig.w()));
    rig.w().close();
    // The comma form loads as well under a point locale.
    QLocale::setDefault(QLocale::c());
    rig.Restart();
    QVERIFY(rig.desktop.errors.isEmpty());
    QCOMPARE(Fields(rig.w()), QStringLiteral("4000|75.5555555555555|2|10|0.5|0.5|0.5|0"));
  }

  void aFileInTheWayOfTheFolderIsReported() {
    QTemporaryDir dir;
    WriteFile(dir.filePath("vexo"), "not a folder");
    WindowRig rig(dir.path());
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY2(rig.desktop.errors.first().contains("vexo"), qPrintable(rig.desktop.errors.first()));
    QCOMPARE(Fields(rig.w()), kCreationFields);
    QVERIFY(!Chinese(rig.w()));
    QCOMPARE(rig.w().Label2->text(), QStringLiteral("&LPI: "));
  }

  void aFailedSaveIsReportedAndKeepsTheOldFile() {
    auto rig = StartWith(kFirstRunFile);
    rig->w().Edit3->setText(QStringLiteral("9"));
    QFile::setPermissions(rig->folder() + "/vexo", QFile::ReadOwner | QFile::ExeOwner);
    const bool canStillWrite = QFileInfo(rig->folder() + "/vexo").isWritable();  // root ignores the bits
    rig->w().close();
    QFile::setPermissions(rig->folder() + "/vexo", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (canStillWrite) QSKIP("running as root: the folder cannot be made read-only");
    QCOMPARE(rig->desktop.errors.size(), 1);
    QCOMPARE(FileBytes(rig->settingsPath()), kFirstRunFile);
  }

  void saveIntoAVanishedFolderIsReported() {
    WindowRig rig;
    QDir(rig.folder() + "/vexo").removeRecursively();
    rig.w().close();
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY2(rig.desktop.errors.first().startsWith("Cannot create file"), qPrintable(rig.desktop.errors.first()));
    QVERIFY(!rig.w().isVisible());
  }

  // Installed in a system folder, the program failed at every start and
  // every close. A program folder that can't be written sends the settings
  // to $XDG_CONFIG_HOME/vexo, and they come back at the next start.
  void aReadOnlyProgramFolderKeepsSettingsInTheConfigFolder() {
    QTemporaryDir exe, config;
    const QByteArray exeName = QFile::encodeName(exe.path());
    const bool mounted = ::mount("tmpfs", exeName.constData(), "tmpfs", MS_RDONLY, "size=64k") == 0;
    if (!mounted) QFile::setPermissions(exe.path(), QFile::ReadOwner | QFile::ExeOwner);
    const auto restore = qScopeGuard([&] {
      if (mounted) ::umount(exeName.constData());
      QFile::setPermissions(exe.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (::access(exeName.constData(), W_OK) == 0) QSKIP("the program folder cannot be made read-only here");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const auto unset = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
    WindowRig rig(exe.path());
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QCOMPARE(rig.w().SettingsFile, config.filePath("vexo/plivora133.yb13"));
    rig.w().Edit3->setText(QStringLiteral("7"));
    rig.w().close();
    QVERIFY(rig.desktop.errors.isEmpty());
    QVERIFY(FileBytes(config.filePath("vexo/plivora133.yb13")).startsWith("4000\r\n75.5555555555555\r\n7\r\n"));
    rig.Restart();
    QCOMPARE(rig.w().Edit3->text(), QStringLiteral("7"));
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  void captionSetsAfterANormalStart() {
    WindowRig rig;
    TForm1& w = rig.w();
    QCOMPARE((QStringList{w.Label1->text(), w.Label2->text(), w.Label9->text(), w.Label10->text(),
                          w.Label15->text(), w.Label3->text()}),
             (QStringList{"输出精度:", "光栅线数:", "输出宽度:", "输出高度:", "竖向压缩:", "图片数量:"}));
    QCOMPARE(w.CheckBox4->text(), QStringLiteral("分离通道(&S)"));
    QCOMPARE(w.BitBtn8->text(), QStringLiteral("英文"));
    QVERIFY(w.ChineseCaptions);
    // The English set, offered by the same step when the flag is off.
    w.ChineseCaptions = false;
    w.BitBtn8Click();
    QCOMPARE(w.Label1->text(), QStringLiteral("&DPI:"));
    QCOMPARE(w.CheckBox4->text(), QStringLiteral("Spli&t Channel"));
    QCOMPARE(w.BitBtn8->text(), QStringLiteral("Chinese"));
  }

  void settingsLineSplitting() {
    const SettingsText text = ParseSettingsText("a\r\r\nb\n\n\n\n\n\n\n \t\r\n -7 8\n");
    QCOMPARE(text.lines.size(), 9);
    QCOMPARE(text.lines[0], QStringLiteral("a\r"));  // only the CR before the LF goes
    QCOMPARE(text.lines[1], QStringLiteral("b"));
    QCOMPARE(text.reserved, -7);
    QCOMPARE(ParseSettingsText("").lines, QStringList(9, QString()));
    // At most 32 characters are taken; 32 digits overflow the integer.
    QString error;
    try {
      ParseSettingsText(QByteArray(9, '\n') + QByteArray(40, '1'));
    } catch (const Error& e) {
      error = e.message();
    }
    QCOMPARE(error, QStringLiteral("Invalid numeric input"));
  }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
