// What the lens proof is measured against: the plate opened as the proof
// opens it and every row read once, top to bottom, nothing else.
//   plate_read_baseline PLATE [-o IGNORED]
#include <cstdio>
#include <vector>

#include "common/error.h"
#include "common/file_names.h"
#include "proof/plate_reader.h"

int main(int argc, char** argv) {
  using namespace plivora;
  if (argc < 2) {
    std::fputs("usage: plate_read_baseline PLATE [-o IGNORED]\n", stderr);
    return 2;
  }
  try {
    OpenedPlate plate = OpenPlate(FileNameFromNative(argv[1]));
    std::vector<uint8_t> row(size_t(plate.frame.width) * 4);
    uint64_t sum = 0;
    for (uint32_t y = 0; y < plate.frame.height; ++y) {
      plate.rows->ReadRow(y, row.data());
      sum += row[size_t(y) % row.size()];
    }
    std::printf("%llu\n", static_cast<unsigned long long>(sum));
  } catch (const Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
