#include "common/json_file.h"

#include <QJsonDocument>

#include "common/error.h"
#include "common/file_names.h"

namespace plivora {

namespace {

// Lone surrogates are the bytes FileNameFromNative could not read as UTF-8.
bool IsUtf8Text(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) return false;
  return true;
}

}  // namespace

QByteArray ReadJsonFile(const QString& what, const QString& path, bool missingIsEmpty) {
  return ReadSmallFile(what, path, kMaxSmallFileBytes, missingIsEmpty);
}

QJsonObject ParseJsonObject(const QString& what, const QString& path, const QByteArray& bytes) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError)
    FailReading(what, path, LineAt(bytes, error.offset), error.errorString());
  if (!document.isObject()) FailReading(what, path, 1, QStringLiteral("it is not a JSON object ({ ... })"));
  return document.object();
}

int LineAt(const QByteArray& bytes, qsizetype offset) {
  return offset < 0 ? 0 : int(bytes.left(offset).count('\n')) + 1;
}

int LineOfKey(const QByteArray& bytes, const QString& key, qsizetype from) {
  const QByteArray quoted = '"' + key.toUtf8() + '"';
  for (qsizetype at = bytes.indexOf(quoted, from); at >= 0; at = bytes.indexOf(quoted, at + 1)) {
    qsizetype after = at + quoted.size();
    while (after < bytes.size() && (bytes[after] == ' ' || bytes[after] == '\t' || bytes[after] == '\n' || bytes[after] == '\r'))
      ++after;
    if (after < bytes.size() && bytes[after] == ':') return LineAt(bytes, at);
  }
  return 0;
}

void CheckFormat(const QString& what, const QString& path, const QByteArray& bytes, const QJsonObject& object, int newest) {
  const QJsonValue format = object.value(QLatin1String("format"));
  const int line = LineOfKey(bytes, QStringLiteral("format"));
  if (!format.isDouble() || format.toDouble() != double(format.toInt()) || format.toInt() < 1)
    FailReading(what, path, line, QStringLiteral("\"format\" must be a whole number from 1 (this version writes %1)").arg(newest));
  if (format.toInt() > newest)
    FailReading(what, path, line,
                QStringLiteral("it is of format %1, newer than this version reads (%2); update Plivora").arg(format.toInt()).arg(newest));
}

QJsonValue TextToJson(const QString& text) {
  if (IsUtf8Text(text)) return text;
  return QJsonObject{{QStringLiteral("bytes"), QString::fromLatin1(NativeFileName(text).toBase64())}};
}

QString TextFromJson(const QJsonValue& value, const QString& what) {
  if (value.isString()) return value.toString();
  if (value.isObject() && value.toObject().size() == 1 && value.toObject().value(QLatin1String("bytes")).isString()) {
    const QByteArray base64 = value.toObject().value(QLatin1String("bytes")).toString().toLatin1();
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) throw Error(QStringLiteral("its \"bytes\" are not base64"));
    return FileNameFromNative(*decoded);
  }
  throw Error(QStringLiteral("%1 is a text, or {\"bytes\": \"<base64>\"}").arg(what));
}

}  // namespace plivora
