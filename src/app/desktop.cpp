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

namespace {

// A profile's path with a button that chooses one.
QLineEdit* ProfileRow(QDialog& dialog, QFormLayout* form, const char* name, const QString& label, const QString& path,
                      const QString& placeholder) {
  auto* row = new QWidget(&dialog);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* edit = new QLineEdit(path, row);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setPlaceholderText(placeholder);
  edit->setMinimumWidth(320);
  auto* browse = new QPushButton(QStringLiteral("Browse… (浏览)"), row);
  browse->setObjectName(QStringLiteral("Browse") + QString::fromLatin1(name));
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, edit] {
    const QString chosen = QFileDialog::getOpenFileName(&dialog, QString(), edit->text(),
                                                        QStringLiteral("ICC profiles (*.icc *.icm);;All files (*)"));
    if (!chosen.isEmpty()) edit->setText(chosen);
  });
  layout->addWidget(edit);
  layout->addWidget(browse);
  form->addRow(label, row);
  return edit;
}

}  // namespace

bool QtDesktop::AskPrintSetup(QWidget* parent, PrintSetup& setup) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PrintSetupDialog"));
  dialog.setWindowTitle(QStringLiteral("Print setup (打印设置)"));
  auto* form = new QFormLayout(&dialog);
  auto* plate = new QComboBox(&dialog);
  plate->setObjectName(QStringLiteral("PlateColour"));
  plate->addItem(QStringLiteral("Grey, for the plate setter (灰度版)"), PlateColourName(PlateColour::kGrey));
  plate->addItem(QStringLiteral("CMYK, the inks kept (四色)"), PlateColourName(PlateColour::kCmyk));
  plate->addItem(QStringLiteral("RGB, for inkjet and UV printers (RGB)"), PlateColourName(PlateColour::kRgb));
  plate->setCurrentIndex(plate->findData(PlateColourName(setup.colour.plate)));
  form->addRow(QStringLiteral("Plate (印版):"), plate);
  QLineEdit* cmyk = ProfileRow(dialog, form, "CmykProfile", QStringLiteral("CMYK profile (四色特性文件):"),
                               setup.colour.cmykProfile, QString::fromLatin1(kDefaultCmykProfile));
  QLineEdit* rgb = ProfileRow(dialog, form, "RgbProfile", QStringLiteral("RGB profile (RGB特性文件):"),
                              setup.colour.rgbProfile, QStringLiteral("sRGB"));
  auto* intent = new QComboBox(&dialog);
  intent->setObjectName(QStringLiteral("Intent"));
  const std::pair<Intent, QString> intents[] = {
      {Intent::kPerceptual, QStringLiteral("perceptual (可感知)")},
      {Intent::kRelative, QStringLiteral("relative colorimetric (相对比色)")},
      {Intent::kSaturation, QStringLiteral("saturation (饱和度)")},
      {Intent::kAbsolute, QStringLiteral("absolute colorimetric (绝对比色)")}};
  for (const auto& [i, text] : intents) intent->addItem(text, IntentName(i));
  intent->setCurrentIndex(intent->findData(IntentName(setup.colour.intent)));
  form->addRow(QStringLiteral("Intent (再现意图):"), intent);

  // How the plate meets its lens.
  auto* lenses = new QComboBox(&dialog);
  lenses->setObjectName(QStringLiteral("Lenses"));
  lenses->addItem(QStringLiteral("Vertical (竖向光栅)"), int(Lenses::kVertical));
  lenses->addItem(QStringLiteral("Horizontal: flip, zoom, morph, motion (横向光栅：变画、缩放、动画)"), int(Lenses::kHorizontal));
  lenses->setCurrentIndex(lenses->findData(int(setup.lens.lenses)));
  form->addRow(QStringLiteral("Lenses (光栅方向):"), lenses);
  auto* order = new QComboBox(&dialog);
  order->setObjectName(QStringLiteral("FrameOrder"));
  order->addItem(QStringLiteral("Forward (正序)"), FrameOrderName(FrameOrder::kForward));
  order->addItem(QStringLiteral("Reverse (倒序)"), FrameOrderName(FrameOrder::kReverse));
  order->addItem(QStringLiteral("Ping-pong: 1 … N … 2 (往返)"), FrameOrderName(FrameOrder::kPingPong));
  order->setCurrentIndex(order->findData(FrameOrderName(setup.lens.frames.order)));
  form->addRow(QStringLiteral("Frame order (帧顺序):"), order);
  auto* hold = new QSpinBox(&dialog);
  hold->setObjectName(QStringLiteral("HoldEnds"));
  hold->setRange(1, 255);
  hold->setValue(setup.lens.frames.holdEnds);
  form->addRow(QStringLiteral("First and last frame shown (首尾帧次数):"), hold);
  auto* phase = new QLineEdit(setup.phaseText, &dialog);
  phase->setObjectName(QStringLiteral("Phase"));
  phase->setPlaceholderText(QStringLiteral("0, 3/8, 0.375"));
  form->addRow(QStringLiteral("Phase, part of a lens (相位):"), phase);
  auto* mirror = new QCheckBox(QStringLiteral("Mirrored, for the back of a clear lens (镜像，印在光栅背面)"), &dialog);
  mirror->setObjectName(QStringLiteral("Mirror"));
  mirror->setChecked(setup.lens.mirror);
  form->addRow(QString(), mirror);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  PrintSetup chosen = setup;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    chosen.colour.plate = *PlateColourFromName(plate->currentData().toString());
    chosen.colour.cmykProfile = cmyk->text().trimmed();
    chosen.colour.rgbProfile = rgb->text().trimmed();
    chosen.colour.intent = *IntentFromName(intent->currentData().toString());
    chosen.lens.lenses = Lenses(lenses->currentData().toInt());
    chosen.lens.frames.order = *FrameOrderFromName(order->currentData().toString());
    chosen.lens.frames.holdEnds = hold->value();
    chosen.lens.mirror = mirror->isChecked();
    chosen.phaseText = phase->text().trimmed().isEmpty() ? QStringLiteral("0") : phase->text().trimmed();
    // A profile or phase that can't be used is named now, not at the next
    // export.
    try {
      const QChar separator = QLocale().decimalPoint().at(0);
      chosen.lens.phase = ParsePhase(chosen.phaseText, QStringLiteral("The phase"), separator);
      chosen.phaseText.replace(separator, QChar('.'));  // kept in the form every locale reads
      if (!chosen.colour.cmykProfile.isEmpty())
        IccProfile::FromFile(chosen.colour.cmykProfile, ColourModel::kCmyk, QStringLiteral("the CMYK profile"));
      if (!chosen.colour.rgbProfile.isEmpty())
        IccProfile::FromFile(chosen.colour.rgbProfile, ColourModel::kRgb, QStringLiteral("the RGB profile"));
    } catch (const Error& e) {
      QMessageBox::warning(&dialog, dialog.windowTitle(), e.message());
      return;
    }
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  setup = chosen;
  return true;
}

}  // namespace plivora
