// Modules the loader must refuse: with FAKE_VERSION, one whose table is of
// another interface version (and whose calls would crash if made); without
// it, one that lacks the entry altogether.
#include "align/search_table.h"

#ifdef FAKE_VERSION
extern "C" __attribute__((visibility("default"))) const plivora::search::Table* plivora_search_table() {
  static const plivora::search::Table table{FAKE_VERSION, nullptr, nullptr, nullptr};
  return &table;
}
#else
extern "C" __attribute__((visibility("default"))) int plivora_not_the_entry() { return 0; }
#endif
