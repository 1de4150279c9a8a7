// TForm1, the main window: the view list, the parameter fields, the tool
// buttons and the progress bar, and the run state they share.
//
// The controls are public and carry their names as objectName, so that
// tests and users' scripts find them. The window owns the view list, the
// fields and the run state for the whole run; each handler opens and closes
// what it needs within its own call.
#pragma once

#include <QSet>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "align/alignment.h"
#include "app/desktop.h"
#include "app/layers_view.h"
#include "app/print_setup.h"
#include "interlace/export_geometry.h"
#include "jobs/job_file.h"
#include "jobs/made_views.h"
#include "jobs/pitch_sheet.h"
#include "preview/frames.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QImage;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace plivora {

class AlignView;
class ClickablePicture;
class PictureBox;
struct SavedFields;

// What the window needs from outside: the desktop it asks for dialogs, and
// the folder of the program file (the settings folder lies inside it).
struct WindowEnvironment {
  Desktop* desktop = nullptr;
  QString exeDir;  // without a trailing "/"
};

// The view list's items carry their view's shift and turn under this role,
// as the list shows them beside the path ("+2.25, -1.00, 0.10°"); empty
// for a view that does not move.
inline constexpr int kTransformRole = Qt::UserRole + 1;

// Where the little logo leads.
inline constexpr const char* kMakerPage = "https://en.wikipedia.org/wiki/Lenticular_printing";

// The layers or depth map a job makes its views from, and back into a
// job's options (frames, depth-map, depth, key-depth; while nothing is
// made, no depth map, and the others left as they are).
MadeSource MadeSourceOf(const Job& job);
void PutMadeOptions(const MadeSource& made, OptionValues& values);
class TForm1 : public QWidget {
 public:
  // Builds the controls and runs the create step (FormCreate); an error in
  // it is shown and the window is still made. The window is not shown.
  explicit TForm1(const WindowEnvironment& environment, QWidget* parent = nullptr);
  ~TForm1() override;

  // Handlers. Each is connected through the error guard.
  void FormCreate();
  void FormClose();
  void BitBtn9Click();   // import
  // Imports `paths` as if chosen in the import dialog, in their order.
  void ImportPaths(const QStringList& paths);
  // Views in any format a view reader takes (PNG, JPEG, RGB TIFF, ...),
  // from the "Import images…" command: appended in the chosen order, with
  // no sort and no refusal by extension; the list's first item sets the
  // reference size, as an import does. A file no view reader takes is
  // refused, naming it, and the others are imported.
  void ImportImagesClick();
  void ImportImages(const QStringList& paths);
  // Files from outside (dropped, or named on the command line): through the
  // import when every one is a ".tif", ".tiff" or ".gjs" file, else through
  // ImportImages.
  void ImportFromOutside(const QStringList& paths);
  // Files named on the program's command line: a job is opened, views are
  // imported (ImportFromOutside); arguments that name no file are reported
  // together, once.
  void OpenFromCommandLine(const QStringList& paths);
  // Jobs (".plivora"): "Open job…" (Ctrl+O), "Save job…" (Ctrl+S, to the
  // job's own file once it has one) and "Save job as…". Opening fills every
  // field as if typed, the print setup, and the list in the job's order,
  // with the reference size, height and ".gjs" state an import of its first
  // view sets; views that are missing are named together.
  void OpenJobClick();
  void SaveJobClick();
  void SaveJobAsClick();
  void OpenJob(const QString& path);
  void SaveJob(const QString& path);
  const QString& jobPath() const { return jobPath_; }
  // The lens and printer profiles dialog.
  void ProfilesClick();
  // A lens profile from the last pitch test sheet's winning strip.
  void SaveLensClick();
  // The print setup dialog; what it sets is kept for the next run.
  void PrintSetupClick();
  const PrintSetup& printSetup() const { return setup_; }
  void SetPrintSetup(const PrintSetup& setup);
  // Switches the captions between the two sets for this session (Ctrl+L,
  // or the window's context menu).
  void SwitchLanguage();
  // Drops the mouse and keyboard input that queued up while the window did
  // not answer (an export); everything else queued is handled as usual.
  void DiscardQueuedInput();
  // Shows what an export of the fields and the list would write, or which
  // field can't be read; red with the reason as its hint when the export
  // would print badly or be refused. Never shows a dialog.
  void UpdateOutputSummary();
  void BitBtn4Click();   // delete the selected views
  void BitBtn1Click();   // up
  void BitBtn2Click();   // down
  void BitBtn3Click();   // clear
  void BitBtn12Click();  // reverse
  void ListBox1Click();
  void Edit3KeyUp();
  void BitBtn7Click();   // export
  void BitBtn13Click();  // pitch test sheet
  void BitBtn8Click();   // caption step
  void BitBtn5Click();   // animated preview
  void BitBtn11Click();  // stop the preview
  void BitBtn10Click();  // anaglyph preview
  // The lens view (lens_view.h) of the plate the fields, the list and the
  // print setup make, seen through the setup's lens; made anew at each press.
  void LensViewClick();
  // The alignment view (align_view.h) of the list's views, each over the
  // first, with the shifts and turns the window holds; made anew at each
  // press. Its nudges and key rectangle come back here.
  void AlignViewClick();
  // Auto align: the command line's --align auto on the list's views; the
  // shifts and turns found replace the views' own, and the summary tells
  // the depth budget measured.
  void AutoAlignClick();
  // The layers window (layers_view.h): the layers or the depth map the
  // views are made from, kept here, saved in the job and exported in the
  // place of the view list. Add asks for the layers' files.
  void LayersViewClick();
  void AddLayersClick();
  const MadeSource& madeSource() const { return made_; }
  // Each view's shift and turn, one a view of the list (kept with the
  // view's file when the list is reordered), and setting them as the
  // export, the job and the reference take them.
  std::vector<ViewTransform> ViewTransforms() const;
  void SetViewTransforms(const std::vector<ViewTransform>& transforms);
  // Marks each list item with its view's shift and turn (kTransformRole).
  void ShowTransformsInList();
  // How the previews read `views` (the list's): through their shifts and
  // turns, cut as the export cuts them; none when no view moves. Raises the
  // readers' errors and CommonAreaOf's.
  std::vector<AlignedRead> AlignedReads(const QStringList& views) const;
  void Image2Click();
  void Timer1Timer();

  // Runs one handler inside the error guard.
  void Guard(void (TForm1::*handler)());

  // Top band.
  QWidget* Panel2 = nullptr;
  QLabel *Label1 = nullptr, *Label2 = nullptr, *Label9 = nullptr, *Label10 = nullptr, *Label15 = nullptr;
  QLabel *Label3 = nullptr, *Label4 = nullptr;
  QComboBox *ComboBox3 = nullptr, *ComboBox1 = nullptr, *ComboBox2 = nullptr;
  QLineEdit *Edit3 = nullptr, *Edit4 = nullptr, *Edit2 = nullptr;
  QPushButton *BitBtn9 = nullptr, *BitBtn5 = nullptr, *BitBtn7 = nullptr, *BitBtn3 = nullptr, *BitBtn12 = nullptr;
  QPushButton* BitBtn13 = nullptr;  // pitch test, in the band's free space
  QPushButton* BitBtn14 = nullptr;  // lens view, in the band's free space
  QPushButton* BitBtn15 = nullptr;  // alignment view, in the band's free space
  QPushButton* BitBtn16 = nullptr;  // layers window, in the band's free space
  QLabel* OutputSummary = nullptr;  // what an export would write, in the band's free space
  QLabel* Written = nullptr;  // "Written: PATH (SIZE)" over the progress bar, until the next action
  ClickablePicture *Image2 = nullptr, *Image1 = nullptr;
  // Client area.
  QWidget* Panel1 = nullptr;
  QListWidget* ListBox1 = nullptr;
  PictureBox* Image4 = nullptr;
  QPushButton *BitBtn4 = nullptr, *BitBtn1 = nullptr, *BitBtn2 = nullptr, *BitBtn11 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  // Present but never shown.
  QListWidget* ListBox2 = nullptr;
  QCheckBox *CheckBox1 = nullptr, *CheckBox4 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLineEdit *Edit5 = nullptr, *Edit6 = nullptr, *Edit7 = nullptr, *Edit8 = nullptr;
  QPushButton *BitBtn10 = nullptr, *BitBtn8 = nullptr;
  // One-shot pause of the preview: 100 ms, off after its first tick.
  QTimer* Timer1 = nullptr;

  // Run state.
  uint8_t PhotoCount = 0;  // views at the last export or preview, modulo 256
  int32_t FirstPhotoWidth = 0, FirstPhotoHeight = 0;  // the first view at the last import
  int64_t PhotoAspect = 0;   // width / height * 10000 of that view; 0 before any import
  int32_t NegativeInput = 0; // 1 for a ".gjs" series
  // 0 while an animation plays, 1 while its frames are built, 201 once a
  // stop was asked for, 202 after an import; 200 or more: no preview runs.
  int32_t PreviewState = 0;
  bool ChineseCaptions = false;

  // The About window, freed by the close step once the settings are saved.
  QWidget* Form2 = nullptr;

  // Settings, fixed by the create step.
  QString ExeDir, SettingsDir, SettingsFile;
  int32_t SettingsReserved = 0;
  // The print setup's own file, beside the settings file.
  QString PrintSetupFile;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void CreateTopBand();
  void CreateClientArea();
  void CreateHiddenControls();
  void ConnectHandlers();
  void SetFocusOrder();
  SavedFields Saved() const;
  QChar DecimalSeparator() const;
  bool UnitIsInch() const;
  ExportTexts FieldTexts() const;
  // Every export option the window holds, by name: its fields (numbers as
  // typed, or with "." when `portable`), the print setup, and the open
  // job's options the window does not show (panels, say).
  OptionValues WindowValues(bool portable = false) const;
  // The settings of WindowValues, as the export reads them.
  ExportSettings WindowSettings() const;
  // Shows the main window's options among `values` in its fields, as if
  // typed (others are left to the caller).
  void ShowFieldValues(const OptionValues& values);
  QString AskSavePath(const QString& proposedName, const QString& filter, QString* selectedFilter);
  static QString TooLargeAdvice();
  void ShowCount();
  void ShowHeight();
  void ReplaceItems(const QStringList& items);
  // Appends `paths` to the list, and enables what a list with views allows.
  void AddItems(const QStringList& paths);
  // `view` becomes the reference: its size, aspect and the height it gives.
  void TakeReference(const QString& view);
  // With an opened job's shifts and turns, the area every moved view covers
  // becomes the reference, as the export takes it; a view that cannot be
  // read leaves the first view's, for the export to name.
  void TakeAlignedReference(const QStringList& views, const std::vector<ViewTransform>& transforms);
  QStringList Items() const;
  void MoveCurrent(int step);
  void PlayPreview();
  void Play(const std::vector<QImage>& frames);

  void LoadSetup();
  void SaveSetup();
  // The context menu's texts in the caption language, and the window's
  // title naming the job.
  void RetitleActions();
  void RetitleLensView();
  void RetitleAlignView();
  void RetitleLayersView();
  void TakeLayersView();
  void ShowMadeInLayersView();
  // The made views into `request` (its layers, or the depth map's picture);
  // refused while the view list holds views too.
  void PutMadeInRequest(ExportRequest& request) const;
  // The made views' plan for the fields as they stand; none when nothing
  // is made, or when it is refused (*problem tells why).
  std::optional<MadeViewPlan> MadePlan(QString* problem) const;
  // The made views' size becomes the reference, as the command line takes it.
  void TakeMadeReference();
  // The animated preview's frames of the made views, one a view in their
  // order, each read whole and reduced as a view is.
  std::vector<QImage> MadeFrames() const;
  // The depth budget of the made views, from the depths given.
  QStringList MadeBudgetLines() const;
  // The anaglyph of the layers window's made views, in the place of the list's.
  void ShowMadeAnaglyph();
  // The summary's lines of the made views, and the frames made (left as
  // they are when none); a refusal goes to *warning.
  QStringList MadeLines(int* frames, QString* warning) const;
  void TakeAlignViewTransforms();
  void TakeAlignViewKey();
  void RefreshAlignView();
  void FillAlignView(AlignView& view);
  // The depth budget's lines for the fields as they stand, while the list
  // and its transforms are those Auto align measured; else none.
  QStringList DepthBudgetLines() const;
  void ShowTitle();
  // What a job of the window holds: the fields, the list, the setup.
  Job JobOfWindow() const;
  // The open job differs from what was opened or saved last: the title
  // carries a "*", and nothing replaces it without a question.
  bool JobModified() const;
  // True when nothing unsaved would be lost, or the operator saved it or
  // chose to discard it; false when the operator cancels.
  bool MayReplaceUnsaved();
  // The views of the list that are no file now, marked red in the list.
  QStringList MarkMissingViews();
  // "Written: PATH (SIZE)" for the files an export or a sheet wrote; an
  // empty list takes it away.
  void ShowWritten(const QStringList& files);
  // Every field shown from its first character.
  void ShowFieldsFromStart();

  Desktop& desktop_;
  PrintSetup setup_;
  QString setupSummary_, setupProblem_;  // the summary's line for the setup, and why it can't be used
  QByteArray setupProfile_;               // the profile a plate of the setup carries
  bool setupChosen_ = false;              // setup_ is to be written at close
  QString jobPath_;                       // the job the window holds, or empty
  Job jobKept_;                           // its output and the keys this version does not know
  Job jobSaved_;                          // JobOfWindow() when the job was opened or saved last
  PitchSheetPlan lastSheet_;              // the last pitch test sheet printed
  bool sheetPrinted_ = false;
  QString lastFolder_;  // where the file dialogs open next
  QString outputFolder_;  // where the last plate or sheet went: the save dialog opens there
  bool closed_ = false;
  bool exporting_ = false;  // an export is between its dialog and its end
  bool discardingInput_ = false;  // input queued during an export is being dropped
  QSet<uint64_t> edit3KeysDown_;  // keys pressed in Edit3 and not yet released
  std::optional<KeyRect> alignKey_;  // chosen in the alignment view; none: the first view's centre third
  // What Auto align measured, and of which list and transforms.
  struct MeasuredDepth {
    QStringList views;
    std::vector<ViewTransform> transforms;
    std::vector<NeighbourParallax> parallax;
  };
  std::optional<MeasuredDepth> depth_;
  MadeSource made_;  // the layers window's; inactive: the view list is exported
};

}  // namespace plivora
