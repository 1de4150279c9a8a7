#include "app/error_guard.h"

#include <exception>
#include <new>

#include "app/desktop.h"
#include "common/error.h"

namespace plivora {

QString ErrorDialogText(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar('.')) return message + QChar('.');
  return message;
}

bool RunGuarded(Desktop& desktop, QWidget* parent, const std::function<void()>& handler) {
  QString message;
  try {
    handler();
    return true;
  } catch (const Error& e) {
    message = e.message();
  } catch (const std::bad_alloc&) {
    message = QStringLiteral("Out of memory");
  } catch (const std::exception& e) {
    message = QString::fromLocal8Bit(e.what());
  } catch (...) {
    message = QStringLiteral("An unexpected error ended the operation");
  }
  // The dialog runs its own event loop: it is shown only after the handler's
  // stack is gone, and nothing it does can throw into the caller.
  try {
    desktop.ShowError(parent, ErrorDialogText(message));
  } catch (...) {
  }
  return false;
}

}  // namespace plivora
