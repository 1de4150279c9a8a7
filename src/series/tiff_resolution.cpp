#include "series/tiff_resolution.h"

#include <cmath>

#include "series/tiff_client.h"

namespace plivora {

namespace {

// No directory needs more than this for one allocation to be read.
constexpr uint64_t kMaxDirectoryBytes = uint64_t(64) << 20;
// A million dots per inch is far past any output device: anything above is
// a broken tag, and would make pixel positions meaningless.
constexpr Real kMaxResolution = 1e6L;

std::optional<Real> Tag(TIFF* tif, uint32_t tag, const char* name, QString* whyNot) {
  float value = 0;  // libtiff hands rational resolutions over as float
  if (!TIFFGetField(tif, tag, &value)) {
    *whyNot = QStringLiteral("it has no %1 tag, so the size of its pixels is unknown").arg(QLatin1String(name));
    return std::nullopt;
  }
  const Real v = value;
  if (!(v > 0) || !(v <= kMaxResolution)) {
    *whyNot = QStringLiteral("its %1 (%2) is not a resolution").arg(QLatin1String(name)).arg(double(value));
    return std::nullopt;
  }
  return v;
}

}  // namespace

std::optional<TiffResolution> ReadTiffResolution(SourceFile& file, QString* whyNot) {
  if (const QString problem = DirectoryChainProblem(file); !problem.isEmpty()) {
    *whyNot = problem;
    return std::nullopt;
  }
  TiffClient client(file);
  const TiffHandle handle = OpenTiffHandle(client, kMaxDirectoryBytes);
  if (!handle) {
    *whyNot = QStringLiteral("libtiff cannot read it (%1)").arg(client.messages.Reason(QStringLiteral("no reason given")));
    return std::nullopt;
  }
  uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(handle.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
  if (unit != RESUNIT_INCH && unit != RESUNIT_CENTIMETER) {
    *whyNot = unit == RESUNIT_NONE ? QStringLiteral("its resolution has no unit (ResolutionUnit 1), so the size of its pixels is unknown")
                                   : QStringLiteral("its ResolutionUnit (%1) is not inch or centimetre").arg(unit);
    return std::nullopt;
  }
  const std::optional<Real> x = Tag(handle.get(), TIFFTAG_XRESOLUTION, "XResolution", whyNot);
  if (!x) return std::nullopt;
  const std::optional<Real> y = Tag(handle.get(), TIFFTAG_YRESOLUTION, "YResolution", whyNot);
  if (!y) return std::nullopt;
  const Real perInch = unit == RESUNIT_CENTIMETER ? 2.54L : 1;
  return TiffResolution{*x * perInch, *y * perInch};
}

}  // namespace plivora
