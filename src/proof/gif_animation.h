// An animated GIF of proofs, one frame at a time, through giflib: the only
// code that calls giflib. Each frame carries its own colour table: the
// frame's colours exactly when it has at most 256, else a median cut of
// them. The animation loops for ever.
#pragma once

#include <QImage>

#include "common/library_messages.h"

struct GifFileType;  // giflib's

namespace plivora {

class OutputFile;

class GifAnimation {
 public:
  // Starts the animation in `file` (which the caller commits once Finish
  // has returned): frames of width x height pixels, each shown for `delay`
  // hundredths of a second. Raises when a GIF can't hold that size.
  GifAnimation(OutputFile& file, int width, int height, int delay);
  ~GifAnimation();
  GifAnimation(const GifAnimation&) = delete;
  GifAnimation& operator=(const GifAnimation&) = delete;

  // Adds `frame`: an RGB888 picture of the animation's size.
  void AddFrame(const QImage& frame);
  // Writes the end of the file.
  void Finish();

 private:
  static int WriteBytes(GifFileType* gif, const unsigned char* bytes, int length);
  void Check(int result, const char* what);

  OutputFile& file_;
  int width_, height_, delay_;
  LibraryMessages messages_;
  GifFileType* gif_ = nullptr;
};

}  // namespace plivora
