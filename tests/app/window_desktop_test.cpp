// What the window offers beyond its controls: files dropped on the view
// list, the language switch, and input made during an export dropped.
#include <QAction>
#include <QApplication>
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
