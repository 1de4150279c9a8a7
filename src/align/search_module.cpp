#include "align/search_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QString>
#include <climits>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/error.h"

#ifndef PLIVORA_SEARCH_MODULE_RELATIVE
#error "PLIVORA_SEARCH_MODULE_RELATIVE: the installed module's folder from the programs' folder"
#endif
#ifndef PLIVORA_SEARCH_MODULE_INSTALLED
#error "PLIVORA_SEARCH_MODULE_INSTALLED: the installed module's folder in full"
#endif

namespace plivora {

namespace {

constexpr const char* kModuleName = "plivora-search.so";

// The running program's folder, from the kernel's link to its file;
// nothing when the link cannot be read (no /proc).
std::optional<std::string> ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::nullopt;
  const std::string file(path, size_t(length));
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return file.substr(0, slash == 0 ? 1 : slash);
}

// The files tried, in order: beside the program, then the installed place.
// Without the program's folder only the installed place, named in full: a
// module is never looked for in the working folder.
std::vector<std::string> Candidates(const std::optional<std::string>& programFolder) {
  if (!programFolder) return {(std::filesystem::path(PLIVORA_SEARCH_MODULE_INSTALLED) / kModuleName).string()};
  const std::filesystem::path folder(*programFolder);
  return {(folder / kModuleName).lexically_normal().string(),
          (folder / PLIVORA_SEARCH_MODULE_RELATIVE / kModuleName).lexically_normal().string()};
}

// dlerror's text without the file name it starts with (the caller names it).
std::string Reason(const std::string& file) {
  const char* error = dlerror();
  std::string reason = error ? error : "unknown failure";
  if (reason.rfind(file + ": ", 0) == 0) reason.erase(0, file.size() + 2);
  return reason;
}

// The table of `file`, or why it cannot be had.
std::variant<const search::Table*, std::string> Open(const std::string& file) {
  void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return Reason(file);
  dlerror();
  const auto entry = reinterpret_cast<PlivoraSearchEntry>(dlsym(module, PLIVORA_SEARCH_ENTRY));
  std::string failure;
  if (!entry) {
    failure = Reason(file);
  } else if (const search::Table* table = entry(); table->version != search::kInterfaceVersion) {
    failure = "interface version " + std::to_string(table->version) + ", not " +
              std::to_string(search::kInterfaceVersion) + " as this program's";
  } else {
    return table;  // kept open for the rest of the process
  }
  dlclose(module);
  return failure;
}

// The first candidate that serves, or every candidate with why it failed.
const search::Table* Load(std::string* failures) {
  for (const std::string& file : Candidates(ProgramFolder())) {
    auto opened = Open(file);
    if (const auto* table = std::get_if<const search::Table*>(&opened)) return *table;
    if (!failures->empty()) *failures += "; ";
    *failures += file + ": " + std::get<std::string>(opened);
  }
  return nullptr;
}

}  // namespace

const search::Table& SearchTable() {
  // Opened once; a failure (a short address space, a module not yet in
  // place) is tried again on the next search.
  static std::mutex mutex;
  static const search::Table* table = nullptr;
  const std::lock_guard<std::mutex> lock(mutex);
  if (!table) {
    std::string failures;
    table = Load(&failures);
    if (!table)
      Fail(QStringLiteral("Cannot align the views: the alignment search cannot be loaded (%1)")
               .arg(QString::fromStdString(failures)));
  }
  return *table;
}

}  // namespace plivora
