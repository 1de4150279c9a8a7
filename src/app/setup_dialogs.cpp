// The toolkit's dialogs of the print setup, the pitch test, the lens and
// printer profiles and "Save lens…", in the window's caption language.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/desktop.h"
#include "app/wording.h"
#include "colour/icc_profile.h"
#include "common/error.h"
#include "common/file_names.h"
#include "jobs/export_options.h"

namespace plivora {

namespace {

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

// A name asked for in a small dialog; empty when cancelled.
QString AskName(QDialog& parent, const QString& title, const QString& name) {
  QDialog ask(&parent);
  ask.setWindowTitle(title);
  auto* form = new QFormLayout(&ask);
  QLineEdit* edit = Field(ask, form, "Name", Words(QStringLiteral("Name:"), QStringLiteral("名称:")), name);
  QDialogButtonBox* buttons = OkCancel(ask);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
  form->addRow(buttons);
  return ask.exec() == QDialog::Accepted ? edit->text().trimmed() : QString();
}

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
  auto* browse = new QPushButton(Words(QStringLiteral("Browse…"), QStringLiteral("浏览…")), row);
  browse->setObjectName(QStringLiteral("Browse") + QString::fromLatin1(name));
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, edit] {
    const QString chosen = QFileDialog::getOpenFileName(&dialog, QString(), edit->text(),
                                                        Words(QStringLiteral("ICC profiles (*.icc *.icm);;All files (*)"),
                                                              QStringLiteral("ICC 特性文件 (*.icc *.icm);;所有文件 (*)")));
    if (!chosen.isEmpty()) edit->setText(chosen);
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

// The output forms the print setup offers, by their compression name, and
// BigTIFF as a switch beside them.
std::vector<std::pair<QString, QString>> CompressionItems() {
  return {{Words(QStringLiteral("Uncompressed"), QStringLiteral("不压缩")), CompressionName(Compression::None)},
          {QStringLiteral("LZW"), CompressionName(Compression::Lzw)},
          {QStringLiteral("PackBits"), CompressionName(Compression::PackBits)},
          {QStringLiteral("Deflate"), CompressionName(Compression::Deflate)}};
}

bool Warn(QDialog& dialog, const QString& text) {
  QMessageBox::warning(&dialog, dialog.windowTitle(), text);
  return false;
}

}  // namespace

bool QtDesktop::AskPrintSetup(QWidget* parent, PrintSetup& setup, const ProfileBook& profiles) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PrintSetupDialog"));
  dialog.setWindowTitle(Words(QStringLiteral("Print setup"), QStringLiteral("打印设置")));
  auto* form = new QFormLayout(&dialog);
  const QString none = Words(QStringLiteral("(none)"), QStringLiteral("(无)"));
  std::vector<std::pair<QString, QString>> lensItems{{none, QString()}}, printerItems{{none, QString()}};
  for (const Profile& p : profiles.lenses) lensItems.push_back({p.name, p.name});
  for (const Profile& p : profiles.printers) printerItems.push_back({p.name, p.name});
  QComboBox* lensProfile = Choice(dialog, form, "LensProfile", Words(QStringLiteral("Lens:"), QStringLiteral("光栅:")), lensItems, {});
  QComboBox* printerProfile =
      Choice(dialog, form, "PrinterProfile", Words(QStringLiteral("Printer:"), QStringLiteral("打印机:")), printerItems, {});
  QLineEdit* dpi = Field(dialog, form, "Dpi", QStringLiteral("DPI:"), setup.dpi);
  QLineEdit* lpi = Field(dialog, form, "Lpi", QStringLiteral("LPI:"), setup.lpi);
  QComboBox* plate = Choice(dialog, form, "PlateColour", Words(QStringLiteral("Plate:"), QStringLiteral("印版:")),
                            {{Words(QStringLiteral("Grey, for the plate setter"), QStringLiteral("灰度版（制版机）")), PlateColourName(PlateColour::kGrey)},
                             {Words(QStringLiteral("CMYK, the inks kept"), QStringLiteral("四色（保留油墨）")), PlateColourName(PlateColour::kCmyk)},
                             {Words(QStringLiteral("RGB, for inkjet and UV printers"), QStringLiteral("RGB（喷墨、UV 打印）")), PlateColourName(PlateColour::kRgb)}},
                            PlateColourName(setup.colour.plate));
  QLineEdit* cmyk = ProfileRow(dialog, form, "CmykProfile", Words(QStringLiteral("CMYK profile:"), QStringLiteral("四色特性文件:")),
                               setup.colour.cmykProfile, QString::fromLatin1(kDefaultCmykProfile));
  QLineEdit* rgb = ProfileRow(dialog, form, "RgbProfile", Words(QStringLiteral("RGB profile:"), QStringLiteral("RGB 特性文件:")),
                              setup.colour.rgbProfile, QStringLiteral("sRGB"));
  QComboBox* intent = Choice(dialog, form, "Intent", Words(QStringLiteral("Intent:"), QStringLiteral("再现意图:")),
                             {{Words(QStringLiteral("perceptual"), QStringLiteral("可感知")), IntentName(Intent::kPerceptual)},
                              {Words(QStringLiteral("relative colorimetric"), QStringLiteral("相对比色")), IntentName(Intent::kRelative)},
                              {Words(QStringLiteral("saturation"), QStringLiteral("饱和度")), IntentName(Intent::kSaturation)},
                              {Words(QStringLiteral("absolute colorimetric"), QStringLiteral("绝对比色")), IntentName(Intent::kAbsolute)}},
                             IntentName(setup.colour.intent));
  QComboBox* compression = Choice(dialog, form, "Compression", Words(QStringLiteral("Output form:"), QStringLiteral("输出格式:")),
                                  CompressionItems(), CompressionName(setup.form.compression));
  auto* bigTiff = new QCheckBox(Words(QStringLiteral("BigTIFF (past 4 GiB)"), QStringLiteral("BigTIFF（超过 4 GiB）")), &dialog);
  bigTiff->setObjectName(QStringLiteral("BigTiff"));
  bigTiff->setChecked(setup.form.bigTiff);
  form->addRow(QString(), bigTiff);
  QComboBox* lenses = Choice(dialog, form, "Lenses", Words(QStringLiteral("Lenses:"), QStringLiteral("光栅方向:")),
                             {{Words(QStringLiteral("Vertical"), QStringLiteral("竖向")), LensesName(Lenses::kVertical)},
                              {Words(QStringLiteral("Horizontal: flip, zoom, morph, motion"), QStringLiteral("横向：变画、缩放、动画")),
                               LensesName(Lenses::kHorizontal)}},
                             LensesName(setup.lens.lenses));
  QComboBox* order = Choice(dialog, form, "FrameOrder", Words(QStringLiteral("Frame order:"), QStringLiteral("帧顺序:")),
                            {{Words(QStringLiteral("Forward"), QStringLiteral("正序")), FrameOrderName(FrameOrder::kForward)},
                             {Words(QStringLiteral("Reverse"), QStringLiteral("倒序")), FrameOrderName(FrameOrder::kReverse)},
                             {Words(QStringLiteral("Ping-pong: 1 … N … 2"), QStringLiteral("往返：1 … N … 2")), FrameOrderName(FrameOrder::kPingPong)}},
                            FrameOrderName(setup.lens.frames.order));
  auto* hold = new QSpinBox(&dialog);
  hold->setObjectName(QStringLiteral("HoldEnds"));
  hold->setRange(1, 255);
  hold->setValue(setup.lens.frames.holdEnds);
  form->addRow(Words(QStringLiteral("First and last frame shown:"), QStringLiteral("首尾帧次数:")), hold);
  QLineEdit* phase = Field(dialog, form, "Phase", Words(QStringLiteral("Phase, part of a lens:"), QStringLiteral("相位（光栅的几分之几）:")),
                           setup.phaseText);
  phase->setPlaceholderText(QStringLiteral("0, 3/8, 0.375"));
  auto* mirror = new QCheckBox(Words(QStringLiteral("Mirrored, for the back of a clear lens"), QStringLiteral("镜像，印在光栅背面")), &dialog);
  mirror->setObjectName(QStringLiteral("Mirror"));
  mirror->setChecked(setup.lens.mirror);
  form->addRow(QString(), mirror);
  QLineEdit* bleed = Field(dialog, form, "Bleed", Words(QStringLiteral("Bleed on every side:"), QStringLiteral("四边出血:")), setup.bleed);
  bleed->setPlaceholderText(QStringLiteral("0, 0.125, 3mm"));
  auto* marks = new QCheckBox(Words(QStringLiteral("Crop and registration marks, lens alignment bar"),
                                    QStringLiteral("裁切线、套准线与光栅对位条")),
                              &dialog);
  marks->setObjectName(QStringLiteral("Marks"));
  marks->setChecked(setup.marks);
  form->addRow(QString(), marks);

  // A profile fills the fields it holds; what is typed afterwards stays.
  const auto fill = [&](ProfileKind kind, const QString& name) {
    const Profile* p = profiles.Find(kind, name);
    if (!p) return;
    const auto set = [&](const char* key, const std::function<void(const QString&)>& to) {
      const auto it = p->options.find(QLatin1String(key));
      if (it != p->options.end()) to(it->second);
    };
    const auto pick = [](QComboBox* box, const QString& data) { box->setCurrentIndex(std::max(0, box->findData(data))); };
    set("lpi", [&](const QString& v) { lpi->setText(v); });
    set("phase", [&](const QString& v) { phase->setText(v); });
    set("lenses", [&](const QString& v) { pick(lenses, v); });
    set("dpi", [&](const QString& v) { dpi->setText(v); });
    set("colour", [&](const QString& v) { pick(plate, v); });
    set("cmyk-profile", [&](const QString& v) { cmyk->setText(v); });
    set("compression", [&](const QString& v) { pick(compression, v); });
    set("bleed", [&](const QString& v) { bleed->setText(v); });
    if (kind == ProfileKind::kPrinter) {
      bigTiff->setChecked(p->options.count(QStringLiteral("bigtiff")) > 0);
      marks->setChecked(p->options.count(QStringLiteral("marks")) > 0);
    }
  };
  QObject::connect(lensProfile, &QComboBox::currentIndexChanged, &dialog,
                   [&] { fill(ProfileKind::kLens, lensProfile->currentData().toString()); });
  QObject::connect(printerProfile, &QComboBox::currentIndexChanged, &dialog,
                   [&] { fill(ProfileKind::kPrinter, printerProfile->currentData().toString()); });

  QDialogButtonBox* buttons = OkCancel(dialog);
  PrintSetup chosen = setup;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    chosen.dpi = dpi->text().trimmed();
    chosen.lpi = lpi->text().trimmed();
    chosen.colour.plate = *PlateColourFromName(plate->currentData().toString());
    chosen.colour.cmykProfile = cmyk->text().trimmed();
    chosen.colour.rgbProfile = rgb->text().trimmed();
    chosen.colour.intent = *IntentFromName(intent->currentData().toString());
    chosen.form = {*CompressionFromName(compression->currentData().toString()), bigTiff->isChecked()};
    chosen.lens.lenses = lenses->currentData().toString() == LensesName(Lenses::kHorizontal) ? Lenses::kHorizontal : Lenses::kVertical;
    chosen.lens.frames.order = *FrameOrderFromName(order->currentData().toString());
    chosen.lens.frames.holdEnds = hold->value();
    chosen.lens.mirror = mirror->isChecked();
    chosen.phaseText = phase->text().trimmed().isEmpty() ? QStringLiteral("0") : phase->text().trimmed();
    chosen.bleed = bleed->text().trimmed().isEmpty() ? QStringLiteral("0") : bleed->text().trimmed();
    chosen.marks = marks->isChecked();
    // A profile or phase that can't be used is named now, not at the next
    // export.
    try {
      const QChar separator = QLocale().decimalPoint().at(0);
      chosen.lens.phase = ParsePhase(chosen.phaseText, Words(QStringLiteral("The phase"), QStringLiteral("相位")), separator);
      chosen.phaseText.replace(separator, QChar('.'));  // kept in the form every locale reads
      CheckBleed(chosen.bleed, separator);
      chosen.bleed.replace(separator, QChar('.'));
      if (!chosen.colour.cmykProfile.isEmpty())
        IccProfile::FromFile(chosen.colour.cmykProfile, ColourModel::kCmyk, QStringLiteral("the CMYK profile"));
      if (!chosen.colour.rgbProfile.isEmpty())
        IccProfile::FromFile(chosen.colour.rgbProfile, ColourModel::kRgb, QStringLiteral("the RGB profile"));
    } catch (const Error& e) {
      Warn(dialog, e.message());
      return;
    }
    dialog.accept();
  });
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  setup = chosen;
  return true;
}

bool QtDesktop::AskPitchTest(QWidget* parent, PitchTestChoices& choices, const PitchTestCheck& check) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PitchTestDialog"));
  dialog.setWindowTitle(Words(QStringLiteral("Pitch test"), QStringLiteral("光栅节距测试")));
  auto* form = new QFormLayout(&dialog);
  QLineEdit* dpi = Field(dialog, form, "Dpi", QStringLiteral("DPI:"), choices.dpi);
  QLineEdit* lpi = Field(dialog, form, "Lpi", Words(QStringLiteral("Nominal LPI:"), QStringLiteral("标称线数:")), choices.lpi);
  QLineEdit* width = Field(dialog, form, "Width", Words(QStringLiteral("Sheet width (%1):"), QStringLiteral("测试页宽度 (%1):")).arg(choices.unit),
                           choices.width);
  QLineEdit* range = Field(dialog, form, "Range", Words(QStringLiteral("LPI range (\u00b1):"), QStringLiteral("线数范围 (\u00b1):")), choices.range);
  QLineEdit* step = Field(dialog, form, "Step", Words(QStringLiteral("LPI step:"), QStringLiteral("线数步长:")), choices.step);
  QLineEdit* strip = Field(dialog, form, "Strip", Words(QStringLiteral("Strip height (%1):"), QStringLiteral("条高 (%1):")).arg(choices.unit),
                           choices.strip);
  auto* phase = new QCheckBox(Words(QStringLiteral("Phase sheet (8 strips at the LPI)"), QStringLiteral("相位测试页（同一线数 8 条）")), &dialog);
  phase->setObjectName(QStringLiteral("Phase"));
  phase->setChecked(choices.phase);
  form->addRow(phase);
  QDialogButtonBox* buttons = OkCancel(dialog);
  PitchTestChoices chosen = choices;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    chosen.dpi = dpi->text();
    chosen.lpi = lpi->text();
    chosen.width = width->text();
    chosen.range = range->text();
    chosen.step = step->text();
    chosen.strip = strip->text();
    chosen.phase = phase->isChecked();
    if (const QString problem = check ? check(chosen) : QString(); !problem.isEmpty()) {
      Warn(dialog, problem);
      return;
    }
    dialog.accept();
  });
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  choices = chosen;
  return true;
}

bool QtDesktop::ManageProfiles(QWidget* parent, ProfileBook& book, const OptionValues& current) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("ProfilesDialog"));
  dialog.setWindowTitle(Words(QStringLiteral("Lens and printer profiles"), QStringLiteral("光栅与打印机档案")));
  auto* layout = new QVBoxLayout(&dialog);
  ProfileBook edited = book;
  bool changed = false;
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("Profiles"));
  list->setMinimumWidth(520);
  layout->addWidget(list);
  const auto kindWord = [](ProfileKind kind) {
    return kind == ProfileKind::kLens ? Words(QStringLiteral("Lens"), QStringLiteral("光栅")) : Words(QStringLiteral("Printer"), QStringLiteral("打印机"));
  };
  const auto refresh = [&] {
    list->clear();
    for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter})
      for (const Profile& p : edited.Of(kind)) {
        auto* item = new QListWidgetItem(QStringLiteral("%1  %2  —  %3").arg(kindWord(kind), p.name, ProfileSummary(p)), list);
        item->setData(Qt::UserRole, int(kind));
        item->setData(Qt::UserRole + 1, p.name);
      }
  };
  refresh();
  const auto selected = [&](ProfileKind* kind, QString* name) {
    const QListWidgetItem* item = list->currentItem();
    if (!item) return false;
    *kind = ProfileKind(item->data(Qt::UserRole).toInt());
    *name = item->data(Qt::UserRole + 1).toString();
    return true;
  };
  auto* buttons = new QHBoxLayout;
  const auto button = [&](const char* name, const QString& text, const std::function<void()>& action) {
    auto* b = new QPushButton(text, &dialog);
    b->setObjectName(QString::fromLatin1(name));
    QObject::connect(b, &QPushButton::clicked, &dialog, [&dialog, action] {
      try {
        action();
      } catch (const Error& e) {
        Warn(dialog, e.message());
      }
    });
    buttons->addWidget(b);
  };
  // The print setup's options, as a lens or as a printer.
  const auto add = [&](ProfileKind kind) {
    const QString name = AskName(dialog, kindWord(kind), QString());
    if (name.isEmpty()) return;
    Profile p{name, {}, {}};
    for (const QString& key : ProfileOptionNames(kind))
      if (current.count(key)) p.options[key] = current.at(key);
    edited.Put(kind, p);
    changed = true;
    refresh();
  };
  button("AddLens", Words(QStringLiteral("Add lens"), QStringLiteral("添加光栅")), [&] { add(ProfileKind::kLens); });
  button("AddPrinter", Words(QStringLiteral("Add printer"), QStringLiteral("添加打印机")), [&] { add(ProfileKind::kPrinter); });
  button("Rename", Words(QStringLiteral("Rename"), QStringLiteral("重命名")), [&] {
    ProfileKind kind;
    QString name;
    if (!selected(&kind, &name)) return;
    const QString to = AskName(dialog, kindWord(kind), name);
    if (to.isEmpty()) return;
    edited.Rename(kind, name, to);
    changed = true;
    refresh();
  });
  button("Delete", Words(QStringLiteral("Delete"), QStringLiteral("删除")), [&] {
    ProfileKind kind;
    QString name;
    if (!selected(&kind, &name)) return;
    edited.Remove(kind, name);
    changed = true;
    refresh();
  });
  button("Export", Words(QStringLiteral("Export…"), QStringLiteral("导出…")), [&] {
    const QString path = QFileDialog::getSaveFileName(&dialog, QString(), QStringLiteral("profiles.json"),
                                                      QStringLiteral("JSON (*.json)"));
    if (!path.isEmpty()) WriteProfiles(AbsoluteFileName(path), edited);
  });
  button("Import", Words(QStringLiteral("Import…"), QStringLiteral("导入…")), [&] {
    const QString path = QFileDialog::getOpenFileName(&dialog, QString(), QString(), QStringLiteral("JSON (*.json)"));
    if (path.isEmpty()) return;
    edited.Merge(ReadProfiles(AbsoluteFileName(path)));
    changed = true;
    refresh();
  });
  layout->addLayout(buttons);
  QDialogButtonBox* close = OkCancel(dialog);
  QObject::connect(close, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(close);
  if (dialog.exec() != QDialog::Accepted || !changed) return false;
  book = edited;
  return true;
}

bool QtDesktop::AskSaveLens(QWidget* parent, SaveLensChoices& choices) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("SaveLensDialog"));
  dialog.setWindowTitle(Words(QStringLiteral("Save lens"), QStringLiteral("保存光栅")));
  auto* form = new QFormLayout(&dialog);
  if (choices.strips > 0)
    form->addRow(new QLabel(choices.phaseSheet ? Words(QStringLiteral("The last sheet was a phase sheet of %1 strips."),
                                                       QStringLiteral("上一张是 %1 条的相位测试页。")).arg(choices.strips)
                                               : Words(QStringLiteral("The last sheet had %1 strips."),
                                                       QStringLiteral("上一张测试页有 %1 条。")).arg(choices.strips),
                            &dialog));
  QLineEdit* name = Field(dialog, form, "Name", Words(QStringLiteral("Name:"), QStringLiteral("名称:")), choices.name);
  QLineEdit* strip = Field(dialog, form, "Strip",
                           Words(QStringLiteral("Winning strip, or an LPI:"), QStringLiteral("最佳条号，或线数:")), choices.strip);
  QDialogButtonBox* buttons = OkCancel(dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  choices.name = name->text().trimmed();
  choices.strip = strip->text().trimmed();
  return true;
}

}  // namespace plivora
