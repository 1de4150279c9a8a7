// The small pieces the window's dialogs are built of: a labelled field, a
// choice, a profile's path with a Browse button, OK and Cancel, a warning.
#pragma once

#include <QString>
#include <utility>
#include <vector>

class QComboBox;
class QDialog;
class QDialogButtonBox;
class QFormLayout;
class QLineEdit;

namespace plivora {

class Desktop;

QLineEdit* Field(QDialog& dialog, QFormLayout* form, const char* name, const QString& label, const QString& text);
// OK and Cancel; Cancel rejects, OK is the caller's to connect.
QDialogButtonBox* OkCancel(QDialog& dialog);
// Where the Browse button of a profile at `path` opens: its folder; for a
// profile not given, the folder of the default (`placeholder`) when that is
// a file, else the system's ICC folder.
QString ProfileFolder(const QString& path, const QString& placeholder);
// A profile's path with a button that chooses one through `desktop`.
QLineEdit* ProfileRow(QDialog& dialog, QFormLayout* form, const char* name, const QString& label, const QString& path,
                      const QString& placeholder, Desktop& desktop);
// Items are (what the box shows, the value it stands for).
QComboBox* Choice(QDialog& dialog, QFormLayout* form, const char* name, const QString& label,
                  const std::vector<std::pair<QString, QString>>& items, const QString& current);
// A warning over the dialog, which stays open; false.
bool Warn(QDialog& dialog, const QString& text);

}  // namespace plivora
