#include "app/print_setup.h"

#include <QFile>
#include <QJsonDocument>

#include "app/wording.h"
#include "common/error.h"
#include "common/file_names.h"
#include "common/output_file.h"
#include "jobs/export_options.h"

namespace plivora {

namespace {

constexpr int kFormat = 1;

}  // namespace

PrintSetup LoadPrintSetup(const QString& path) {
  PrintSetup setup;
  const QString what = QStringLiteral("print setup");
  const QByteArray bytes = ReadJsonFile(what, path, true);
  if (bytes.isNull()) return setup;
  // The options by their command-line names, read as a job's are. Setups
  // written by 13.4's first builds hold "hold-ends" as a number.
  QJsonObject options = ParseJsonObject(what, path, bytes);
  const QJsonValue hold = options.value(QLatin1String("hold-ends"));
  if (hold.isDouble()) options.insert(QStringLiteral("hold-ends"), QString::number(hold.toDouble(), 'g', 17));
  try {
    ApplySetupOptions(OptionsFromJson(options, QString(), &setup.others), setup);
  } catch (const Error& e) {
    FailReading(what, path, 0, e.message());
  }
  setup.others.remove(QStringLiteral("format"));
  return setup;
}

OptionValues SetupOptionValues(const PrintSetup& setup) {
  OptionValues values = ColourOptionValues(setup.colour);
  values.merge(LensOptionValues(setup.lens, setup.phaseText));
  values[QStringLiteral("compression")] = CompressionName(setup.form.compression);
  if (setup.form.bigTiff) values[QStringLiteral("bigtiff")] = QString();
  if (setup.bleed != QLatin1String("0")) values[QStringLiteral("bleed")] = setup.bleed;
  if (setup.marks) values[QStringLiteral("marks")] = QString();
  return values;
}

void ApplySetupOptions(const OptionValues& values, PrintSetup& setup) {
  setup.colour = ColourOptionsFrom(values, QString());
  setup.lens = LensOptionsFrom(values, QString(), &setup.phaseText);
  setup.form = OutputFormFrom(values, QString());
  const auto bleed = values.find(QStringLiteral("bleed"));
  setup.bleed = bleed == values.end() ? QStringLiteral("0") : bleed->second;
  CheckBleed(setup.bleed);
  setup.marks = values.count(QStringLiteral("marks")) > 0;
}

void CheckBleed(const QString& text, QChar decimalSeparator) {
  // Read as centimetres, the unit that takes the most: the export checks it
  // again in the window's unit.
  try {
    BleedE4(text, false, decimalSeparator);
  } catch (const Error&) {
    Fail(Words(QStringLiteral("The bleed \"%1\" must be a length from 0 to 10 inches, in the window's unit or with mm, cm or in"),
               QStringLiteral("出血 \"%1\" 须为 0 到 10 英寸的长度，用窗口的单位，或带 mm、cm、in"))
             .arg(text));
  }
}

void SavePrintSetup(const QString& path, const PrintSetup& setup) {
  QJsonObject o = setup.others;
  const QJsonObject options = OptionsToJson(SetupOptionValues(setup), QString());
  for (auto it = options.begin(); it != options.end(); ++it) o.insert(it.key(), it.value());
  o.insert(QStringLiteral("format"), kFormat);
  OutputFile::WriteWhole(path, QJsonDocument(o).toJson());
}

namespace {

// The plate's colours and profile.
QString ColourSummary(const ColourOptions& c, QString* problem) {
  switch (c.plate) {
    case PlateColour::kGrey: return Words(QStringLiteral("Grey plate"), QStringLiteral("灰度版"));
    case PlateColour::kCmyk:
    case PlateColour::kRgb: break;
  }
  const bool cmyk = c.plate == PlateColour::kCmyk;
  QString profile;
  try {
    const QString path = cmyk ? (c.cmykProfile.isEmpty() ? QString::fromLatin1(kDefaultCmykProfile) : c.cmykProfile)
                              : c.rgbProfile;
    profile = !cmyk && path.isEmpty() ? QStringLiteral("sRGB")
                                      : IccProfile::FromFile(path, cmyk ? ColourModel::kCmyk : ColourModel::kRgb,
                                                             cmyk ? QStringLiteral("the CMYK profile") : QStringLiteral("the RGB profile"))
                                            .description();
  } catch (const Error& e) {
    *problem = e.message();
    profile = Words(QStringLiteral("profile not usable"), QStringLiteral("特性文件不可用"));
  }
  return Words(QStringLiteral("%1 plate, %2, %3 intent"), QStringLiteral("%1，%2，%3意图"))
      .arg(cmyk ? Words(QStringLiteral("CMYK"), QStringLiteral("四色版")) : Words(QStringLiteral("RGB"), QStringLiteral("RGB 版")),
           profile, IntentName(c.intent));
}

}  // namespace

QString PrintSetupSummary(const PrintSetup& setup, QString* problem) { return ColourSummary(setup.colour, problem); }

QString LensSummary(const LensOptions& lens, const QString& phaseText) {
  QStringList parts;
  if (lens.frames.order == FrameOrder::kReverse) parts << Words(QStringLiteral("reverse"), QStringLiteral("倒序"));
  if (lens.frames.order == FrameOrder::kPingPong) parts << Words(QStringLiteral("ping-pong"), QStringLiteral("往返"));
  if (lens.frames.holdEnds > 1) parts << Words(QStringLiteral("ends x%1"), QStringLiteral("首尾 x%1")).arg(lens.frames.holdEnds);
  if (lens.phase != 0) parts << Words(QStringLiteral("phase %1"), QStringLiteral("相位 %1")).arg(phaseText.trimmed());
  if (lens.mirror) parts << Words(QStringLiteral("mirrored"), QStringLiteral("镜像"));
  return parts.join(Words(QStringLiteral(", "), QStringLiteral("，")));
}

}  // namespace plivora
