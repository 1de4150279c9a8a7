// The floor the export is measured against: opens the views, reads for every
// output row the same source row of every view that the export reads, and
// writes the same number of bytes to the output, with no interlacing.
//
//   interlace_baseline OUTPUT OUTPUT_ROWS ROW_STEP_E9 OUTPUT_WIDTH FILE_ROWS DATA_OFFSET WIDTH VIEW...
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 9) {
    std::fprintf(stderr, "usage: interlace_baseline OUTPUT OUTPUT_ROWS ROW_STEP_E9 OUTPUT_WIDTH FILE_ROWS DATA_OFFSET WIDTH VIEW...\n");
    return 2;
  }
  const long outputRows = std::atol(argv[2]);
  const long long rowStepE9 = std::atoll(argv[3]);
  const long outputWidth = std::atol(argv[4]);
  const long fileRows = std::atol(argv[5]);
  const long dataOffset = std::atol(argv[6]);
  const long width = std::atol(argv[7]);
  std::vector<int> views;
  for (int i = 8; i < argc; ++i) views.push_back(::open(argv[i], O_RDONLY));
  const int out = ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char> row(size_t(width) * 4), outRow(size_t(outputWidth) * 4);
  char header[334] = {};
  if (::write(out, header, sizeof header) != sizeof header) return 1;
  long loaded = -1;
  for (long r = 0; r < outputRows; ++r) {
    const long q = std::lround(double(r) * double(rowStepE9) / 1e9);
    if (q != loaded) {
      for (int fd : views)
        if (::pread(fd, row.data(), row.size(), dataOffset + q * width * 4) != long(row.size())) return 1;
      loaded = q;
    }
    outRow[size_t(r) % outRow.size()] = row[0];
    if (::write(out, outRow.data(), outRow.size()) != long(outRow.size())) return 1;
  }
  for (long r = outputRows; r < fileRows; ++r)
    if (::write(out, outRow.data(), outRow.size()) != long(outRow.size())) return 1;
  ::close(out);
  for (int fd : views) ::close(fd);
  return 0;
}
