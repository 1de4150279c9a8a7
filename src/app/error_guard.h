// The one place where exceptions that end a handler are caught.
//
// Every handler of the windows runs inside RunGuarded: an exception ends the
// handler (what it did before stays done), is shown in the standard error
// dialog, and the event loop goes on. Nothing is thrown through Qt.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace plivora {

class Desktop;

// The error dialog's text: the message with a full stop added when its last
// character sorts above the full stop ("Stream read error" gets one, "Done."
// and "(Auto)-" do not).
QString ErrorDialogText(const QString& message);

// Runs `handler`; any exception it raises is shown through `desktop`.
// Returns false when the handler ended with an exception.
bool RunGuarded(Desktop& desktop, QWidget* parent, const std::function<void()>& handler);

}  // namespace plivora
