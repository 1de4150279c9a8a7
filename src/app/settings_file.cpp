#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <cerrno>

#include "common/error.h"
#include "common/numbers.h"
#include "common/output_file.h"

namespace plivora {

namespace {

constexpr int kTextLines = 9;
constexpr int kMaxNumberLength = 32;

// The whole file, or an empty array when there is none.
QByteArray ReadWholeFile(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  int fd;
  do fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) Fail(QStringLiteral("Cannot open file \"%1\". %2").arg(path, SystemErrorText(errno)));
  QByteArray bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      Fail(QStringLiteral("Stream read error: \"%1\" could not be read. %2").arg(path, SystemErrorText(err)));
    }
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  ::close(fd);
  return bytes;
}

bool IsSpace(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

SettingsText ParseSettingsText(const QByteArray& bytes) {
  SettingsText text;
  qsizetype at = 0;
  for (int i = 0; i < kTextLines; ++i) {
    qsizetype end = bytes.indexOf('\n', at);
    if (end < 0) end = bytes.size();
    QByteArray line = bytes.mid(at, end - at);
    if (line.endsWith('\r')) line.chop(1);
    text.lines << QString::fromLocal8Bit(line);
    at = qMin(end + 1, bytes.size());
  }
  while (at < bytes.size() && IsSpace(bytes[at])) ++at;
  if (at == bytes.size()) return text;
  qsizetype end = at;
  while (end < bytes.size() && end - at < kMaxNumberLength && !IsSpace(bytes[end])) ++end;
  try {
    text.reserved = ParseInt(QString::fromLatin1(bytes.mid(at, end - at)));
  } catch (const Error&) {
    Fail(QStringLiteral("Invalid numeric input"));
  }
  return text;
}

QString InkFieldText(const QString& line, QChar separator) {
  Real value;
  try {
    value = ParseFloat(line, separator);
  } catch (const Error&) {
    if (separator == QChar(',')) throw;
    value = ParseFloat(line, QChar(','));
  }
  // Values far outside 0..1 fall back like any other out-of-range value
  // instead of overflowing the rounding.
  int64_t x = (value > -1e6L && value < 1e6L) ? Round(value * 10000) : -1;
  if (x < 0 || x > 10000) x = 5000;
  return FormatGeneral15(Real(x) / 10000, separator);
}

QString SettingsFolder(const QString& exeDir) {
  const QString beside = exeDir + QChar('/') + QString::fromLatin1(kSettingsFolderName);
  const bool fileBeside = QFileInfo::exists(beside + QChar('/') + QString::fromLatin1(kSettingsFileName));
  if (fileBeside || ::access(QFile::encodeName(exeDir).constData(), W_OK) == 0) return beside;
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!config.startsWith(QChar('/'))) config = QDir::homePath() + QStringLiteral("/.config");
  QDir().mkpath(config);  // "vexo" inside it is made, and checked, by EnsureSettingsFolder
  return config + QChar('/') + QString::fromLatin1(kSettingsFolderName);
}

void EnsureSettingsFolder(const QString& folder) {
  const QByteArray name = QFile::encodeName(folder);
  struct stat st {};
  if (::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  if (::mkdir(name.constData(), 0777) != 0)
    Fail(QStringLiteral("Cannot create the settings folder \"%1\". %2").arg(folder, SystemErrorText(errno)));
}

int32_t LoadSettings(const QString& file, const SavedFields& fields, QChar separator) {
  if (!QFileInfo::exists(file)) return 0;
  const SettingsText text = ParseSettingsText(ReadWholeFile(file));
  const QStringList& line = text.lines;
  fields.dpi->setEditText(line[0]);
  fields.lpi->setEditText(line[1]);
  fields.width->setText(line[2]);
  int32_t compress = ParseInt(line[3]);
  if (compress < 4 || compress > 64) compress = 10;
  fields.compress->setText(QString::number(compress));
  std::array<QString, 4> inks;
  for (size_t i = 0; i < inks.size(); ++i) inks[i] = InkFieldText(line[4 + int(i)], separator);
  for (size_t i = 0; i < inks.size(); ++i) fields.inks[i]->setText(inks[i]);
  return text.reserved;
}

void SaveSettings(const QString& file, const SavedFields& fields, int32_t reserved) {
  QStringList lines{fields.dpi->currentText(), fields.lpi->currentText(), fields.width->text(),
                    fields.compress->text()};
  for (QLineEdit* ink : fields.inks) lines << ink->text();
  lines << QString() << QString::number(reserved);
  QByteArray bytes;
  for (const QString& line : lines) bytes += line.toLocal8Bit() + "\r\n";
  OutputFile::WriteWhole(file, bytes);
}

}  // namespace plivora
