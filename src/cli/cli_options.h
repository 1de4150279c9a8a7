// The command line of plivora-interlace.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace plivora {

struct CliOptions {
  QString dpi = QStringLiteral("4000");
  QString lpi = QStringLiteral("75.5555555555555");
  QString width = QStringLiteral("2");
  std::optional<QString> height;  // the height the window would show when absent
  bool inch = false;
  QString compress = QStringLiteral("10");
  bool quiet = false;
  bool help = false;
  bool version = false;
  QString output;
  QStringList views;
};

// Raises Error with a usage message for an unknown option, a missing value,
// a missing output or no views.
CliOptions ParseCliOptions(const QStringList& arguments);

extern const char* const kCliUsage;

}  // namespace plivora
