// The toolkit's dialogs of the pitch test, the lens and printer profiles and
// "Save lens…", in the window's caption language.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
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
#include "app/dialog_parts.h"
#include "app/profile_edits.h"
#include "app/wording.h"
#include "colour/icc_profile.h"
#include "common/error.h"
#include "common/file_names.h"

namespace plivora {

namespace {

// A name asked for in a small dialog; empty when cancelled.
QString AskName(QDialog& parent, const QString& title, const QString& name) {
  QDialog ask(&parent);
  ask.setObjectName(QStringLiteral("NameDialog"));
  ask.setWindowTitle(title);
  auto* form = new QFormLayout(&ask);
  QLineEdit* edit = Field(ask, form, "Name", Words(QStringLiteral("Name:"), QStringLiteral("名称:")), name);
  QDialogButtonBox* buttons = OkCancel(ask);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
  form->addRow(buttons);
  return ask.exec() == QDialog::Accepted ? edit->text().trimmed() : QString();
}

}  // namespace

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
  const auto kindTitle = [](ProfileKind kind) {
    return kind == ProfileKind::kLens ? Words(QStringLiteral("Lens"), QStringLiteral("光栅")) : Words(QStringLiteral("Printer"), QStringLiteral("打印机"));
  };
  const auto refresh = [&] {
    list->clear();
    for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter})
      for (const Profile& p : edited.Of(kind)) {
        auto* item = new QListWidgetItem(QStringLiteral("%1  %2  —  %3").arg(kindTitle(kind), p.name, ProfileWords(p)), list);
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
  const QString json = QStringLiteral("JSON (*.json)");
  // The print setup's options, as a lens or as a printer.
  const auto add = [&](ProfileKind kind) {
    const QString name = AskName(dialog, kindTitle(kind), QString());
    if (name.isEmpty() || !AddProfile(*this, &dialog, edited, kind, name, current)) return;
    changed = true;
    refresh();
  };
  button("AddLens", Words(QStringLiteral("Add lens"), QStringLiteral("添加光栅")), [&] { add(ProfileKind::kLens); });
  button("AddPrinter", Words(QStringLiteral("Add printer"), QStringLiteral("添加打印机")), [&] { add(ProfileKind::kPrinter); });
  button("Rename", Words(QStringLiteral("Rename"), QStringLiteral("重命名")), [&] {
    ProfileKind kind;
    QString name;
    if (!selected(&kind, &name)) return;
    const QString to = AskName(dialog, kindTitle(kind), name);
    if (to.isEmpty()) return;
    RenameProfile(edited, kind, name, to);
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
    FileDialogOptions options;
    options.title = Words(QStringLiteral("Export the profiles"), QStringLiteral("导出档案"));
    options.filter = json;
    options.defaultSuffix = QStringLiteral("json");
    options.fileName = QStringLiteral("profiles.json");
    const QString path = SaveFileName(&dialog, options, nullptr);
    if (path.isEmpty()) return;
    try {
      WriteProfiles(AbsoluteFileName(path), edited);
    } catch (const Error& e) {
      Fail(CoreWords(QStringLiteral("档案未能导出：%1"), e.message()));
    }
  });
  button("Import", Words(QStringLiteral("Import…"), QStringLiteral("导入…")), [&] {
    FileDialogOptions options;
    options.title = Words(QStringLiteral("Import profiles"), QStringLiteral("导入档案"));
    options.filter = json;
    const QStringList paths = OpenFileNames(&dialog, options);
    if (paths.isEmpty()) return;
    ProfileBook other;
    try {
      other = ReadProfiles(AbsoluteFileName(paths.first()));
    } catch (const Error& e) {
      Fail(CoreWords(QStringLiteral("档案未能导入：%1"), e.message()));
    }
    if (!ImportProfiles(*this, &dialog, edited, other)) return;
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

// The winning strip is a field only when a sheet was printed; the LPI is
// the other way to give the lens its pitch. The check runs on OK.
bool QtDesktop::AskSaveLens(QWidget* parent, SaveLensChoices& choices, const SaveLensCheck& check) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("SaveLensDialog"));
  dialog.setWindowTitle(Words(QStringLiteral("Save lens"), QStringLiteral("保存光栅")));
  auto* form = new QFormLayout(&dialog);
  form->addRow(new QLabel(choices.strips == 0 ? Words(QStringLiteral("No pitch test sheet was printed since the window opened: type the LPI."),
                                                      QStringLiteral("窗口打开后未打印测试页：请输入线数。"))
                          : choices.phaseSheet ? Words(QStringLiteral("The last sheet was a phase sheet of %1 strips."),
                                                       QStringLiteral("上一张是 %1 条的相位测试页。")).arg(choices.strips)
                                               : Words(QStringLiteral("The last sheet had %1 strips."),
                                                       QStringLiteral("上一张测试页有 %1 条。")).arg(choices.strips),
                          &dialog));
  QLineEdit* name = Field(dialog, form, "Name", Words(QStringLiteral("Name:"), QStringLiteral("名称:")), choices.name);
  const QString stripLabel = choices.strips > 0 ? Words(QStringLiteral("Winning strip (1 to %1):"), QStringLiteral("最佳条号（1 到 %1）:")).arg(choices.strips)
                                                : Words(QStringLiteral("Winning strip:"), QStringLiteral("最佳条号:"));
  QLineEdit* strip = Field(dialog, form, "Strip", stripLabel, choices.strip);
  strip->setEnabled(choices.strips > 0);
  QLineEdit* lpi = Field(dialog, form, "Lpi", Words(QStringLiteral("Or the LPI:"), QStringLiteral("或线数:")), choices.lpi);
  QDialogButtonBox* buttons = OkCancel(dialog);
  SaveLensChoices chosen = choices;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    chosen.name = name->text().trimmed();
    chosen.strip = strip->text().trimmed();
    chosen.lpi = lpi->text().trimmed();
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

}  // namespace plivora
