// libFuzzer entry: every input is a file held in memory, opened as
// plivora-proof opens a plate (its resolution by libtiff, its rows by the
// view readers) and seen through vertical and horizontal lenses.
#include "proof_plate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  plivora::fuzz::ProofEveryWay(bytes);
  return 0;
}
