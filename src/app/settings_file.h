// The settings file: the parameter fields of the main window, kept from one
// run to the next in "vexo/plivora133.yb13" beside the program.
//
// Ten lines of 8-bit text in the locale's encoding, each ended by CR LF:
// DPI, LPI, width, compress, the per-ink values C, M, Y, K, an empty line,
// and a reserved integer that is read and written back unchanged.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

class QComboBox;
class QLineEdit;

namespace plivora {

inline constexpr const char* kSettingsFolderName = "vexo";
inline constexpr const char* kSettingsFileName = "plivora133.yb13";

// The fields the file holds, in line order.
struct SavedFields {
  QComboBox* dpi = nullptr;       // ComboBox3
  QComboBox* lpi = nullptr;       // ComboBox1
  QLineEdit* width = nullptr;     // Edit3
  QLineEdit* compress = nullptr;  // Edit2
  std::array<QLineEdit*, 4> inks{};  // Edit5 .. Edit8
};

// The file's content as read: nine lines (missing ones empty) and the
// integer after them.
struct SettingsText {
  QStringList lines;  // always nine
  int32_t reserved = 0;
};

// Splits the file's bytes. Lines end at LF, a CR before it is dropped. The
// integer is the first run of characters above the blank after the ninth
// line (at most 32 of them); none gives 0. Raises "Invalid numeric input"
// for a run that is not an integer.
SettingsText ParseSettingsText(const QByteArray& bytes);

// The per-ink value of a line as the field shows it: the value in 0..1 held
// to 1/10000, 0.5 for a value outside that range. Raises the conversion
// error for a line that is not a number ("." and `separator` accepted, and
// "," as well, so files written under either kind of locale load).
QString InkFieldText(const QString& line, QChar separator);

// The folder that holds the settings: "vexo" beside the program, unless the
// program's folder can't be written (a system folder, a read-only medium)
// and holds no settings file already; then "vexo" in $XDG_CONFIG_HOME
// (~/.config when unset). A settings file beside
// the program always wins, so portable copies behave as they always did.
QString SettingsFolder(const QString& exeDir);

// Makes the settings folder when it is missing; raises an I/O error when it
// cannot be made (a file of that name in the way, a read-only parent).
void EnsureSettingsFolder(const QString& folder);

// Fills the fields from the file, in line order, and returns the reserved
// integer. A missing file changes nothing and gives 0. On an error the
// fields set before it keep their new texts: lines 1-3 are set before line 4
// is converted, and the four per-ink fields only when all four convert.
int32_t LoadSettings(const QString& file, const SavedFields& fields, QChar separator);

// Writes the file anew from the fields, exactly as they hold their texts.
// The old file is replaced only once the new one is complete.
void SaveSettings(const QString& file, const SavedFields& fields, int32_t reserved);

}  // namespace plivora
