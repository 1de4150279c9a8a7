// What a C library says while it works, kept for our own messages instead of
// printed on the terminal. Its handlers run inside the library: they never
// throw, and they keep only the first few messages of each kind (the first
// is usually the cause, the rest its consequences).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdarg>

struct TIFFOpenOptions;  // libtiff's

namespace plivora {

class LibraryMessages {
 public:
  // `fileName`: the name the library was given for the file. A message
  // whose module is that name leaves it out: our messages name the file.
  explicit LibraryMessages(QByteArray fileName = {}) : fileName_(std::move(fileName)) {}

  // "MODULE: TEXT", formatted from the library's printf-style arguments.
  void Add(bool error, const char* module, const char* format, va_list args) noexcept;
  // A message as it stands: our own (an error raised in a callback), or a
  // library's that comes as plain text.
  void AddError(const QString& text) noexcept;
  void AddWarning(const QString& text) noexcept;

  const QStringList& errors() const { return errors_; }
  const QStringList& warnings() const { return warnings_; }
  bool empty() const { return errors_.isEmpty() && warnings_.isEmpty(); }
  void Clear();
  // The errors, else the warnings, joined by "; "; `fallback` when the
  // library said nothing.
  QString Reason(const QString& fallback) const;

 private:
  static void Keep(QStringList& list, const QString& text);

  QByteArray fileName_;
  QStringList errors_, warnings_;
};

// Sends the errors and warnings of the libtiff handle opened with `options`
// to `messages`, which must outlive the handle; libtiff's process-wide
// handlers, which print, are silenced.
void CaptureTiffMessages(TIFFOpenOptions* options, LibraryMessages& messages);

}  // namespace plivora
