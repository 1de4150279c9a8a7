#include "series/source_image.h"

#include <optional>

#include "common/error.h"
#include "series/jpeg_source.h"
#include "series/png_source.h"
#include "series/source_file.h"
#include "series/strip_layout.h"
#include "series/tiff_source.h"
#include "series/view_error.h"

namespace plivora {

void DecodeBudget::Claim(uint64_t bytes, const QString& how) {
  if (bytes <= limit_ - used_) {
    used_ += bytes;
    return;
  }
  const QString before = used_ == 0 ? QString() : QStringLiteral(", and the views before it already take %1").arg(SizeText(used_));
  const QString needs = (how.isEmpty() ? QStringLiteral("decoding it takes %1 at a time") : how).arg(SizeText(bytes));
  Refuse(QStringLiteral("%1%2; that is more than the %3 the views of one export may take together. %4")
             .arg(needs, before, SizeText(limit_),
                  how.isEmpty() ? QStringLiteral("Store it in smaller strips or tiles") : QStringLiteral("Store it another way")));
}

std::unique_ptr<SourceReader> OpenSource(const QString& path) { return OpenSource(std::make_unique<SourceFile>(path)); }

// PNG and JPEG by their signatures; TIFF files in the strip layout keep the
// reader without a TIFF library, and every other file goes to libtiff,
// which refuses what is not a view.
std::unique_ptr<SourceReader> OpenSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget) {
  if (IsPng(*file)) return OpenPngSource(std::move(file), budget);
  if (IsJpeg(*file)) return OpenJpegSource(std::move(file), budget);
  const std::optional<SourceImage> image = ReadStripLayout(*file, nullptr);
  if (!image) return OpenTiffSource(std::move(file), budget);
  return OpenStripReader(std::move(file), *image);
}

void ReadSourceHeader(const QString& path, SourceImage& image) { image = OpenSource(path)->image(); }

void ReadSourceRow(const SourceImage& image, uint32_t row, uint8_t* dest) {
  const auto reader = OpenSource(image.Path);
  if (reader->image().Width != image.Width)
    FailView(image.Path, QStringLiteral("it has changed since its header was read"));
  reader->ReadRow(row, dest);
}

ColourModel LoadSourceBitmap(const QString& path, QImage& bitmap, bool negativeInput) {
  if (bitmap.depth() != 32) Fail(QStringLiteral("Cannot load \"%1\" for the preview: the picture it was given is not 32 bits a pixel (a fault in this program)").arg(path));
  auto reader = OpenSource(path);
  const SourceImage& image = reader->image();
  if (image.Width > uint32_t(INT32_MAX) || image.Height > uint32_t(INT32_MAX))
    Fail(QStringLiteral("\"%1\" is too large to show (%2 x %3 pixels)").arg(path).arg(image.Width).arg(image.Height));
  QImage loaded(int(image.Width), int(image.Height), bitmap.format());
  if (loaded.isNull())
    Fail(QStringLiteral("Not enough memory to load \"%1\" (%2 x %3 pixels)").arg(path).arg(image.Width).arg(image.Height));
  const size_t rowBytes = size_t(image.Width) * 4;
  const bool invert = negativeInput && image.Model == ColourModel::kCmyk;
  for (uint32_t r = 0; r < image.Height; ++r) {
    uint8_t* line = loaded.scanLine(int(r));
    reader->ReadRow(r, line);
    if (invert)
      for (size_t i = 0; i < rowBytes; ++i) line[i] = uint8_t(255 - line[i]);
  }
  bitmap = std::move(loaded);
  return image.Model;
}

}  // namespace plivora
