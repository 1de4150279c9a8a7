#include "support/test_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>

#include <QFile>
#include <QProcess>

#include "series/byte_order.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace plivora::test {

TempDir::TempDir() { EXPECT_TRUE(dir_.isValid()); }

namespace {

void EnterCommaLocale() {
  static QTemporaryDir locales;  // built once per test program
  static const bool built =
      QProcess::execute(QStringLiteral("bash"), {QStringLiteral(PLIVORA_SOURCE_DIR "/tests/support/make_locales.sh"),
                                                 locales.path()}) == 0;
  ASSERT_TRUE(built) << "no comma locale could be built";
  ::setenv("LOCPATH", QFile::encodeName(locales.path()).constData(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr);
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
}

}  // namespace

CommaLocale::CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) { EnterCommaLocale(); }

CommaLocale::~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }

std::vector<uint8_t> MakePixels(uint32_t width, uint32_t height, const PixelFn& pixel) {
  std::vector<uint8_t> out;
  out.reserve(size_t(width) * height * 4);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const std::vector<uint8_t> p = pixel(x, y);
      out.insert(out.end(), p.begin(), p.end());
    }
  return out;
}

std::vector<uint8_t> Uniform(uint32_t width, uint32_t height, uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  std::vector<uint8_t> out(size_t(width) * height * 4);
  for (size_t i = 0; i < out.size(); i += 4) {
    out[i] = c;
    out[i + 1] = m;
    out[i + 2] = y;
    out[i + 3] = k;
  }
  return out;
}

std::vector<uint8_t> ImageRows(const QString& path, uint32_t rows) {
  std::vector<uint8_t> all;
  TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
  EXPECT_NE(tif, nullptr);
  if (!tif) return all;
  std::vector<uint8_t> line(size_t(TIFFScanlineSize64(tif)));
  for (uint32_t r = 0; r < rows; ++r) {
    EXPECT_EQ(TIFFReadScanline(tif, line.data(), r, 0), 1);
    all.insert(all.end(), line.begin(), line.end());
  }
  TIFFClose(tif);
  return all;
}

std::vector<uint8_t> ReadBytes(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  const QByteArray data = f.readAll();
  return std::vector<uint8_t>(data.begin(), data.end());
}

void WriteBytes(const QString& path, const std::vector<uint8_t>& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())), qint64(bytes.size()));
}

// b.at() first, so that a read past the end throws.
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return plivora::Le16(&b.at(at + 1) - 1); }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return plivora::Le32(&b.at(at + 3) - 3); }

long ChildPeakRiseKiB(const std::function<void()>& f) {
  rusage self {};
  getrusage(RUSAGE_SELF, &self);
  const pid_t child = fork();
  if (child == 0) {
    try {
      f();
    } catch (const Error&) {
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  rusage children {};
  getrusage(RUSAGE_CHILDREN, &children);
  return children.ru_maxrss - self.ru_maxrss;
}

QString ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.message();
  }
  ADD_FAILURE() << "no error raised";
  return QString();
}

}  // namespace plivora::test

namespace plivora {

void SetOption(ExportRequest& request, const QString& name, const QString& value) {
  OptionValues values = request.settings.given;
  values[name] = value;
  request.settings = SettingsFrom(values);
}

}  // namespace plivora
