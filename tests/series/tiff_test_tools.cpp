#include "series/tiff_test_tools.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <cstdio>
#include <cstring>

#include "series/byte_order.h"

namespace plivora::test {

StderrCapture::StderrCapture(const QString& path) : path_(path) {
  std::fflush(stderr);
  saved_ = ::dup(2);
  const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(fd, 2);
  ::close(fd);
}

QByteArray StderrCapture::Stop() {
  std::fflush(stderr);
  ::dup2(saved_, 2);
  ::close(saved_);
  QFile f(path_);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(capture lost)");
}

void RunTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  ASSERT_TRUE(p.waitForFinished(60000)) << program.toStdString();
  ASSERT_EQ(p.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(p.exitCode(), 0) << program.toStdString() << ": " << p.readAll().toStdString();
}

void WriteWithLibtiff(const QString& path, uint32_t width, uint32_t height, const std::vector<uint16_t>& samples,
                      const LibtiffLayout& layout) {
  TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), layout.bigEndian ? "wb" : "wl");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, layout.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, layout.rowsPerStrip);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
  if (!layout.extraSamples.empty())
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(layout.extraSamples.size()), layout.extraSamples.data());
  if (layout.colormap.size() == 3 * 256)
    TIFFSetField(tif, TIFFTAG_COLORMAP, layout.colormap.data(), layout.colormap.data() + 256, layout.colormap.data() + 512);
  if (!layout.iccProfile.isEmpty())
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(layout.iccProfile.size()), layout.iccProfile.constData());
  const uint32_t perRow = layout.separatePlanes ? width : width * layout.samples;
  std::vector<uint8_t> line(size_t(perRow) * 2);
  for (uint16_t plane = 0; plane < (layout.separatePlanes ? layout.samples : 1); ++plane)
    for (uint32_t y = 0; y < height; ++y) {
      std::fill(line.begin(), line.end(), 0);
      for (uint32_t i = 0; i < perRow; ++i) {
        const size_t at = layout.separatePlanes ? (size_t(y) * width + i) * layout.samples + plane : size_t(y) * perRow + i;
        const uint16_t v = samples.at(at);
        if (layout.bits == 16) {
          std::memcpy(&line[2 * i], &v, 2);
        } else if (layout.bits == 8) {
          line[i] = uint8_t(v);
        } else if (v) {  // 1 bit
          line[i / 8] |= uint8_t(0x80 >> (i % 8));
        }
      }
      ASSERT_EQ(TIFFWriteScanline(tif, line.data(), y, plane), 1);
    }
  TIFFClose(tif);
}

Striles StrilesOf(const QString& path) {
  Striles s;
  TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
  EXPECT_NE(tif, nullptr);
  if (!tif) return s;
  const uint32_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  for (uint32_t i = 0; i < n; ++i) {
    s.offsets.push_back(TIFFGetStrileOffset(tif, i));
    s.bytes.push_back(TIFFGetStrileByteCount(tif, i));
  }
  TIFFClose(tif);
  return s;
}

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) { PutLe16(b.data() + at, uint16_t(v)); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { PutLe32(b.data() + at, v); }

// PackBits literal runs of at most 128 bytes, one row at a time.
void PackRow(const uint8_t* row, size_t length, std::vector<uint8_t>& out) {
  for (size_t i = 0; i < length; i += 128) {
    const size_t n = std::min<size_t>(128, length - i);
    out.push_back(uint8_t(n - 1));
    out.insert(out.end(), row + i, row + i + n);
  }
}

}  // namespace

PackBitsFile PackBitsView(uint32_t width, uint32_t height, const std::vector<uint8_t>& cmyk, uint32_t rowsPerStrip,
                          uint32_t nextDirectory) {
  const uint32_t strips = (height + rowsPerStrip - 1) / rowsPerStrip;
  std::vector<std::vector<uint8_t>> data(strips);
  for (uint32_t y = 0; y < height; ++y) PackRow(&cmyk[size_t(y) * width * 4], size_t(width) * 4, data[y / rowsPerStrip]);

  constexpr uint32_t kEntries = 10;
  const size_t bitsAt = 8 + 2 + kEntries * 12 + 4, offsetsAt = bitsAt + 8, countsAt = offsetsAt + 4 * strips;
  PackBitsFile f;
  f.bytes.resize(countsAt + 4 * strips);
  f.byteCountsAt = countsAt;
  f.bytes[0] = f.bytes[1] = 'I';
  Put16(f.bytes, 2, 42);
  Put32(f.bytes, 4, 8);
  Put16(f.bytes, 8, kEntries);
  const uint32_t entries[kEntries][4] = {
      {256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 4, uint32_t(bitsAt)}, {259, 3, 1, 32773}, {262, 3, 1, 5},
      {273, 4, strips, uint32_t(offsetsAt)}, {277, 3, 1, 4}, {278, 4, 1, rowsPerStrip}, {279, 4, strips, uint32_t(countsAt)},
      {284, 3, 1, 1}};
  for (uint32_t i = 0; i < kEntries; ++i) {
    const size_t at = 10 + i * 12;
    Put16(f.bytes, at, entries[i][0]);
    Put16(f.bytes, at + 2, entries[i][1]);
    Put32(f.bytes, at + 4, entries[i][2]);
    Put32(f.bytes, at + 8, entries[i][3]);
  }
  Put32(f.bytes, 10 + kEntries * 12, nextDirectory);
  for (int i = 0; i < 4; ++i) Put16(f.bytes, bitsAt + 2 * i, 8);
  for (uint32_t s = 0; s < strips; ++s) {
    Put32(f.bytes, offsetsAt + 4 * s, uint32_t(f.bytes.size()));
    Put32(f.bytes, countsAt + 4 * s, uint32_t(data[s].size()));
    f.stripBytes.push_back(uint32_t(data[s].size()));
    f.bytes.insert(f.bytes.end(), data[s].begin(), data[s].end());
  }
  return f;
}

void SetFirstEntry(std::vector<uint8_t>& bytes, uint16_t tag, uint32_t value) {
  ASSERT_TRUE(bytes.size() >= 8 && bytes[0] == 'I' && bytes[1] == 'I');
  const size_t dir = Le32(bytes.data() + 4);
  ASSERT_LE(dir + 2, bytes.size());
  const uint16_t count = Le16(bytes.data() + dir);
  for (size_t i = 0, at = dir + 2; i < count && at + 12 <= bytes.size(); ++i, at += 12) {
    if (Le16(bytes.data() + at) != tag) continue;
    ASSERT_EQ(Le32(bytes.data() + at + 4), 1u) << "tag " << tag << " holds more than one value";
    if (Le16(bytes.data() + at + 2) == 3 && value <= 0xFFFF) {
      Put16(bytes, at + 8, value);
    } else {
      Put16(bytes, at + 2, 4);  // LONG
      Put32(bytes, at + 8, value);
    }
    return;
  }
  FAIL() << "no tag " << tag;
}

}  // namespace plivora::test
