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
#include "app/profile_edits.h"
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

// A bleed in the window's unit is saved as typed, without the unit the
// setup gives it (the job names its unit).
Job TForm1::JobOfWindow() const {
  Job job = jobKept_;
  job.views = Items();
  // A depth map's one picture is the job's view; layers stand in the
  // place of the views.
  if (made_.Active() && made_.depthMapChosen && job.views.isEmpty() && !made_.picture.isEmpty()) job.views = {made_.picture};
  job.layers = made_.depthMapChosen ? std::vector<Layer>{} : made_.layers;
  job.transforms = jobKept_.TransformsFor(job.views);
  job.DropIdentityTransforms();
  job.options = WindowValues(true);
  if (const auto bleed = job.options.find(QStringLiteral("bleed")); bleed != job.options.end())
    bleed->second = BleedInUnit(bleed->second, UnitIsInch());
  return job;
}

void TForm1::SaveJob(const QString& path) {
  if (made_.Active() && ListBox1->count() > 0)
    Fail(Words(QStringLiteral("A job lists views or the layers (or depth map) to make them from, not both; "
                              "clear the view list, or the layers window's layers"),
               QStringLiteral("作业只能列出图片或用于生成图片的图层（或深度图），不能两者都有；请清空图片列表，或清除图层窗口的图层")));
  if (ListBox1->count() == 0 && !made_.Active())
    Fail(Words(QStringLiteral("There are no views to save in a job; import a series first"),
               QStringLiteral("没有可存入作业的图片；请先导入系列图")));
  WriteJob(path, JobOfWindow());
  jobPath_ = path;
  jobSaved_ = JobOfWindow();
  ShowTitle();
}

namespace {

// The job's print setup (what it leaves out takes its default; a bleed
// without a unit is in the job's unit), refused as a reading error of the
// job when the window could not show it.
PrintSetup SetupOfJob(const Job& job, const QString& path, const QJsonObject& others) {
  try {
    const bool inch = ValueOrDefault(job.options, QStringLiteral("unit")) == QLatin1String("inch");
    const PrintSetup setup = MakePrintSetup(WithBleedUnit(job.options, inch), others);
    OptionValues words;  // a word no field can show (the unit's) is refused now
    for (const auto& [name, value] : job.options)
      if (FindExportOption(name) && FindExportOption(name)->kind == OptionKind::kChoice) words[name] = value;
    SettingsFrom(words);
    return setup;
  } catch (const Error& e) {
    FailReading(QStringLiteral("job"), path, 0, e.message());
  }
}

}  // namespace

void TForm1::OpenJob(const QString& path) {
  // Read and checked before anything of the window changes.
  Job job;
  PrintSetup setup;
  try {
    job = ReadJob(path);
    setup = SetupOfJob(job, path, setup_.others);
  } catch (const Error& e) {
    Fail(CoreWords(QStringLiteral("无法打开作业：%1"), e.message()));
  }
  if (!MayReplaceUnsaved()) return;

  // The fields as if typed (those the job leaves out at their defaults),
  // then the list in the job's own order.
  OptionValues fields;
  for (const OptionEntry& o : ExportOptions())
    if ((o.shown == Shown::kMainWindow || o.shown == Shown::kBoth) && !o.fallback.isEmpty())
      fields[o.name] = ValueOrDefault(job.options, o.name);
  ShowFieldValues(fields);
  SetPrintSetup(setup);
  setupChosen_ = true;
  ReplaceItems({});
  made_ = MadeSourceOf(job);
  // A depth map's picture is the layers window's, not the list's.
  const QStringList listed = made_.depthMapChosen ? QStringList{} : job.views;
  AddItems(listed);
  jobPath_ = path;
  jobKept_ = job;
  ShowMadeInLayersView();
  ShowTransformsInList();
  ShowTitle();
  lastFolder_ = QFileInfo(path).absolutePath();

  // The first view that is there sets what an import of it sets; the ones
  // that are missing are marked, and named together.
  const QStringList missing = MarkMissingViews();
  bool referenced = false;
  for (const QString& view : listed) {
    if (referenced || missing.contains(view)) continue;
    NegativeInput = IsNegativeExtension(PathExtension(view)) ? 1 : 0;
    TakeReference(view);
    referenced = true;
  }
  if (missing.isEmpty() && !listed.isEmpty()) TakeAlignedReference(job.views, job.transforms);
  TakeMadeReference();
  // The height follows the reference view, unless the job gives it.
  ShowFieldValues(job.options);
  BitBtn7->setEnabled(true);
  PreviewState = 202;
  jobSaved_ = JobOfWindow();
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

// "card.plivora* — Plivora 13.4" while the job has unsaved changes.
void TForm1::ShowTitle() {
  const QString title = QString::fromUtf8(kMainCaption);
  if (jobPath_.isEmpty()) return setWindowTitle(title);
  const QString mark = JobModified() ? QStringLiteral("*") : QString();
  setWindowTitle(QFileInfo(jobPath_).fileName() + mark + QStringLiteral(" \u2014 ") + title);
}

namespace {

// A lens's pitch: what no lens sheet has is a typing error.
constexpr int kLowestLensLpi = 5, kHighestLensLpi = 400;

ProfileBook ReadProfilesFramed(const QString& path) {
  try {
    return ReadProfiles(path);
  } catch (const Error& e) {
    Fail(CoreWords(QStringLiteral("无法读取光栅与打印机档案：%1"), e.message()));
  }
}

void UpdateProfilesFramed(const QString& path, const std::function<void(ProfileBook&)>& change) {
  try {
    UpdateProfiles(path, change);
  } catch (const Error& e) {
    Fail(CoreWords(QStringLiteral("档案未能保存：%1"), e.message()));
  }
}

// The LPI of "Save lens…": the winning strip's of `sheet` (its LPI texts,
// none when no sheet was printed), or the LPI typed. *problem receives why
// there is none, in the window's words.
QString LensLpi(const SaveLensChoices& c, const std::vector<QString>& sheet, QChar separator, QString* problem) {
  *problem = ProfileNameProblem(ProfileKind::kLens, c.name);
  if (!problem->isEmpty()) return QString();
  const bool strip = !c.strip.trimmed().isEmpty(), typed = !c.lpi.trimmed().isEmpty();
  if (strip == typed) {
    *problem = Words(QStringLiteral("Give the winning strip or the LPI (one of the two)"), QStringLiteral("请给出最佳条号或线数（二者之一）"));
    return QString();
  }
  QString lpi = c.lpi.trimmed();
  if (strip) {
    bool whole = false;
    const int k = c.strip.trimmed().toInt(&whole);
    if (!whole || k < 1 || k > int(sheet.size())) {
      *problem = sheet.empty() ? Words(QStringLiteral("No pitch test sheet was printed since the window opened; type the LPI"),
                                       QStringLiteral("窗口打开后未打印测试页；请输入线数"))
                               : Words(QStringLiteral("The last sheet has strips 1 to %1, not \"%2\""), QStringLiteral("上一张测试页只有第 1 到 %1 条，没有“%2”"))
                                     .arg(sheet.size()).arg(c.strip.trimmed());
      return QString();
    }
    lpi = sheet[size_t(k - 1)];
  }
  Real value = 0;
  try {
    value = ParseFloat(lpi, separator);
  } catch (const Error&) {
    *problem = Words(QStringLiteral("LPI is not a number"), QStringLiteral("线数不是数字"));
    return QString();
  }
  if (!(value >= kLowestLensLpi && value <= kHighestLensLpi)) {
    *problem = Words(QStringLiteral("LPI %1 is no lens's: a lens has %2 to %3 LPI"), QStringLiteral("线数 %1 不像光栅的：光栅为 %2 到 %3 线"))
                   .arg(lpi).arg(kLowestLensLpi).arg(kHighestLensLpi);
    return QString();
  }
  return PortableNumberText(lpi, separator);
}

}  // namespace

// A profile added takes the window's options (a bleed with its unit). The
// edits go to the file as it is by then: another program may have saved a
// profile meanwhile.
void TForm1::ProfilesClick() {
  const QString path = ProfilesPath();
  const ProfileBook before = ReadProfilesFramed(path);
  ProfileBook book = before;
  if (desktop_.ManageProfiles(this, book, WindowValues(true)))
    UpdateProfilesFramed(path, [&](ProfileBook& now) { now.Apply(before, book); });
}

// The winning strip of the last sheet gives the lens its LPI and, on a
// phase sheet, its phase; an LPI may be typed instead. A lens of the name
// is replaced only when the operator says so; otherwise the dialog comes
// back with what was typed.
void TForm1::SaveLensClick() {
  SaveLensChoices choices;
  choices.strips = sheetPrinted_ ? int(lastSheet_.strips.size()) : 0;
  choices.phaseSheet = sheetPrinted_ && lastSheet_.phase;
  std::vector<QString> sheet;
  if (sheetPrinted_)
    for (const PitchStrip& strip : lastSheet_.strips) sheet.push_back(strip.lpiText);
  const QChar separator = DecimalSeparator();
  const SaveLensCheck check = [&](const SaveLensChoices& c) {
    QString problem;
    LensLpi(c, sheet, separator, &problem);
    return problem;
  };
  const QString path = ProfilesPath();
  Profile lens;
  do {
    if (!desktop_.AskSaveLens(this, choices, check)) return;
    QString problem;
    lens = Profile{choices.name, {{QStringLiteral("lpi"), LensLpi(choices, sheet, separator, &problem)}}, {}};
    if (!problem.isEmpty()) Fail(problem);
  } while (!MayReplaceProfile(desktop_, this, ReadProfilesFramed(path), ProfileKind::kLens, lens.name));
  if (!choices.strip.trimmed().isEmpty() && choices.phaseSheet)
    lens.options[QStringLiteral("phase")] = QStringLiteral("%1/8").arg(choices.strip.trimmed().toInt() - 1);
  lens.options[QStringLiteral("lenses")] = LensesName(setup_.settings.lens.lenses);
  UpdateProfilesFramed(path, [&](ProfileBook& book) { book.Put(ProfileKind::kLens, lens); });
  desktop_.ShowMessage(this, Words(QStringLiteral("Lens \"%1\" saved: %2"), QStringLiteral("已保存光栅“%1”：%2")).arg(lens.name, ProfileWords(lens)));
}

}  // namespace plivora
