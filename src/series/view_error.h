// The vocabulary of the view readers' messages: one refusal type, one form
// for every error about a view (`Cannot read view "PATH": REASON`), and the
// names of compression schemes as the user knows them.
#pragma once

#include <QString>
#include <cstdint>

namespace plivora {

// Raised inside a reader when a file cannot be read as a view; carries the
// reason only ("its pixel data runs past the end of the file"). The reader's
// entry point adds the file's name with FailView.
struct Refusal {
  QString reason;
};

[[noreturn]] void Refuse(const QString& reason);

// `Cannot read view "PATH": REASON`
QString ViewErrorText(const QString& path, const QString& reason);
// Raises Error with ViewErrorText.
[[noreturn]] void FailView(const QString& path, const QString& reason);

// "LZW", "Deflate", "uncompressed", ... or "compression N" for a code
// without a common name.
QString CompressionName(uint32_t compression);

// A byte count in whole MiB, or KiB below 1 MiB, rounded up: "512 MiB".
QString SizeText(uint64_t bytes);

}  // namespace plivora
