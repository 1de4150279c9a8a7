#include "app/desktop.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include "app/app_title.h"
#include "colour/icc_profile.h"
#include "common/error.h"

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

QMessageBox::StandardButton QtDesktop::Ask(QWidget* parent, const QString& question, QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kAppTitle), question, buttons, parent);
  box.setObjectName(QStringLiteral("Question"));
  box.setEscapeButton(QMessageBox::Cancel);
  const int answer = box.exec();
  return buttons.testFlag(QMessageBox::StandardButton(answer)) ? QMessageBox::StandardButton(answer) : QMessageBox::Cancel;
}

void QtDesktop::OpenBrowser(const QUrl& url) { QDesktopServices::openUrl(url); }

void QtDesktop::Beep() { QApplication::beep(); }

QDateTime QtDesktop::Now() { return QDateTime::currentDateTime(); }

}  // namespace plivora
