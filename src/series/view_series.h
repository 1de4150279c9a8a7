// Rules that tie a series to its first view: the aspect that fixes the
// output height, and whether the series holds inverted (".gjs") samples.
#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

namespace plivora {

// width / height * 10000, rounded: the reference view's aspect.
int64_t PhotoAspect(uint32_t width, uint32_t height);

// The height field's text for a width text: width / aspect * 10000 in the
// general form of up to 15 significant digits ("2" with 15000 gives
// "1.33333333333333"). Raises the conversion error for a width that is not
// a number, and a division error for an aspect of 0.
QString HeightFromWidth(const QString& widthText, int64_t photoAspect, QChar decimalSeparator = QChar('.'));

// The text from the path's last "." to its end, provided no "/", "\" or ":"
// follows that dot; empty otherwise.
QString PathExtension(const QString& path);

// True for ".gjs" and ".GJS", the extensions of inverted views.
bool IsNegativeExtension(const QString& extension);

}  // namespace plivora
