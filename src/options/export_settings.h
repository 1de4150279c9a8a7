// One checked value of every export option, made once from their texts (a
// command line, a job, profiles, the window's fields and print setup) and
// used by the export's plan, the pitch sheet, the window's summary and the
// jobs. A refusal carries the option and what is wrong with it, so that each
// front end words it its own way: the command line names --option, the
// window its field in the caption language.
#pragma once

#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>

#include "colour/plate_colour.h"
#include "common/error.h"
#include "common/numbers.h"
#include "interlace/export_geometry.h"
#include "options/option_table.h"
#include "plate/output_form.h"
#include "series/view_series.h"
#include "series/view_transform.h"

namespace plivora {

// How the plate meets its lens: the lenses' direction, the frames they show,
// where the pattern starts, and which side of the lens is printed.
struct LensOptions {
  Lenses lenses = Lenses::kVertical;
  FrameSequence frames;  // the series as the lens shows it
  Real phase = 0;        // the pattern moved on by this much of a lens, 0 <= phase < 1
  bool mirror = false;   // mirrored left to right, for printing on the back of a clear lens
  // The sheet's optics, which the proof through the lens models and the
  // export ignores.
  Real thickness = 0;  // inches, from the lens crest to the plate behind it
  Real index = 0;      // refractive index
};

// The views stage: whether the export finds the views' shifts and turns
// itself, and where the key plane lies.
struct AlignSettings {
  bool automatic = false;        // --align auto; none takes the views' shifts and turns as given
  std::optional<KeyRect> key;    // --key, in the first view's pixels (with auto; its centre third when none)
  std::optional<Real> keyShift;  // --key-shift: view k moved k x S pixels across, instead of the key's fit
};

// Views made from layers (given as inputs, beside the options) or from one
// picture and its depth map.
struct MadeViewSettings {
  int frames = 0;          // --frames; 0: DPI / LPI, whole
  QString depthMap;        // --depth-map; empty: none
  Real depth = 1;          // --depth: lens widths between the map's black and white
  int keyDepth = 128;      // --key-depth: the map's grey on the print's plane
  QString saveViews;       // --save-views: the folder the made views are also written to; empty: none
  // The views to make for a plate of these parameters: --frames, else
  // DPI / LPI, whole (from 2 to 255). Raises OptionError on "frames" when the
  // DPI is (Auto), which itself follows the frames.
  int FramesFor(bool autoDpi, int64_t dpiE9, int64_t lpiE9) const;
};

// The largest key shift either way, view pixels a view.
constexpr Real kMaxKeyShift = 1000;

// What is wrong with an option's value.
enum class Problem {
  kNotANumber,       // not a number (the runtime's conversion message)
  kNotAWholeNumber,  // not an integer (the runtime's conversion message)
  kNegative,
  kZero,             // 0, or too small to hold (a plate of it has no lens, pixel or row)
  kOutOfRange,       // too large to hold
  kNotAChoice,       // not one of the choices
  kNotInRange,       // a whole number outside its range
  kNotAPart,         // not a part of a lens (0 <= F < 1) or not a number or fraction
  kNotALength,       // not a length of the bleed's range
  kNotAText,         // a file or text value that is none
  kNoWholeLens,      // the plate holds no whole lens (the width, or the height across horizontal lenses)
  kNoPixel,          // the lenses come to less than a pixel (the DPI)
  kNoRow,            // the plate has no image row (the height, or the width across horizontal lenses)
  kNotWithinBounds,  // a number outside the bounds its option states (OptionEntry::boundsEn)
};

// A refusal of one option. message() is the core's own wording (for the
// numbers, the conversion and arithmetic messages the export has always
// given); option() and problem() let a front end word it its own way.
class OptionError : public Error {
 public:
  OptionError(QString option, Problem problem, QString text, const QString& message)
      : Error(message), option_(std::move(option)), problem_(problem), text_(std::move(text)) {}
  const QString& option() const { return option_; }
  Problem problem() const { return problem_; }
  const QString& text() const { return text_; }  // the value as given

 private:
  QString option_;
  Problem problem_;
  QString text_;
};

struct ExportSettings {
  OptionValues given;  // the export options as given, by name: what a job or profile stores
  ExportTexts texts;   // the number texts as given; dpi "(Auto)" for any form of auto
  int64_t lpiE9 = 0, dpiE9 = 0;  // dpiE9 0 for (Auto)
  bool autoDpi = false;
  int64_t widthE4 = 0;
  int64_t heightE4 = -1;  // -1: not given, to follow the reference view's aspect
  int compress = 10;
  int64_t bleedE4 = 0;
  ColourOptions colour;
  LensOptions lens;
  QString phaseText = QStringLiteral("0");  // as given: "3/8", "0.375"
  OutputForm form;
  int panels = 1;
  bool marks = false;
  AlignSettings align;
  MadeViewSettings made;

  bool HeightGiven() const { return heightE4 >= 0; }
  // The export's parameters for `photoCount` frames (1 to 255, refused
  // otherwise): (Auto) resolves to photoCount x LPI; the bleed is added on
  // both sides. The height must be given (HeightGiven).
  ExportParameters Parameters(int photoCount) const;
  // The settings with the height the reference view's aspect gives the
  // width, as the window's height field shows it.
  ExportSettings WithHeightFromAspect(int64_t photoAspect) const;
};

// Reads every export option of `values` (texts as the command line takes
// them; `decimalSeparator` is accepted besides "." in numbers), in the
// order the export has always read its fields (LPI, DPI, width, height,
// compress, then the rest). Raises OptionError for the first that can't be
// used. A width, height, DPI or LPI of 0, or too small to hold, is refused
// as kZero with the arithmetic message the export gives for it ("Floating
// point division by zero").
ExportSettings SettingsFrom(const OptionValues& values, QChar decimalSeparator = QChar('.'));

// The views stage's options of `values` alone (--align, --key,
// --key-shift), refused as SettingsFrom refuses them.
AlignSettings AlignSettingsFrom(const OptionValues& values);

// Refuses a plate of these parameters that has no whole lens, no pixel
// column or no image row (kNoWholeLens on "width", kNoPixel on "dpi", kNoRow
// on "height"; across horizontal lenses width and height change places),
// with the arithmetic message an export of it raises.
void CheckPlateExtent(const ExportParameters& p, Lenses lenses);

// "0.375", "3/8": a part of a lens, 0 <= phase < 1. Raises "WHAT "TEXT"
// must be ..." or "WHAT "TEXT" is not a number ..."; `what` names it.
Real ParsePhase(const QString& text, const QString& what, QChar decimalSeparator = QChar('.'));

// "vertical", "horizontal".
QString LensesName(Lenses lenses);

}  // namespace plivora
