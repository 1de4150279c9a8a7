// ICC profiles: what defines the colours of a view's or a plate's numbers.
// A profile keeps the bytes it was read from, so that a plate carries them
// as they are, and is checked by LittleCMS when it is made.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "colour/colour_model.h"

namespace plivora {

// Where Debian's libgs-common puts its CMYK profile ("Artifex CMYK SWOP
// Profile"): the press profile unless another is given.
inline constexpr const char* kDefaultCmykProfile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

class IccProfile {
 public:
  // The profile in the file at `path`, for `role` ("the CMYK profile"),
  // which needs a profile of `model`. Raises "Cannot use ROLE "PATH": REASON"
  // for a file that can't be read, is not a regular file (refused without
  // waiting on a FIFO), is larger than 16 MiB, is not ICC, is cut short, is
  // of another colour space, or is of a class that does not describe a
  // device's colours (a device link, an abstract or named-colour profile).
  static IccProfile FromFile(const QString& path, ColourModel model, const QString& role);
  // A profile as a view embeds it; nothing, with the reason in *whyNot, when
  // LittleCMS can't read it, its colour space is not grey, RGB, CMYK or Lab, or
  // its class is one FromFile refuses.
  static std::optional<IccProfile> FromBytes(const QByteArray& bytes, QString* whyNot);
  // sRGB, as LittleCMS builds it.
  static IccProfile Srgb();
  // A grey of gamma 2.2 on the D50 white: what a greyscale view without a
  // profile means.
  static IccProfile Grey22();
  // CIELab on the D50 white (ICC version 4), as LittleCMS builds it: what a
  // Lab view without a profile means.
  static IccProfile Lab();

  ColourModel model() const { return model_; }
  const QByteArray& bytes() const { return bytes_; }
  // The profile's own name (its description tag), or "" when it has none.
  const QString& description() const { return description_; }
  bool operator==(const IccProfile& other) const { return bytes_ == other.bytes_; }

 private:
  IccProfile(QByteArray bytes, ColourModel model, QString description);

  QByteArray bytes_;
  ColourModel model_;
  QString description_;
};

}  // namespace plivora
