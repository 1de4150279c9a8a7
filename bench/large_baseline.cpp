// The floor of the large job: for every output row, reads the source row
// that the export reads from every view (through libtiff, so LZW views are
// decoded as the export decodes them), and writes as many bytes as the
// export writes, with no interlacing.
//
//   large_baseline OUTPUT OUTPUT_ROWS SOURCE_ROWS OUTPUT_WIDTH FILE_ROWS HEADER_BYTES VIEW...
//
// Source row of output row r: round(r * SOURCE_ROWS / OUTPUT_ROWS), at most
// SOURCE_ROWS - 1, as the export maps rows.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(stderr, "usage: large_baseline OUTPUT OUTPUT_ROWS SOURCE_ROWS OUTPUT_WIDTH FILE_ROWS HEADER_BYTES VIEW...\n");
    return 2;
  }
  const long outputRows = std::atol(argv[2]);
  const long sourceRows = std::atol(argv[3]);
  const size_t outputWidth = size_t(std::atol(argv[4]));
  const long fileRows = std::atol(argv[5]);
  const size_t headerBytes = size_t(std::atol(argv[6]));
  std::vector<TIFF*> views;
  std::vector<std::vector<char>> rows;
  for (int i = 7; i < argc; ++i) {
    TIFF* tif = TIFFOpen(argv[i], "rm");  // no memory mapping: mapped views would count as resident
    if (!tif) return 1;
    views.push_back(tif);
    rows.emplace_back(size_t(TIFFScanlineSize64(tif)));
  }
  const int out = ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return 1;
  std::vector<char> header(headerBytes), outRow(outputWidth * 4);
  if (!WriteAll(out, header.data(), header.size())) return 1;
  long loaded = -1;
  for (long r = 0; r < outputRows; ++r) {
    const long q = std::min(sourceRows - 1, std::lround(double(r) * double(sourceRows) / double(outputRows)));
    if (q != loaded) {
      for (size_t v = 0; v < views.size(); ++v)
        for (long s = loaded + 1; s <= q; ++s)  // libtiff decodes a strip from its start, row after row
          if (TIFFReadScanline(views[v], rows[v].data(), uint32_t(s), 0) < 0) return 1;
      loaded = q;
    }
    outRow[size_t(r) % outRow.size()] = rows[0][0];
    if (!WriteAll(out, outRow.data(), outRow.size())) return 1;
  }
  for (long r = outputRows; r < fileRows; ++r)
    if (!WriteAll(out, outRow.data(), outRow.size())) return 1;
  if (::close(out) != 0) return 1;
  for (TIFF* tif : views) TIFFClose(tif);
  return 0;
}
