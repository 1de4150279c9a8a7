#include "options/option_table.h"

#include <QStringList>

#include "colour/colour_transform.h"
#include "colour/icc_profile.h"
#include "common/numbers.h"
#include "interlace/export_geometry.h"
#include "plate/output_form.h"

namespace plivora {

namespace {

OptionEntry Number(const char* name, const QString& fallback, const char* help) {
  OptionEntry o;
  o.name = QLatin1String(name);
  o.kind = OptionKind::kNumber;
  o.value = QStringLiteral("TEXT");
  o.fallback = fallback;
  o.help = QLatin1String(help);
  return o;
}

OptionEntry Choice(const char* name, const char* fallback, const char* help, std::vector<OptionChoice> choices) {
  OptionEntry o;
  o.name = QLatin1String(name);
  o.kind = OptionKind::kChoice;
  o.fallback = QLatin1String(fallback);
  o.help = QString::fromUtf8(help);
  o.choices = std::move(choices);
  QStringList words;
  for (const OptionChoice& c : o.choices) words << c.name;
  o.value = words.join(QChar('|'));
  return o;
}

OptionEntry Switch(const char* name, const char* help) {
  OptionEntry o;
  o.name = QLatin1String(name);
  o.kind = OptionKind::kSwitch;
  o.help = QLatin1String(help);
  return o;
}

// Where the window shows `o`, and its words there.
OptionEntry ShownAs(OptionEntry o, Shown shown, const char* en, const char* zh, const char* objectName = "",
                 const char* hint = "") {
  o.shown = shown;
  o.en = QString::fromUtf8(en);
  o.zh = QString::fromUtf8(zh);
  o.objectName = QLatin1String(objectName);
  o.hint = QString::fromUtf8(hint);
  return o;
}

// The main window's control that holds `o`.
OptionEntry InField(OptionEntry o, const char* control) {
  o.windowField = QLatin1String(control);
  return o;
}

OptionEntry HeldTo(OptionEntry o, const char* precision) {
  o.heldTo = QLatin1String(precision);
  return o;
}

OptionEntry Kept(OptionEntry o, KeptBy by) {
  o.keptBy = by;
  return o;
}

// The views stage's options: kept in jobs, shown nowhere among the fields.
void AddAlignOptions(std::vector<OptionEntry>& t) {
  t.push_back(ShownAs(Choice("align", "none", "find each view's vertical shift and turn and the key\nplane's shifts (auto), or "
                                            "take the views as the job\ngives them (none)",
                             {{QStringLiteral("none"), QStringLiteral("None"), QStringLiteral("不对齐")},
                              {QStringLiteral("auto"), QStringLiteral("Automatic"), QStringLiteral("自动对齐")}}),
                      Shown::kNowhere, "Aligning views", "视图对齐"));
  OptionEntry key = ShownAs(Number("key", QString(), "with --align auto: the key rectangle, in the first\nview's pixels, whose "
                                                   "content holds still"),
                           Shown::kNowhere, "Key rectangle", "关键区域");
  key.value = QStringLiteral("X,Y,W,H");
  key.fallbackHelp = QStringLiteral("centre third");
  t.push_back(key);
  OptionEntry keyShift = ShownAs(Number("key-shift", QString(), "shift view k by k x S pixels across (a rendered\nseries' "
                                                              "known key plane), instead of --key"),
                                Shown::kNowhere, "Key shift", "关键平面位移");
  keyShift.value = QStringLiteral("S");
  keyShift.fallbackHelp = QStringLiteral("none");
  t.push_back(keyShift);
}

// Views made from layers or from a picture and its depth map: kept in
// jobs, shown nowhere among the fields (the layers themselves are inputs,
// as views are).
void AddMadeViewOptions(std::vector<OptionEntry>& t) {
  OptionEntry frames = ShownAs(Number("frames", QString(), "with --layer or --depth-map: the views to make (2 to 255)"),
                               Shown::kNowhere, "Views made", "生成视图数");
  frames.kind = OptionKind::kWhole;
  frames.value = QStringLiteral("N");
  frames.fallbackHelp = QStringLiteral("DPI / LPI, whole");
  frames.low = 2;
  frames.high = 255;
  t.push_back(frames);
  OptionEntry map = ShownAs(Number("depth-map", QString(), "make the views from the one VIEW and this grey map of\nits "
                                                          "depth, white near (8 or 16 bits)"),
                            Shown::kNowhere, "Depth map", "深度图");
  map.kind = OptionKind::kFile;
  map.value = QStringLiteral("MAP");
  map.fallbackHelp = QStringLiteral("none");
  t.push_back(map);
  OptionEntry depth = ShownAs(Number("depth", QStringLiteral("1"), "with --depth-map: the parallax between black and\nwhite, "
                                                                  "in lens widths at the plate"),
                              Shown::kNowhere, "Depth of the map", "深度范围");
  depth.value = QStringLiteral("D");
  depth.boundsEn = QStringLiteral("from -%1 to %1 lens widths").arg(int(kMaxMadeDepth));
  depth.boundsZh = QStringLiteral("在 -%1 到 %1 个光栅宽度之间").arg(int(kMaxMadeDepth));
  t.push_back(depth);
  OptionEntry key = ShownAs(Number("key-depth", QStringLiteral("128"), "with --depth-map: the grey on the print's plane"),
                            Shown::kNowhere, "Grey of the key plane", "关键平面灰度");
  key.kind = OptionKind::kWhole;
  key.value = QStringLiteral("G");
  key.low = 0;
  key.high = 255;
  t.push_back(key);
  OptionEntry save = ShownAs(Number("save-views", QString(), "also write the made views to DIR: view-01.tif ...,\n"
                                                            "8 bits in the plate's colours, with its profile"),
                             Shown::kNowhere, "Folder for the made views", "生成视图的文件夹");
  save.kind = OptionKind::kFile;
  save.value = QStringLiteral("DIR");
  save.fallbackHelp = QStringLiteral("none");
  t.push_back(save);
}

std::vector<OptionEntry> MakeTable() {
  const ExportTexts d;  // the window's fields as created
  std::vector<OptionEntry> t;
  const char* perInch = "DPI and LPI are held to 10^-9";
  const char* length = "lengths are held to 1/10000 inch";
  t.push_back(Kept(InField(HeldTo(ShownAs(Number("dpi", d.dpi, "output resolution, or (Auto) / auto"), Shown::kBoth, "DPI",
                                          "输出精度", "Dpi"),
                                  perInch),
                           "ComboBox3"),
                   KeptBy::kPrinter));
  t.push_back(Kept(InField(HeldTo(ShownAs(Number("lpi", d.lpi, "lens lines per inch"), Shown::kBoth, "LPI", "光栅线数", "Lpi"), perInch),
                           "ComboBox1"),
                   KeptBy::kLens));
  t.push_back(InField(HeldTo(ShownAs(Number("width", d.width, "output width"), Shown::kMainWindow, "Width", "宽度"), length), "Edit3"));
  OptionEntry height = ShownAs(Number("height", QString(), "output height"), Shown::kMainWindow, "Height", "高度");
  height.fallbackHelp = QStringLiteral("width / aspect of the first view");
  t.push_back(InField(HeldTo(height, length), "Edit4"));
  t.push_back(InField(ShownAs(Choice("unit", "cm", "unit of width and height", {{QStringLiteral("inch"), {}, {}}, {QStringLiteral("cm"), {}, {}}}),
                              Shown::kMainWindow, "Unit", "单位"),
                      "ComboBox2"));
  t.push_back(InField(ShownAs(Number("compress", d.compress, "vertical compress factor"), Shown::kMainWindow, "Compress", "竖向压缩"),
                      "Edit2"));
  t.push_back(Kept(ShownAs(Choice("compression", "none", "compression of the TIFF",
                                {{QStringLiteral("none"), QStringLiteral("Uncompressed"), QStringLiteral("不压缩")},
                                 {QStringLiteral("packbits"), QStringLiteral("PackBits"), QStringLiteral("PackBits")},
                                 {QStringLiteral("lzw"), QStringLiteral("LZW"), QStringLiteral("LZW")},
                                 {QStringLiteral("deflate"), QStringLiteral("Deflate"), QStringLiteral("Deflate")}}),
                         Shown::kPrintSetup, "Output form", "输出格式", "Compression"),
                   KeptBy::kPrinter));
  t.push_back(Kept(ShownAs(Switch("bigtiff", "write a BigTIFF (64-bit offsets: past 4 GiB)"), Shown::kPrintSetup,
                         "BigTIFF (past 4 GiB)", "BigTIFF（超过 4 GiB）", "BigTiff"),
                   KeptBy::kPrinter));
  t.push_back(Kept(ShownAs(Choice("colour", "grey", "the plate: one grey for the plate setter, the inks,\nor RGB for inkjet and UV printers",
                                {{QStringLiteral("grey"), QStringLiteral("Grey, for the plate setter"), QStringLiteral("灰度版（制版机）")},
                                 {QStringLiteral("cmyk"), QStringLiteral("CMYK, the inks kept"), QStringLiteral("四色（保留油墨）")},
                                 {QStringLiteral("rgb"), QStringLiteral("RGB, for inkjet and UV printers"), QStringLiteral("RGB（喷墨、UV 打印）")}}),
                         Shown::kPrintSetup, "Plate", "印版", "PlateColour"),
                   KeptBy::kPrinter));
  OptionEntry cmyk = ShownAs(Number("cmyk-profile", QString(), "the press's CMYK ICC profile"), Shown::kPrintSetup,
                          "CMYK profile", "四色特性文件", "CmykProfile");
  cmyk.kind = OptionKind::kFile;
  cmyk.value = QStringLiteral("FILE");
  cmyk.fallbackHelp = QString::fromLatin1(kDefaultCmykProfile).section(QChar('/'), -1);
  cmyk.hint = QString::fromLatin1(kDefaultCmykProfile);
  t.push_back(Kept(cmyk, KeptBy::kPrinter));
  OptionEntry rgb = ShownAs(Number("rgb-profile", QString(), "the RGB plate's ICC profile"), Shown::kPrintSetup, "RGB profile",
                         "RGB 特性文件", "RgbProfile");
  rgb.kind = OptionKind::kFile;
  rgb.value = QStringLiteral("FILE");
  rgb.fallbackHelp = QStringLiteral("sRGB");
  rgb.hint = QStringLiteral("sRGB");
  t.push_back(rgb);
  t.push_back(ShownAs(Choice("intent", "relative", "rendering intent of colour conversions",
                           {{QStringLiteral("perceptual"), QStringLiteral("perceptual"), QStringLiteral("可感知")},
                            {QStringLiteral("relative"), QStringLiteral("relative colorimetric"), QStringLiteral("相对比色")},
                            {QStringLiteral("saturation"), QStringLiteral("saturation"), QStringLiteral("饱和度")},
                            {QStringLiteral("absolute"), QStringLiteral("absolute colorimetric"), QStringLiteral("绝对比色")}}),
                    Shown::kPrintSetup, "Intent", "再现意图", "Intent"));
  t.push_back(Kept(ShownAs(Choice("lenses", "vertical", "the lenses' direction: horizontal for flip, zoom,\nmorph and motion",
                                {{QStringLiteral("vertical"), QStringLiteral("Vertical"), QStringLiteral("竖向")},
                                 {QStringLiteral("horizontal"), QStringLiteral("Horizontal: flip, zoom, morph, motion"),
                                  QStringLiteral("横向：变画、缩放、动画")}}),
                         Shown::kPrintSetup, "Lenses", "光栅方向", "Lenses"),
                   KeptBy::kLens));
  t.push_back(ShownAs(Choice("order", "forward", "the frames the lens shows: the views as listed,\nbackwards, or 1..N then N-1..2",
                           {{QStringLiteral("forward"), QStringLiteral("Forward"), QStringLiteral("正序")},
                            {QStringLiteral("reverse"), QStringLiteral("Reverse"), QStringLiteral("倒序")},
                            {QStringLiteral("pingpong"), QStringLiteral("Ping-pong: 1 … N … 2"), QStringLiteral("往返：1 … N … 2")}}),
                    Shown::kPrintSetup, "Frame order", "帧顺序", "FrameOrder"));
  OptionEntry hold = ShownAs(Number("hold-ends", QStringLiteral("1"), "show the first and the last frame K times each"),
                          Shown::kPrintSetup, "First and last frame shown, times", "首尾帧显示次数", "HoldEnds");
  hold.kind = OptionKind::kWhole;
  hold.value = QStringLiteral("K");
  hold.low = 1;
  hold.high = 255;
  t.push_back(hold);
  OptionEntry phase = ShownAs(Number("phase", QStringLiteral("0"),
                                  "move the lens pattern on by F of a lens (0 <= F < 1;\nthe phase sheet's \"phase 3/8\" is 3/8)"),
                           Shown::kPrintSetup, "Phase, part of a lens", "相位（光栅的几分之几）", "Phase", "0, 3/8, 0.375");
  phase.kind = OptionKind::kPart;
  phase.value = QStringLiteral("F");
  t.push_back(Kept(phase, KeptBy::kLens));
  // The sheet's optics, which the proof through the lens models (the
  // plivora-proof program and the window's lens view) and the export
  // ignores: the defaults are a common 75 LPI PET sheet.
  OptionEntry thickness = ShownAs(Number("thickness", QStringLiteral("0.46mm"),
                                        "the lens sheet's thickness, crest to back, for the\nproof through the lens "
                                        "(the export ignores it)"),
                                 Shown::kPrintSetup, "Lens thickness", "光栅厚度", "Thickness", "0.46mm, 0.018in");
  thickness.kind = OptionKind::kLength;
  thickness.value = QStringLiteral("LENGTH");
  thickness.boundsEn = QStringLiteral("above 0 and at most %1 inch (%2mm)")
                           .arg(FormatGeneral15(kMaxLensThicknessInches), FormatGeneral15(kMaxLensThicknessInches * 25.4L));
  thickness.boundsZh = QStringLiteral("大于 0 且不超过 %1 英寸（%2mm）")
                           .arg(FormatGeneral15(kMaxLensThicknessInches), FormatGeneral15(kMaxLensThicknessInches * 25.4L));
  t.push_back(Kept(thickness, KeptBy::kLens));
  OptionEntry index = ShownAs(Number("index", QStringLiteral("1.57"),
                                    "the lens sheet's refractive index (PET 1.57, acrylic\n1.49), for the proof through the lens"),
                             Shown::kPrintSetup, "Refractive index", "折射率", "RefractiveIndex", "1.57, 1.49");
  index.value = QStringLiteral("N");
  index.boundsEn = QStringLiteral("from %1 to %2").arg(FormatGeneral15(kMinLensIndex), FormatGeneral15(kMaxLensIndex));
  index.boundsZh = QStringLiteral("在 %1 到 %2 之间").arg(FormatGeneral15(kMinLensIndex), FormatGeneral15(kMaxLensIndex));
  t.push_back(Kept(index, KeptBy::kLens));
  t.push_back(ShownAs(Switch("mirror", "mirror the plate, to print on the back of a clear lens"), Shown::kPrintSetup,
                    "Mirrored, for the back of a clear lens", "镜像，印在光栅背面", "Mirror"));
  OptionEntry panels = Number("panels", QStringLiteral("1"), "");
  panels.kind = OptionKind::kWhole;
  panels.value = QStringLiteral("N");
  panels.low = 1;
  panels.high = kMaxPanels;
  panels.help = QStringLiteral("cut the print at lens boundaries into N files side by\nside, OUTPUT-1-of-N.tif ... (1 to %1)").arg(kMaxPanels);
  t.push_back(panels);
  OptionEntry bleed = ShownAs(Number("bleed", QStringLiteral("0"), "bleed on every side, in the unit: the width and height\nare then the trim size"),
                           Shown::kPrintSetup, "Bleed on every side", "四边出血", "Bleed", "0, 0.125, 3mm");
  bleed.kind = OptionKind::kLength;
  bleed.value = QStringLiteral("D");
  t.push_back(Kept(bleed, KeptBy::kPrinter));
  t.push_back(Kept(ShownAs(Switch("marks", "a white margin of 0.5 inch around the image with crop\nand registration marks, the lens "
                                         "alignment bar\nand a line naming the plate"),
                         Shown::kPrintSetup, "Crop and registration marks, lens alignment bar", "裁切线、套准线与光栅对位条", "Marks"),
                   KeptBy::kPrinter));
  AddAlignOptions(t);
  AddMadeViewOptions(t);
  return t;
}

}  // namespace

const std::vector<OptionEntry>& ExportOptions() {
  static const std::vector<OptionEntry> table = MakeTable();
  return table;
}

const OptionEntry* FindExportOption(const QString& name) {
  for (const OptionEntry& o : ExportOptions())
    if (o.name == name) return &o;
  return nullptr;
}

QString CanonicalValue(const QString& name, const QString& text) {
  if (name == QLatin1String("dpi")) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 || t.compare(QLatin1String("(auto)"), Qt::CaseInsensitive) == 0)
      return QStringLiteral("(Auto)");
  }
  return text;
}

QString ValueOrDefault(const OptionValues& values, const QString& name) {
  const auto it = values.find(name);
  if (it != values.end()) return it->second;
  const OptionEntry* o = FindExportOption(name);
  return o ? o->fallback : QString();
}

QString ChoiceWords(const OptionEntry& option) {
  QStringList words;
  for (const OptionChoice& c : option.choices) words << c.name;
  if (words.size() < 2) return words.join(QString());
  const QString last = words.takeLast();
  return words.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

}  // namespace plivora
