// plivora-interlace: the export of the window, from the command line.
#include <QDateTime>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/layer_arguments.h"
#include "cli/option_words.h"
#include "jobs/view_alignment.h"
#include "common/file_names.h"
#include "common/run_inputs.h"
#include "common/small_file.h"
#include "jobs/export.h"
#include "jobs/export_plan.h"
#include "jobs/job_file.h"
#include "jobs/made_views.h"
#include "jobs/profiles.h"
#include "series/source_image.h"
#include "series/view_series.h"

namespace {

using namespace plivora;

const char* const kAbout =
    "Interlaces a series of views (TIFF, PNG or JPEG; .gjs: CMYK TIFF with inverted\n"
    "samples) into one TIFF for the press. The first view sets the reference size.\n"
    "   or: plivora-interlace --job FILE... [options]   (a job, or a batch of jobs)\n";

const char* const kAfter =
    "Jobs and batches print one line a job on stdout:\n"
    "  job PATH: written OUTPUT     or     job PATH: failed: MESSAGE\n"
    "and the batch goes on after a failed job (exit status 1 at the end).\n"
    "Lens and printer profiles live in $XDG_CONFIG_HOME/vexo/plivora-profiles.json.\n";

// `text` broken into lines of --help's width at the blanks.
QString Wrapped(const QString& text) {
  QStringList lines{QString()};
  for (const QString& word : text.split(QChar(' '))) {
    if (!lines.last().isEmpty() && lines.last().size() + 1 + word.size() > 57) lines << QString();
    lines.last() += (lines.last().isEmpty() ? QString() : QStringLiteral(" ")) + word;
  }
  return lines.join(QChar('\n'));
}

std::vector<Option> Options() {
  std::vector<Option> options = {{QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("PATH"),
                                  QStringLiteral("the TIFF to write (replaced only when complete)")}};
  for (Option& o : ExportOptionsOnCommandLine()) options.push_back(std::move(o));
  const QString lens = QStringLiteral("--") + ProfileOptionNames(ProfileKind::kLens).join(QStringLiteral(", --"));
  const QString printer = QStringLiteral("--") + ProfileOptionNames(ProfileKind::kPrinter).join(QStringLiteral(", --"));
  const std::vector<Option> own = {
      {QStringLiteral("--layer"), {}, QStringLiteral("FILE:DEPTH[:X,Y]"),
       QStringLiteral("make the views from layers instead of VIEWs: each\n--layer one, back to front; DEPTH in lens widths\n"
                      "at the plate (0 on the print, + in front), X,Y its\ncorner in the bottom layer's pixels")},
      {QStringLiteral("--threads"), {}, QStringLiteral("N"), QStringLiteral("threads to compose on"),
       QStringLiteral("PLIVORA_THREADS, or cores - 1")},
      {QStringLiteral("--dry-run"), {}, {},
       QStringLiteral("say what the export would write (pixels, resolutions, lenses,\nsizes, colours, frames, the file's "
                      "size) and write nothing")},
      {QStringLiteral("--job"), {}, QStringLiteral("FILE"),
       QStringLiteral("run the job FILE (.plivora): its views, options and\noutput; options given override its own. Given\n"
                      "several times, or with --jobs-from, a batch")},
      {QStringLiteral("--jobs-from"), {}, QStringLiteral("LIST"), QStringLiteral("run the jobs LIST names, one a line")},
      {QStringLiteral("--save-job"), {}, QStringLiteral("FILE"),
       QStringLiteral("write the job this command line describes to FILE\ninstead of exporting")},
      {QStringLiteral("--lens"), {}, QStringLiteral("NAME"), QStringLiteral("the saved lens NAME: %1").arg(lens)},
      {QStringLiteral("--printer"), {}, QStringLiteral("NAME"), Wrapped(QStringLiteral("the saved printer NAME: %1").arg(printer))},
      {QStringLiteral("--save-lens"), {}, QStringLiteral("NAME"),
       QStringLiteral("save the lens options given (%1)\nas NAME instead of exporting").arg(lens)},
      {QStringLiteral("--save-printer"), {}, QStringLiteral("NAME"),
       QStringLiteral("save the printer options given as NAME")},
      {QStringLiteral("--list-profiles"), {}, {}, QStringLiteral("list the saved lenses and printers")}};
  options.insert(options.end(), own.begin(), own.end());
  return options;
}

// A length saved with a profile (a printer's bleed, a lens's thickness)
// keeps its unit: a bare one is in the unit it was given with.
QString LengthWithUnit(const QString& length, bool inch) {
  for (const char* unit : {"mm", "cm", "in", "inch"})
    if (length.trimmed().endsWith(QLatin1String(unit), Qt::CaseInsensitive)) return length.trimmed();
  return length.trimmed() + (inch ? QStringLiteral("in") : QStringLiteral("cm"));
}

// The export the options describe, checked as the export will check it
// before its first pixel: the settings, the reference view (the first, or
// the area every view covers once moved by `transforms`, one a view), the
// height it gives when none is typed, and a plate with lenses and rows.
ExportRequest BuildRequest(const ParsedOptions& o, const std::vector<ViewTransform>& transforms = {},
                           const std::vector<Layer>& layers = {}) {
  ExportRequest req;
  req.outputPath = OutputPath(o);
  if (o.Operands().isEmpty() && layers.empty()) throw UsageError(QStringLiteral("no views given (see --help)"));
  ExportSettings settings = CommandLineSettings(ExportValuesOf(o));
  req.views = o.Operands();
  req.layers = layers;
  req.threads = ParseThreads(o);
  req.now = QDateTime::currentDateTime();
  req.locale = QLocale::system();
  req.settings = settings;
  if (MakesViews(req)) return MadeRequest(std::move(req));
  // The first view is the reference, as after an import in the window.
  SourceImage first;
  ReadSourceHeader(req.views.first(), first);
  req.transforms = transforms;
  if (const std::optional<CommonArea> area = AlignedAreaOf(req.views, transforms)) {
    first.Width = area->width;
    first.Height = area->height;
  }
  req.firstPhotoWidth = int32_t(first.Width);
  req.firstPhotoHeight = int32_t(first.Height);
  req.negativeInput = IsNegativeExtension(PathExtension(req.views.first()));
  // Without --height, the height the window would show for this width.
  if (!settings.HeightGiven()) settings = settings.WithHeightFromAspect(PhotoAspect(first.Width, first.Height));
  CheckCommandLinePlate(settings, int(ExpandFrames(req.views, settings.lens.frames).size()));
  req.settings = settings;
  return req;
}

// The export of `o` with its views read through the shifts and turns the
// views stage finds (--align auto, --key-shift), or through `given` (a
// job's). Puts the depth budget's lines in `budget` when it was measured;
// a budget that ghosts is warned of on stderr.
ExportRequest AlignedRequest(const ParsedOptions& o, const std::vector<ViewTransform>& given, QStringList* budget,
                             const std::vector<Layer>& layers = {}) {
  const ExportRequest plain = BuildRequest(o, given, layers);
  if (MakesViews(plain)) {
    // The made views' parallax is known: the budget is measured from it.
    const MadeViewPlan made = PlanMadeViews(plain);
    const DepthBudget measured = BudgetOf(plain, MadeParallax(plain, made), made.frames);
    *budget = QStringList{MadeLine(plain, made)} + DepthBudgetLines(measured);
    if (measured.ghosting) std::fprintf(stderr, "plivora-interlace: %s\n", qPrintable(budget->last()));
    return plain;
  }
  const AlignSettings& a = plain.settings.align;
  if (!a.automatic && !a.keyShift) return plain;
  const FoundAlignment found = FindAlignment(plain);
  ExportRequest request = BuildRequest(o, found.transforms);
  if (found.parallax.empty()) return request;
  const DepthBudget measured = BudgetOf(request, found.parallax);
  *budget = DepthBudgetLines(measured);
  if (measured.ghosting) std::fprintf(stderr, "plivora-interlace: %s\n", qPrintable(budget->last()));
  return request;
}

// The options an export runs with: the job's (its views and output too),
// then those of the profiles named (--lens, then --printer), then those
// typed, each overriding what came before.
ParsedOptions Effective(const ParsedOptions& typed, const Job* job) {
  ParsedOptions o;
  if (job) {
    for (const auto& [name, value] : job->options) o.Set(QStringLiteral("--") + name, value);
    if (!job->output.isEmpty()) o.Set(QStringLiteral("--output"), job->output);
    if (!typed.Has(QStringLiteral("--layer"))) o.SetOperands(job->views);
  }
  if (typed.Has(QStringLiteral("--lens")) || typed.Has(QStringLiteral("--printer"))) {
    const ProfileBook book = ReadProfiles(ProfilesPath());
    for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter}) {
      const QString option = QStringLiteral("--") + ProfileKindName(kind);
      if (!typed.Has(option)) continue;
      const QString name = typed.Value(option);
      const Profile* profile = book.Find(kind, name);
      if (!profile)
        Fail(QStringLiteral("There is no %1 named \"%2\" (see --list-profiles)").arg(ProfileKindName(kind), name));
      for (const auto& [key, value] : profile->options) o.Set(QStringLiteral("--") + key, value);
    }
  }
  for (const auto& [name, value] : typed.Values())
    if (name != QLatin1String("--job") && name != QLatin1String("--layer")) o.Set(name, value);
  if (!typed.Operands().isEmpty()) o.SetOperands(typed.Operands());
  return o;
}

// The job's shifts and turns of its views, unless views are typed instead.
std::vector<ViewTransform> TransformsOf(const ParsedOptions& typed, const Job* job) {
  return job && typed.Operands().isEmpty() ? job->transforms : std::vector<ViewTransform>{};
}

// Writes the job the options describe, once they pass every check the
// export makes before its first pixel; never over a file the run reads, nor
// over a file that is not a job (a view a glob typed after --save-job).
void SaveJob(const ParsedOptions& o, const std::vector<ViewTransform>& transforms, const std::vector<Layer>& layers,
             const RunInputs& read) {
  QStringList budget;
  const ExportRequest request = AlignedRequest(o, transforms, &budget, layers);
  Job job;
  job.output = request.outputPath;
  for (const QString& view : request.views) job.views << AbsoluteFileName(view);
  job.layers = request.layers;
  job.transforms = request.transforms;
  job.DropIdentityTransforms();
  job.options = ExportValuesOf(o);
  // Shifts found are saved to be reviewed and edited: running the job reads
  // the views through them, not through a new search.
  if (request.settings.align.automatic || request.settings.align.keyShift)
    for (const char* stage : {"align", "key", "key-shift"}) job.options.erase(QString::fromLatin1(stage));
  const QString path = AbsoluteFileName(o.Value(QStringLiteral("--save-job")));
  RunInputs inputs = read;
  for (const QString& view : job.views) inputs.Add(view, QStringLiteral("one of the views"));
  for (const Layer& layer : job.layers) inputs.Add(layer.path, QStringLiteral("one of the layers"));
  inputs.Add(request.settings.made.depthMap, QStringLiteral("the depth map"));
  inputs.Add(request.settings.colour.cmykProfile, QStringLiteral("the CMYK profile"));
  inputs.Add(request.settings.colour.rgbProfile, QStringLiteral("the RGB profile"));
  inputs.CheckNotOutput(path);
  CheckJobTarget(path);
  WriteJob(path, job);
}

void SaveProfile(const ParsedOptions& o, ProfileKind kind) {
  Profile profile{o.Value(QStringLiteral("--save-") + ProfileKindName(kind)), {}, {}};
  try {
    CheckProfileName(kind, profile.name);
  } catch (const Error& e) {
    throw UsageError(QStringLiteral("--save-%1: %2").arg(ProfileKindName(kind), e.message()));
  }
  const OptionValues given = ExportValuesOf(o);
  const ExportSettings settings = CommandLineSettings(given);  // what it saves is what an export takes
  for (const QString& name : ProfileOptionNames(kind))
    if (given.count(name)) profile.options[name] = given.at(name);
  for (auto& [name, value] : profile.options)
    if (FindExportOption(name)->kind == OptionKind::kLength) value = LengthWithUnit(value, settings.texts.inch);
  if (profile.options.empty())
    throw UsageError(QStringLiteral("--save-%1 saves --%2; none of them is given")
                         .arg(ProfileKindName(kind), ProfileOptionNames(kind).join(QStringLiteral(", --"))));
  UpdateProfiles(ProfilesPath(), [&](ProfileBook& book) { book.Put(kind, profile); });
}

void ListProfiles() {
  const ProfileBook book = ReadProfiles(ProfilesPath());
  for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter})
    for (const Profile& p : book.Of(kind))
      std::printf("%s %s: %s\n", qPrintable(ProfileKindName(kind)), NativeFileName(p.name).constData(),
                  NativeFileName(ProfileSummary(p)).constData());
}

// A job to run, and the list that named it, if one did.
struct NamedJob {
  QString path;
  QString list;
};

// The jobs --job and --jobs-from name, in the order typed; a list's
// relative paths are taken from its own folder.
std::vector<NamedJob> JobPaths(const ParsedOptions& o) {
  std::vector<NamedJob> jobs;
  for (const auto& [option, value] : o.Sequence()) {
    if (option == QLatin1String("--job")) jobs.push_back({AbsoluteFileName(value), {}});
    if (option != QLatin1String("--jobs-from")) continue;
    const QString list = AbsoluteFileName(value);
    const QString folder = FolderOf(list);
    for (const QByteArray& raw : ReadSmallFile(QStringLiteral("job list"), list, kMaxSmallFileBytes).split('\n')) {
      const QString line = FileNameFromNative(raw.trimmed());
      if (line.isEmpty() || line.startsWith(QChar('#'))) continue;
      jobs.push_back({AbsoluteFileName(line.startsWith(QChar('/')) ? line : folder + QChar('/') + line), list});
    }
  }
  return jobs;
}

// The files a run reads besides its views and colour profiles.
RunInputs InputsOf(const ParsedOptions& typed, const NamedJob* job) {
  RunInputs inputs;
  if (job) {
    inputs.Add(job->path, QStringLiteral("the job"));
    inputs.Add(job->list, QStringLiteral("the job list"));
  }
  if (typed.Has(QStringLiteral("--lens")) || typed.Has(QStringLiteral("--printer")))
    inputs.Add(ProfilesPath(), QStringLiteral("the profiles file"));
  return inputs;
}

// The export of one job.
// With `budget`, the views stage runs (and fills it); without, the views
// are read through the job's own shifts and turns.
ExportRequest JobRequest(const ParsedOptions& typed, const NamedJob& named, bool tellUnknown, QStringList* budget = nullptr) {
  const Job job = ReadJob(named.path);
  if (tellUnknown && !job.UnknownKeys().isEmpty())
    std::fprintf(stderr, "plivora-interlace: job %s: keys this version does not know, left alone: %s\n",
                 NativeFileName(named.path).constData(), qPrintable(job.UnknownKeys().join(QStringLiteral(", "))));
  const ParsedOptions o = Effective(typed, &job);
  const std::vector<Layer> layers = LayersOf(typed, &job);
  ExportRequest request = budget ? AlignedRequest(o, TransformsOf(typed, &job), budget, layers)
                                 : BuildRequest(o, TransformsOf(typed, &job), layers);
  request.slugName = named.path.section(QChar('/'), -1);
  request.inputs = InputsOf(typed, &named);
  return request;
}

// Every file the export of `request` writes.
QStringList OutputsOf(const ExportRequest& request) {
  const int panels = request.settings.panels;
  if (panels == 1) return {request.outputPath};
  QStringList outputs;
  for (int k = 1; k <= panels; ++k) outputs << PanelFileName(request.outputPath, k, panels);
  return outputs;
}

// Refuses, before any job runs, a batch that would lose a file: a job
// writing over a job or a list of the batch, or two jobs writing one file
// (by name, or through links), of which only the last plate would remain.
// Jobs that cannot be read are left to fail in their turn.
void CheckBatch(const ParsedOptions& typed, const std::vector<NamedJob>& jobs) {
  RunInputs read;
  for (const NamedJob& job : jobs) read.Add(InputsOf(typed, &job));
  std::vector<std::pair<QString, RunInputs>> written;  // each job's outputs, as files no later job may write
  for (const NamedJob& job : jobs) {
    QStringList outputs;
    try {
      outputs = OutputsOf(JobRequest(typed, job, false));
    } catch (const Error&) {
      continue;
    }
    for (const QString& output : outputs) {
      read.CheckNotOutput(output);
      for (const auto& [earlier, theirs] : written) try {
          theirs.CheckNotOutput(output);
        } catch (const Error&) {
          Fail(QStringLiteral("The jobs \"%1\" and \"%2\" both write \"%3\", so only one plate would remain; "
                              "give one of them another output").arg(earlier, job.path, output));
        }
    }
    RunInputs mine;
    for (const QString& output : outputs) mine.Add(output, {});
    written.emplace_back(job.path, mine);
  }
}

// Plans the export and prints what it would write, writing nothing.
void DryRun(const ExportRequest& request, const QStringList& budget, const QString& indent = {}) {
  const ProgressFn none;
  ProgressReporter quiet(none);
  const ExportPlan plan = PlanExport(request, quiet);
  plan.colours.WaitForTransforms();
  const ColourOptions& colour = request.settings.colour;
  QString plate = PlateColourName(colour.plate);
  if (!plan.colours.plateProfileName.isEmpty()) plate += QStringLiteral(", profile \"%1\"").arg(plan.colours.plateProfileName);
  for (const QString& line : SummaryLines(SummaryOf(plan.plate), request.settings, plate))
    std::printf("%s\n", NativeFileName(indent + line).constData());
  for (const QString& line : budget) std::printf("%s\n", NativeFileName(indent + line).constData());
  std::fflush(stdout);
}

// Runs the jobs one after the other, each to its own output; a failed one
// is reported and the batch goes on. Raises at the end if any failed.
void RunBatch(const ParsedOptions& typed, const std::vector<NamedJob>& jobs, const std::function<void(int)>& progress) {
  CheckBatch(typed, jobs);
  const bool dry = typed.Has(QStringLiteral("--dry-run"));
  int failed = 0;
  for (const NamedJob& job : jobs) {
    try {
      QStringList budget;
      const ExportRequest request = JobRequest(typed, job, true, &budget);
      if (dry) std::printf("job %s:\n", NativeFileName(job.path).constData());
      if (dry) DryRun(request, budget, QStringLiteral("  "));
      else ExportInterlaced(request, progress);
      if (!dry)
        std::printf("job %s: written %s\n", NativeFileName(job.path).constData(), NativeFileName(request.outputPath).constData());
    } catch (const Error& e) {
      ++failed;
      std::printf("job %s: failed: %s\n", NativeFileName(job.path).constData(), NativeFileName(e.message()).constData());
    }
    std::fflush(stdout);
  }
  if (failed > 0) Fail(QStringLiteral("%1 of %2 jobs failed").arg(failed).arg(jobs.size()));
}

void Run(const ParsedOptions& typed, const std::function<void(int)>& progress) {
  if (typed.Has(QStringLiteral("--list-profiles"))) return ListProfiles();
  const std::vector<NamedJob> jobs = JobPaths(typed);
  if (typed.Has(QStringLiteral("--save-lens")) || typed.Has(QStringLiteral("--save-printer")) ||
      typed.Has(QStringLiteral("--save-job"))) {
    if (jobs.size() > 1) throw UsageError(QStringLiteral("saving takes one job at most"));
    const std::optional<Job> job = jobs.empty() ? std::nullopt : std::optional<Job>(ReadJob(jobs.front().path));
    const ParsedOptions o = Effective(typed, job ? &*job : nullptr);
    if (typed.Has(QStringLiteral("--save-lens"))) SaveProfile(o, ProfileKind::kLens);
    if (typed.Has(QStringLiteral("--save-printer"))) SaveProfile(o, ProfileKind::kPrinter);
    if (typed.Has(QStringLiteral("--save-job")))
      SaveJob(o, TransformsOf(typed, job ? &*job : nullptr), LayersOf(typed, job ? &*job : nullptr),
              InputsOf(typed, jobs.empty() ? nullptr : &jobs.front()));
    return;
  }
  // One job named by --job is an export like any other; lists and several
  // jobs are a batch, reported a line a job.
  const bool dry = typed.Has(QStringLiteral("--dry-run"));
  if (jobs.size() == 1 && !typed.Has(QStringLiteral("--jobs-from"))) {
    QStringList budget;
    const ExportRequest request = JobRequest(typed, jobs.front(), true, &budget);
    return dry ? DryRun(request, budget) : ExportInterlaced(request, progress);
  }
  if (!jobs.empty()) return RunBatch(typed, jobs, progress);
  QStringList budget;
  ExportRequest request = AlignedRequest(Effective(typed, nullptr), {}, &budget, LayersOf(typed, nullptr));
  request.inputs = InputsOf(typed, nullptr);
  if (dry) return DryRun(request, budget);
  ExportInterlaced(request, progress);
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLineProgram program{"plivora-interlace", "[options] -o OUTPUT VIEW...", kAbout, Options(), kAfter, Run};
  return RunCommandLineProgram(argc, argv, program);
}
