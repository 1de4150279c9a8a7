// plivora-view-rows FILE: the rows the view readers give for a file, for the
// tests that hold them against other decoders. On stdout: a line
// "WIDTH HEIGHT MODEL PROFILE_BYTES", then every row, four bytes a pixel.
// A file the readers refuse, or a row that fails: the message on stderr and
// exit status 1, after the rows read before it.
#include <cstdio>
#include <vector>

#include "common/error.h"
#include "common/file_names.h"
#include "series/source_image.h"

int main(int argc, char** argv) {
  using namespace plivora;
  if (argc != 2) {
    std::fputs("usage: plivora-view-rows FILE\n", stderr);
    return 2;
  }
  try {
    const std::unique_ptr<SourceReader> reader = OpenSource(FileNameFromNative(argv[1]));
    const SourceImage& image = reader->image();
    std::printf("%u %u %s %lld\n", image.Width, image.Height, qPrintable(ColourModelName(image.Model)),
                static_cast<long long>(image.Profile.size()));
    std::vector<uint8_t> row(size_t(image.Width) * 4);
    for (uint32_t r = 0; r < image.Height; ++r) {
      reader->ReadRow(r, row.data());
      std::fwrite(row.data(), 1, row.size(), stdout);
    }
  } catch (const Error& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
