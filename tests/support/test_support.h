// Helpers of the core tests: temporary folders, small views, file bytes.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <string>
#include <ostream>
#include <vector>

#include "common/error.h"
#include "jobs/export.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace plivora {

// Sets export option `name` of `request` (by its command-line name) as the
// command line would, keeping the others: the settings made again from
// their texts. Raises what the settings raise.
void SetOption(ExportRequest& request, const QString& name, const QString& value);

}  // namespace plivora

namespace plivora::test {

// A folder removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir();
  QString path(const QString& name) const { return dir_.filePath(name); }
  QString path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

// width * height CMYK pixels, each from pixel(x, y) as {C, M, Y, K}.
using PixelFn = std::function<std::vector<uint8_t>(uint32_t x, uint32_t y)>;
std::vector<uint8_t> MakePixels(uint32_t width, uint32_t height, const PixelFn& pixel);
// A view whose every pixel is {c, m, y, k}.
std::vector<uint8_t> Uniform(uint32_t width, uint32_t height, uint8_t c, uint8_t m, uint8_t y, uint8_t k);

std::vector<uint8_t> ReadBytes(const QString& path);
// The first `rows` image rows of a plate, as libtiff reads them: samples a
// pixel times the width, a row after another.
std::vector<uint8_t> ImageRows(const QString& path, uint32_t rows);
void WriteBytes(const QString& path, const std::vector<uint8_t>& bytes);

uint16_t Le16(const std::vector<uint8_t>& b, size_t at);
uint32_t Le32(const std::vector<uint8_t>& b, size_t at);

// For its lifetime, the C library runs under a comma-decimal locale
// ("fr_FR.UTF-8", built for the test when the machine lacks it), as it does
// in the desktop program of a French user: strtold and printf then take and
// write "," as the decimal separator. Fails the test when no such locale can
// be had, so that a test using it can never pass by running under "C".
class CommaLocale {
 public:
  CommaLocale();
  ~CommaLocale();
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

 private:
  std::string previous_;
};

// Runs `f` in a child process and returns how far the child's peak resident
// size rose above the parent's, in KiB: what `f` allocated and touched. An
// Error raised by `f` is ignored; anything else fails the test.
long ChildPeakRiseKiB(const std::function<void()>& f);

// The message of the Error that `f` raises; fails the test when none.
QString ErrorOf(const std::function<void()>& f);

}  // namespace plivora::test
