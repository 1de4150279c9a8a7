#include "jobs/export_options.h"

#include "common/error.h"

namespace plivora {

namespace {

// The value of `name` in `values`, or `fallback`.
QString ValueOf(const OptionValues& values, const char* name, const QString& fallback) {
  const auto it = values.find(QLatin1String(name));
  return it == values.end() ? fallback : it->second;
}

[[noreturn]] void Refuse(const QString& prefix, const char* name, const QString& choices, const QString& value) {
  Fail(QStringLiteral("%1%2 must be %3, not \"%4\"").arg(prefix, QLatin1String(name), choices, value));
}

}  // namespace

QString LensesName(Lenses lenses) {
  return lenses == Lenses::kHorizontal ? QStringLiteral("horizontal") : QStringLiteral("vertical");
}

ColourOptions ColourOptionsFrom(const OptionValues& values, const QString& prefix) {
  ColourOptions c;
  const QString colour = ValueOf(values, "colour", PlateColourName(c.plate));
  const std::optional<PlateColour> plate = PlateColourFromName(colour);
  if (!plate) Refuse(prefix, "colour", QStringLiteral("grey, cmyk or rgb"), colour);
  c.plate = *plate;
  const QString intent = ValueOf(values, "intent", IntentName(c.intent));
  const std::optional<Intent> i = IntentFromName(intent);
  if (!i) Refuse(prefix, "intent", QStringLiteral("perceptual, relative, saturation or absolute"), intent);
  c.intent = *i;
  c.cmykProfile = ValueOf(values, "cmyk-profile", {});
  c.rgbProfile = ValueOf(values, "rgb-profile", {});
  return c;
}

LensOptions LensOptionsFrom(const OptionValues& values, const QString& prefix, QString* phaseText) {
  LensOptions lens;
  const QString lenses = ValueOf(values, "lenses", LensesName(lens.lenses));
  if (lenses != LensesName(Lenses::kVertical) && lenses != LensesName(Lenses::kHorizontal))
    Refuse(prefix, "lenses", QStringLiteral("vertical or horizontal"), lenses);
  lens.lenses = lenses == LensesName(Lenses::kHorizontal) ? Lenses::kHorizontal : Lenses::kVertical;
  const QString order = ValueOf(values, "order", FrameOrderName(lens.frames.order));
  const std::optional<FrameOrder> frameOrder = FrameOrderFromName(order);
  if (!frameOrder) Refuse(prefix, "order", QStringLiteral("forward, reverse or pingpong"), order);
  lens.frames.order = *frameOrder;
  const QString hold = ValueOf(values, "hold-ends", QStringLiteral("1"));
  bool ok = false;
  lens.frames.holdEnds = hold.trimmed().toInt(&ok);
  if (!ok || lens.frames.holdEnds < 1 || lens.frames.holdEnds > 255)
    Fail(QStringLiteral("%1hold-ends takes a number from 1 to 255, not \"%2\"").arg(prefix, hold));
  const QString phase = ValueOf(values, "phase", QStringLiteral("0"));
  lens.phase = ParsePhase(phase, prefix + QStringLiteral("phase"));
  if (phaseText) *phaseText = phase;
  lens.mirror = values.count(QStringLiteral("mirror")) > 0;
  return lens;
}

OutputForm OutputFormFrom(const OptionValues& values, const QString& prefix) {
  OutputForm form;
  const QString compression = ValueOf(values, "compression", CompressionName(form.compression));
  const std::optional<Compression> c = CompressionFromName(compression);
  if (!c) Refuse(prefix, "compression", QStringLiteral("none, packbits, lzw or deflate"), compression);
  form.compression = *c;
  form.bigTiff = values.count(QStringLiteral("bigtiff")) > 0;
  return form;
}

OptionValues ColourOptionValues(const ColourOptions& colour) {
  OptionValues values{{QStringLiteral("colour"), PlateColourName(colour.plate)},
                      {QStringLiteral("intent"), IntentName(colour.intent)}};
  if (!colour.cmykProfile.isEmpty()) values[QStringLiteral("cmyk-profile")] = colour.cmykProfile;
  if (!colour.rgbProfile.isEmpty()) values[QStringLiteral("rgb-profile")] = colour.rgbProfile;
  return values;
}

OptionValues LensOptionValues(const LensOptions& lens, const QString& phaseText) {
  OptionValues values{{QStringLiteral("lenses"), LensesName(lens.lenses)},
                      {QStringLiteral("order"), FrameOrderName(lens.frames.order)},
                      {QStringLiteral("hold-ends"), QString::number(lens.frames.holdEnds)},
                      {QStringLiteral("phase"), phaseText}};
  if (lens.mirror) values[QStringLiteral("mirror")] = QString();
  return values;
}

}  // namespace plivora
