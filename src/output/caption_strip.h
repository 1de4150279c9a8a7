// The caption strip under the image: two lines of white text on black, the
// date and time of the export and the output's path, drawn at the full
// output resolution and then squeezed vertically by the compress factor like
// the image rows.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

namespace plivora {

struct CaptionStripInput {
  int32_t outputWidth = 0;
  int32_t stripRows = 0;
  int compress = 1;
  int64_t dpiE9 = 0;
  QString outputPath;
  QDateTime now;
};

// The first line: "2026 年  12 月 06 日 23 时 05 分 09 秒".
QString CaptionDateText(const QDateTime& now);
// The second line: the path followed by the identification text.
QString CaptionPathText(const QString& outputPath);

// stripRows rows of outputWidth * 4 bytes, top row first, exactly as they go
// into the file: 0, 0, 0, 0 for background, 255, 255, 255, 0 for text.
// Needs a QGuiApplication (fonts); draws without a display.
std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in);

}  // namespace plivora
