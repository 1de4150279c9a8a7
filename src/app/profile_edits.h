// What the window does to the lens and printer profiles, in the caption
// language: a profile is never replaced without a question ("Replace lens
// "PET 75"?", Cancel keeps it), and a profile is told by the window's names
// for its options, not the command line's.
#pragma once

#include <QString>

#include "jobs/profiles.h"

class QWidget;

namespace plivora {

class Desktop;

// Why no `kind` profile can be called `name` (empty, or more than one
// line), in the caption language; empty when it can.
QString ProfileNameProblem(ProfileKind kind, const QString& name);

// "lens", "printer" in the caption language.
QString ProfileKindWord(ProfileKind kind);

// A profile's options as the window names them, in the table's order:
// "LPI: 75.40595; Lenses: Vertical; Phase, part of a lens: 3/8".
QString ProfileWords(const Profile& profile);

// True when `book` has no `kind` profile called `name`, or when the
// operator answers Yes to replacing it.
bool MayReplaceProfile(Desktop& desktop, QWidget* parent, const ProfileBook& book, ProfileKind kind, const QString& name);

// Puts a `kind` profile called `name` of the options of `current` that such
// a profile keeps, after MayReplaceProfile; false when nothing was put.
bool AddProfile(Desktop& desktop, QWidget* parent, ProfileBook& book, ProfileKind kind, const QString& name,
                const OptionValues& current);

// Renames; a name that is taken is refused in the window's words.
void RenameProfile(ProfileBook& book, ProfileKind kind, const QString& from, const QString& to);

// Merges the profiles of `other`, after one question naming those it would
// replace; false when nothing was merged.
bool ImportProfiles(Desktop& desktop, QWidget* parent, ProfileBook& book, const ProfileBook& other);

}  // namespace plivora
