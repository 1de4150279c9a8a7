#include "app/desktop.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>

#include "app/app_title.h"

namespace plivora {

namespace {

void Prepare(QFileDialog& dialog, const FileDialogOptions& options) {
  if (!options.title.isEmpty()) dialog.setWindowTitle(options.title);
  dialog.setNameFilter(options.filter);
  dialog.setDefaultSuffix(options.defaultSuffix);
  if (!options.folder.isEmpty()) dialog.setDirectory(options.folder);
  if (!options.fileName.isEmpty()) dialog.selectFile(options.fileName);
  dialog.setSizeGripEnabled(true);
}

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok, parent);
  box.setObjectName(icon == QMessageBox::Critical ? QStringLiteral("ErrorDialog") : QStringLiteral("MessageBox"));
  box.exec();
}

}  // namespace

QStringList QtDesktop::OpenFileNames(QWidget* parent, const FileDialogOptions& options) {
  QFileDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  Prepare(dialog, options);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

QString QtDesktop::SaveFileName(QWidget* parent, const FileDialogOptions& options, QString* selectedFilter) {
  QFileDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  Prepare(dialog, options);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  if (selectedFilter) *selectedFilter = dialog.selectedNameFilter();
  return dialog.selectedFiles().first();
}

void QtDesktop::ShowMessage(QWidget* parent, const QString& text) { ShowBox(parent, QMessageBox::NoIcon, text); }

void QtDesktop::ShowError(QWidget* parent, const QString& text) { ShowBox(parent, QMessageBox::Critical, text); }

void QtDesktop::OpenBrowser(const QUrl& url) { QDesktopServices::openUrl(url); }

void QtDesktop::Beep() { QApplication::beep(); }

QDateTime QtDesktop::Now() { return QDateTime::currentDateTime(); }

bool QtDesktop::AskPitchTest(QWidget* parent, PitchTestChoices& choices) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PitchTestDialog"));
  dialog.setWindowTitle(QStringLiteral("Pitch test"));
  auto* form = new QFormLayout(&dialog);
  const auto field = [&](const char* name, const QString& label, const QString& text) {
    auto* edit = new QLineEdit(text, &dialog);
    edit->setObjectName(QString::fromLatin1(name));
    form->addRow(label, edit);
    return edit;
  };
  QLineEdit* range = field("Range", QStringLiteral("LPI range (\u00b1):"), choices.range);
  QLineEdit* step = field("Step", QStringLiteral("LPI step:"), choices.step);
  QLineEdit* strip = field("Strip", QStringLiteral("Strip height (%1):").arg(choices.unit), choices.strip);
  auto* phase = new QCheckBox(QStringLiteral("Phase sheet (8 strips at the LPI)"), &dialog);
  phase->setObjectName(QStringLiteral("Phase"));
  phase->setChecked(choices.phase);
  form->addRow(phase);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  choices.range = range->text();
  choices.step = step->text();
  choices.strip = strip->text();
  choices.phase = phase->isChecked();
  return true;
}

}  // namespace plivora
