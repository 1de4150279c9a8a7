#include "app/dialog_parts.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "app/desktop.h"
#include "app/wording.h"

namespace plivora {

QLineEdit* Field(QDialog& dialog, QFormLayout* form, const char* name, const QString& label, const QString& text) {
  auto* edit = new QLineEdit(text, &dialog);
  edit->setObjectName(QString::fromLatin1(name));
  form->addRow(label, edit);
  return edit;
}

// OK and Cancel; Cancel rejects, OK is the caller's to connect.
QDialogButtonBox* OkCancel(QDialog& dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return buttons;
}

QString ProfileFolder(const QString& path, const QString& placeholder) {
  if (!path.trimmed().isEmpty()) return QFileInfo(path.trimmed()).absolutePath();
  if (QFileInfo(placeholder).isAbsolute()) return QFileInfo(placeholder).absolutePath();
  const QString icc = QStringLiteral("/usr/share/color/icc");
  return QFileInfo(icc).isDir() ? icc : QString();
}

// A profile's path with a button that chooses one, in the profile's folder.
QLineEdit* ProfileRow(QDialog& dialog, QFormLayout* form, const char* name, const QString& label, const QString& path,
                      const QString& placeholder, Desktop& desktop) {
  auto* row = new QWidget(&dialog);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* edit = new QLineEdit(path, row);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setPlaceholderText(placeholder);
  edit->setMinimumWidth(320);
  auto* browse = new QPushButton(Words(QStringLiteral("Browse…"), QStringLiteral("浏览…")), row);
  browse->setObjectName(QStringLiteral("Browse") + QString::fromLatin1(name));
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, &desktop, edit, label, placeholder] {
    FileDialogOptions options;
    options.title = label;
    options.filter = Words(QStringLiteral("ICC profiles (*.icc *.icm);;All files (*)"), QStringLiteral("ICC 特性文件 (*.icc *.icm);;所有文件 (*)"));
    options.folder = ProfileFolder(edit->text(), placeholder);
    if (!edit->text().trimmed().isEmpty()) options.fileName = QFileInfo(edit->text().trimmed()).fileName();
    const QStringList chosen = desktop.OpenFileNames(&dialog, options);
    if (!chosen.isEmpty()) edit->setText(chosen.first());
  });
  layout->addWidget(edit);
  layout->addWidget(browse);
  form->addRow(label, row);
  return edit;
}

QComboBox* Choice(QDialog& dialog, QFormLayout* form, const char* name, const QString& label,
                  const std::vector<std::pair<QString, QString>>& items, const QString& current) {
  auto* box = new QComboBox(&dialog);
  box->setObjectName(QString::fromLatin1(name));
  for (const auto& [text, data] : items) box->addItem(text, data);
  box->setCurrentIndex(std::max(0, box->findData(current)));
  form->addRow(label, box);
  return box;
}

bool Warn(QDialog& dialog, const QString& text) {
  QMessageBox::warning(&dialog, dialog.windowTitle(), text);
  return false;
}

}  // namespace plivora
