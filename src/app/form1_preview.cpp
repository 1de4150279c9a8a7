// The previews: the animated preview (Preview, stop, Timer1) and the
// anaglyph (BitBtn10).
//
// Playback is a loop inside BitBtn5Click that waits 100 ms per step by
// processing events until Timer1 has switched itself off. Every handler of
// the window can run inside that wait; PreviewState is what they tell the
// loop with: a press on Preview or stop writes 201, an import writes 202, and
// the loop ends after any step that finds it above 200. A press on Preview
// that finds 201 before the loop has seen it starts a new preview nested
// inside the old one's wait; when that one ends, the old one ends too.
#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/form1.h"
#include "app/picture_box.h"
#include "app/wording.h"
#include "common/error.h"
#include "preview/anaglyph.h"
#include "preview/frames.h"
#include "preview/playback.h"
#include "series/view_series.h"

namespace plivora {

namespace {

// The busy cursor from the press until playback ends, on every way out.
// Nested previews stack their cursors and take them off in order.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

void TForm1::BitBtn5Click() {
  if (PreviewState < 200) {
    PreviewState = 201;
    return;
  }
  PlayPreview();
}

void TForm1::BitBtn11Click() {
  if (PreviewState < 200) PreviewState = 201;
}

void TForm1::PlayPreview() {
  // Preview is enabled only with two views or more; the list can only have
  // become shorter by now if the handler is called directly.
  const QStringList views = Items();
  const bool made = made_.Active();
  if (views.isEmpty() && !made)
    Fail(Words(QStringLiteral("There are no views to preview; import a series first"), QStringLiteral("没有可预览的图片；请先导入系列图")));

  BusyCursor busy;
  const int32_t stateBefore = PreviewState;
  PreviewState = 1;
  // The shared count stays 8 bits wide; the playback itself counts the
  // frames it has, whatever their number.
  PhotoCount = uint8_t(views.size());
  std::vector<QImage> frames;
  try {
    if (made) {
      const std::vector<QImage> built = MadeFrames();
      for (const int i : FrameIndices(int(built.size()), setup_.settings.lens.frames)) frames.push_back(built[size_t(i)]);
    } else {
    // No events are handled while the frames are built: one a view, then
    // shown in the order the lens shows them.
    const std::vector<QImage> built = BuildFrames(views, NegativeInput == 1, AlignedReads(views));
    for (const int i : FrameIndices(int(views.size()), setup_.settings.lens.frames)) frames.push_back(built[size_t(i)]);
    }
  } catch (...) {
    // Nothing was shown and Export was never disabled: a later press starts
    // afresh, and an outer preview this one was nested in ends.
    PreviewState = stateBefore;
    throw;
  }
  Play(frames);
}

void TForm1::Play(const std::vector<QImage>& frames) {
  // Panel1 needs no switch to double-buffered drawing: every Qt widget paints
  // into the window's backing store, which reaches the screen whole, so the
  // frames never flicker.
  QPointer<TForm1> self(this);
  BitBtn11->show();
  BitBtn11->raise();
  PreviewState = 0;
  BitBtn7->setEnabled(false);
  BitBtn13->setEnabled(false);  // nor a pitch test sheet, while frames play
  BitBtn14->setEnabled(false);  // nor a lens view

  const auto n = int64_t(frames.size());
  int64_t k = 0;
  for (;;) {
    // Timer1 fires once each time it is switched on. The window is never
    // destroyed inside its own handler (its deferred delete waits for the
    // main loop), but the loop would not touch it if it were.
    Timer1->start();
    while (self && !closed_ && Timer1->isActive()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!self) return;
    // A closed window has saved its settings and is on its way out: the
    // frames go with this call, and the program can end.
    if (closed_) break;
    k = NextPlaybackStep(k, n);
    const int64_t f = PlaybackFrame(k, n);
    Image4->SetPicture(frames[size_t(f - 1)]);
    BitBtn11->move(int(616 + 2 * f), BitBtn11->y());
    if (PreviewState > 200) break;
  }
  // Hidden with the focus, the stop button would hand it to the next control,
  // the LPI box, with its text selected: one stray key would replace the
  // pitch. The focus goes to the view list instead (to no control while the
  // anaglyph hides the list); on any other control it stays.
  if (focusWidget() == BitBtn11) {
    if (!ListBox1->isHidden())
      ListBox1->setFocus();
    else
      BitBtn11->clearFocus();
  }
  BitBtn11->hide();
  BitBtn7->setEnabled(true);
  BitBtn13->setEnabled(true);
  BitBtn14->setEnabled(true);
}

void TForm1::BitBtn10Click() {
  if (ListBox1->isHidden()) {
    ListBox1->show();
    return;
  }
  // The layers window's views take the list's place, as in the export
  // (which refuses when the list holds views too).
  if (made_.Active()) return ShowMadeAnaglyph();
  const QStringList views = Items();
  PhotoCount = uint8_t(views.size());
  const std::optional<AnaglyphViews> chosen = ChooseAnaglyphViews(views.size());
  if (!chosen) {
    desktop_.ShowMessage(this, QStringLiteral("The anaglyph needs two views or more; import a series first."));
    return;
  }
  // An aligned series shows as the export cuts it.
  const std::vector<AlignedRead> aligned = AlignedReads(views);
  const auto alignedOf = [&](int64_t i) { return aligned.empty() ? std::optional<AlignedRead>() : aligned[size_t(i)]; };
  // The picture box takes the room of the list.
  ListBox1->hide();
  Image4->SetPicture(BuildAnaglyph(views[chosen->a], views[chosen->b], NegativeInput == 1, alignedOf(chosen->a), alignedOf(chosen->b)));
  desktop_.ShowMessage(this, QStringLiteral("Please put on 3d glasses to see the 3d picture."));
}

void TForm1::ShowMadeAnaglyph() {
  BusyCursor busy;
  std::vector<QImage> frames = MadeFrames();
  const std::optional<AnaglyphViews> chosen = ChooseAnaglyphViews(int64_t(frames.size()));
  if (!chosen) {
    desktop_.ShowMessage(this, QStringLiteral("The anaglyph needs two views or more; import a series first."));
    return;
  }
  // The made frames share one size and scale, as BuildAnaglyph's pair does.
  ComposeAnaglyph(frames[size_t(chosen->a)], frames[size_t(chosen->b)]);
  ListBox1->hide();
  Image4->SetPicture(frames[size_t(chosen->a)]);
  desktop_.ShowMessage(this, QStringLiteral("Please put on 3d glasses to see the 3d picture."));
}

}  // namespace plivora
