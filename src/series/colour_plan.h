// How the views of one export come into the plate's colours: which keep
// their numbers and which are converted (and from which profile), and the
// profile that defines the plate's colours.
//
// CMYK views keep their numbers on CMYK and grey plates (the press's way:
// CMYK is never separated again unless asked). RGB and grey views become
// CMYK through the press's CMYK profile for those plates. On an RGB plate,
// RGB views keep their numbers when their profile is the plate's (or they
// have none and the plate is sRGB); every other view is converted into the
// plate's RGB profile. A view's colours are those of its embedded profile,
// else sRGB (RGB), a gamma-2.2 grey (greyscale) or the press's CMYK profile.
#pragma once

#include <QByteArray>
#include <QString>
#include <future>
#include <memory>
#include <vector>

#include "colour/colour_transform.h"
#include "colour/plate_colour.h"
#include "series/view_set.h"

namespace plivora {

// A transform being made on a thread of its own; get() waits for it and
// raises what making it raised. Each thread waits on a copy of its own.
using PendingTransform = std::shared_future<std::shared_ptr<const ColourTransform>>;

struct ColourPlan {
  // The profile the plate carries, as its file's bytes: the CMYK profile
  // whenever a view was converted into it, else the one all CMYK views
  // embed, else the press's; the RGB profile on an RGB plate; none on a
  // grey plate.
  QByteArray plateProfile;
  QString plateProfileName;       // its description, for summaries
  size_t convertedFiles = 0;      // distinct files converted
  // The transforms the converting readers use, one a source profile, made
  // beside the caller. Waiting for them raises LittleCMS's refusal to join
  // two profiles ("Cannot convert from ... to ..."); the first row of a
  // converted view waits for its transform anyway.
  std::vector<PendingTransform> transforms;
  void WaitForTransforms() const;
};

// Checks the profiles (the ones given always; the default CMYK profile when
// a conversion or the plate needs it) and wraps, in `views`, the reader of
// every file that needs converting, so that every listing hands out rows in
// the plate's working model. One transform serves every file of one source
// profile. A series of ".gjs" views (`negativeInput`) must be CMYK
// throughout. Raises Error naming the profile or the view and the reason;
// the transforms' own errors come from WaitForTransforms.
ColourPlan PlanColours(ViewSet& views, const ColourOptions& options, bool negativeInput);

}  // namespace plivora
