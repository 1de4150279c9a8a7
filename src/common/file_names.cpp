#include "common/file_names.h"

#include <limits.h>
#include <unistd.h>

#include <QDir>
#include <algorithm>


namespace plivora {

namespace {

constexpr char16_t kEscapeBase = 0xDC80;  // U+DC80 + byte, bytes 0x80..0xFF

// The length of the valid UTF-8 sequence at p (at most `left` bytes), or 0.
int Utf8SequenceLength(const unsigned char* p, qsizetype left) {
  const unsigned char b = p[0];
  int n;
  char32_t code;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) n = 2, code = b & 0x1F;
  else if (b >= 0xE0 && b <= 0xEF) n = 3, code = b & 0x0F;
  else if (b >= 0xF0 && b <= 0xF4) n = 4, code = b & 0x07;
  else return 0;
  if (left < n) return 0;
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (p[i] & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
  if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF))) return 0;
  if (code >= 0xD800 && code <= 0xDFFF) return 0;
  return n;
}

}  // namespace

QString FileNameFromNative(const QByteArray& bytes) {
  QString name;
  name.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype size = bytes.size();
  for (qsizetype i = 0; i < size;) {
    const int n = Utf8SequenceLength(p + i, size - i);
    if (n == 0) {
      name += QChar(char16_t(kEscapeBase + (p[i] - 0x80)));
      ++i;
      continue;
    }
    name += QString::fromUtf8(bytes.constData() + i, n);
    i += n;
  }
  return name;
}

QByteArray NativeFileName(const QString& name) {
  QByteArray bytes;
  bytes.reserve(name.size());
  const qsizetype size = name.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = name[i].unicode();
    if (c >= kEscapeBase && c <= 0xDCFF && !(i > 0 && name[i - 1].isHighSurrogate())) {
      bytes += char(0x80 + (c - kEscapeBase));
      continue;
    }
    const qsizetype n = name[i].isHighSurrogate() && i + 1 < size && name[i + 1].isLowSurrogate() ? 2 : 1;
    bytes += QStringView(name).mid(i, n).toUtf8();
    i += n - 1;
  }
  return bytes;
}

QString FolderOf(const QString& name) { return name.left(std::max<qsizetype>(0, name.lastIndexOf(QChar('/')))); }

QString AbsoluteFileName(const QString& name) {
  if (name.startsWith(QChar('/'))) return QDir::cleanPath(name);
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return QDir::cleanPath(QDir::currentPath() + QChar('/') + name);
  return QDir::cleanPath(FileNameFromNative(cwd) + QChar('/') + name);
}

}  // namespace plivora
