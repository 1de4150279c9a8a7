// The one exception type of the core. Its message is the text the user sees,
// complete and in the user's language; front ends show it as it stands.
#pragma once

#include <QString>
#include <stdexcept>

namespace plivora {

class Error : public std::runtime_error {
 public:
  explicit Error(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

[[noreturn]] inline void Fail(const QString& message) { throw Error(message); }

// The system's text for errno, e.g. "No such file or directory".
QString SystemErrorText(int errnum);

}  // namespace plivora
