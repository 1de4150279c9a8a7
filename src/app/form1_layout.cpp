// The controls of the main window: kinds, places, texts, hints and states at
// start, and the wiring of their events to the handlers.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include "app/app_title.h"
#include "app/form1.h"
#include "app/named_widget.h"
#include "app/picture_box.h"
#include "app/wording.h"

namespace plivora {

namespace {

// Every item of the view list is 16 pixels high. A view with a shift or a
// turn shows them at the item's right end (kTransformRole), its name cut
// short before them; the item's text stays the view's path.
class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), 16};
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QString moved = index.data(kTransformRole).toString();
    if (moved.isEmpty()) return QStyledItemDelegate::paint(painter, option, index);
    const int room = option.fontMetrics.horizontalAdvance(moved) + 12;
    QStyleOptionViewItem name(option);
    name.rect.setRight(option.rect.right() - room);
    painter->fillRect(option.rect, option.state.testFlag(QStyle::State_Selected) ? option.palette.highlight() : option.palette.base());
    QStyledItemDelegate::paint(painter, name, index);
    painter->save();
    painter->setPen(option.palette.color(option.state.testFlag(QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(option.rect.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, moved);
    painter->restore();
  }
};

QLabel* MakeLabel(QWidget* parent, const char* name, QRect bounds, const QString& text) {
  auto* label = Make<QLabel>(parent, name, bounds);
  label->setText(text);
  return label;
}

QComboBox* MakeCombo(QWidget* parent, const char* name, QRect bounds, const QStringList& items, int index,
                     const QString& text, const QString& hint) {
  auto* box = Make<QComboBox>(parent, name, bounds);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);  // typed values are used, not added to the list
  box->setCompleter(nullptr);                 // no silent completion of typed numbers
  box->addItems(items);
  box->setCurrentIndex(index);
  box->setEditText(text);
  box->setToolTip(hint);
  return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect bounds, const QString& text, const QString& hint = {}) {
  auto* edit = Make<QLineEdit>(parent, name, bounds);
  edit->setText(text);
  edit->setToolTip(hint);
  return edit;
}

QPushButton* MakePictureButton(QWidget* parent, const char* name, QRect bounds, const char* picture,
                               const QString& hint) {
  auto* button = Make<QPushButton>(parent, name, bounds);
  button->setIcon(QIcon(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(picture))));
  button->setIconSize({40, 40});
  button->setToolTip(hint);
  return button;
}

QPixmap Picture(const char* name) { return QPixmap(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(name))); }

}  // namespace

void TForm1::CreateControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(kMainCaption));
  QIcon icon(QStringLiteral(":/pictures/icon.png"));  // 32 x 32, and a large one for docks and switchers
  icon.addFile(QStringLiteral(":/pictures/icon256.png"));
  setWindowIcon(icon);
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("WenQuanYi Micro Hei")});
  font.setPixelSize(12);
  setFont(font);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  resize(883, 457);  // an outer size of about 891 x 491 with the frame

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  CreateTopBand();
  CreateClientArea();
  ProgressBar1 = Make<QProgressBar>(this, "ProgressBar1");
  ProgressBar1->setFixedHeight(17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  // What the last export or sheet wrote, over the bar until the next action.
  Written = Make<QLabel>(ProgressBar1, "Written");
  Written->setAlignment(Qt::AlignCenter);
  auto* over = new QHBoxLayout(ProgressBar1);
  over->setContentsMargins(4, 0, 4, 0);
  over->addWidget(Written);
  layout->addWidget(Panel2);
  layout->addWidget(Panel1, 1);
  layout->addWidget(ProgressBar1);
  CreateHiddenControls();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(100);
  Timer1->start();
  SetFocusOrder();
}

void TForm1::CreateTopBand() {
  Panel2 = Make<QWidget>(this, "Panel2");
  Panel2->setFixedHeight(137);
  QWidget* p = Panel2;
  Label1 = MakeLabel(p, "Label1", {24, 24, 57, 13}, QStringLiteral("Output &DPI:"));
  ComboBox3 = MakeCombo(p, "ComboBox3", {96, 18, 137, 21}, {"4000", "(Auto)", "2400"}, 0, QStringLiteral("4000"),
                        QStringLiteral("DPI of CTP(输出分辨率)"));
  Label2 = MakeLabel(p, "Label2", {24, 48, 56, 13}, QStringLiteral("&LPI: "));
  ComboBox1 = MakeCombo(p, "ComboBox1", {96, 44, 137, 21},
                        {"25", "25.2", "39.5018", "42.51234", "70.12222", "70.21222", "75.40595", "75.49555",
                         "75.5555555555555", "99", "99.4907", "99.5022", "159.9734"},
                        -1, QStringLiteral("75.5555555555555"),
                        QStringLiteral("Sum total lines per inch(每英寸光栅的线条数)"));
  Label9 = MakeLabel(p, "Label9", {24, 72, 56, 13}, QStringLiteral("&Width:"));
  Edit3 = MakeEdit(p, "Edit3", {96, 68, 49, 21}, QStringLiteral("2"), QStringLiteral("Output Width(输出的宽度)"));
  ComboBox2 = MakeCombo(p, "ComboBox2", {160, 68, 73, 21}, {"inch", "cm"}, 1, QStringLiteral("cm"), {});
  Label10 = MakeLabel(p, "Label10", {24, 96, 56, 13}, QStringLiteral("Height:"));
  Edit4 = MakeEdit(p, "Edit4", {96, 92, 49, 21}, QStringLiteral("3"));
  Edit4->setEnabled(false);
  Label15 = MakeLabel(p, "Label15", {148, 96, 56, 13}, QStringLiteral("&Compress:"));
  Edit2 = MakeEdit(p, "Edit2", {208, 92, 25, 21}, QStringLiteral("10"), QStringLiteral("Height scale(竖向压缩的倍数)"));
  Label3 = MakeLabel(p, "Label3", {272, 104, 73, 13}, QStringLiteral("Photo Count:"));
  Label4 = MakeLabel(p, "Label4", {352, 104, 33, 13}, QStringLiteral("0"));
  Label1->setBuddy(ComboBox3);
  Label2->setBuddy(ComboBox1);
  Label9->setBuddy(Edit3);
  Label15->setBuddy(Edit2);
  // Its caption's "&" is an accelerator, shown underlined, not as it stands.
  Label10->setBuddy(Edit4);
  for (QLabel* label : {Label1, Label2, Label9, Label10, Label15, Label3}) label->adjustSize();

  BitBtn9 = MakePictureButton(p, "BitBtn9", {344, 16, 48, 48}, "import", QStringLiteral("Import tif(导入立体系列图)"));
  BitBtn5 = MakePictureButton(p, "BitBtn5", {405, 15, 48, 48}, "preview", QStringLiteral("Preview/Stop(预览/停止)"));
  BitBtn7 = MakePictureButton(p, "BitBtn7", {466, 15, 48, 48}, "export", QStringLiteral("Export tif(输出压线图)"));
  BitBtn3 = MakePictureButton(p, "BitBtn3", {528, 15, 48, 48}, "clear", QStringLiteral("Clear(清除系列图)"));
  BitBtn13 = MakePictureButton(p, "BitBtn13", {590, 15, 48, 48}, "pitchtest", QStringLiteral("Pitch test(光栅节距测试)"));
  BitBtn14 = MakePictureButton(p, "BitBtn14", {652, 15, 48, 48}, "lensview", QStringLiteral("Lens view(光栅透视)"));
  BitBtn15 = MakePictureButton(p, "BitBtn15", {816, 15, 48, 48}, "alignview", QStringLiteral("Alignment view(视图对齐)"));
  // Above the logo, the band's last free space.
  BitBtn16 = Make<QPushButton>(p, "BitBtn16", {712, 8, 92, 28});
  BitBtn5->setEnabled(false);
  BitBtn7->setEnabled(false);
  BitBtn12 = Make<QPushButton>(p, "BitBtn12", {400, 85, 81, 36});
  BitBtn12->setText(QStringLiteral("Z-->A"));
  BitBtn12->setToolTip(QStringLiteral("Reverse(反向排序)"));

  Image2 = Make<ClickablePicture>(p, "Image2", {512, 100, 90, 15});
  Image2->setPixmap(Picture("logo_small"));
  Image2->setCursor(Qt::PointingHandCursor);
  Image2->hide();
  OutputSummary = Make<QLabel>(p, "OutputSummary", {610, 80, 268, 56});
  OutputSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1 = Make<ClickablePicture>(p, "Image1", {704, 40, 100, 40});
  Image1->setPixmap(Picture("logo"));
}

void TForm1::CreateClientArea() {
  Panel1 = Make<QWidget>(this, "Panel1");
  auto* layout = new QHBoxLayout(Panel1);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  ListBox1 = Make<QListWidget>(Panel1, "ListBox1");
  ListBox1->setFixedWidth(448);
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  QFont listFont = font();
  listFont.setPixelSize(13);
  ListBox1->setFont(listFont);
  ListBox1->setItemDelegate(new FixedHeightDelegate(ListBox1));

  // Delete, Up and Down stand in a column beside the list, where they can be
  // seen and clicked.
  auto* column = Make<QWidget>(Panel1, "ListButtons");
  column->setFixedWidth(96);
  BitBtn4 = Make<QPushButton>(column, "BitBtn4", {8, 34, 80, 50});
  BitBtn4->setText(QStringLiteral("-"));
  QFont big = font();
  big.setPixelSize(32);
  BitBtn4->setFont(big);
  BitBtn4->setToolTip(QStringLiteral("Delete Photo"));
  BitBtn1 = MakePictureButton(column, "BitBtn1", {8, 116, 80, 50}, "up", QStringLiteral("Up"));
  BitBtn2 = MakePictureButton(column, "BitBtn2", {8, 198, 80, 50}, "down", QStringLiteral("Down"));
  for (QPushButton* b : {BitBtn4, BitBtn1, BitBtn2}) b->setEnabled(false);

  Image4 = Make<PictureBox>(Panel1, "Image4");
  layout->addWidget(ListBox1);
  layout->addWidget(column);
  layout->addWidget(Image4, 1);

  BitBtn11 = Make<QPushButton>(Panel1, "BitBtn11", {616, 16, 75, 25});
  BitBtn11->setText(QStringLiteral("stop"));
  BitBtn11->hide();
}

void TForm1::CreateHiddenControls() {
  ListBox2 = Make<QListWidget>(Panel2, "ListBox2");
  CheckBox1 = Make<QCheckBox>(Panel2, "CheckBox1");
  CheckBox1->setText(QStringLiteral("8 &bit"));
  CheckBox1->setChecked(true);
  CheckBox4 = Make<QCheckBox>(Panel2, "CheckBox4");
  CheckBox4->setText(QStringLiteral("Spli&t Channel "));
  GroupBox1 = Make<QGroupBox>(Panel2, "GroupBox1", {616, 8, 80, 120});
  GroupBox1->setTitle(QStringLiteral("Top"));
  const char* inkNames[] = {"Edit5", "Edit6", "Edit7", "Edit8"};
  const char* inkLabels[] = {"C:", "M:", "Y:", "K:"};
  QLineEdit** inks[] = {&Edit5, &Edit6, &Edit7, &Edit8};
  for (int i = 0; i < 4; ++i) {
    MakeLabel(GroupBox1, "", {8, 20 + 24 * i, 16, 13}, QString::fromLatin1(inkLabels[i]));
    *inks[i] = MakeEdit(GroupBox1, inkNames[i], {28, 16 + 24 * i, 44, 21}, i < 3 ? QStringLiteral("0.5") : QStringLiteral("0"));
  }
  BitBtn10 = MakePictureButton(Panel2, "BitBtn10", {0, 0, 48, 48}, "anaglyph", QStringLiteral("红绿互补色立体图"));
  BitBtn10->setEnabled(false);
  BitBtn8 = Make<QPushButton>(Panel2, "BitBtn8");
  BitBtn8->setText(QStringLiteral("Chinese"));
  BitBtn8->setToolTip(QStringLiteral("Languages"));
  for (QWidget* w : std::initializer_list<QWidget*>{ListBox2, CheckBox1, CheckBox4, GroupBox1, BitBtn10, BitBtn8})
    w->hide();
}

void TForm1::ConnectHandlers() {
  const auto on = [this](QPushButton* button, void (TForm1::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { Guard(handler); });
  };
  on(BitBtn9, &TForm1::BitBtn9Click);
  on(BitBtn4, &TForm1::BitBtn4Click);
  on(BitBtn1, &TForm1::BitBtn1Click);
  on(BitBtn2, &TForm1::BitBtn2Click);
  on(BitBtn3, &TForm1::BitBtn3Click);
  on(BitBtn12, &TForm1::BitBtn12Click);
  on(BitBtn7, &TForm1::BitBtn7Click);
  on(BitBtn13, &TForm1::BitBtn13Click);
  on(BitBtn14, &TForm1::LensViewClick);
  on(BitBtn15, &TForm1::AlignViewClick);
  on(BitBtn16, &TForm1::LayersViewClick);
  on(BitBtn8, &TForm1::BitBtn8Click);
  on(BitBtn5, &TForm1::BitBtn5Click);
  on(BitBtn11, &TForm1::BitBtn11Click);
  on(BitBtn10, &TForm1::BitBtn10Click);
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { Guard(&TForm1::ListBox1Click); });
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { Guard(&TForm1::ListBox1Click); });
  Edit3->installEventFilter(this);
  // The output summary follows every field and the list.
  const auto summary = [this] {
    ShowWritten({});
    UpdateOutputSummary();
  };
  connect(ComboBox3, &QComboBox::editTextChanged, this, summary);
  connect(ComboBox1, &QComboBox::editTextChanged, this, summary);
  connect(ComboBox2, &QComboBox::currentIndexChanged, this, summary);
  connect(Edit3, &QLineEdit::textChanged, this, summary);
  connect(Edit4, &QLineEdit::textChanged, this, summary);
  connect(Edit2, &QLineEdit::textChanged, this, summary);
  connect(ListBox1->model(), &QAbstractItemModel::rowsInserted, this, summary);
  connect(ListBox1->model(), &QAbstractItemModel::rowsRemoved, this, summary);
  connect(ListBox1->model(), &QAbstractItemModel::modelReset, this, summary);
  // Files dropped from a file manager are imported like chosen ones.
  ListBox1->setAcceptDrops(true);
  ListBox1->viewport()->installEventFilter(this);
  // The context menu: the other caption set for this session (Ctrl+L), and
  // what no control of the band holds: views in other formats, the plate's
  // colours and lens, jobs and profiles. Their texts follow the language
  // (RetitleActions).
  const auto action = [this](const char* name, const char* shortcut, void (TForm1::*handler)()) {
    auto* a = new QAction(this);
    a->setObjectName(QString::fromLatin1(name));
    if (shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
    connect(a, &QAction::triggered, this, [this, handler] { Guard(handler); });
    addAction(a);
  };
  action("SwitchLanguage", "Ctrl+L", &TForm1::SwitchLanguage);
  action("ImportImages", nullptr, &TForm1::ImportImagesClick);
  action("PrintSetup", nullptr, &TForm1::PrintSetupClick);
  action("OpenJob", "Ctrl+O", &TForm1::OpenJobClick);
  action("SaveJob", "Ctrl+S", &TForm1::SaveJobClick);
  action("SaveJobAs", nullptr, &TForm1::SaveJobAsClick);
  action("Profiles", nullptr, &TForm1::ProfilesClick);
  action("SaveLens", nullptr, &TForm1::SaveLensClick);
  RetitleActions();
  // The Delete key on the list removes the selected views, as "-" does
  // (eventFilter).
  ListBox1->installEventFilter(this);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  Image2->onClick = [this] { Guard(&TForm1::Image2Click); };
  connect(Timer1, &QTimer::timeout, this, [this] { Guard(&TForm1::Timer1Timer); });
  // The desktop's usual quit key closes the window like its frame button.
  connect(new QShortcut(QKeySequence::Quit, this), &QShortcut::activated, this, &QWidget::close);
}

// The client area comes before the band; disabled and hidden controls are
// skipped, so the focus starts on the view list.
void TForm1::RetitleActions() {
  const std::pair<const char*, QString> texts[] = {
      {"SwitchLanguage", Words(QStringLiteral("Switch language"), QStringLiteral("切换语言"))},
      {"ImportImages", Words(QStringLiteral("Import images…"), QStringLiteral("导入图片…"))},
      {"PrintSetup", Words(QStringLiteral("Print setup…"), QStringLiteral("打印设置…"))},
      {"OpenJob", Words(QStringLiteral("Open job…"), QStringLiteral("打开作业…"))},
      {"SaveJob", Words(QStringLiteral("Save job…"), QStringLiteral("保存作业…"))},
      {"SaveJobAs", Words(QStringLiteral("Save job as…"), QStringLiteral("作业另存为…"))},
      {"Profiles", Words(QStringLiteral("Lens and printer profiles…"), QStringLiteral("光栅与打印机档案…"))},
      {"SaveLens", Words(QStringLiteral("Save lens…"), QStringLiteral("保存光栅…"))},
  };
  for (const auto& [name, text] : texts)
    if (auto* a = findChild<QAction*>(QString::fromLatin1(name))) a->setText(text);
  BitBtn16->setText(Words(QStringLiteral("Layers…"), QStringLiteral("图层…")));
  BitBtn16->setToolTip(Words(QStringLiteral("Views made from layers or a depth map"), QStringLiteral("由图层或深度图生成视图")));
}

void TForm1::SetFocusOrder() {
  QWidget* const order[] = {BitBtn4, BitBtn1, BitBtn2, ListBox1, BitBtn11, ComboBox1, Edit3, ComboBox2,
                            Edit2, BitBtn9, BitBtn7, BitBtn3, Edit4, ComboBox3, BitBtn5, BitBtn12, BitBtn13, BitBtn14, BitBtn15, BitBtn16};
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);
  for (QWidget* w : std::initializer_list<QWidget*>{Image1, Image2, Image4}) w->setFocusPolicy(Qt::NoFocus);
  ListBox1->setFocus();
}

}  // namespace plivora
