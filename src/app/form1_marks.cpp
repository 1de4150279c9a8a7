// What the window marks beside its summary: an open job's unsaved changes
// (a "*" in the title, and a question before anything replaces them), views
// of the list that are no file now, what the last export or sheet wrote
// (over the progress bar, until the next action), and fields shown from
// their first character.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>

#include "app/form1.h"
#include "app/wording.h"
#include "common/file_names.h"
#include "common/numbers.h"

namespace plivora {

namespace {

bool SameJob(const Job& a, const Job& b) { return a.views == b.views && a.layers == b.layers && a.output == b.output && a.options == b.options; }

// "3.6 MB", "80.4 kB": sizes as the summary gives them, in the locale's digits.
QString SizeText(int64_t bytes) {
  if (bytes >= 1000000) return QStringLiteral("%1 MB").arg(QLocale().toString(double(Real(bytes) / 1000000), 'f', 1));
  return QStringLiteral("%1 kB").arg(QLocale().toString(double(Real(bytes) / 1000), 'f', 1));
}

}  // namespace

bool TForm1::JobModified() const { return !jobPath_.isEmpty() && !SameJob(JobOfWindow(), jobSaved_); }

bool TForm1::MayReplaceUnsaved() {
  if (!JobModified()) return true;
  const QString question = Words(QStringLiteral("The job \"%1\" has changes that are not saved. Save them?"),
                                 QStringLiteral("作业“%1”有未保存的更改。要保存吗？"))
                               .arg(QFileInfo(jobPath_).fileName());
  switch (desktop_.Ask(this, question, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)) {
    case QMessageBox::Save:
      SaveJob(jobPath_);  // a refusal ends the caller too: nothing is replaced
      return true;
    case QMessageBox::Discard:
      return true;
    default:
      return false;
  }
}

// A view is missing when no file of its name is there (a file that is not
// a view is the reader's to refuse). The list keeps the path as its text;
// the mark is its colour and tip.
QStringList TForm1::MarkMissingViews() {
  QStringList missing;
  for (int i = 0; i < ListBox1->count(); ++i) {
    QListWidgetItem* item = ListBox1->item(i);
    const bool gone = !QFileInfo::exists(QString::fromLocal8Bit(NativeFileName(item->text())));
    if (gone) missing << item->text();
    const QString tip = gone ? Words(QStringLiteral("Missing: there is no such file"), QStringLiteral("缺少：没有这个文件")) : QString();
    if (item->toolTip() == tip) continue;
    item->setToolTip(tip);
    item->setForeground(gone ? QBrush(Qt::red) : QBrush());
  }
  return missing;
}

void TForm1::ShowWritten(const QStringList& files) {
  if (files.isEmpty()) {
    Written->clear();
    Written->setToolTip(QString());
    return;
  }
  int64_t bytes = 0;
  for (const QString& f : files) bytes += QFileInfo(f).size();
  const QString what = files.size() == 1 ? QDir::toNativeSeparators(files.first())
                                         : Words(QStringLiteral("%1 files, %2 … %3"), QStringLiteral("%1 个文件，%2 … %3"))
                                               .arg(files.size())
                                               .arg(QDir::toNativeSeparators(files.first()), QFileInfo(files.last()).fileName());
  const QString text = Words(QStringLiteral("Written: %1 (%2)"), QStringLiteral("已写入：%1（%2）")).arg(what, SizeText(bytes));
  Written->setText(Written->fontMetrics().elidedText(text, Qt::ElideMiddle, Written->contentsRect().width()));
  Written->setToolTip(text);
}

// A text longer than its field shows its first characters ("1.3333333"
// rather than "3333333"); the field being typed in keeps its cursor.
void TForm1::ShowFieldsFromStart() {
  for (QLineEdit* field : {ComboBox3->lineEdit(), ComboBox1->lineEdit(), Edit3, Edit4, Edit2})
    if (field && !field->hasFocus()) field->setCursorPosition(0);
}

}  // namespace plivora
