// Every call into OpenCV goes through here: its exceptions become our
// errors, worded for the operator, and its own log stays silent (it would
// print on the terminal).
#pragma once

#include <QString>
#include <exception>
#include <new>
#include <utility>

#include "common/error.h"

namespace plivora {

// Silences OpenCV's log, once per process.
void QuietOpenCv();

// Raises "Cannot align the views: WHAT (OpenCV: MESSAGE)".
[[noreturn]] void FailOpenCv(const QString& what, const std::exception& e);

// Runs f, turning OpenCV's exceptions into an Error that says `what` failed.
template <class F>
auto CallOpenCv(const QString& what, F&& f) {
  QuietOpenCv();
  try {
    return std::forward<F>(f)();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    FailOpenCv(what, e);
  }
}

}  // namespace plivora
