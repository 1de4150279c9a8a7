// The export's colour, lens and output-form options from their texts by
// command-line name (job_file.h's OptionValues), and back: one reading for
// the command line, job files, profiles and the window's print setup.
// Refusals name the option as `prefix` + name ("--colour", or "colour" in a
// file) and the value.
#pragma once

#include "jobs/export.h"
#include "jobs/job_file.h"

namespace plivora {

// "vertical", "horizontal".
QString LensesName(Lenses lenses);

ColourOptions ColourOptionsFrom(const OptionValues& values, const QString& prefix);
// The lens options; `phaseText` receives the phase as given ("0" when none).
LensOptions LensOptionsFrom(const OptionValues& values, const QString& prefix, QString* phaseText = nullptr);
OutputForm OutputFormFrom(const OptionValues& values, const QString& prefix);

// Back to texts: every option of the colour and lens options (defaults too),
// as a job or the print setup stores them.
OptionValues ColourOptionValues(const ColourOptions& colour);
OptionValues LensOptionValues(const LensOptions& lens, const QString& phaseText);

}  // namespace plivora
