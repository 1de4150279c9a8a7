#include "app/print_setup.h"

#include <QFile>
#include <QJsonDocument>

#include "common/error.h"
#include "common/file_names.h"
#include "common/output_file.h"

namespace plivora {

namespace {

constexpr int kFormat = 1;

const char* const kKnown[] = {"format", "colour", "cmyk-profile", "rgb-profile", "intent",
                              "lenses", "order", "hold-ends", "phase", "mirror"};

QString LensesName(Lenses lenses) {
  return lenses == Lenses::kHorizontal ? QStringLiteral("horizontal") : QStringLiteral("vertical");
}

}  // namespace

PrintSetup LoadPrintSetup(const QString& path) {
  PrintSetup setup;
  QFile file(path);
  if (!file.exists()) return setup;
  const auto refuse = [&](const QString& reason) {
    Fail(QStringLiteral("Cannot read the print setup \"%1\": %2").arg(path, reason));
  };
  if (!file.open(QIODevice::ReadOnly)) refuse(file.errorString());
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError) refuse(error.errorString());
  if (!document.isObject()) refuse(QStringLiteral("it is not a JSON object"));
  const QJsonObject o = document.object();
  const auto text = [&](const char* key, const QString& fallback) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) return fallback;
    if (!v.isString()) refuse(QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key)));
    return v.toString();
  };
  const QString colour = text("colour", PlateColourName(setup.colour.plate));
  const std::optional<PlateColour> plate = PlateColourFromName(colour);
  if (!plate) refuse(QStringLiteral("\"colour\" is \"%1\", not grey, cmyk or rgb").arg(colour));
  setup.colour.plate = *plate;
  const QString intent = text("intent", IntentName(setup.colour.intent));
  const std::optional<Intent> i = IntentFromName(intent);
  if (!i) refuse(QStringLiteral("\"intent\" is \"%1\", not perceptual, relative, saturation or absolute").arg(intent));
  setup.colour.intent = *i;
  setup.colour.cmykProfile = text("cmyk-profile", {});
  setup.colour.rgbProfile = text("rgb-profile", {});
  const QString lenses = text("lenses", LensesName(setup.lens.lenses));
  if (lenses != LensesName(Lenses::kVertical) && lenses != LensesName(Lenses::kHorizontal))
    refuse(QStringLiteral("\"lenses\" is \"%1\", not vertical or horizontal").arg(lenses));
  setup.lens.lenses = lenses == LensesName(Lenses::kHorizontal) ? Lenses::kHorizontal : Lenses::kVertical;
  const QString order = text("order", FrameOrderName(setup.lens.frames.order));
  const std::optional<FrameOrder> frameOrder = FrameOrderFromName(order);
  if (!frameOrder) refuse(QStringLiteral("\"order\" is \"%1\", not forward, reverse or pingpong").arg(order));
  setup.lens.frames.order = *frameOrder;
  const QJsonValue hold = o.value(QLatin1String("hold-ends"));
  if (!hold.isUndefined()) {
    if (!hold.isDouble() || hold.toDouble() != double(hold.toInt()) || hold.toInt() < 1 || hold.toInt() > 255)
      refuse(QStringLiteral("\"hold-ends\" is not a whole number from 1 to 255"));
    setup.lens.frames.holdEnds = hold.toInt();
  }
  setup.phaseText = text("phase", setup.phaseText);
  try {
    setup.lens.phase = ParsePhase(setup.phaseText, QStringLiteral("\"phase\""));
  } catch (const Error& e) {
    refuse(e.message());
  }
  const QJsonValue mirror = o.value(QLatin1String("mirror"));
  if (!mirror.isUndefined()) {
    if (!mirror.isBool()) refuse(QStringLiteral("\"mirror\" is not true or false"));
    setup.lens.mirror = mirror.toBool();
  }
  setup.others = o;
  for (const char* key : kKnown) setup.others.remove(QLatin1String(key));
  return setup;
}

void SavePrintSetup(const QString& path, const PrintSetup& setup) {
  QJsonObject o = setup.others;
  o.insert(QStringLiteral("format"), kFormat);
  o.insert(QStringLiteral("colour"), PlateColourName(setup.colour.plate));
  o.insert(QStringLiteral("cmyk-profile"), setup.colour.cmykProfile);
  o.insert(QStringLiteral("rgb-profile"), setup.colour.rgbProfile);
  o.insert(QStringLiteral("intent"), IntentName(setup.colour.intent));
  o.insert(QStringLiteral("lenses"), LensesName(setup.lens.lenses));
  o.insert(QStringLiteral("order"), FrameOrderName(setup.lens.frames.order));
  o.insert(QStringLiteral("hold-ends"), setup.lens.frames.holdEnds);
  o.insert(QStringLiteral("phase"), setup.phaseText);
  o.insert(QStringLiteral("mirror"), setup.lens.mirror);
  const QByteArray bytes = QJsonDocument(o).toJson();
  OutputFile out(path);
  out.Write(bytes.constData(), uint64_t(bytes.size()));
  out.Commit();
}

namespace {

// The plate's colours and profile.
QString ColourSummary(const ColourOptions& c, QString* problem) {
  switch (c.plate) {
    case PlateColour::kGrey: return QStringLiteral("Grey plate (灰度版)");
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
    profile = QStringLiteral("profile not usable");
  }
  return QStringLiteral("%1 plate (%2), %3, %4 intent")
      .arg(cmyk ? QStringLiteral("CMYK") : QStringLiteral("RGB"), cmyk ? QStringLiteral("四色版") : QStringLiteral("RGB版"),
           profile, IntentName(c.intent));
}

}  // namespace

QString PrintSetupSummary(const PrintSetup& setup, QString* problem) { return ColourSummary(setup.colour, problem); }

QString LensSummary(const LensOptions& lens, const QString& phaseText) {
  QStringList parts;
  if (lens.frames.order != FrameOrder::kForward) parts << FrameOrderName(lens.frames.order);
  if (lens.frames.holdEnds > 1) parts << QStringLiteral("ends x%1").arg(lens.frames.holdEnds);
  if (lens.phase != 0) parts << QStringLiteral("phase %1").arg(phaseText.trimmed());
  if (lens.mirror) parts << QStringLiteral("mirrored");
  return parts.join(QStringLiteral(", "));
}

}  // namespace plivora
