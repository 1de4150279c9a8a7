// Lengths as the command lines and fields take them: a number, then
// optionally its unit ("0.46mm", "600 MM", "0.3cm", "0.125in", "2 inch").
// A bare number is in the unit the caller gives (the plate's unit).
#pragma once

#include <QChar>
#include <QString>

#include "common/numbers.h"

namespace plivora {

enum class LengthUnit { kInch, kCm, kMm };

// The length `text` in inches. The number is read as ParseFloat reads it
// ("." or `localeSeparator`, never through the C library's locale); the
// unit, if any, is mm, cm, in or inch in any case, blanks allowed before
// it. Any sign and size is returned: the caller bounds it. Raises
// "'TEXT' is not a length: a number, with mm, cm or in after it unless it is
// in the unit in use" for anything else.
Real ParseLengthInches(const QString& text, LengthUnit bareUnit, QChar localeSeparator = QChar('.'));

// Inches in one `unit`: 1, 1 / 2.54, 1 / 25.4.
Real InchesPer(LengthUnit unit);

}  // namespace plivora
