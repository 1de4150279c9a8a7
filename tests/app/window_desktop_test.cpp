// What the window offers beyond its controls: files dropped on the view
// list, the language switch, input made during an export dropped, and the
// toolkit's save dialog telling which of its entries was picked.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "app_test_support.h"

using namespace plivora;
using namespace plivora::test;

class WindowDesktopTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QStringList views_;

  // Drags `data` over the list and drops it, as a file manager would.
  static void Drop(TForm1& w, QMimeData* data) {
    QWidget* target = w.ListBox1->viewport();
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
  }

  static QMimeData* Urls(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
  }

 private slots:
  void initTestCase() {
    for (int i = 0; i < 3; ++i) views_ << WriteView(dir_.filePath(QStringLiteral("v%1.tif").arg(3 - i)), 40, 60, i);
  }

  void aDropOfFilesIsAnImportOfThem() {
    WindowRig imported, dropped;
    imported.Import(views_);
    QList<QUrl> urls;
    for (const QString& v : views_) urls << QUrl::fromLocalFile(v);
    std::unique_ptr<QMimeData> data(Urls(urls));
    Drop(dropped.w(), data.get());
    QVERIFY2(dropped.desktop.errors.isEmpty(), qPrintable(dropped.desktop.errors.join('\n')));
    QCOMPARE(dropped.items(), imported.items());
    QCOMPARE(dropped.w().FirstPhotoWidth, imported.w().FirstPhotoWidth);
    QCOMPARE(dropped.w().Edit4->text(), imported.w().Edit4->text());
    QCOMPARE(dropped.w().Label4->text(), QStringLiteral("3"));
    QVERIFY(dropped.w().BitBtn7->isEnabled());
    QCOMPARE(dropped.w().PreviewState, 202);
  }

  // A drop holding any other format goes through "Import images…": the
  // files are appended as dropped, with no sort and no extension refusal.
  void aDropWithOtherFormatsAppendsThemAsDropped() {
    WindowRig rig;
    QImage picture(30, 45, QImage::Format_RGB888);
    picture.fill(Qt::red);
    const QString png = dir_.filePath("z.png");
    QVERIFY(picture.save(png));
    std::unique_ptr<QMimeData> data(Urls({QUrl::fromLocalFile(png), QUrl::fromLocalFile(views_[0])}));
    Drop(rig.w(), data.get());
    QVERIFY2(rig.desktop.errors.isEmpty(), qPrintable(rig.desktop.errors.join('\n')));
    QCOMPARE(rig.items(), QStringList({png, views_[0]}));
    QCOMPARE(rig.w().FirstPhotoWidth, 30);
    QCOMPARE(rig.w().PreviewState, 202);
  }

  void dropsOfAnythingButLocalFilesDoNothing() {
    WindowRig rig;
    std::unique_ptr<QMimeData> web(Urls({QUrl(QStringLiteral("https://example.org/view.tif"))}));
    Drop(rig.w(), web.get());
    auto text = std::make_unique<QMimeData>();
    text->setText(views_.first());
    Drop(rig.w(), text.get());
    QCOMPARE(rig.w().ListBox1->count(), 0);
    QVERIFY(rig.desktop.errors.isEmpty() && rig.desktop.messages.isEmpty());
  }

  void languageSwitchesForTheSessionAndBack() {
    WindowRig rig;
    TForm1& w = rig.w();
    auto* action = w.findChild<QAction*>(QStringLiteral("SwitchLanguage"));
    QVERIFY(action);
    QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    QVERIFY(w.actions().contains(action));  // in the window's context menu
    QCOMPARE(w.contextMenuPolicy(), Qt::ActionsContextMenu);
    const QString first = w.Label3->text();
    const bool chinese = w.ChineseCaptions;
    action->trigger();
    QVERIFY(w.Label3->text() != first);
    QCOMPARE(w.ChineseCaptions, !chinese);
    action->trigger();
    QCOMPARE(w.Label3->text(), first);
    // Not saved: a second run starts as the first did.
    action->trigger();
    w.close();
    rig.Restart();
    QCOMPARE(rig.w().Label3->text(), first);
  }

  // The summary of the worked example, (Auto), cm, a bad field and the two
  // red warnings, following the fields as they change.
  void summaryShowsWhatTheExportWouldWrite() {
    WindowRig rig;
    TForm1& w = rig.w();
    const QString view = WriteView(dir_.filePath("big.tif"), 1000, 1500);
    rig.Import(QStringList(12, view));
    w.ComboBox2->setCurrentIndex(0);  // inch
    w.Edit3->setText(QStringLiteral("2"));
    w.Edit4->setText(QStringLiteral("3"));
    // In the caption language: Chinese at start, English after Ctrl+L.
    QCOMPARE(w.OutputSummary->text(), QStringLiteral("7994 x 1280 像素，2 x 3 英寸\n151 条光栅，每条 52.94 像素\n"
                                                     "每图 4.41 像素，40.9 MB\n灰度版"));
    w.SwitchLanguage();
    QCOMPARE(w.OutputSummary->text(), QStringLiteral("7994 x 1280 px, 2 x 3 in\n151 lenses, 52.94 px per lens\n"
                                                     "4.41 px per view, 40.9 MB\nGrey plate"));
    QCOMPARE(w.OutputSummary->toolTip(), w.OutputSummary->text());  // the whole summary
    w.ComboBox3->setEditText(QStringLiteral("(Auto)"));
    QVERIFY2(w.OutputSummary->text().contains(QStringLiteral("1.00 px per view, 906.667 dpi, 2.1 MB\n")),
             qPrintable(w.OutputSummary->text()));
    w.ComboBox3->setEditText(QStringLiteral("4000"));
    w.ComboBox2->setCurrentIndex(1);  // cm
    QVERIFY2(w.OutputSummary->text().startsWith(QStringLiteral("3124 x 552 px, 2 x 3 cm")), qPrintable(w.OutputSummary->text()));
    // A field that can't be used: named in the operator's words, in red.
    const std::pair<QString, QString> faults[] = {{QStringLiteral("x"), QStringLiteral("LPI is not a number")},
                                                  {QStringLiteral("0"), QStringLiteral("LPI must be above 0")}};
    for (const auto& [lpi, said] : faults) {
      w.ComboBox1->setEditText(lpi);
      QCOMPARE(w.OutputSummary->text(), said);
      QCOMPARE(w.OutputSummary->toolTip(), said);
      QCOMPARE(w.OutputSummary->styleSheet(), QStringLiteral("color: red"));
    }
    QVERIFY(rig.desktop.errors.isEmpty());  // never a dialog
    // The compress factor as taken: 300 is 44.
    w.ComboBox1->setEditText(QStringLiteral("75.5555555555555"));
    w.Edit2->setText(QStringLiteral("300"));
    QVERIFY2(w.OutputSummary->text().section(QChar('\n'), 2, 2).endsWith(QStringLiteral(", compress 44")),
             qPrintable(w.OutputSummary->text()));
    QVERIFY(w.OutputSummary->toolTip().startsWith(QStringLiteral("Compress 300 is taken as 44")));
    w.Edit2->setText(QStringLiteral("10"));
    // Fewer pixels in a lens than views: some views are never printed.
    w.ComboBox1->setEditText(QStringLiteral("1000"));
    QVERIFY(w.OutputSummary->toolTip().contains(QStringLiteral("some views would never be printed")));
    QCOMPARE(w.OutputSummary->styleSheet(), QStringLiteral("color: red"));
    w.ComboBox1->setEditText(QStringLiteral("75.5555555555555"));
    QCOMPARE(w.OutputSummary->toolTip(), w.OutputSummary->text());  // the whole summary
    w.Edit3->setText(QStringLiteral("2000"));
    QVERIFY(w.OutputSummary->toolTip().contains(QStringLiteral("does not fit a TIFF file")));
    QCOMPARE(w.OutputSummary->styleSheet(), QStringLiteral("color: red"));
  }

  // The real save dialog opens on its first entry, and answers with the
  // path and the entry the user picked.
  void toolkitSaveDialogAnswersThePickedEntry() {
    QtDesktop desktop;
    FileDialogOptions options;
    options.filter = QStringLiteral("TIF (*.tif);;TIF, LZW compressed (*.tif);;BigTIFF (*.tif)");
    options.defaultSuffix = QStringLiteral("tif");
    options.folder = dir_.path();
    options.fileName = QStringLiteral("picked");
    QStringList offered;
    QString preselected;
    QTimer::singleShot(0, this, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return QCoreApplication::exit(1);  // ends the dialog's loop rather than wait for ever
      offered = dialog->nameFilters();
      preselected = dialog->selectedNameFilter();
      dialog->selectNameFilter(QStringLiteral("TIF, LZW compressed (*.tif)"));
      static_cast<QDialog*>(dialog)->accept();  // public as QDialog's slot, run as the file dialog's
    });
    QString picked;
    const QString path = desktop.SaveFileName(nullptr, options, &picked);
    QCOMPARE(offered, options.filter.split(QStringLiteral(";;")));
    QCOMPARE(preselected, QStringLiteral("TIF (*.tif)"));
    QCOMPARE(path, dir_.filePath("picked.tif"));
    QCOMPARE(picked, QStringLiteral("TIF, LZW compressed (*.tif)"));
  }

  // A click on Export while an export runs was queued and opened a second
  // save dialog right after the first export ended.
  void inputQueuedDuringAnExportIsDropped() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(views_);
    rig.desktop.saveAnswers << dir_.filePath("out.tif") << dir_.filePath("second.tif");
    bool posted = false;
    connect(w.ProgressBar1, &QProgressBar::valueChanged, this, [&](int value) {
      if (posted || value < 30) return;
      posted = true;
      const QPointF centre(w.BitBtn7->rect().center());
      QCoreApplication::postEvent(w.BitBtn7, new QMouseEvent(QEvent::MouseButtonPress, centre, w.BitBtn7->mapToGlobal(centre),
                                                             Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
      QCoreApplication::postEvent(w.BitBtn7, new QMouseEvent(QEvent::MouseButtonRelease, centre, w.BitBtn7->mapToGlobal(centre),
                                                             Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
    w.BitBtn7->click();
    QApplication::processEvents();
    QVERIFY(posted);
    QCOMPARE(rig.desktop.saveAsked.size(), 1);
    QVERIFY(QFile::exists(dir_.filePath("out.tif")));
    QVERIFY(!QFile::exists(dir_.filePath("second.tif")));
    // Input after the export works as before.
    w.BitBtn7->click();
    QCOMPARE(rig.desktop.saveAsked.size(), 2);
  }
};

QTEST_MAIN(WindowDesktopTest)
#include "window_desktop_test.moc"
