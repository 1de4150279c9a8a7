// File names are bytes on Linux. The program carries them as QString, and
// these two functions make that lossless: valid UTF-8 becomes its text, and
// every byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC80 + byte, which turns back into that byte. Every call that hands a
// path to the system goes through NativeFileName, so a view or an output
// named "lat\xe9.tif" is opened or written under exactly those bytes.
#pragma once

#include <QByteArray>
#include <QString>

namespace plivora {

// The text of a name as the system gives it (argv, readdir).
QString FileNameFromNative(const QByteArray& bytes);
// The bytes to give the system for a name; the inverse of FileNameFromNative.
QByteArray NativeFileName(const QString& name);
// `name` made absolute against the current folder and cleaned of "." and
// ".." parts, without the lossy round trip QFileInfo makes of such names.
QString AbsoluteFileName(const QString& name);
// The folder part of a name: all before its last "/" ("" for none).
QString FolderOf(const QString& name);

}  // namespace plivora
