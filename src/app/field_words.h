// How the window words a refusal of an option: by the field that holds it,
// in the caption language ("LPI must be above 0", "光栅线数 不是数字").
#pragma once

#include <QString>

#include "options/export_settings.h"

namespace plivora {

// The window's name for an option's field.
QString FieldName(const QString& option);

// The window's word for a unit of length: "in" or "cm".
QString UnitWord(bool inch);

// The refusal in the window's words; `vertical` says which way the lenses
// run, for a plate without a lens or a row.
QString FieldWords(const OptionError& e, bool vertical = true);

}  // namespace plivora
