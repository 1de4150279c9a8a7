#include "options/export_settings.h"

#include <algorithm>
#include <limits>

#include "common/length_text.h"

namespace plivora {

namespace {

[[noreturn]] void Refuse(const QString& option, Problem problem, const QString& text, const QString& message) {
  throw OptionError(option, problem, text, message);
}

// The option's value as given, or its default.
QString Text(const OptionValues& values, const char* name) { return ValueOrDefault(values, QString::fromLatin1(name)); }

// A number field in the export's arithmetic: the runtime's conversion
// message for a text that is no number, the arithmetic one for a value
// past 64 bits; a negative value is refused, and so is 0 (or a value too
// small to hold), which no plate can have.
template <class Convert>
int64_t NumberField(const char* name, const QString& text, const QString& word, Convert convert) {
  const QString option = QLatin1String(name);
  int64_t value = 0;
  try {
    value = convert(text);
  } catch (const Error& e) {
    const bool notNumber = e.message().contains(QLatin1String("not a valid"));
    Refuse(option, notNumber ? Problem::kNotANumber : Problem::kOutOfRange, text, e.message());
  }
  if (value < 0)
    Refuse(option, Problem::kNegative, text,
           QStringLiteral("The %1 \"%2\" is negative; it must be a positive number").arg(word, text));
  if (value == 0) Refuse(option, Problem::kZero, text, QStringLiteral("Floating point division by zero"));
  return value;
}

const OptionEntry& TableEntry(const char* name) { return *FindExportOption(QString::fromLatin1(name)); }

// A choice: the word given, one of the option's choices.
QString ChoiceOf(const OptionValues& values, const char* name) {
  const OptionEntry& o = TableEntry(name);
  const QString text = Text(values, name);
  for (const OptionChoice& c : o.choices)
    if (c.name == text) return text;
  Refuse(o.name, Problem::kNotAChoice, text, QStringLiteral("%1 must be %2, not \"%3\"").arg(o.name, ChoiceWords(o), text));
}

int WholeOf(const OptionValues& values, const char* name) {
  const OptionEntry& o = TableEntry(name);
  const QString text = Text(values, name);
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (!ok || n < o.low || n > o.high)
    Refuse(o.name, Problem::kNotInRange, text,
           QStringLiteral("%1 takes a number from %2 to %3, not \"%4\"").arg(o.name).arg(o.low).arg(o.high).arg(text));
  return n;
}

bool SwitchOf(const OptionValues& values, const char* name) { return values.count(QLatin1String(name)) > 0; }

void ReadNumbers(const OptionValues& values, QChar sep, ExportSettings& s) {
  ExportTexts& t = s.texts;
  t.decimalSeparator = sep;
  t.inch = ChoiceOf(values, "unit") == QLatin1String("inch");
  t.lpi = Text(values, "lpi");
  t.dpi = Text(values, "dpi");
  t.width = Text(values, "width");
  t.compress = Text(values, "compress");
  t.bleed = Text(values, "bleed");
  s.lpiE9 = NumberField("lpi", t.lpi, QStringLiteral("LPI"), [&](const QString& x) { return PerInchE9(x, sep); });
  s.autoDpi = t.dpi == QLatin1String("(Auto)");
  if (!s.autoDpi) s.dpiE9 = NumberField("dpi", t.dpi, QStringLiteral("DPI"), [&](const QString& x) { return PerInchE9(x, sep); });
  s.widthE4 = NumberField("width", t.width, QStringLiteral("width"), [&](const QString& x) { return LengthE4(x, t.inch, sep); });
  if (values.count(QStringLiteral("height"))) {
    t.height = values.at(QStringLiteral("height"));
    s.heightE4 = NumberField("height", t.height, QStringLiteral("height"), [&](const QString& x) { return LengthE4(x, t.inch, sep); });
  }
  try {
    s.compress = CompressFactor(t.compress);
  } catch (const Error& e) {
    Refuse(QStringLiteral("compress"), Problem::kNotAWholeNumber, t.compress, e.message());
  }
  try {
    s.bleedE4 = t.bleed == QLatin1String("0") ? 0 : BleedE4(t.bleed, t.inch, sep);
  } catch (const Error& e) {
    Refuse(QStringLiteral("bleed"), Problem::kNotALength, t.bleed, e.message());
  }
}

// The lens sheet's thickness, a length in the plate's unit or with its own.
Real ThicknessOf(const OptionValues& values, bool inch, QChar sep) {
  const OptionEntry& o = TableEntry("thickness");
  const QString text = Text(values, "thickness");
  Real inches = 0;
  try {
    inches = ParseLengthInches(text, inch ? LengthUnit::kInch : LengthUnit::kCm, sep);
  } catch (const Error& e) {
    Refuse(o.name, Problem::kNotANumber, text, e.message());
  }
  if (!(inches > 0 && inches <= kMaxLensThicknessInches))
    Refuse(o.name, Problem::kNotWithinBounds, text, QStringLiteral("%1 must be %2, not \"%3\"").arg(o.name, o.boundsEn, text));
  return inches;
}

Real IndexOf(const OptionValues& values, QChar sep) {
  const OptionEntry& o = TableEntry("index");
  const QString text = Text(values, "index");
  Real index = 0;
  try {
    index = ParseFloat(text, sep);
  } catch (const Error& e) {
    Refuse(o.name, Problem::kNotANumber, text, e.message());
  }
  if (!(index >= kMinLensIndex && index <= kMaxLensIndex))
    Refuse(o.name, Problem::kNotWithinBounds, text, QStringLiteral("%1 must be %2, not \"%3\"").arg(o.name, o.boundsEn, text));
  return index;
}

// --align, --key and --key-shift.
AlignSettings ReadAlign(const OptionValues& values, QChar sep) {
  AlignSettings a;
  a.automatic = ChoiceOf(values, "align") == QLatin1String("auto");
  if (values.count(QStringLiteral("key"))) {
    const QString text = values.at(QStringLiteral("key"));
    try {
      a.key = ParseKeyRect(text);
    } catch (const Error&) {
      Refuse(QStringLiteral("key"), Problem::kNotAText, text,
             QStringLiteral("key \"%1\" is not X,Y,W,H in the first view's pixels (four whole numbers, W and H above 0)").arg(text));
    }
  }
  if (values.count(QStringLiteral("key-shift"))) {
    const QString text = values.at(QStringLiteral("key-shift"));
    try {
      a.keyShift = ParseFloat(text.trimmed(), sep);
    } catch (const Error& e) {
      Refuse(QStringLiteral("key-shift"), Problem::kNotANumber, text, e.message());
    }
    if (!(*a.keyShift >= -kMaxKeyShift && *a.keyShift <= kMaxKeyShift))
      Refuse(QStringLiteral("key-shift"), Problem::kOutOfRange, text,
             QStringLiteral("key-shift \"%1\" must lie within %2 pixels a view either way").arg(text).arg(int(kMaxKeyShift)));
  }
  return a;
}

// --frames, --depth-map, --depth, --key-depth and --save-views.
MadeViewSettings ReadMade(const OptionValues& values, QChar sep) {
  MadeViewSettings m;
  if (values.count(QStringLiteral("frames"))) m.frames = WholeOf(values, "frames");
  m.depthMap = values.count(QStringLiteral("depth-map")) ? values.at(QStringLiteral("depth-map")) : QString();
  m.saveViews = values.count(QStringLiteral("save-views")) ? values.at(QStringLiteral("save-views")) : QString();
  m.keyDepth = WholeOf(values, "key-depth");
  const OptionEntry& o = TableEntry("depth");
  const QString text = Text(values, "depth");
  try {
    m.depth = ParseFloat(text.trimmed(), sep);
  } catch (const Error& e) {
    Refuse(o.name, Problem::kNotANumber, text, e.message());
  }
  if (!(m.depth >= -kMaxMadeDepth && m.depth <= kMaxMadeDepth))
    Refuse(o.name, Problem::kNotWithinBounds, text, QStringLiteral("%1 must be %2, not \"%3\"").arg(o.name, o.boundsEn, text));
  return m;
}

}  // namespace

int MadeViewSettings::FramesFor(bool autoDpi, int64_t dpiE9, int64_t lpiE9) const {
  if (frames > 0) return frames;
  if (autoDpi)
    throw OptionError(QStringLiteral("frames"), Problem::kNotAText, QString(),
                      QStringLiteral("With the DPI (Auto), which follows the number of views, give the views to make with --frames"));
  // The whole pixels a lens covers, as the depth budget counts the frames
  // a print can show.
  const int64_t whole = Trunc(Real(dpiE9) / Real(lpiE9));
  return int(std::clamp<int64_t>(whole, 2, 255));
}

QString LensesName(Lenses lenses) {
  return lenses == Lenses::kHorizontal ? QStringLiteral("horizontal") : QStringLiteral("vertical");
}

Real ParsePhase(const QString& text, const QString& what, QChar decimalSeparator) {
  const QString t = text.trimmed();
  Real phase = 0;
  const qsizetype slash = t.indexOf(QChar('/'));
  bool ok = true;
  if (slash > 0) {
    const qlonglong numerator = t.left(slash).trimmed().toLongLong(&ok);
    bool denominatorOk = false;
    const qlonglong denominator = t.mid(slash + 1).trimmed().toLongLong(&denominatorOk);
    ok = ok && denominatorOk && denominator > 0;
    if (ok) phase = Real(numerator) / Real(denominator);
  } else {
    try {
      phase = ParseFloat(t, decimalSeparator);
    } catch (const Error&) {
      ok = false;
    }
  }
  if (!ok) Fail(QStringLiteral("%1 \"%2\" is not a number or a fraction such as 3/8").arg(what, text));
  if (!(phase >= 0 && phase < 1))
    Fail(QStringLiteral("%1 \"%2\" must be at least 0 and below 1: it is a part of a lens").arg(what, text));
  return phase;
}

AlignSettings AlignSettingsFrom(const OptionValues& values) { return ReadAlign(values, QChar('.')); }

ExportSettings SettingsFrom(const OptionValues& values, QChar sep) {
  ExportSettings s;
  s.given = values;
  ReadNumbers(values, sep, s);
  s.colour.plate = *PlateColourFromName(ChoiceOf(values, "colour"));
  s.colour.cmykProfile = values.count(QStringLiteral("cmyk-profile")) ? values.at(QStringLiteral("cmyk-profile")) : QString();
  s.colour.rgbProfile = values.count(QStringLiteral("rgb-profile")) ? values.at(QStringLiteral("rgb-profile")) : QString();
  s.colour.intent = *IntentFromName(ChoiceOf(values, "intent"));
  s.form.compression = *CompressionFromName(ChoiceOf(values, "compression"));
  s.form.bigTiff = SwitchOf(values, "bigtiff");
  s.lens.lenses = ChoiceOf(values, "lenses") == LensesName(Lenses::kHorizontal) ? Lenses::kHorizontal : Lenses::kVertical;
  s.lens.frames.order = *FrameOrderFromName(ChoiceOf(values, "order"));
  s.lens.frames.holdEnds = WholeOf(values, "hold-ends");
  s.phaseText = Text(values, "phase");
  try {
    s.lens.phase = ParsePhase(s.phaseText, QStringLiteral("phase"), sep);
  } catch (const Error& e) {
    Refuse(QStringLiteral("phase"), Problem::kNotAPart, s.phaseText, e.message());
  }
  s.lens.mirror = SwitchOf(values, "mirror");
  s.lens.thickness = ThicknessOf(values, s.texts.inch, sep);
  s.lens.index = IndexOf(values, sep);
  s.panels = WholeOf(values, "panels");
  s.marks = SwitchOf(values, "marks");
  s.align = ReadAlign(values, sep);
  s.made = ReadMade(values, sep);
  return s;
}

ExportParameters ExportSettings::Parameters(int photoCount) const {
  if (photoCount <= 0) Fail(QStringLiteral("There are no views to export; import a series first"));
  if (photoCount > 255) Fail(QStringLiteral("A series can hold at most 255 views; this one has %1").arg(photoCount));
  ExportParameters p;
  p.photoCount = photoCount;
  p.lpiE9 = lpiE9;
  p.dpiE9 = autoDpi ? Round(Real(photoCount) * Real(lpiE9)) : dpiE9;
  p.widthE4 = widthE4 + 2 * bleedE4;
  p.heightE4 = heightE4 + 2 * bleedE4;
  p.compress = compress;
  p.bleedE4 = bleedE4;
  return p;
}

ExportSettings ExportSettings::WithHeightFromAspect(int64_t photoAspect) const {
  ExportSettings s = *this;
  s.texts.height = HeightFromWidth(texts.width, photoAspect);
  s.given[QStringLiteral("height")] = s.texts.height;
  s.heightE4 = LengthE4(s.texts.height, texts.inch);
  return s;
}

void CheckPlateExtent(const ExportParameters& p, Lenses lenses) {
  ExportParameters across = p;
  const bool vertical = lenses == Lenses::kVertical;
  if (!vertical) std::swap(across.widthE4, across.heightE4);
  const QString width = vertical ? QStringLiteral("width") : QStringLiteral("height");
  const QString height = vertical ? QStringLiteral("height") : QStringLiteral("width");
  PlateExtent e;
  try {
    e = ComputeExtent(across);
  } catch (const Error& err) {
    throw OptionError(width, Problem::kOutOfRange, QString(), err.message());
  }
  const QString divided = QStringLiteral("Floating point division by zero");
  if (e.lensCount == 0) throw OptionError(width, Problem::kNoWholeLens, QString(), divided);
  if (e.outputWidth == 0) throw OptionError(QStringLiteral("dpi"), Problem::kNoPixel, QString(), divided);
  if (e.outputRows == 0) throw OptionError(height, Problem::kNoRow, QString(), divided);
}

}  // namespace plivora
