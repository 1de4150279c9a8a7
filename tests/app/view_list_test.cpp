// The view list of the main window: import and its refusals, the sort, the
// ".gjs" reversal, the enabled states after every kind of event, the moves,
// delete, reverse, clear, and the height that follows the width.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "app_test_support.h"

using namespace plivora;
using namespace plivora::test;

namespace {

// Delete, Up, Down, Preview, Export as "1" (enabled) or "0".
QString Buttons(TForm1& w) {
  QString s;
  for (QPushButton* b : {w.BitBtn4, w.BitBtn1, w.BitBtn2, w.BitBtn5, w.BitBtn7}) s += b->isEnabled() ? '1' : '0';
  return s;
}

QStringList Names(const QStringList& paths) {
  QStringList names;
  for (const QString& p : paths) names << QFileInfo(p).fileName();
  return names;
}

// Makes the item at `row` current and selects exactly `selected`, as clicks
// with Ctrl would.
void Select(TForm1& w, const QList<int>& selected, int current) {
  w.ListBox1->clearSelection();
  for (int row : selected) w.ListBox1->item(row)->setSelected(true);
  w.ListBox1->setCurrentRow(current, QItemSelectionModel::Select);
}

}  // namespace

class ViewListTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir views_;
  QString View(const QString& name, int width = 30, int height = 20) {
    const QString path = views_.filePath(name);
    if (!QFile::exists(path)) WriteView(path, width, height);
    return path;
  }

 private slots:
  void importSortsOnceByPathTextIgnoringCase() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import({View("view2.tif"), View("view10.tif"), View("View1.tif", 30, 60)});
    QVERIFY(rig.desktop.messages.isEmpty());
    QCOMPARE(Names(rig.items()), (QStringList{"View1.tif", "view10.tif", "view2.tif"}));
    QCOMPARE(w.Label4->text(), QStringLiteral("3"));
    QCOMPARE(Buttons(w), QStringLiteral("11111"));
    // The reference size is the item that was first before the sort.
    QCOMPARE(w.FirstPhotoWidth, 30);
    QCOMPARE(w.FirstPhotoHeight, 20);
    QCOMPARE(w.PhotoAspect, int64_t(15000));
    QCOMPARE(w.Edit4->text(), QStringLiteral("1.33333333333333"));
    QCOMPARE(w.NegativeInput, 0);
    QCOMPARE(w.PreviewState, 202);
    QCOMPARE(rig.desktop.openAsked.first().filter, QStringLiteral("TIFF (*.tif *.tiff);;GJS (*.gjs)"));

    // A second import sorts the whole list again and loses a manual order.
    Select(w, {0}, 0);
    w.Guard(&TForm1::BitBtn2Click);
    rig.Import({View("view05.tif")});
    QCOMPARE(Names(rig.items()), (QStringList{"view05.tif", "View1.tif", "view10.tif", "view2.tif"}));
  }

  void cancelledImportChangesNothing() {
    WindowRig rig;
    rig.Import({});
    QCOMPARE(rig.w().ListBox1->count(), 0);
    QCOMPARE(Buttons(rig.w()), QStringLiteral("00000"));
    QCOMPARE(rig.w().PreviewState, 0);
  }

  void upperCaseTifAsFirstItemIsRefusedAndKeepsTheFiles() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import({View("b.tif"), View("A.TIF")});  // "b.tif" is item 0: accepted, then sorted
    QCOMPARE(Names(rig.items()), (QStringList{"A.TIF", "b.tif"}));
    QVERIFY(rig.desktop.messages.isEmpty());
    QVERIFY(w.ListBox1->selectedItems().isEmpty());

    w.BitBtn3->click();  // Clear: Export off, Delete/Up/Down keep their state
    QCOMPARE(Buttons(w), QStringLiteral("11100"));
    rig.Import({View("A.TIF"), View("c.tif")});
    QCOMPARE(rig.desktop.messages, QStringList{"The format must be cmyk tif or gjs!"});
    QCOMPARE(Names(rig.items()), (QStringList{"A.TIF", "c.tif"}));  // not sorted, still there
    QCOMPARE(w.Label4->text(), QStringLiteral("2"));
    QCOMPARE(Buttons(w), QStringLiteral("11110"));  // Export keeps its state
    QCOMPARE(w.PreviewState, 202);                   // from the first import
    QCOMPARE(w.NegativeInput, 0);
  }

  void refusedExtensionsAndTheStateTheyLeave() {
    for (const char* name : {"x.Tif", "x.TIFF", "x.Gjs", "x.tif.bak", "noextension"}) {
      WindowRig rig;
      rig.Import({View(QString::fromLatin1(name))});
      QCOMPARE(rig.desktop.messages.size(), 1);
      QCOMPARE(rig.w().PhotoAspect, int64_t(0));
      QCOMPARE(rig.w().PreviewState, 0);
      QCOMPARE(Buttons(rig.w()), QStringLiteral("11100"));
    }
  }

  void gjsSeriesIsReversedAndNegative() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import({View("s2.GJS"), View("s1.GJS"), View("s3.GJS")});
    QVERIFY(rig.desktop.messages.isEmpty());
    QCOMPARE(w.NegativeInput, 1);
    QCOMPARE(Names(rig.items()), (QStringList{"s3.GJS", "s2.GJS", "s1.GJS"}));
    // An unreadable first item: the reader's message, the import stops.
    WindowRig broken;
    broken.Import({views_.filePath("gone.gjs")});
    QCOMPARE(broken.desktop.errors.size(), 1);
    QVERIFY2(broken.desktop.errors.first().contains("gone.gjs"), qPrintable(broken.desktop.errors.first()));
    QVERIFY(broken.desktop.errors.first().endsWith('.'));
    QCOMPARE(broken.w().NegativeInput, 1);
    QCOMPARE(Buttons(broken.w()), QStringLiteral("11100"));
    QCOMPARE(broken.w().ListBox1->count(), 1);
  }

  void emptyWidthStopsTheImportAfterTheReferenceSize() {
    WindowRig rig;
    rig.w().Edit3->setText(QString());
    rig.Import({View("b.tif"), View("a.tif")});
    QCOMPARE(rig.desktop.errors, QStringList{"'' is not a valid floating point value."});
    QCOMPARE(rig.w().PhotoAspect, int64_t(15000));
    QCOMPARE(rig.w().BitBtn7->isEnabled(), false);
    QCOMPARE(Names(rig.items()), (QStringList{"b.tif", "a.tif"}));  // no sort
    QCOMPARE(rig.w().PreviewState, 0);
  }

  void previewFollowsTheCountAndDeleteCanEmptyTheList() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import({View("a.tif")});
    QCOMPARE(Buttons(w), QStringLiteral("11101"));
    rig.Import({View("b.tif")});
    QCOMPARE(Buttons(w), QStringLiteral("11111"));
    Select(w, {1}, 1);
    QCOMPARE(Buttons(w), QStringLiteral("11011"));  // selection: Up i > 0, Down i < n - 1
    w.BitBtn4->click();
    QCOMPARE(Names(rig.items()), QStringList{"a.tif"});
    QCOMPARE(Buttons(w), QStringLiteral("11001"));  // Delete: only Preview follows
    w.BitBtn4->click();  // nothing selected: nothing removed
    QCOMPARE(w.ListBox1->count(), 1);
    Select(w, {0}, 0);
    w.BitBtn4->click();
    QCOMPARE(w.Label4->text(), QStringLiteral("0"));
    QCOMPARE(Buttons(w), QStringLiteral("10001"));  // Export stays enabled on an empty list
    w.BitBtn3->click();
    QCOMPARE(Buttons(w), QStringLiteral("10000"));
    QCOMPARE(w.PhotoAspect, int64_t(15000));  // kept from the last import
  }

  void upAndDownMoveOnlyTheCurrentItem() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import({View("v0.tif"), View("v1.tif"), View("v2.tif"), View("v3.tif"), View("v4.tif"), View("v5.tif")});
    Select(w, {2, 3, 4}, 4);
    w.BitBtn1->click();
    QCOMPARE(Names(rig.items()), (QStringList{"v0.tif", "v1.tif", "v2.tif", "v4.tif", "v3.tif", "v5.tif"}));
    QCOMPARE(w.ListBox1->currentRow(), 3);
    QCOMPARE(w.ListBox1->selectedItems().size(), 3);
    w.BitBtn1->click();  // repeated presses keep moving the same item
    w.BitBtn1->click();
    QCOMPARE(w.ListBox1->currentItem()->text(), rig.items()[1]);
    QCOMPARE(QFileInfo(rig.items()[1]).fileName(), QStringLiteral("v4.tif"));
    w.BitBtn1->click();
    QCOMPARE(QFileInfo(rig.items()[0]).fileName(), QStringLiteral("v4.tif"));
    QCOMPARE(Buttons(w).mid(1, 2), QStringLiteral("01"));  // at the top: Up off
    w.Guard(&TForm1::BitBtn1Click);                       // Up on the first item: nothing
    QCOMPARE(QFileInfo(rig.items()[0]).fileName(), QStringLiteral("v4.tif"));

    Select(w, {4}, 4);
    w.BitBtn2->click();
    QCOMPARE(QFileInfo(rig.items()[5]).fileName(), QStringLiteral("v3.tif"));
    QCOMPARE(Buttons(w).mid(1, 2), QStringLiteral("10"));  // at the bottom: Down off
    w.Guard(&TForm1::BitBtn2Click);
    QCOMPARE(QFileInfo(rig.items()[5]).fileName(), QStringLiteral("v3.tif"));
    QCOMPARE(w.ListBox1->count(), 6);
  }

  void movesOnAnEmptyListDoNothing() {
    WindowRig rig;
    rig.w().Guard(&TForm1::BitBtn1Click);
    rig.w().Guard(&TForm1::BitBtn2Click);
    rig.w().Guard(&TForm1::BitBtn4Click);
    rig.w().Guard(&TForm1::BitBtn12Click);
    QCOMPARE(rig.w().ListBox1->count(), 0);
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  void reverseTwiceGivesBackTheOrder() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import({View("a.tif"), View("b.tif"), View("c.tif")});
    Select(w, {0}, 0);
    w.BitBtn2->click();
    const QStringList before = rig.items();
    const QString buttons = Buttons(w);
    w.BitBtn12->click();
    QCOMPARE(Names(rig.items()), (QStringList{"c.tif", "a.tif", "b.tif"}));
    QVERIFY(w.ListBox1->selectedItems().isEmpty());
    QCOMPARE(w.ListBox2->count(), 3);
    QCOMPARE(Buttons(w), buttons);
    QCOMPARE(w.Label4->text(), QStringLiteral("3"));
    w.BitBtn12->click();
    QCOMPARE(rig.items(), before);
  }

  void heightFollowsTheWidthOnlyAfterAnImport() {
    WindowRig rig;
    TForm1& w = rig.w();
    w.Edit3->clear();
    QTest::keyClicks(w.Edit3, "5");
    QCOMPARE(w.Edit4->text(), QStringLiteral("3"));
    rig.Import({View("a.tif")});  // 30 x 20: aspect 15000
    QCOMPARE(w.Edit4->text(), QStringLiteral("3.33333333333333"));
    w.Edit3->clear();
    QTest::keyClicks(w.Edit3, "2");
    QCOMPARE(w.Edit4->text(), QStringLiteral("1.33333333333333"));
    QTest::keyClicks(w.Edit3, "7");
    QCOMPARE(w.Edit4->text(), QStringLiteral("18"));  // a whole result has no point
    QTest::keyClick(w.Edit3, Qt::Key_Backspace);
    QTest::keyClick(w.Edit3, Qt::Key_Backspace);
    QCOMPARE(w.Edit4->text(), QStringLiteral("1.33333333333333"));  // empty width: left alone
    QVERIFY(rig.desktop.errors.isEmpty());
    QTest::keyClicks(w.Edit3, "x");
    QCOMPARE(rig.desktop.errors, QStringList{"'x' is not a valid floating point value."});
    QCOMPARE(w.Edit4->text(), QStringLiteral("1.33333333333333"));
  }

  // The error dialog of a bad width is closed with Enter or Escape: the press
  // goes to the dialog, the release to the field, where it must not run the
  // width's handler (and open the dialog) again. Nor may a key held down
  // before the field got the focus; a key pressed in the field still counts.
  void widthHandlerRunsOnlyForKeysPressedInTheField() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import({View("a.tif")});
    w.Edit3->clear();
    QTest::keyClicks(w.Edit3, "x");
    QCOMPARE(rig.desktop.errors.size(), 1);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyRelease(w.Edit3, key);
    QCOMPARE(rig.desktop.errors.size(), 1);

    QTest::keyPress(w.Edit3, Qt::Key_Shift);
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason), in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(w.Edit3, &out);
    QApplication::sendEvent(w.Edit3, &in);
    QTest::keyRelease(w.Edit3, Qt::Key_Shift);
    QCOMPARE(rig.desktop.errors.size(), 1);

    QTest::keyClick(w.Edit3, Qt::Key_Return);
    QCOMPARE(rig.desktop.errors.size(), 2);
    w.Edit3->setText(QStringLiteral("3"));
    QTest::keyPress(w.Edit3, Qt::Key_Shift);
    QCOMPARE(w.Edit4->text(), QStringLiteral("1.33333333333333"));  // not yet: on the release
    QTest::keyRelease(w.Edit3, Qt::Key_Shift);
    QCOMPARE(w.Edit4->text(), QStringLiteral("2"));
    QCOMPARE(rig.desktop.errors.size(), 2);
  }
};

QTEST_MAIN(ViewListTest)
#include "view_list_test.moc"
