// The window's print setup: what the plate is printed in, the profiles that
// define its colours, how it meets its lens (direction, frame order, phase,
// mirror) and the output form the save dialog offers first. It lives in a settings file of Plivora's own,
// "plivora-setup.json" beside the ten-line settings file (which stays as
// it is), read when the window is made and written when it closes.
#pragma once

#include <QJsonObject>
#include <QString>

#include "colour/plate_colour.h"
#include "jobs/export.h"
#include "jobs/job_file.h"

namespace plivora {

struct PrintSetup {
  ColourOptions colour;
  LensOptions lens;     // its phase is phaseText's
  QString phaseText = QStringLiteral("0");  // as typed: "0.375", "3/8"
  OutputForm form;      // the save dialog's first type
  // The press sheet: bleed on every side (in the window's unit, or with its
  // own: "3mm") and the marks in a margin around it.
  QString bleed = QStringLiteral("0");
  bool marks = false;
  QJsonObject others;   // keys of a newer version, written back as they came
  // The window's DPI and LPI fields, which the dialog shows and a profile
  // fills; they are kept in the settings file, not in the setup's.
  QString dpi, lpi;
};

inline constexpr const char* kPrintSetupFileName = "plivora-setup.json";

// The setup in `path`; the defaults when there is no such file. Raises
// "Cannot read the print setup "PATH": REASON" for a file that is not one.
// Keys it does not know are kept in `others`.
PrintSetup LoadPrintSetup(const QString& path);

// Writes `setup` to `path`, replacing it only once the new one is complete.
void SavePrintSetup(const QString& path, const PrintSetup& setup);

// One line for the output summary: "CMYK plate (四色版), <the profile's own
// description>, relative intent", "Grey plate (灰度版)". A profile that can't
// be used is shown as such, and *problem receives the reason.
QString PrintSetupSummary(const PrintSetup& setup, QString* problem);

// What differs from the classic lens but its direction: "pingpong, ends x3,
// phase 3/8, mirrored"; empty for none.
QString LensSummary(const LensOptions& lens, const QString& phaseText);

// The setup's options by command-line name (colours, lens, output form), as
// a job or the setup file stores them; and the setup they describe.
OptionValues SetupOptionValues(const PrintSetup& setup);
// Raises "NAME must be ..." for a value that can't be used.
void ApplySetupOptions(const OptionValues& values, PrintSetup& setup);
// Raises "The bleed "TEXT" must be ..." for a bleed the export would refuse.
void CheckBleed(const QString& text, QChar decimalSeparator = QChar('.'));

}  // namespace plivora
