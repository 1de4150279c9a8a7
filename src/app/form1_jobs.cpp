// What the window keeps beyond one run: jobs (".plivora"), opened and
// saved from the context menu, dropped or named on the command line; lens
// and printer profiles; and "Save lens…" after a pitch test.
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/app_title.h"
#include "app/form1.h"
#include "app/wording.h"
#include "common/error.h"
#include "common/file_names.h"
#include "common/numbers.h"
#include "jobs/profiles.h"
#include "series/view_series.h"

namespace plivora {


void TForm1::OpenFromCommandLine(const QStringList& paths) {
  QStringList files, others;
  for (const QString& path : paths) (QFileInfo(QString::fromLocal8Bit(NativeFileName(path))).isFile() ? files : others) << path;
  if (!others.isEmpty())
    desktop_.ShowError(this, Words(QStringLiteral("Not opened, as no such file is there: %1"), QStringLiteral("没有这样的文件，未打开：%1"))
                                 .arg(others.join(QStringLiteral(", "))));
  if (!files.isEmpty()) ImportFromOutside(files);
}

void TForm1::OpenJobClick() {
  FileDialogOptions options;
  options.title = Words(QStringLiteral("Open job"), QStringLiteral("打开作业"));
  options.filter = Words(QStringLiteral("Plivora jobs (*.plivora)"), QStringLiteral("Plivora 作业 (*.plivora)"));
  options.folder = jobPath_.isEmpty() ? lastFolder_ : QFileInfo(jobPath_).absolutePath();
  const QStringList chosen = desktop_.OpenFileNames(this, options);
  if (!chosen.isEmpty()) OpenJob(chosen.first());
}

void TForm1::SaveJobClick() {
  if (jobPath_.isEmpty()) return SaveJobAsClick();
  SaveJob(jobPath_);
}

void TForm1::SaveJobAsClick() {
  FileDialogOptions options;
  options.title = Words(QStringLiteral("Save job"), QStringLiteral("保存作业"));
  options.filter = Words(QStringLiteral("Plivora jobs (*.plivora)"), QStringLiteral("Plivora 作业 (*.plivora)"));
  options.defaultSuffix = QStringLiteral("plivora");
  options.folder = jobPath_.isEmpty() ? lastFolder_ : QFileInfo(jobPath_).absolutePath();
  options.fileName = jobPath_.isEmpty() ? QStringLiteral("job") : QFileInfo(jobPath_).completeBaseName();
  const QString path = desktop_.SaveFileName(this, options, nullptr);
  if (!path.isEmpty()) SaveJob(AbsoluteFileName(path));
}

Job TForm1::JobOfWindow() const {
  Job job = jobKept_;
  job.views = Items();
  job.transforms = jobKept_.TransformsFor(job.views);
  job.DropIdentityTransforms();
  job.options = WindowValues(true);
  return job;
}

void TForm1::SaveJob(const QString& path) {
  if (ListBox1->count() == 0)
    Fail(Words(QStringLiteral("There are no views to save in a job; import a series first"),
               QStringLiteral("没有可存入作业的图片；请先导入系列图")));
  WriteJob(path, JobOfWindow());
  jobPath_ = path;
  ShowTitle();
}

void TForm1::OpenJob(const QString& path) {
  const Job job = ReadJob(path);
  // The job's print setup (what it leaves out takes its default) and unit,
  // checked before anything of the window changes.
  PrintSetup setup;
  try {
    setup = MakePrintSetup(job.options, setup_.others);
    OptionValues words;  // a word no field can show (the unit's) is refused now
    for (const auto& [name, value] : job.options)
      if (FindExportOption(name) && FindExportOption(name)->kind == OptionKind::kChoice) words[name] = value;
    SettingsFrom(words);
  } catch (const Error& e) {
    FailReading(QStringLiteral("job"), path, 0, e.message());
  }

  // The fields as if typed (those the job leaves out at their defaults),
  // then the list in the job's own order.
  OptionValues fields;
  for (const OptionSpec& o : ExportOptions())
    if ((o.shown == Shown::kMainWindow || o.shown == Shown::kBoth) && !o.fallback.isEmpty())
      fields[o.name] = ValueOrDefault(job.options, o.name);
  ShowFieldValues(fields);
  SetPrintSetup(setup);
  setupChosen_ = true;
  ReplaceItems({});
  AddItems(job.views);
  jobPath_ = path;
  jobKept_ = job;
  ShowTitle();
  lastFolder_ = QFileInfo(path).absolutePath();

  // The first view that is there sets what an import of it sets; the ones
  // that are missing are named together.
  QStringList missing;
  bool referenced = false;
  for (const QString& view : job.views) {
    if (!QFileInfo(QString::fromLocal8Bit(NativeFileName(view))).isFile()) {
      missing << view;
      continue;
    }
    if (referenced) continue;
    NegativeInput = IsNegativeExtension(PathExtension(view)) ? 1 : 0;
    TakeReference(view);
    referenced = true;
  }
  // The height follows the reference view, unless the job gives it.
  ShowFieldValues(job.options);
  BitBtn7->setEnabled(true);
  PreviewState = 202;
  UpdateOutputSummary();
  if (!missing.isEmpty())
    desktop_.ShowError(this, Words(QStringLiteral("%1 of the job's %2 views are missing:\n%3"), QStringLiteral("作业的 %2 张图中缺少 %1 张：\n%3"))
                                 .arg(missing.size())
                                 .arg(job.views.size())
                                 .arg(missing.join(QChar('\n'))));
  if (!job.UnknownKeys().isEmpty())
    desktop_.ShowMessage(this, Words(QStringLiteral("The job holds what this version does not know; it is kept as it is: %1"),
                                     QStringLiteral("作业中有本版本不认识的内容，将原样保留：%1"))
                                   .arg(job.UnknownKeys().join(QStringLiteral(", "))));
}

void TForm1::ShowTitle() {
  const QString title = QString::fromUtf8(kMainCaption);
  setWindowTitle(jobPath_.isEmpty() ? title : QFileInfo(jobPath_).fileName() + QStringLiteral(" \u2014 ") + title);
}

void TForm1::ProfilesClick() {
  const QString path = ProfilesPath();
  const ProfileBook before = ReadProfiles(path);
  ProfileBook book = before;
  // A profile added takes its options from what a job of the window holds.
  // The edits go to the file as it is by then: another program may have
  // saved a profile meanwhile.
  if (desktop_.ManageProfiles(this, book, JobOfWindow().options))
    UpdateProfiles(path, [&](ProfileBook& now) { now.Apply(before, book); });
}

// The winning strip of the last sheet gives the lens its LPI and, on a
// phase sheet, its phase; an LPI may be typed instead.
void TForm1::SaveLensClick() {
  SaveLensChoices choices;
  choices.strips = sheetPrinted_ ? int(lastSheet_.strips.size()) : 0;
  choices.phaseSheet = sheetPrinted_ && lastSheet_.phase;
  if (!desktop_.AskSaveLens(this, choices)) return;
  if (choices.name.isEmpty()) Fail(Words(QStringLiteral("A lens needs a name"), QStringLiteral("光栅需要一个名称")));
  Profile lens{choices.name, {}, {}};
  bool isStrip = false;
  const int k = choices.strip.toInt(&isStrip);
  if (isStrip && choices.strips > 0) {
    if (k < 1 || k > choices.strips)
      Fail(Words(QStringLiteral("The last sheet has strips 1 to %1, not %2"), QStringLiteral("上一张测试页只有第 1 到 %1 条，没有第 %2 条"))
               .arg(choices.strips).arg(k));
    lens.options[QStringLiteral("lpi")] = lastSheet_.strips[size_t(k - 1)].lpiText;
    if (choices.phaseSheet) lens.options[QStringLiteral("phase")] = QStringLiteral("%1/8").arg(k - 1);
  } else {
    const QChar separator = DecimalSeparator();
    try {
      if (!(ParseFloat(choices.strip, separator) > 0)) throw Error(QString());
    } catch (const Error&) {
      Fail(Words(QStringLiteral("\"%1\" is neither a strip of the last sheet nor an LPI"), QStringLiteral("“%1”既不是上一张测试页的条号，也不是线数"))
               .arg(choices.strip));
    }
    lens.options[QStringLiteral("lpi")] = PortableNumberText(choices.strip, separator);
  }
  lens.options[QStringLiteral("lenses")] = LensesName(setup_.settings.lens.lenses);
  UpdateProfiles(ProfilesPath(), [&](ProfileBook& book) { book.Put(ProfileKind::kLens, lens); });
  desktop_.ShowMessage(this, Words(QStringLiteral("Lens \"%1\" saved: %2"), QStringLiteral("已保存光栅“%1”：%2")).arg(lens.name, ProfileSummary(lens)));
}

}  // namespace plivora
