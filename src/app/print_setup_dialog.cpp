// The print setup dialog, made from the option table: a control for every
// option the print setup shows, in the table's order, with the lens and
// printer profiles that fill them above.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <functional>

#include "app/desktop.h"
#include "app/dialog_parts.h"
#include "app/field_words.h"
#include "app/print_setup.h"
#include "app/wording.h"

namespace plivora {

namespace {

// One option's control, and how its value goes in and out of it.
struct SetupControl {
  const OptionEntry* option;
  std::function<QString()> value;          // "" for a file or a switch not given
  std::function<void(const QString&)> show;
};

// A length with the unit it is in beside it: the window's, unless the text
// carries its own ("3mm").
QLineEdit* LengthField(QDialog& dialog, QFormLayout* form, const char* name, const QString& label, const QString& text,
                       const QString& unit) {
  auto* row = new QWidget(&dialog);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* edit = new QLineEdit(text, row);
  edit->setObjectName(QString::fromLatin1(name));
  auto* unitLabel = new QLabel(unit, row);
  unitLabel->setObjectName(QString::fromLatin1(name) + QStringLiteral("Unit"));
  layout->addWidget(edit);
  layout->addWidget(unitLabel);
  form->addRow(label, row);
  return edit;
}

SetupControl ControlFor(QDialog& dialog, QFormLayout* form, const OptionEntry& o, const OptionValues& values, Desktop& desktop) {
  const QByteArray name = o.objectName.toLatin1();
  const QString label = Words(o.en, o.zh) + QChar(':');
  const auto given = values.find(o.name);
  const QString value = given != values.end() ? given->second : o.fallback;
  switch (o.kind) {
    case OptionKind::kChoice: {
      std::vector<std::pair<QString, QString>> items;
      for (const OptionChoice& c : o.choices) items.emplace_back(Words(c.en, c.zh), c.name);
      QComboBox* box = Choice(dialog, form, name.constData(), label, items, value);
      return {&o, [box] { return box->currentData().toString(); },
              [box](const QString& v) { box->setCurrentIndex(std::max(0, box->findData(v))); }};
    }
    case OptionKind::kSwitch: {
      auto* box = new QCheckBox(Words(o.en, o.zh), &dialog);
      box->setObjectName(o.objectName);
      box->setChecked(given != values.end());
      form->addRow(QString(), box);
      return {&o, [box] { return box->isChecked() ? QStringLiteral("true") : QString(); },
              [box](const QString& v) { box->setChecked(!v.isEmpty()); }};
    }
    case OptionKind::kWhole: {
      auto* spin = new QSpinBox(&dialog);
      spin->setObjectName(o.objectName);
      spin->setRange(o.low, o.high);
      spin->setValue(value.toInt());
      form->addRow(label, spin);
      return {&o, [spin] { return QString::number(spin->value()); }, [spin](const QString& v) { spin->setValue(v.toInt()); }};
    }
    case OptionKind::kFile: {
      QLineEdit* edit = ProfileRow(dialog, form, name.constData(), label, value, o.hint, desktop);
      return {&o, [edit] { return edit->text().trimmed(); }, [edit](const QString& v) { edit->setText(v); }};
    }
    case OptionKind::kLength: {
      QLineEdit* edit = LengthField(dialog, form, name.constData(), label, value, UnitWord(ValueOrDefault(values, QStringLiteral("unit")) == QLatin1String("inch")));
      edit->setPlaceholderText(o.hint);
      return {&o, [edit] { return edit->text().trimmed(); }, [edit](const QString& v) { edit->setText(v); }};
    }
    default: {
      QLineEdit* edit = Field(dialog, form, name.constData(), label, value);
      edit->setPlaceholderText(o.hint);
      return {&o, [edit] { return edit->text().trimmed(); }, [edit](const QString& v) { edit->setText(v); }};
    }
  }
}

// The values the controls hold: a switch given or not, a file or a number
// left empty taking its default; numbers with "." as the separator, but for
// the window's own fields (DPI, LPI), which take them as typed.
OptionValues ValuesOf(const std::vector<SetupControl>& controls) {
  const QChar separator = QLocale().decimalPoint().at(0);
  OptionValues values;
  for (const SetupControl& c : controls) {
    QString v = c.value();
    if (c.option->kind == OptionKind::kSwitch) {
      if (!v.isEmpty()) values[c.option->name] = QString();
      continue;
    }
    if (v.isEmpty()) {
      if (c.option->kind == OptionKind::kFile) continue;
      v = c.option->fallback;
    }
    const bool number = c.option->kind == OptionKind::kPart || c.option->kind == OptionKind::kLength ||
                        (c.option->kind == OptionKind::kNumber && c.option->windowField.isEmpty());
    if (number) v.replace(separator, QChar('.'));
    values[c.option->name] = v;
  }
  return values;
}

}  // namespace

bool QtDesktop::AskPrintSetup(QWidget* parent, OptionValues& values, const ProfileBook& profiles) {
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
  std::vector<SetupControl> controls;
  for (const OptionEntry& o : ExportOptions())
    if (o.InSetup()) controls.push_back(ControlFor(dialog, form, o, values, *this));

  // A profile fills the controls of the options it holds; what is typed
  // afterwards stays. A printer's switches are its own: off when it has none.
  const auto fill = [&](ProfileKind kind, const QString& name) {
    const Profile* p = profiles.Find(kind, name);
    if (!p) return;
    for (const SetupControl& c : controls) {
      const auto it = p->options.find(c.option->name);
      if (it != p->options.end()) c.show(c.option->kind == OptionKind::kSwitch ? QStringLiteral("true") : it->second);
      else if (c.option->kind == OptionKind::kSwitch && ProfileOptionNames(kind).contains(c.option->name)) c.show(QString());
    }
  };
  QObject::connect(lensProfile, &QComboBox::currentIndexChanged, &dialog,
                   [&] { fill(ProfileKind::kLens, lensProfile->currentData().toString()); });
  QObject::connect(printerProfile, &QComboBox::currentIndexChanged, &dialog,
                   [&] { fill(ProfileKind::kPrinter, printerProfile->currentData().toString()); });

  QDialogButtonBox* buttons = OkCancel(dialog);
  OptionValues chosen;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    chosen = ValuesOf(controls);
    // What the export would refuse is named now, in the window's unit, not
    // at the next export.
    OptionValues checked = chosen;
    if (values.count(QStringLiteral("unit"))) checked[QStringLiteral("unit")] = values.at(QStringLiteral("unit"));
    if (const QString problem = SetupProblem(checked, QLocale().decimalPoint().at(0)); !problem.isEmpty()) {
      Warn(dialog, problem);
      return;
    }
    dialog.accept();
  });
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  values = chosen;
  return true;
}

}  // namespace plivora
