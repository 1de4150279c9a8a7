// Lens and printer profiles: named sets of export options a shop keeps, so
// that a calibrated lens or a press is chosen by name. They live in
// Plivora's own settings file "plivora-profiles.json" in the XDG
// configuration folder (the window's ten-line settings file is never touched):
//
//   {"format": 1,
//    "lenses": [{"name": "75 lpi PET", "options": {"lpi": "75.40595", "lenses": "vertical", "phase": "3/8"}}],
//    "printers": [{"name": "CTP 4000", "options": {"dpi": "4000", "colour": "grey"}}]}
//
// The same form is what "export" writes and "import" reads, to share them.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <vector>

#include "jobs/job_file.h"

namespace plivora {

enum class ProfileKind { kLens, kPrinter };

// "lens", "printer".
QString ProfileKindName(ProfileKind kind);
// The options a profile of `kind` holds: a lens its LPI, direction and
// phase; a printer its DPI, plate colour, CMYK profile and output form.
const QStringList& ProfileOptionNames(ProfileKind kind);

// Refuses a name no profile can have: empty, or more than one line.
void CheckProfileName(ProfileKind kind, const QString& name);

struct Profile {
  QString name;
  OptionValues options;  // only ProfileOptionNames(kind)
  QJsonObject unknown;   // keys of a newer version, kept
};

struct ProfileBook {
  std::vector<Profile> lenses, printers;
  QJsonObject unknown;

  std::vector<Profile>& Of(ProfileKind kind) { return kind == ProfileKind::kLens ? lenses : printers; }
  const std::vector<Profile>& Of(ProfileKind kind) const { return kind == ProfileKind::kLens ? lenses : printers; }
  // The profile of that name, or nullptr.
  const Profile* Find(ProfileKind kind, const QString& name) const;
  // Adds `profile`, or replaces the one of its name; refuses a name
  // CheckProfileName refuses.
  void Put(ProfileKind kind, const Profile& profile);
  bool Remove(ProfileKind kind, const QString& name);
  // Renames; raises when `to` is taken or `from` is not there.
  void Rename(ProfileKind kind, const QString& from, const QString& to);
  // Every profile of `other`, replacing those of the same names.
  void Merge(const ProfileBook& other);
  // What was done to `before` to make `after` (profiles removed, added or
  // changed; a rename is a removal and an addition), done to this book: an
  // edit of an old copy applied to the file as it is now.
  void Apply(const ProfileBook& before, const ProfileBook& after);
};

inline constexpr int kProfilesFormat = 1;

// $XDG_CONFIG_HOME/vexo/plivora-profiles.json, ~/.config when the variable
// is unset, empty or relative. Raises when neither says where the folder is.
QString ProfilesPath();

// The profiles in `path`; none when there is no such file. Raises "Cannot
// read the profiles "PATH": line N: REASON" for a file that is not one.
ProfileBook ReadProfiles(const QString& path);
ProfileBook ParseProfiles(const QByteArray& bytes, const QString& path);

// Writes the book, making the folder when missing; the file is replaced
// only once the new one is complete.
void WriteProfiles(const QString& path, const ProfileBook& book);
// Reads the book, lets `change` change it and writes it back, all under a
// lock beside the file, so that saves made at once by several processes
// are all kept.
void UpdateProfiles(const QString& path, const std::function<void(ProfileBook&)>& change);

// A profile's options in one line: "lpi 75.40595, lenses vertical, phase 3/8".
QString ProfileSummary(const Profile& profile);

}  // namespace plivora
