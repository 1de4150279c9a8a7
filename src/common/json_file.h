// The program's small JSON files (jobs, profiles, the print setup) are read
// and refused one way: the file read whole and capped (small_file.h), the
// object parsed with the line of a fault, the format number checked, and
// names that are not UTF-8 kept as their bytes.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "common/small_file.h"

namespace plivora {

// The bytes of such a file; a null QByteArray when `missingIsEmpty` and
// there is no file.
QByteArray ReadJsonFile(const QString& what, const QString& path, bool missingIsEmpty = false);

// The JSON object in `bytes`, or FailReading with the line of the fault.
QJsonObject ParseJsonObject(const QString& what, const QString& path, const QByteArray& bytes);

// The line (from 1) of byte `offset`, or 0 for an offset below 0.
int LineAt(const QByteArray& bytes, qsizetype offset);
// The line (from 1) where `"key":` first stands at or after byte `from`,
// or 0: the line to name in a refusal.
int LineOfKey(const QByteArray& bytes, const QString& key, qsizetype from = 0);

// Refuses an object whose "format" is not a whole number from 1 to
// `newest` (a newer one: "update Plivora").
void CheckFormat(const QString& what, const QString& path, const QByteArray& bytes, const QJsonObject& object, int newest);

// A text that may hold bytes that are not UTF-8 (a file name as the system
// gives it, a profile's name typed in a terminal): itself when it is UTF-8,
// else {"bytes": "<base64>"}; and back. TextFromJson raises Error "WHAT is
// a text, or ..." for a value that is neither (WHAT: "a file name").
QJsonValue TextToJson(const QString& text);
QString TextFromJson(const QJsonValue& value, const QString& what);

}  // namespace plivora
