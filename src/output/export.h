// The interlaced export: one function that both the window and the command
// line call, so that they write the same bytes for the same inputs.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "output/export_geometry.h"

namespace plivora {

struct ExportRequest {
  ExportTexts texts;
  QStringList views;  // in series order; the first is view 1
  // The reference size of the last import; it takes part in the smallest
  // width and height even when its view has left the list. 0 means none.
  int32_t firstPhotoWidth = 0;
  int32_t firstPhotoHeight = 0;
  bool negativeInput = false;  // ".gjs" series: samples stored inverted
  QString outputPath;
  QDateTime now;    // printed in the caption strip and the DateTime tag
  QLocale locale;   // date and time formats of the DateTime tag
  int threads = 0;  // threads to compose on; 0: PLIVORA_THREADS, else the hardware's
};

// Called with percentages from 0 to 100, only when the value changes.
using ProgressFn = std::function<void(int percent)>;

// Writes the interlaced TIFF. Everything is checked (parameters, every view,
// geometry) before the output is created; the file appears under its name
// only when complete. Raises Error with the message for the user.
void ExportInterlaced(const ExportRequest& request, const ProgressFn& progress);

}  // namespace plivora
