#include "app/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "app/captions.h"
#include "app/error_guard.h"
#include "app/picture_box.h"
#include "app/settings_file.h"
#include "app/wording.h"
#include "common/error.h"

namespace plivora {

TForm1::TForm1(const WindowEnvironment& environment, QWidget* parent)
    : QWidget(parent), ExeDir(environment.exeDir), desktop_(*environment.desktop) {
  CreateControls();
  ConnectHandlers();
  Guard(&TForm1::FormCreate);
  Guard(&TForm1::LoadSetup);
  UpdateOutputSummary();
}

TForm1::~TForm1() {
  // The list empties as the children go; the summary must not follow it.
  ListBox1->model()->disconnect(this);
  delete Form2;
}

// Every handler but the timer's tick is an action after which "Written:
// ..." no longer stands.
void TForm1::Guard(void (TForm1::*handler)()) {
  if (handler != &TForm1::Timer1Timer) ShowWritten({});
  RunGuarded(desktop_, this, [this, handler] { (this->*handler)(); });
}

QChar TForm1::DecimalSeparator() const {
  const QString separator = QLocale().decimalPoint();
  return separator.size() == 1 ? separator.front() : QChar('.');
}

SavedFields TForm1::Saved() const {
  SavedFields fields;
  fields.dpi = ComboBox3;
  fields.lpi = ComboBox1;
  fields.width = Edit3;
  fields.compress = Edit2;
  fields.inks = {Edit5, Edit6, Edit7, Edit8};
  return fields;
}

// The create step: the logo link, the settings, the captions, in this order.
// A failure while loading the settings skips the caption step.
void TForm1::FormCreate() {
  Image2->show();
  SettingsDir = SettingsFolder(ExeDir);
  SettingsFile = SettingsDir + QChar('/') + QString::fromLatin1(kSettingsFileName);
  EnsureSettingsFolder(SettingsDir);
  SettingsReserved = 0;
  SettingsReserved = LoadSettings(SettingsFile, Saved(), DecimalSeparator());
  ShowFieldsFromStart();
  ChineseCaptions = true;
  BitBtn8Click();
}

// The close step: save the settings, then free the About window. A failed
// save is reported and the window closes all the same: the user asked to
// quit, and a folder that refuses the file would otherwise keep the program
// from ever closing.
void TForm1::FormClose() {
  SaveSettings(SettingsFile, Saved(), SettingsReserved);
  delete Form2;
  Form2 = nullptr;
}

// Unsaved changes to an open job are saved, discarded or kept open first.
void TForm1::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    bool mayClose = false;
    RunGuarded(desktop_, this, [&] { mayClose = MayReplaceUnsaved(); });
    if (!mayClose) return event->ignore();
    closed_ = true;
    Guard(&TForm1::FormClose);
    Guard(&TForm1::SaveSetup);
  }
  event->accept();
}

// The print setup's file lies beside the settings file. It is written at
// close once the window has chosen a setup; a file that could not be read
// stays as it is unless the operator sets up anew. A bleed it holds without
// a unit is in the unit the window starts in.
void TForm1::LoadSetup() {
  SetPrintSetup(MakePrintSetup({}));
  PrintSetupFile = SettingsFolder(ExeDir) + QChar('/') + QString::fromLatin1(kPrintSetupFileName);
  const PrintSetup loaded = LoadPrintSetup(PrintSetupFile);
  SetPrintSetup(MakePrintSetup(WithBleedUnit(loaded.values, UnitIsInch()), loaded.others));
  setupChosen_ = QFileInfo::exists(PrintSetupFile);
}

void TForm1::SaveSetup() {
  if (setupChosen_ && !PrintSetupFile.isEmpty()) SavePrintSetup(PrintSetupFile, setup_);
}

// The dialog shows the DPI and LPI fields too, which a printer or a lens
// profile fills, and the bleed beside the window's unit; the bleed it
// returns carries that unit, so that a later switch of the unit keeps its
// length.
void TForm1::PrintSetupClick() {
  const bool inch = UnitIsInch();
  OptionValues values = setup_.values;
  for (const auto& [name, value] : WindowValues())
    if (FindExportOption(name)->InSetup()) values[name] = value;
  if (values.count(QStringLiteral("bleed"))) values[QStringLiteral("bleed")] = BleedInUnit(values.at(QStringLiteral("bleed")), inch);
  values[QStringLiteral("unit")] = inch ? QStringLiteral("inch") : QStringLiteral("cm");
  ProfileBook profiles;
  try {
    profiles = ReadProfiles(ProfilesPath());
  } catch (const Error& e) {
    // the setup can still be made by hand
    desktop_.ShowError(this, CoreWords(QStringLiteral("无法读取光栅与打印机档案：%1"), e.message()));
  }
  if (!desktop_.AskPrintSetup(this, values, profiles)) return;
  values.erase(QStringLiteral("unit"));
  ShowFieldValues(values);
  SetPrintSetup(MakePrintSetup(WithBleedUnit(values, inch), setup_.others));
  setupChosen_ = true;
}

void TForm1::SetPrintSetup(const PrintSetup& setup) {
  setup_ = setup;
  setupProblem_.clear();
  setupSummary_ = PrintSetupSummary(setup_, &setupProblem_, &setupProfile_);
  UpdateOutputSummary();
}

namespace {

// The local files among dropped data, in the order they were dropped;
// anything else (web addresses, text) is not a view.
QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

// The physical key where the platform tells it (a release then matches its
// press whatever the modifiers did in between), else the key code.
uint64_t KeyIdentity(const QEvent* event) {
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->nativeScanCode() != 0 ? (uint64_t(1) << 32) | key->nativeScanCode() : uint64_t(uint32_t(key->key()));
}

}  // namespace

// Edit3KeyUp runs on the release of a key that was pressed in the width
// field. A release whose press went elsewhere is ignored: the Enter or Escape
// that closes the error dialog of a bad width is released in the field, and
// would open the dialog again.
namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: case QEvent::Wheel: case QEvent::KeyPress: case QEvent::KeyRelease:
    case QEvent::TouchBegin: case QEvent::TouchUpdate: case QEvent::TouchEnd:
    case QEvent::TabletPress: case QEvent::TabletRelease: case QEvent::TabletMove:
      return true;
    default:
      return false;
  }
}

}  // namespace

void TForm1::DiscardQueuedInput() {
  discardingInput_ = true;
  qApp->installEventFilter(this);
  QApplication::processEvents();
  qApp->removeEventFilter(this);
  discardingInput_ = false;
}

// The window's own words follow the captions.
void TForm1::SwitchLanguage() {
  ChineseCaptions = !ChineseCaptions;
  ApplyCaptionSet(this, CaptionSet(ChineseCaptions));
  SetChineseWording(ChineseCaptions);
  RetitleActions();
  RetitleLensView();
  RetitleAlignView();
  RetitleLayersView();
  SetPrintSetup(setup_);  // the summary's words
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (discardingInput_ && IsUserInput(event->type())) return true;
  if (watched == ListBox1 && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    if (BitBtn4->isEnabled()) BitBtn4->click();
    return true;
  }
  if (watched == ListBox1->viewport()) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDropEvent*>(event);
      if (!LocalFiles(drag->mimeData()).isEmpty()) drag->acceptProposedAction();
      return true;
    }
    if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      const QStringList paths = LocalFiles(drop->mimeData());
      if (paths.isEmpty()) return true;
      drop->acceptProposedAction();
      ShowWritten({});
      RunGuarded(desktop_, this, [&] { ImportFromOutside(paths); });
      return true;
    }
  }
  if (watched == Edit3) {
    switch (event->type()) {
      case QEvent::FocusIn:  // keys held down before the field had the focus
        edit3KeysDown_.clear();
        break;
      case QEvent::KeyPress:
        edit3KeysDown_.insert(KeyIdentity(event));
        break;
      case QEvent::KeyRelease:
        if (edit3KeysDown_.remove(KeyIdentity(event))) Guard(&TForm1::Edit3KeyUp);
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::BitBtn8Click() {
  ApplyCaptionSet(this, CaptionSet(ChineseCaptions));
  SetChineseWording(ChineseCaptions);
  RetitleActions();
}

void TForm1::Image2Click() { desktop_.OpenBrowser(QUrl(QString::fromLatin1(kMakerPage))); }

void TForm1::Timer1Timer() { Timer1->stop(); }

}  // namespace plivora
