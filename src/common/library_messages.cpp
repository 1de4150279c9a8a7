#include "common/library_messages.h"

#include <tiffio.h>

#include <cstdio>
#include <mutex>

namespace plivora {

namespace {

constexpr qsizetype kKept = 3;

int OnTiffError(TIFF*, void* data, const char* module, const char* format, va_list args) {
  static_cast<LibraryMessages*>(data)->Add(true, module, format, args);
  return 1;  // handled: libtiff's process-wide handlers are not called
}

int OnTiffWarning(TIFF*, void* data, const char* module, const char* format, va_list args) {
  static_cast<LibraryMessages*>(data)->Add(false, module, format, args);
  return 1;
}

}  // namespace

void LibraryMessages::Add(bool error, const char* module, const char* format, va_list args) noexcept {
  QStringList& list = error ? errors_ : warnings_;
  if (list.size() >= kKept) return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  try {
    QString message = QString::fromLocal8Bit(text).trimmed();
    const QByteArray name(module ? module : "");
    if (!name.isEmpty() && name != fileName_) message = QString::fromLocal8Bit(name) + QStringLiteral(": ") + message;
    Keep(list, message);
  } catch (...) {  // out of memory inside a library's callback: the message is lost, not the program
  }
}

void LibraryMessages::AddError(const QString& text) noexcept {
  try {
    if (errors_.size() < kKept) Keep(errors_, text.trimmed());
  } catch (...) {
  }
}

void LibraryMessages::AddWarning(const QString& text) noexcept {
  try {
    if (warnings_.size() < kKept) Keep(warnings_, text.trimmed());
  } catch (...) {
  }
}

void LibraryMessages::Keep(QStringList& list, const QString& text) {
  if (!list.contains(text)) list.append(text);
}

void LibraryMessages::Clear() {
  errors_.clear();
  warnings_.clear();
}

QString LibraryMessages::Reason(const QString& fallback) const {
  const QStringList& list = errors_.isEmpty() ? warnings_ : errors_;
  return list.isEmpty() ? fallback : list.join(QStringLiteral("; "));
}

void CaptureTiffMessages(TIFFOpenOptions* options, LibraryMessages& messages) {
  // Messages raised outside any handle (none are expected) are dropped
  // rather than printed.
  static std::once_flag silenced;
  std::call_once(silenced, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, &messages);
}

}  // namespace plivora
