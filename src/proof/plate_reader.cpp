#include "proof/plate_reader.h"

#include "common/error.h"
#include "series/source_file.h"
#include "series/tiff_resolution.h"
#include "series/view_error.h"

namespace plivora {

namespace {

// The view readers word their refusals for views; a plate is named as one.
[[noreturn]] void Reword(const QString& path, const Error& e) {
  const QString asView = ViewErrorText(path, QString());
  if (e.message().startsWith(asView)) FailPlate(path, e.message().mid(asView.size()));
  throw e;
}

}  // namespace

void FailPlate(const QString& path, const QString& reason) {
  Fail(QStringLiteral("Cannot read plate \"%1\": %2").arg(path, reason));
}

void PlateRows::ReadRow(uint32_t row, uint8_t* dest) {
  try {
    reader_->ReadRow(row, dest);
  } catch (const Error& e) {
    Reword(path(), e);
  }
}

OpenedPlate OpenPlate(const QString& path) {
  std::unique_ptr<SourceFile> file;
  try {
    file = std::make_unique<SourceFile>(path);
  } catch (const Error& e) {
    Reword(path, e);
  }
  return OpenPlate(std::move(file));
}

OpenedPlate OpenPlate(std::unique_ptr<SourceFile> file) {
  const QString path = file->path();
  QString whyNot;
  const std::optional<TiffResolution> resolution = ReadTiffResolution(*file, &whyNot);
  if (!resolution) FailPlate(path, whyNot);
  OpenedPlate plate;
  try {
    plate.rows = std::make_unique<PlateRows>(OpenSource(std::move(file)));
  } catch (const Error& e) {
    Reword(path, e);
  }
  const SourceImage& image = plate.rows->image();
  // A plate is printed in inks, RGB or grey; a Lab picture is no plate.
  if (image.Model == ColourModel::kLab)
    FailPlate(path, QStringLiteral("its colour model is Lab; a plate is CMYK, RGB or greyscale"));
  plate.frame.width = image.Width;
  plate.frame.height = image.Height;
  plate.frame.xDpi = resolution->x;
  plate.frame.yDpi = resolution->y;
  plate.frame.model = image.Model;
  plate.frame.profile = image.Profile;
  return plate;
}

}  // namespace plivora
