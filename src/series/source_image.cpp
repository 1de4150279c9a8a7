#include "series/source_image.h"

#include <cstring>
#include <optional>

#include "common/error.h"
#include "colour/colour_transform.h"
#include "colour/icc_profile.h"
#include "series/jpeg_source.h"
#include "series/oriented_reader.h"
#include "series/png_source.h"
#include "series/source_file.h"
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

void SourceReader::ReadAlpha(uint8_t* dest) const { std::memset(dest, 255, image_.Width); }

std::unique_ptr<SourceReader> OpenSource(const QString& path) { return OpenSource(std::make_unique<SourceFile>(path)); }

namespace {

// A view's embedded profile, checked when the view is opened whatever its
// colours become: one LittleCMS cannot use, or of another colour model than
// the pixels, leaves the view's colours unknown.
void CheckEmbeddedProfile(const SourceImage& image) {
  if (image.Profile.isEmpty()) return;
  QString whyNot;
  const std::optional<IccProfile> embedded = IccProfile::FromBytes(image.Profile, &whyNot);
  if (!embedded) FailView(image.Path, QStringLiteral("its embedded ICC profile cannot be used: %1").arg(whyNot));
  if (embedded->model() != image.Model)
    FailView(image.Path, QStringLiteral("its embedded ICC profile is one of %1, but its pixels are %2")
                             .arg(ColourModelName(embedded->model()), ColourModelName(image.Model)));
}

}  // namespace

// PNG and JPEG by their signatures; every other file goes to the TIFF
// reader, which refuses what is not a view.
std::unique_ptr<SourceReader> OpenSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget, bool start) {
  const QString path = file->path();
  DecodeBudget own;
  DecodeBudget& claims = budget ? *budget : own;
  std::unique_ptr<SourceReader> reader;
  if (IsPng(*file))
    reader = OpenPngSource(std::move(file), &claims, false);
  else if (IsJpeg(*file))
    reader = OpenJpegSource(std::move(file), &claims, false);
  else
    reader = OpenTiffSource(std::move(file), &claims, false);
  CheckEmbeddedProfile(reader->image());
  if (reader->image().Orientation != 1) {
    try {
      reader = OrientSource(std::move(reader), claims);
    } catch (const Refusal& r) {
      FailView(path, r.reason);
    }
  }
  if (start) reader->Start();
  return reader;
}

// Nothing of the pixels is decoded: a series' first view is read for its
// size before the export claims the decoding buffers of all its views.
void ReadSourceHeader(const QString& path, SourceImage& image) {
  image = OpenSource(std::make_unique<SourceFile>(path), nullptr, false)->image();
}

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
  // Lab numbers mean nothing on a screen: they are shown as sRGB.
  std::optional<ColourTransform> toScreen;
  if (image.Model == ColourModel::kLab) toScreen.emplace(IccProfile::Lab(), IccProfile::Srgb(), Intent::kRelative);
  for (uint32_t r = 0; r < image.Height; ++r) {
    uint8_t* line = loaded.scanLine(int(r));
    reader->ReadRow(r, line);
    if (invert)
      for (size_t i = 0; i < rowBytes; ++i) line[i] = uint8_t(255 - line[i]);
    if (toScreen) toScreen->Convert(line, line, image.Width);
  }
  bitmap = std::move(loaded);
  return toScreen ? ColourModel::kRgb : image.Model;
}

}  // namespace plivora
