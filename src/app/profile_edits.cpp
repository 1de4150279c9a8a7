#include "app/profile_edits.h"

#include <QStringList>

#include "app/desktop.h"
#include "app/field_words.h"
#include "app/wording.h"
#include "common/error.h"

namespace plivora {

namespace {

// A name no profile can have, refused before the core's own check would
// refuse it in its words.
void CheckName(ProfileKind kind, const QString& name) {
  if (const QString problem = ProfileNameProblem(kind, name); !problem.isEmpty()) Fail(problem);
}

// "lens "PET 75"", in the caption language.
QString Named(ProfileKind kind, const QString& name) {
  return Words(QStringLiteral("%1 \"%2\""), QStringLiteral("%1“%2”")).arg(ProfileKindWord(kind), name);
}

}  // namespace

QString ProfileNameProblem(ProfileKind kind, const QString& name) {
  const QString kindWord = ProfileKindWord(kind);
  if (name.trimmed().isEmpty()) return Words(QStringLiteral("A %1 needs a name"), QStringLiteral("%1需要一个名称")).arg(kindWord);
  for (const QChar c : name)
    if (c == QChar('\n') || c == QChar('\r') || c == QChar('\t'))
      return Words(QStringLiteral("A %1's name is one line of text"), QStringLiteral("%1的名称只能是一行文字")).arg(kindWord);
  return QString();
}

QString ProfileKindWord(ProfileKind kind) {
  return kind == ProfileKind::kLens ? Words(QStringLiteral("lens"), QStringLiteral("光栅"))
                                    : Words(QStringLiteral("printer"), QStringLiteral("打印机"));
}

QString ProfileWords(const Profile& profile) {
  QStringList parts;
  for (const OptionEntry& o : ExportOptions()) {
    const auto given = profile.options.find(o.name);
    if (given == profile.options.end()) continue;
    QString value = given->second;
    for (const OptionChoice& c : o.choices)
      if (c.name == value && !c.en.isEmpty()) value = Words(c.en, c.zh);
    parts << (o.kind == OptionKind::kSwitch ? FieldName(o.name)
                                            : Words(QStringLiteral("%1: %2"), QStringLiteral("%1：%2")).arg(FieldName(o.name), value));
  }
  return parts.join(Words(QStringLiteral("; "), QStringLiteral("；")));
}

bool MayReplaceProfile(Desktop& desktop, QWidget* parent, const ProfileBook& book, ProfileKind kind, const QString& name) {
  if (!book.Find(kind, name)) return true;
  const QString question = Words(QStringLiteral("Replace %1?"), QStringLiteral("替换%1？")).arg(Named(kind, name));
  return desktop.Ask(parent, question, QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes;
}

bool AddProfile(Desktop& desktop, QWidget* parent, ProfileBook& book, ProfileKind kind, const QString& name,
                const OptionValues& current) {
  CheckName(kind, name);
  if (!MayReplaceProfile(desktop, parent, book, kind, name)) return false;
  Profile p{name, {}, {}};
  for (const QString& key : ProfileOptionNames(kind))
    if (current.count(key)) p.options[key] = current.at(key);
  book.Put(kind, p);
  return true;
}

void RenameProfile(ProfileBook& book, ProfileKind kind, const QString& from, const QString& to) {
  CheckName(kind, to);
  if (from != to && book.Find(kind, to))
    Fail(Words(QStringLiteral("There is a %1 already"), QStringLiteral("已有%1")).arg(Named(kind, to)));
  book.Rename(kind, from, to);
}

bool ImportProfiles(Desktop& desktop, QWidget* parent, ProfileBook& book, const ProfileBook& other) {
  QStringList replaced;
  for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter})
    for (const Profile& p : other.Of(kind))
      if (book.Find(kind, p.name)) replaced << Named(kind, p.name);
  if (!replaced.isEmpty()) {
    const QString question = Words(QStringLiteral("The file holds profiles of names already here. Replace %1?"),
                                   QStringLiteral("文件中有同名的档案。替换%1？"))
                                 .arg(replaced.join(Words(QStringLiteral(", "), QStringLiteral("、"))));
    if (desktop.Ask(parent, question, QMessageBox::Yes | QMessageBox::Cancel) != QMessageBox::Yes) return false;
  }
  book.Merge(other);
  return true;
}

}  // namespace plivora
