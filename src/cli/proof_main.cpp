// plivora-proof: what an eye sees of a plate through a modelled lens sheet,
// as a PNG picture, a series of them, or an animated GIF.
#include <cmath>
#include <memory>
#include <vector>

#include "cli/command_line.h"
#include "cli/option_words.h"
#include "common/file_names.h"
#include "common/length_text.h"
#include "common/output_file.h"
#include "common/run_inputs.h"
#include "jobs/profiles.h"
#include "proof/gif_animation.h"
#include "proof/png_picture.h"
#include "proof/proof_renderer.h"
#include "proof/screen_colours.h"

namespace {

using namespace plivora;

const char* const kAbout =
    "Shows a plate as an eye sees it through a lens sheet: each lens shows the\n"
    "point of the plate where the ray from the eye, refracted at the lens, meets\n"
    "it; one sample a lens across the lenses. The plate is any 8-bit grey, CMYK or\n"
    "RGB TIFF; its resolution tags place it under the lenses.\n";

const char* const kAfter =
    "Angles are degrees off square: positive from the left (vertical lenses) or\n"
    "from above (horizontal lenses), and so is --eye. A Plivora plate shows its\n"
    "first view from the right (below), its last from the left (above).\n"
    "Lengths take a unit (0.46mm, 600mm, 0.3cm, 0.125in), else --unit's.\n";

constexpr int kMaxPictures = 200;  // each output file stays open until all are written
constexpr int kGifDelay = 10;      // hundredths of a second a frame

// The lens options the proof shares with the export's table, and takes from
// a saved lens (--lens); and --unit, the unit of lengths typed bare.
const QStringList kLensOptions = {QStringLiteral("lpi"), QStringLiteral("lenses"), QStringLiteral("thickness"),
                                  QStringLiteral("index")};
// The proof's own LPI when none is given: a common 75 LPI sheet, rather than
// the window's field.
const char* const kProofLpi = "75";

// Every option of the program, in the order --help lists them.
std::vector<Option> ProofOptions() {
  std::vector<Option> options = {
      {QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("OUT.png"),
       QStringLiteral("the proof as a PNG; with --angles, %d in the name\nbecomes the picture's number (1, 2, ...)")},
      {QStringLiteral("--gif"), {}, QStringLiteral("OUT.gif"), QStringLiteral("the proofs as an animated GIF")}};
  const std::vector<Option> lens = ExportOptionsOnCommandLine(
      kLensOptions, {{QStringLiteral("--lpi"), {}, {}, QStringLiteral("the lens's real pitch, lenses per inch"), QLatin1String(kProofLpi)},
                     {QStringLiteral("--lenses"), {}, {}, QStringLiteral("the lenses' direction")},
                     {QStringLiteral("--thickness"), {}, {}, QStringLiteral("the lens sheet's thickness, crest to back")},
                     {QStringLiteral("--index"), {}, {}, QStringLiteral("the sheet's refractive index")}});
  options.insert(options.end(), lens.begin(), lens.end());
  const std::vector<Option> own = {
      {QStringLiteral("--lens"), {}, QStringLiteral("NAME"),
       QStringLiteral("the saved lens NAME: its --lpi, --lenses, --thickness\nand --index (options typed override them)")},
      {QStringLiteral("--angle"), {}, QStringLiteral("A"), QStringLiteral("the eye's angle off square, degrees"),
       QStringLiteral("0")},
      {QStringLiteral("--angles"), {}, QStringLiteral("FROM:TO:N"), QStringLiteral("a series of N angles from FROM to TO")},
      {QStringLiteral("--distance"), {}, QStringLiteral("LENGTH"),
       QStringLiteral("the eye this far from the print's centre\n(the angle then changes across the print)"),
       QStringLiteral("far away")},
      {QStringLiteral("--eye"), {}, QStringLiteral("LENGTH"),
       QStringLiteral("with --distance: the eye moved this far across\nthe lenses"), QStringLiteral("0")}};
  options.insert(options.end(), own.begin(), own.end());
  const std::vector<Option> unit =
      ExportOptionsOnCommandLine({QStringLiteral("unit")}, {{QStringLiteral("--unit"), {}, {}, QStringLiteral("unit of lengths given without one")}});
  options.insert(options.end(), unit.begin(), unit.end());
  return options;
}

Real Length(const ParsedOptions& o, const QString& name, const QString& fallback, LengthUnit bare) {
  const QString text = o.Value(name, fallback);
  try {
    return ParseLengthInches(text, bare);
  } catch (const Error& e) {
    Fail(QStringLiteral("%1: %2").arg(name, e.message()));
  }
}

void Require(bool ok, const QString& name, const QString& what, const QString& text) {
  if (!ok) Fail(QStringLiteral("%1 must be %2, not \"%3\"").arg(name, what, text));
}

// The lens: a saved lens's options (--lens), then those typed, read and
// checked as the export reads them; the proof's own LPI when neither gives
// one. *inch receives the unit of lengths typed bare.
LensModel ReadLens(const ParsedOptions& o, bool* inch) {
  OptionValues values;
  if (const std::optional<QString> name = o.Optional(QStringLiteral("--lens"))) {
    const ProfileBook book = ReadProfiles(ProfilesPath());
    const Profile* profile = book.Find(ProfileKind::kLens, *name);
    if (!profile) Fail(QStringLiteral("There is no lens named \"%1\" (see plivora-interlace --list-profiles)").arg(*name));
    for (const auto& [option, value] : profile->options)
      if (kLensOptions.contains(option)) values[option] = value;
  }
  for (const auto& [option, value] : ExportValuesOf(o, kLensOptions + QStringList{QStringLiteral("unit")})) values[option] = value;
  values.emplace(QStringLiteral("lpi"), QLatin1String(kProofLpi));
  const ExportSettings settings = CommandLineSettings(values);
  LensModel lens;
  lens.lpi = ParseFloat(values.at(QStringLiteral("lpi")));  // as read above: a number past 0
  lens.direction = settings.lens.lenses == Lenses::kHorizontal ? LensDirection::kHorizontal : LensDirection::kVertical;
  lens.thickness = settings.lens.thickness;
  lens.index = settings.lens.index;
  *inch = settings.texts.inch;
  return lens;
}

Real Angle(const QString& name, const QString& text) {
  Real a = 0;
  try {
    a = ParseFloat(text);
  } catch (const Error& e) {
    Fail(QStringLiteral("%1: %2; the command line takes \".\" as the decimal separator").arg(name, e.message()));
  }
  Require(a > -90 && a < 90, name, QStringLiteral("an angle between -90 and 90 degrees"), text);
  return a;
}

// --angle A, or --angles FROM:TO:N (N evenly spaced, both ends included).
std::vector<Real> ReadAngles(const ParsedOptions& o) {
  const std::optional<QString> series = o.Optional(QStringLiteral("--angles"));
  if (!series) return {Angle(QStringLiteral("--angle"), o.Value(QStringLiteral("--angle"), QStringLiteral("0")))};
  if (o.Has(QStringLiteral("--angle"))) Fail(QStringLiteral("--angle and --angles exclude each other; give one"));
  const QStringList parts = series->split(QChar(':'));
  if (parts.size() != 3) Fail(QStringLiteral("--angles takes FROM:TO:N (-20:20:9), not \"%1\"").arg(*series));
  const Real from = Angle(QStringLiteral("--angles"), parts[0]), to = Angle(QStringLiteral("--angles"), parts[1]);
  int count = 0;
  try {
    count = ParseInt(parts[2]);
  } catch (const Error&) {
  }
  if (count < 1 || count > kMaxPictures)
    Fail(QStringLiteral("--angles: N must be a whole number from 1 to %1, not \"%2\"").arg(kMaxPictures).arg(parts[2]));
  std::vector<Real> angles;
  for (int k = 0; k < count; ++k)
    angles.push_back(count == 1 ? from : from + (to - from) * Real(k) / Real(count - 1));
  return angles;
}

Viewpoint ReadEye(const ParsedOptions& o, LengthUnit bare) {
  Viewpoint eye;
  const QString distance = QStringLiteral("--distance"), sideways = QStringLiteral("--eye");
  if (!o.Has(distance)) {
    if (o.Has(sideways)) Fail(QStringLiteral("--eye needs --distance: an eye far away sees the print at one angle from anywhere"));
    return eye;
  }
  eye.distance = Length(o, distance, {}, bare);
  Require(*eye.distance > 0, distance, QStringLiteral("above 0"), o.Value(distance));
  eye.sideways = Length(o, sideways, QStringLiteral("0"), bare);
  return eye;
}

// The PNG names: -o as given for one picture, %d numbered for a series.
QStringList PngNames(const ParsedOptions& o, int count) {
  if (!o.Has(QStringLiteral("--output"))) return {};
  const QString pattern = OutputPath(o);
  const QString number = QStringLiteral("%d");
  if (count > 1 && !pattern.section(QChar('/'), -1).contains(number))
    Fail(QStringLiteral("-o needs %d in its name for a series of %1 pictures (proof-%d.png)").arg(count));
  QStringList names;
  for (int k = 1; k <= count; ++k) names << QString(pattern).replace(number, QString::number(k));
  return names;
}

// Opens the plate and refuses a lens it cannot hold, before any output.
OpenedPlate OpenCheckedPlate(const QString& path, const LensModel& lens) {
  OpenedPlate plate = OpenPlate(path);
  if (const QString problem = LensProblem(plate.frame, lens); !problem.isEmpty())
    Fail(QStringLiteral("--lpi %1 cannot be seen on the plate \"%2\": %3").arg(FormatGeneral15(lens.lpi), path, problem));
  return plate;
}

void Run(const ParsedOptions& o, const std::function<void(int)>& progress) {
  if (o.Operands().isEmpty()) throw UsageError(QStringLiteral("no plate given (see --help)"));
  if (o.Operands().size() > 1) throw UsageError(QStringLiteral("one plate at a time; unexpected %1").arg(o.Operands()[1]));
  if (!o.Has(QStringLiteral("--output")) && !o.Has(QStringLiteral("--gif")))
    throw UsageError(QStringLiteral("nothing to write: give -o OUT.png or --gif OUT.gif"));
  bool inch = false;
  const LensModel lens = ReadLens(o, &inch);
  const LengthUnit bare = inch ? LengthUnit::kInch : LengthUnit::kCm;
  const Viewpoint eyeAt = ReadEye(o, bare);
  const std::vector<Real> angles = ReadAngles(o);
  const int count = int(angles.size());
  const QStringList pngNames = PngNames(o, count);
  const QString gifName = o.Has(QStringLiteral("--gif")) ? AbsoluteFileName(o.Value(QStringLiteral("--gif"))) : QString();

  const QString platePath = o.Operands().first();
  // No proof lands on what the run reads.
  RunInputs inputs;
  inputs.Add(platePath, QStringLiteral("the plate"));
  if (o.Has(QStringLiteral("--lens"))) inputs.Add(ProfilesPath(), QStringLiteral("the profiles file"));
  for (const QString& name : pngNames + QStringList{gifName})
    if (!name.isEmpty()) inputs.CheckNotOutput(name);
  OpenedPlate plate = OpenCheckedPlate(platePath, lens);
  ScreenColours colours(plate.frame, platePath);

  std::vector<std::unique_ptr<OutputFile>> files;
  for (const QString& name : pngNames) files.push_back(std::make_unique<OutputFile>(name));
  std::unique_ptr<GifAnimation> gif;
  if (!gifName.isEmpty()) files.push_back(std::make_unique<OutputFile>(gifName));
  std::vector<OutputFile*> all;
  for (const auto& f : files) all.push_back(f.get());
  OutputFile::CheckDistinct(all);

  int shown = -1;
  for (int k = 0; k < count; ++k) {
    if (k > 0) plate = OpenPlate(platePath);  // read top to bottom once an angle
    Viewpoint eye = eyeAt;
    eye.angle = angles[size_t(k)];
    const ProofPicture picture = RenderProof(plate.frame, *plate.rows, lens, eye, [&](Real done) {
      const int percent = int(Trunc((Real(k) + done) * 100 / Real(count)));
      if (percent != shown) progress(shown = percent);
    });
    const QImage screen = colours.ToScreen(picture);
    if (!pngNames.isEmpty()) {
      const QByteArray png = PngBytes(screen);
      files[size_t(k)]->Write(png.constData(), uint64_t(png.size()));
    }
    if (!gifName.isEmpty()) {
      if (!gif) gif = std::make_unique<GifAnimation>(*files.back(), screen.width(), screen.height(), kGifDelay);
      gif->AddFrame(screen);
    }
  }
  if (gif) gif->Finish();
  OutputFile::CommitTogether(all);
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLineProgram program{"plivora-proof", "[options] (-o OUT.png | --gif OUT.gif) PLATE", kAbout,
                                   ProofOptions(), kAfter, Run};
  return RunCommandLineProgram(argc, argv, program);
}
