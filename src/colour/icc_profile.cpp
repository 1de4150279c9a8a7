#include "colour/icc_profile.h"

#include <QFile>
#include <vector>

#include "colour/cms.h"
#include "common/error.h"
#include "common/file_names.h"

namespace plivora {

namespace {

// The largest profile read: real ones run to a few MB.
constexpr qint64 kMaxProfileBytes = qint64(64) << 20;

// A profile's colour space as its header holds it: any four bytes, so kept
// as a number, never as LittleCMS's enumeration.
std::optional<ColourModel> ModelOf(uint32_t space) {
  if (space == uint32_t(cmsSigGrayData)) return ColourModel::kGrey;
  if (space == uint32_t(cmsSigRgbData)) return ColourModel::kRgb;
  if (space == uint32_t(cmsSigCmykData)) return ColourModel::kCmyk;
  return std::nullopt;
}

QString SpaceName(uint32_t space) {
  if (const std::optional<ColourModel> model = ModelOf(space)) return ColourModelName(*model);
  const uint32_t s = space;
  QString tag;
  for (int shift = 24; shift >= 0; shift -= 8) tag += QChar(char((s >> shift) & 0xFF));
  return QStringLiteral("\"%1\"").arg(tag.trimmed());
}

QString Description(cmsHPROFILE profile) {
  char text[256] = {};
  cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
  return QString::fromLatin1(text).trimmed();
}

// What LittleCMS makes of `bytes`: the profile's model and name, or why it
// is not a profile of grey, RGB or CMYK.
std::optional<std::pair<ColourModel, QString>> Examine(const QByteArray& bytes, QString* whyNot) {
  if (bytes.size() < 132 || bytes.mid(36, 4) != "acsp") {
    *whyNot = QStringLiteral("it is not an ICC profile");
    return std::nullopt;
  }
  // Its first four bytes give its size, big-endian.
  const auto* head = reinterpret_cast<const uint8_t*>(bytes.constData());
  const uint32_t declared = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
  if (declared > uint32_t(bytes.size())) {
    *whyNot = QStringLiteral("it is cut short: %1 of its %2 bytes").arg(bytes.size()).arg(declared);
    return std::nullopt;
  }
  CmsContext context;
  const CmsProfile profile = OpenProfile(context, bytes);
  if (!profile) {
    *whyNot = QStringLiteral("it is not a whole ICC profile (%1)")
                  .arg(context.messages().Reason(QStringLiteral("LittleCMS cannot read it")));
    return std::nullopt;
  }
  const uint32_t space = static_cast<uint32_t>(cmsGetColorSpace(profile.get()));
  const std::optional<ColourModel> model = ModelOf(space);
  if (!model) {
    *whyNot = QStringLiteral("its colour space is %1; Plivora works in grey, RGB and CMYK").arg(SpaceName(space));
    return std::nullopt;
  }
  // A profile must turn its numbers into colours: a device link or an
  // abstract profile does not.
  if (!cmsIsIntentSupported(profile.get(), INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT) &&
      !cmsIsIntentSupported(profile.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT)) {
    *whyNot = QStringLiteral("it does not describe the colours of its numbers (a device link or abstract profile)");
    return std::nullopt;
  }
  return std::make_pair(*model, Description(profile.get()));
}

// A profile built here, as bytes. LittleCMS stamps the header with the time
// it was made; the stamp is fixed (2026-01-01 00:00:00), so that the same
// job gives the same plate, byte for byte, whenever it runs.
QByteArray Saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  QByteArray bytes;
  if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    bytes.resize(qsizetype(size));
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
  }
  cmsCloseProfile(profile);
  if (bytes.size() < 128) Fail(QStringLiteral("Cannot build a colour profile: not enough memory"));
  // The header's date: year, month, day, hours, minutes, seconds, each two
  // bytes, big-endian, from byte 24.
  const uint16_t date[6] = {2026, 1, 1, 0, 0, 0};
  for (int i = 0; i < 6; ++i) {
    bytes[24 + 2 * i] = char(date[i] >> 8);
    bytes[25 + 2 * i] = char(date[i] & 0xFF);
  }
  return bytes;
}

}  // namespace

IccProfile::IccProfile(QByteArray bytes, ColourModel model, QString description)
    : bytes_(std::move(bytes)), model_(model), description_(std::move(description)) {}

IccProfile IccProfile::FromFile(const QString& path, ColourModel model, const QString& role) {
  const auto refuse = [&](const QString& reason) {
    Fail(QStringLiteral("Cannot use %1 \"%2\": %3").arg(role, path, reason));
  };
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) refuse(file.errorString());
  if (file.size() > kMaxProfileBytes) refuse(QStringLiteral("at %1 bytes it is far larger than any profile").arg(file.size()));
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) refuse(file.errorString());
  QString whyNot;
  const auto examined = Examine(bytes, &whyNot);
  if (!examined) refuse(whyNot);
  if (examined->first != model)
    refuse(QStringLiteral("it is a profile of %1, and %2 must be one of %3")
               .arg(ColourModelName(examined->first), role, ColourModelName(model)));
  return IccProfile(bytes, model, examined->second);
}

std::optional<IccProfile> IccProfile::FromBytes(const QByteArray& bytes, QString* whyNot) {
  const auto examined = Examine(bytes, whyNot);
  if (!examined) return std::nullopt;
  return IccProfile(bytes, examined->first, examined->second);
}

IccProfile IccProfile::Srgb() {
  static const IccProfile srgb(Saved(cmsCreate_sRGBProfile()), ColourModel::kRgb, QStringLiteral("sRGB built-in"));
  return srgb;
}

IccProfile IccProfile::Grey22() {
  static const IccProfile grey = [] {
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    const QByteArray bytes = Saved(cmsCreateGrayProfile(cmsD50_xyY(), gamma));
    cmsFreeToneCurve(gamma);
    return IccProfile(bytes, ColourModel::kGrey, QStringLiteral("gamma 2.2 grey"));
  }();
  return grey;
}

}  // namespace plivora
