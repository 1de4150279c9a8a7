// The previews in the window: playback through the real event loop and
// Timer1, the stop requests, the state table, the failure and close paths,
// and the anaglyph toggle.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>

#include "app/picture_box.h"
#include "app_test_support.h"
#include "sample/view_writer.h"

using namespace plivora;
using namespace plivora::test;

namespace {

// View i (from 1) is all cyan 10 x i and shows with red 255 - 10 x i.
QStringList UniformViews(const QString& folder, int count, int width = 8, int height = 6, int shift = 0) {
  QStringList paths;
  for (int i = 1; i <= count; ++i) {
    const QString path = QStringLiteral("%1/view%2.tif").arg(folder).arg(i, 3, 10, QChar('0'));
    std::vector<uint8_t> cmyk(size_t(width) * size_t(height) * 4, 0);
    for (size_t p = 0; p < cmyk.size(); p += 4) cmyk[p] = uint8_t(10 * i + shift);
    WriteViewFile(path, uint32_t(width), uint32_t(height), cmyk);
    paths << path;
  }
  return paths;
}

int ShownView(const QImage& picture, int shift = 0) {
  if (picture.isNull()) return 0;
  return (255 - shift - picture.pixelColor(0, 0).red()) / 10;
}

// What one tick of Timer1 finds: the result of the step before it.
struct Seen {
  int view;      // the view the picture shows
  int stopLeft;  // the stop button's left edge
  bool stopShown, exportEnabled;
  int32_t state;
};

// Presses Preview and returns once the handler has. `atTick(i)` runs at the
// i-th tick of Timer1 of this run (from 0: the one before the first step).
QList<Seen> Play(WindowRig& rig, const std::function<void(int)>& atTick, int shift = 0) {
  TForm1& w = rig.w();
  if (!QTest::qWaitFor([&] { return !w.Timer1->isActive(); }, 1000))  // the tick after start-up
    QTest::qFail("Timer1 did not switch itself off", __FILE__, __LINE__);
  QList<Seen> seen;
  QObject context;
  QObject::connect(w.Timer1, &QTimer::timeout, &context, [&] {
    seen << Seen{ShownView(w.Image4->picture(), shift), w.BitBtn11->x(), w.BitBtn11->isVisibleTo(&w),
                 w.BitBtn7->isEnabled(), w.PreviewState};
    atTick(int(seen.size()) - 1);
  });
  w.BitBtn5->click();
  return seen;
}

}  // namespace

class WindowPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void playsForwardAndBackUntilStopped_data() {
    QTest::addColumn<int>("views");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("two") << 2 << QList<int>{1, 2, 2, 1, 1, 2, 2, 1};
    QTest::newRow("four") << 4 << QList<int>{1, 2, 3, 4, 4, 3, 2, 1, 1, 2};
  }
  void playsForwardAndBackUntilStopped() {
    QFETCH(int, views);
    QFETCH(QList<int>, order);
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(UniformViews(rig.folder(), views));
    QCOMPARE(w.PreviewState, 202);
    // The stop asked for at the last tick lets that step finish.
    const auto seen = Play(rig, [&](int tick) {
      if (tick == order.size() - 1) w.BitBtn11->click();
    });
    QCOMPARE(seen.size(), order.size());
    for (int i = 1; i < seen.size(); ++i) {
      QCOMPARE(seen[i].view, order[i - 1]);
      QCOMPARE(seen[i].stopLeft, 616 + 2 * order[i - 1]);
      QVERIFY(seen[i].stopShown && !seen[i].exportEnabled);
      QCOMPARE(seen[i].state, 0);
    }
    QCOMPARE(ShownView(w.Image4->picture()), order.last());  // the last frame stays
    QCOMPARE(w.Image4->picture().size(), QSize(400, 300));
    QCOMPARE(w.BitBtn11->x(), 616 + 2 * order.last());
    QVERIFY(!w.BitBtn11->isVisibleTo(&w));
    QVERIFY(w.BitBtn7->isEnabled());
    QCOMPARE(w.PreviewState, 201);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  // The frames the lens shows, in its order: ping-pong of three views with
  // the ends held twice is 1, 1, 2, 3, 2, 2.
  void playsTheFramesTheLensShows() {
    WindowRig rig;
    TForm1& w = rig.w();
    w.SetPrintSetup(MakePrintSetup({{QStringLiteral("order"), QStringLiteral("pingpong")}, {QStringLiteral("hold-ends"), QStringLiteral("2")}}));
    rig.Import(UniformViews(rig.folder(), 3));
    const QList<int> order{1, 1, 2, 3, 2, 2, 2, 2, 3, 2, 1, 1};
    const auto seen = Play(rig, [&](int tick) {
      if (tick == order.size()) w.BitBtn11->click();
    });
    QList<int> views;
    for (int i = 1; i < seen.size(); ++i) views << seen[i].view;
    QCOMPARE(views.mid(0, order.size()), order);
  }

  // Preview pressed while playing stops; pressed again, it reads the views
  // anew. A press that finds the stop request not yet seen starts a preview
  // inside the old one's wait, and both end.
  void previewStopsAndStartsAFreshPreview() {
    WindowRig rig;
    TForm1& w = rig.w();
    const QStringList paths = UniformViews(rig.folder(), 3);
    rig.Import(paths);
    Play(rig, [&](int tick) {
      if (tick == 2) w.BitBtn5->click();
    });
    QCOMPARE(w.PreviewState, 201);
    QCOMPARE(ShownView(w.Image4->picture()), 3);  // the step after the press

    UniformViews(rig.folder(), 3, 8, 6, 3);  // same files, other colours
    int nestedTicks = 0;
    const auto seen = Play(
        rig,
        [&](int tick) {
          if (tick == 1) {
            w.BitBtn11->click();
            w.BitBtn5->click();  // finds 201: a new preview, nested here
          } else if (tick > 1 && ++nestedTicks == 3) {
            w.BitBtn11->click();
          }
        },
        3);
    QCOMPARE(seen[1].view, 1);  // the new files, from the first frame on
    QCOMPARE(nestedTicks, 3);
    QCOMPARE(seen.size(), 5);  // the nested run's 4 ticks, none after
    QCOMPARE(w.PreviewState, 201);
    QVERIFY(!w.BitBtn11->isVisibleTo(&w) && w.BitBtn7->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void importDuringPlaybackEndsItReady() {
    WindowRig rig;
    TForm1& w = rig.w();
    const QStringList paths = UniformViews(rig.folder(), 4);
    rig.Import(paths.mid(0, 2));
    const auto seen = Play(rig, [&](int tick) {
      if (tick == 2) rig.Import(paths.mid(2));
      if (tick > 3) w.BitBtn11->click();  // not reached
    });
    QCOMPARE(seen.size(), 3);
    QCOMPARE(w.PreviewState, 202);
    QCOMPARE(w.ListBox1->count(), 4);
    QVERIFY(w.BitBtn7->isEnabled() && !w.BitBtn11->isVisibleTo(&w));
  }

  void viewThatFailsToLoadRestoresTheWindow() {
    WindowRig rig;
    TForm1& w = rig.w();
    QStringList paths = UniformViews(rig.folder(), 3);
    rig.Import(paths);
    QFile::remove(paths[2]);
    w.BitBtn5->click();
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY2(rig.desktop.errors[0].contains(paths[2]), qPrintable(rig.desktop.errors[0]));
    QCOMPARE(w.PreviewState, 202);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(w.BitBtn7->isEnabled() && !w.BitBtn11->isVisibleTo(&w));
    QVERIFY(w.Image4->picture().isNull());
  }

  // The loop learns of the close, lets its frames go and returns; the close
  // step has saved the settings.
  void closingDuringPlaybackEndsIt() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(UniformViews(rig.folder(), 2));
    w.show();
    int after = 0;
    const auto seen = Play(rig, [&](int tick) {
      if (tick == 2) QTimer::singleShot(20, &w, [&] { w.close(); });
      if (tick > 2) ++after;
    });
    QCOMPARE(after, 0);  // no step after the close
    QVERIFY(QFile::exists(rig.settingsPath()));
    QVERIFY(!w.BitBtn11->isVisibleTo(&w));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(rig.desktop.errors.isEmpty());
  }

  // The frame is scaled to the picture box with its proportions kept and
  // centred, all of it on the screen, at the sizes operators' screens have.
  void theFrameFitsThePictureBox_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("view");
    QTest::newRow("1280x800, wide view") << QSize(1280, 800) << QSize(1600, 600);
    QTest::newRow("1024x768, tall view") << QSize(1024, 768) << QSize(300, 900);
    QTest::newRow("1024x768, small view") << QSize(1024, 768) << QSize(40, 30);
  }
  void theFrameFitsThePictureBox() {
    QFETCH(QSize, screen);
    QFETCH(QSize, view);
    WindowRig rig;
    TForm1& w = rig.w();
    w.resize(screen);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    rig.Import(UniformViews(rig.folder(), 2, view.width(), view.height(), 100));
    Play(rig, [&](int tick) {
      if (tick == 2) w.BitBtn11->click();
    });
    // Where the frame's pixels (red 145 or 135) lie in the window as shown.
    const QImage shot = w.grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    QRect drawn;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        if ((c.red() == 145 || c.red() == 135) && c.green() == 255 && c.blue() == 255)
          drawn |= QRect(QPoint(int(x / ratio), int(y / ratio)), QSize(1, 1));
      }
    const QRect box(w.Image4->mapTo(&w, QPoint(0, 0)), w.Image4->size());
    QVERIFY2(!drawn.isEmpty(), "no frame drawn");
    QVERIFY2(box.contains(drawn), qPrintable(QStringLiteral("frame %1,%2 %3x%4 outside the box %5,%6 %7x%8")
                                                .arg(drawn.x()).arg(drawn.y()).arg(drawn.width()).arg(drawn.height())
                                                .arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
    QVERIFY(w.rect().contains(box));
    QVERIFY2(w.width() <= screen.width() && w.height() <= screen.height(), "the window is larger than the screen");
    // It fills the box one way, is centred the other, and keeps its shape.
    QVERIFY(qAbs(drawn.width() - box.width()) <= 2 || qAbs(drawn.height() - box.height()) <= 2);
    QVERIFY(qAbs((drawn.left() - box.left()) - (box.right() - drawn.right())) <= 2);
    QVERIFY(qAbs((drawn.top() - box.top()) - (box.bottom() - drawn.bottom())) <= 2);
    const double shape = double(view.width()) / view.height();
    QVERIFY(qAbs(double(drawn.width()) / drawn.height() - shape) / shape < 0.02);
  }

  // The shared count wraps at 256; the playback counts every frame.
  void seriesOf256ViewsPlays() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(UniformViews(rig.folder(), 256, 8, 1));
    const auto seen = Play(rig, [&](int tick) {
      if (tick == 3) w.BitBtn11->click();
    });
    QCOMPARE(w.PhotoCount, uint8_t(0));
    QCOMPARE(seen.size(), 4);
    QCOMPARE(w.BitBtn11->x(), 616 + 2 * 4);
    QCOMPARE(w.Image4->picture().size(), QSize(400, 50));
  }

  // Stopped from the keyboard, the stop button hides with the focus: the
  // focus goes to the view list, not to the LPI box next in line with its
  // text selected, where one stray key would replace the pitch. On any other
  // control the focus stays.
  void stopKeepsTheFocusOffTheLpiBox() {
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(UniformViews(rig.folder(), 2));
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const QString lpi = w.ComboBox1->currentText();
    Play(rig, [&](int tick) {
      if (tick != 2) return;
      w.BitBtn11->setFocus(Qt::TabFocusReason);
      QTest::keyClick(w.BitBtn11, Qt::Key_Space);
    });
    QCOMPARE(w.PreviewState, 201);
    QVERIFY(!w.BitBtn11->isVisibleTo(&w));
    QCOMPARE(QApplication::focusWidget(), w.ListBox1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
    QCOMPARE(w.ComboBox1->currentText(), lpi);

    Play(rig, [&](int tick) {
      if (tick != 2) return;
      w.Edit2->setFocus(Qt::MouseFocusReason);
      w.BitBtn11->click();
    });
    QCOMPARE(QApplication::focusWidget(), w.Edit2);
  }

  void anaglyphToggles_data() {
    QTest::addColumn<int>("views");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::newRow("two") << 2 << 1 << 2;
    QTest::newRow("nine") << 9 << 2 << 7;
  }
  void anaglyphToggles() {
    QFETCH(int, views);
    QFETCH(int, a);
    QFETCH(int, b);
    WindowRig rig;
    TForm1& w = rig.w();
    rig.Import(UniformViews(rig.folder(), views));
    w.BitBtn10->click();  // hidden and disabled: no click reaches it
    QVERIFY(!w.ListBox1->isHidden());
    w.Guard(&TForm1::BitBtn10Click);
    QVERIFY(w.ListBox1->isHidden());
    QCOMPARE(rig.desktop.messages, QStringList{"Please put on 3d glasses to see the 3d picture."});
    // Cyan 10 x i alone: red 255 - 10 x i, grey round(0.3 x red + 0.59 x 255 + 0.11 x 255).
    const auto grey = [](int view) { return int(std::nearbyint(0.3L * (255 - 10 * view) + 0.59L * 255 + 0.11L * 255)); };
    const QColor shown = w.Image4->picture().pixelColor(3, 2);
    QCOMPARE(shown.red(), grey(b));
    QCOMPARE(shown.green(), grey(a));
    QCOMPARE(shown.blue(), grey(a));
    w.Guard(&TForm1::BitBtn10Click);
    QVERIFY(!w.ListBox1->isHidden());
    QCOMPARE(w.Image4->picture().pixelColor(3, 2), shown);  // the picture stays
    QCOMPARE(rig.desktop.messages.size(), 1);
  }

  void anaglyphNeedsTwoViewsAndReportsFailures() {
    WindowRig rig;
    TForm1& w = rig.w();
    const QStringList paths = UniformViews(rig.folder(), 4);
    rig.Import(paths.mid(0, 1));
    w.Guard(&TForm1::BitBtn10Click);
    QCOMPARE(rig.desktop.messages, QStringList{"The anaglyph needs two views or more; import a series first."});
    QVERIFY(!w.ListBox1->isHidden() && w.Image4->picture().isNull());

    rig.Import(paths.mid(1));
    QFile::remove(paths[3]);  // view b of four
    w.Guard(&TForm1::BitBtn10Click);
    QCOMPARE(rig.desktop.errors.size(), 1);
    QVERIFY(w.ListBox1->isHidden() && w.Image4->picture().isNull());
    w.Guard(&TForm1::BitBtn10Click);
    QVERIFY(!w.ListBox1->isHidden());
  }
};

QTEST_MAIN(WindowPreviewTest)
#include "window_preview_test.moc"
