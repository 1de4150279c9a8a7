// Opens the alignment search module (search_table.h) the first time a
// search asks for it, and keeps it open. It is looked for beside the
// running program (the build tree), then in the installed place,
// PLIVORA_SEARCH_MODULE_RELATIVE from the program's folder (../lib/plivora
// or the system's multiarch form of it); where the program's folder cannot
// be known, only in the installed place named in full.
#pragma once

#include "align/search_table.h"

namespace plivora {

// The module's table. Thread-safe; the first call that succeeds opens the
// module for the rest of the process. Raises "Cannot align the views: the
// alignment search cannot be loaded (FILE: REASON; ...)", every file tried
// with why it failed.
const search::Table& SearchTable();

}  // namespace plivora
