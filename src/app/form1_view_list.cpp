// The view list: import, delete, the moves, reverse, clear, and the height
// field that follows the width.
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "app/form1.h"
#include "app/picture_box.h"
#include "app/wording.h"
#include "common/error.h"
#include "jobs/export.h"
#include "series/source_image.h"
#include "series/view_series.h"

namespace plivora {

QStringList TForm1::Items() const {
  QStringList items;
  for (int i = 0; i < ListBox1->count(); ++i) items << ListBox1->item(i)->text();
  return items;
}

// Replaces the whole list; the selection is gone afterwards. The list's own
// signals are held back: a refill is not a selection the user made.
void TForm1::ReplaceItems(const QStringList& items) {
  const QSignalBlocker blocker(ListBox1);
  ListBox1->clear();
  ListBox1->addItems(items);
  ShowTransformsInList();
}

void TForm1::AddItems(const QStringList& paths) {
  {
    const QSignalBlocker blocker(ListBox1);
    ListBox1->addItems(paths);
  }
  ShowTransformsInList();
  ShowCount();
  for (QPushButton* b : {BitBtn4, BitBtn1, BitBtn2}) b->setEnabled(true);
}

void TForm1::TakeReference(const QString& view) {
  SourceImage image;
  ReadSourceHeader(view, image);
  FirstPhotoWidth = int32_t(image.Width);
  FirstPhotoHeight = int32_t(image.Height);
  PhotoAspect = plivora::PhotoAspect(image.Width, image.Height);
  ShowHeight();
}

void TForm1::TakeAlignedReference(const QStringList& views, const std::vector<ViewTransform>& transforms) {
  std::optional<CommonArea> area;
  try {
    area = AlignedAreaOf(views, transforms);
  } catch (const Error&) {
    return;
  }
  if (!area) return;
  FirstPhotoWidth = int32_t(area->width);
  FirstPhotoHeight = int32_t(area->height);
  PhotoAspect = plivora::PhotoAspect(area->width, area->height);
  ShowHeight();
}

void TForm1::ShowCount() {
  Label4->setText(QString::number(ListBox1->count()));
  BitBtn5->setEnabled(ListBox1->count() >= 2);
}

void TForm1::BitBtn9Click() {
  FileDialogOptions options;
  options.filter = QStringLiteral("TIFF (*.tif *.tiff);;GJS (*.gjs)");
  options.defaultSuffix = QStringLiteral("tif");
  options.folder = lastFolder_;
  ImportPaths(desktop_.OpenFileNames(this, options));
}

// The import from the point where the files are chosen: the dialog's, or
// the ones dropped on the list or named on the command line.
void TForm1::ImportPaths(const QStringList& chosen) {
  if (chosen.isEmpty()) return;
  lastFolder_ = QFileInfo(chosen.first()).absolutePath();

  NegativeInput = 0;
  AddItems(chosen);

  // The first item decides for the whole series; the other files are not
  // looked at until they are exported.
  const QString first = ListBox1->item(0)->text();
  const QString extension = PathExtension(first);
  const bool tiff = extension == QLatin1String(".tif") || extension == QLatin1String(".tiff");
  if (!tiff && !IsNegativeExtension(extension)) {
    desktop_.ShowMessage(this, QStringLiteral("The format must be cmyk tif or gjs!"));
    return;
  }
  if (IsNegativeExtension(extension)) NegativeInput = 1;
  TakeReference(first);
  BitBtn7->setEnabled(true);

  QStringList items = Items();
  std::stable_sort(items.begin(), items.end(),
                   [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  ReplaceItems(items);
  if (NegativeInput == 1) BitBtn12Click();
  PreviewState = 202;
  UpdateOutputSummary();
}

void TForm1::ImportImagesClick() {
  FileDialogOptions options;
  options.title = Words(QStringLiteral("Import images"), QStringLiteral("导入图片"));
  options.filter = Words(QStringLiteral("Images (*.tif *.tiff *.png *.jpg *.jpeg *.gjs *.TIF *.PNG *.JPG *.JPEG);;All files (*)"),
                         QStringLiteral("图片 (*.tif *.tiff *.png *.jpg *.jpeg *.gjs *.TIF *.PNG *.JPG *.JPEG);;所有文件 (*)"));
  options.folder = lastFolder_;
  ImportImages(desktop_.OpenFileNames(this, options));
}

// A file no view reader takes (a text, a folder) is refused here, named
// with the reader's reason as the command line would give it; the others
// are imported.
void TForm1::ImportImages(const QStringList& paths) {
  QStringList chosen, refused;
  for (const QString& path : paths) {
    try {
      SourceImage header;
      ReadSourceHeader(path, header);
      chosen << path;
    } catch (const Error& e) {
      refused << e.message();
    }
  }
  if (!refused.isEmpty())
    desktop_.ShowError(this, CoreWords(QStringLiteral("这些文件不是图片，未导入：\n%1"), refused.join(QChar('\n'))));
  if (chosen.isEmpty()) return;
  lastFolder_ = QFileInfo(chosen.first()).absolutePath();
  AddItems(chosen);
  const QString first = ListBox1->item(0)->text();
  NegativeInput = IsNegativeExtension(PathExtension(first)) ? 1 : 0;
  TakeReference(first);
  BitBtn7->setEnabled(true);
  PreviewState = 202;
  UpdateOutputSummary();
}

void TForm1::ImportFromOutside(const QStringList& paths) {
  // A job opens alone.
  for (const QString& path : paths)
    if (PathExtension(path).compare(QLatin1String(".plivora"), Qt::CaseInsensitive) == 0) return OpenJob(path);
  for (const QString& path : paths) {
    const QString extension = PathExtension(path);
    const bool tiff = extension == QLatin1String(".tif") || extension == QLatin1String(".tiff");
    if (!tiff && !IsNegativeExtension(extension)) return ImportImages(paths);
  }
  ImportPaths(paths);
}

void TForm1::Edit3KeyUp() {
  if (PhotoAspect == 0 || Edit3->text().isEmpty()) return;
  ShowHeight();
}

// The height for the width in Edit3, shown from its first digit.
void TForm1::ShowHeight() {
  Edit4->setText(HeightFromWidth(Edit3->text(), PhotoAspect, DecimalSeparator()));
  Edit4->setCursorPosition(0);
}

void TForm1::BitBtn12Click() {
  const QStringList items = Items();
  ListBox2->clear();
  for (auto it = items.crbegin(); it != items.crend(); ++it) ListBox2->addItem(*it);
  QStringList reversed;
  for (int i = 0; i < ListBox2->count(); ++i) reversed << ListBox2->item(i)->text();
  ReplaceItems(reversed);
}

void TForm1::ListBox1Click() {
  const int i = ListBox1->currentRow();
  const int n = ListBox1->count();
  BitBtn1->setEnabled(i > 0);
  BitBtn2->setEnabled(i >= 0 && i < n - 1);
}

// Moves the current item one place up (step -1) or down (+1); the other
// selected items stay where they are, and the moved one stays selected and
// current, so that repeated presses keep moving it.
void TForm1::MoveCurrent(int step) {
  const int i = ListBox1->currentRow();
  const int n = ListBox1->count();
  if (i < 0 || i + step < 0 || i + step > n - 1) return;
  {
    const QSignalBlocker blocker(ListBox1);
    QListWidgetItem* item = ListBox1->takeItem(i);
    ListBox1->insertItem(i + step, item);
    ListBox1->setCurrentItem(item, QItemSelectionModel::Select);
  }
  BitBtn1->setEnabled(i + step > 0);
  BitBtn2->setEnabled(i + step < n - 1);
}

void TForm1::BitBtn1Click() { MoveCurrent(-1); }

void TForm1::BitBtn2Click() { MoveCurrent(+1); }

void TForm1::BitBtn4Click() {
  {
    const QSignalBlocker blocker(ListBox1);
    qDeleteAll(ListBox1->selectedItems());
  }
  ShowCount();
}

void TForm1::BitBtn3Click() {
  {
    const QSignalBlocker blocker(ListBox1);
    ListBox1->clear();
  }
  Label4->setText(QStringLiteral("0"));
  BitBtn7->setEnabled(false);
  BitBtn5->setEnabled(false);
  Image4->ClearPicture();
}

}  // namespace plivora
