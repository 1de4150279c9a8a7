#include "app/print_setup.h"

#include <QJsonDocument>

#include "app/field_words.h"
#include "app/wording.h"
#include "colour/icc_profile.h"
#include "common/numbers.h"
#include "common/error.h"
#include "common/output_file.h"
#include "jobs/job_file.h"

namespace plivora {

namespace {

constexpr int kFormat = 1;

}  // namespace

OptionValues SetupValuesOf(const OptionValues& values) {
  OptionValues setup;
  for (const auto& [name, value] : values) {
    const OptionEntry* o = FindExportOption(name);
    if (o && o->shown == Shown::kPrintSetup) setup[name] = value;
  }
  return setup;
}

PrintSetup MakePrintSetup(const OptionValues& values, const QJsonObject& others) {
  PrintSetup setup;
  setup.values = SetupValuesOf(values);
  setup.others = others;
  setup.settings = SettingsFrom(setup.values);
  return setup;
}

QString SetupProblem(const OptionValues& values, QChar sep) {
  try {
    const ExportSettings s = SettingsFrom(values, sep);
    if (!s.colour.cmykProfile.isEmpty())
      IccProfile::FromFile(s.colour.cmykProfile, ColourModel::kCmyk, QStringLiteral("the CMYK profile"));
    if (!s.colour.rgbProfile.isEmpty())
      IccProfile::FromFile(s.colour.rgbProfile, ColourModel::kRgb, QStringLiteral("the RGB profile"));
  } catch (const OptionError& e) {
    return FieldWords(e);
  } catch (const Error& e) {
    return CoreWords(QStringLiteral("特性文件不可用：%1"), e.message());
  }
  return QString();
}

namespace {

QString UnitSuffix(bool inch) { return inch ? QStringLiteral("in") : QStringLiteral("cm"); }

}  // namespace

OptionValues WithBleedUnit(OptionValues values, bool inch) {
  const auto bleed = values.find(QStringLiteral("bleed"));
  if (bleed == values.end()) return values;
  const QString text = bleed->second.trimmed();
  try {
    if (ParseFloat(text) != 0) bleed->second = text + UnitSuffix(inch);
  } catch (const Error&) {
    // not a bare number: it carries its own unit, or is refused as it stands
  }
  return values;
}

QString BleedInUnit(const QString& bleed, bool inch) {
  const QString text = bleed.trimmed();
  if (!text.endsWith(UnitSuffix(inch), Qt::CaseInsensitive)) return bleed;
  const QString number = text.chopped(2).trimmed();
  try {
    ParseFloat(number);
    return number;
  } catch (const Error&) {
    return bleed;
  }
}

PrintSetup LoadPrintSetup(const QString& path) {
  const QString what = QStringLiteral("print setup");
  const QByteArray bytes = ReadJsonFile(what, path, true);
  if (bytes.isNull()) return MakePrintSetup({});
  // The options by their command-line names, read as a job's are. Setups
  // written by 13.4's first builds hold "hold-ends" as a number.
  QJsonObject options = ParseJsonObject(what, path, bytes);
  const QJsonValue hold = options.value(QLatin1String("hold-ends"));
  if (hold.isDouble()) options.insert(QStringLiteral("hold-ends"), QString::number(hold.toDouble(), 'g', 17));
  QJsonObject others;
  try {
    const OptionValues values = OptionsFromJson(options, QString(), &others);
    others.remove(QStringLiteral("format"));
    return MakePrintSetup(values, others);
  } catch (const Error& e) {
    FailReading(what, path, 0, e.message());
  }
}

void SavePrintSetup(const QString& path, const PrintSetup& setup) {
  QJsonObject o = setup.others;
  const QJsonObject options = OptionsToJson(setup.values, QString());
  for (auto it = options.begin(); it != options.end(); ++it) o.insert(it.key(), it.value());
  o.insert(QStringLiteral("format"), kFormat);
  OutputFile::WriteWhole(path, QJsonDocument(o).toJson());
}

QString PrintSetupSummary(const PrintSetup& setup, QString* problem, QByteArray* carried) {
  const ColourOptions& c = setup.settings.colour;
  if (carried) carried->clear();
  if (c.plate == PlateColour::kGrey) return Words(QStringLiteral("Grey plate"), QStringLiteral("灰度版"));
  const bool cmyk = c.plate == PlateColour::kCmyk;
  QString profile;
  try {
    const QString path = cmyk ? (c.cmykProfile.isEmpty() ? QString::fromLatin1(kDefaultCmykProfile) : c.cmykProfile)
                              : c.rgbProfile;
    if (!cmyk && path.isEmpty()) {
      profile = QStringLiteral("sRGB");
      if (carried) *carried = IccProfile::Srgb().bytes();
    } else {
      const IccProfile icc = IccProfile::FromFile(path, cmyk ? ColourModel::kCmyk : ColourModel::kRgb,
                                                  cmyk ? QStringLiteral("the CMYK profile") : QStringLiteral("the RGB profile"));
      profile = icc.description();
      if (carried) *carried = icc.bytes();
    }
  } catch (const Error& e) {
    *problem = CoreWords(QStringLiteral("特性文件不可用：%1"), e.message());
    profile = Words(QStringLiteral("profile not usable"), QStringLiteral("特性文件不可用"));
  }
  return Words(QStringLiteral("%1 plate, %2, %3 intent"), QStringLiteral("%1，%2，%3意图"))
      .arg(cmyk ? Words(QStringLiteral("CMYK"), QStringLiteral("四色版")) : Words(QStringLiteral("RGB"), QStringLiteral("RGB 版")),
           profile, Words(IntentName(c.intent), FindExportOption(QStringLiteral("intent"))->choices[size_t(c.intent)].zh));
}

QString LensSummary(const ExportSettings& s) {
  const LensOptions& lens = s.lens;
  QStringList parts;
  if (lens.frames.order == FrameOrder::kReverse) parts << Words(QStringLiteral("reverse"), QStringLiteral("倒序"));
  if (lens.frames.order == FrameOrder::kPingPong) parts << Words(QStringLiteral("ping-pong"), QStringLiteral("往返"));
  if (lens.frames.holdEnds > 1) parts << Words(QStringLiteral("ends x%1"), QStringLiteral("首尾 x%1")).arg(lens.frames.holdEnds);
  if (lens.phase != 0) parts << Words(QStringLiteral("phase %1"), QStringLiteral("相位 %1")).arg(s.phaseText.trimmed());
  if (lens.mirror) parts << Words(QStringLiteral("mirrored"), QStringLiteral("镜像"));
  return parts.join(Words(QStringLiteral(", "), QStringLiteral("，")));
}

}  // namespace plivora
