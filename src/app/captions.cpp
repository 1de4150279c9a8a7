#include "app/captions.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace plivora {

const std::vector<Caption>& CaptionSet(bool chinese) {
  // The Chinese labels carry no accelerator; the language button names the
  // other language.
  static const std::vector<Caption> kChinese{
      {"Label1", QStringLiteral("输出精度:")},      {"Label2", QStringLiteral("光栅线数:")},
      {"Label9", QStringLiteral("输出宽度:")},      {"Label10", QStringLiteral("输出高度:")},
      {"Label15", QStringLiteral("竖向压缩:")},     {"Label3", QStringLiteral("图片数量:")},
      {"CheckBox1", QStringLiteral("8 &Bit")},      {"CheckBox4", QStringLiteral("分离通道(&S)")},
      {"GroupBox1", QStringLiteral("上边界")},      {"BitBtn8", QStringLiteral("英文")},
  };
  static const std::vector<Caption> kEnglish{
      {"Label1", QStringLiteral("&DPI:")},          {"Label2", QStringLiteral("&LPI:")},
      {"Label9", QStringLiteral("&Width:")},        {"Label10", QStringLiteral("&Height:")},
      {"Label15", QStringLiteral("&Compress:")},    {"Label3", QStringLiteral("Photo Count:")},
      {"CheckBox1", QStringLiteral("8 &Bit")},      {"CheckBox4", QStringLiteral("Spli&t Channel")},
      {"GroupBox1", QStringLiteral("Top")},         {"BitBtn8", QStringLiteral("Chinese")},
  };
  return chinese ? kChinese : kEnglish;
}

void ApplyCaptionSet(QWidget* window, const std::vector<Caption>& set) {
  for (const Caption& caption : set) {
    QWidget* control = window->findChild<QWidget*>(QString::fromLatin1(caption.control));
    if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(caption.text);
      label->adjustSize();  // labels size themselves to their caption
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      button->setText(caption.text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      group->setTitle(caption.text);
    }
  }
}

}  // namespace plivora
