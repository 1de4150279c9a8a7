// The names the windows show.
#pragma once

namespace plivora {

// The application's title: the caption of message boxes and error dialogs.
inline constexpr const char* kAppTitle = "Plivora";
// The main window's caption: product and version.
inline constexpr const char* kMainCaption = "Plivora " PLIVORA_VERSION;

}  // namespace plivora
