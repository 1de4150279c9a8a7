// The window's print setup: the export options the print setup dialog
// shows (the option table's, shown in the print setup), kept by name as
// their texts, with the settings they make. It lives in a settings file of
// Plivora's own, "plivora-setup.json" beside the ten-line settings file
// (which stays as it is), read when the window is made and written when it
// closes. The DPI and LPI, which the dialog shows too, are the window's
// fields and are kept in the ten-line file.
#pragma once

#include <QJsonObject>
#include <QString>

#include "options/export_settings.h"

namespace plivora {

struct PrintSetup {
  OptionValues values;    // by name, "." as the separator; those not given take their defaults
  QJsonObject others;     // keys of a newer version, written back as they came
  ExportSettings settings;  // `values` read, the window's fields at their defaults
};

inline constexpr const char* kPrintSetupFileName = "plivora-setup.json";

// The setup of `values`: the print setup's options among them (others are
// dropped). Raises OptionError for one that can't be used.
PrintSetup MakePrintSetup(const OptionValues& values, const QJsonObject& others = {});

// The options of `values` the print setup keeps.
OptionValues SetupValuesOf(const OptionValues& values);

// What the export would refuse of `values` (the print setup's options with
// the window's DPI, LPI and unit; numbers with "." or `decimalSeparator`),
// in the window's words naming the field ("DPI is not a number"); a profile
// that can't be used by the core's reason in a frame of the caption
// language. Empty when nothing is.
QString SetupProblem(const OptionValues& values, QChar decimalSeparator = QChar('.'));

// `values` with a bare bleed (a number other than 0, "." as the separator)
// given the unit it was typed in, "in" when `inch` or "cm", so that a later
// switch of the window's unit keeps its length. Other values stay as they are.
OptionValues WithBleedUnit(OptionValues values, bool inch);
// The bleed as the window shows it beside its unit: without the unit's
// suffix when it carries that unit ("20cm" in cm: "20"), else as it is.
QString BleedInUnit(const QString& bleed, bool inch);

// The setup in `path`; the defaults when there is no such file. Raises
// "Cannot read the print setup "PATH": REASON" for a file that is not one.
// Keys it does not know are kept in `others`.
PrintSetup LoadPrintSetup(const QString& path);

// Writes `setup` to `path`, replacing it only once the new one is complete.
void SavePrintSetup(const QString& path, const PrintSetup& setup);

// One line for the output summary: "CMYK plate, <the profile's own
// description>, relative intent", "Grey plate". A profile that can't be
// used is shown as such, and *problem receives the reason. *profile
// receives the profile the plate would carry (empty for a grey plate).
QString PrintSetupSummary(const PrintSetup& setup, QString* problem, QByteArray* profile = nullptr);

// What differs from the classic lens but its direction: "pingpong, ends x3,
// phase 3/8, mirrored"; empty for none.
QString LensSummary(const ExportSettings& settings);

}  // namespace plivora
