#include "colour/icc_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include "colour/cms.h"
#include "common/error.h"
#include "common/file_names.h"
#include "common/small_file.h"

namespace plivora {

namespace {

// The largest profile read: real ones run to a few MB.
constexpr int64_t kMaxProfileBytes = kMaxSmallFileBytes;

uint32_t Be32(const QByteArray& bytes, qsizetype at) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData()) + at;
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// What a profile's class says it is, when it is one that does not describe
// the colours of a device's numbers: a device link converts one device's
// numbers into another's, an abstract profile changes colours into colours,
// a named-colour profile names inks.
QString ClassProblem(uint32_t profileClass) {
  switch (profileClass) {
    case uint32_t(cmsSigLinkClass): return QStringLiteral("it is a device link, which converts between two devices' numbers");
    case uint32_t(cmsSigAbstractClass): return QStringLiteral("it is an abstract profile, which changes colours into other colours");
    case uint32_t(cmsSigNamedColorClass): return QStringLiteral("it is a named-colour profile, which lists named inks");
    default: return QString();
  }
}

// The first byte past the furthest tag the profile's tag table points to,
// within the bytes there are: past its declared size, the profile has been
// cut short by its size field.
uint64_t TagsEnd(const QByteArray& bytes) {
  const uint64_t size = uint64_t(bytes.size());
  uint64_t end = 132;
  const uint64_t count = std::min<uint64_t>(Be32(bytes, 128), (size - 132) / 12);
  end += count * 12;
  for (uint64_t i = 0; i < count; ++i) {
    const qsizetype at = qsizetype(132 + i * 12);
    end = std::max(end, uint64_t(Be32(bytes, at + 4)) + Be32(bytes, at + 8));
  }
  return end;
}

// A regular file's bytes, at most kMaxProfileBytes; `refuse` raises. A FIFO,
// a device or a folder is refused without waiting for a writer or reading a
// byte.
QByteArray ReadProfileFile(const QString& path, const std::function<void(const QString&)>& refuse) {
  const WholeFile file = ReadWholeFile(path, kMaxProfileBytes, QStringLiteral("a profile"));
  if (!file.problem.isEmpty()) refuse(file.problem);
  return file.bytes;
}

// A profile's colour space as its header holds it: any four bytes, so kept
// as a number, never as LittleCMS's enumeration.
std::optional<ColourModel> ModelOf(uint32_t space) {
  if (space == uint32_t(cmsSigGrayData)) return ColourModel::kGrey;
  if (space == uint32_t(cmsSigRgbData)) return ColourModel::kRgb;
  if (space == uint32_t(cmsSigCmykData)) return ColourModel::kCmyk;
  if (space == uint32_t(cmsSigLabData)) return ColourModel::kLab;
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
  if (const QString problem = ClassProblem(Be32(bytes, 12)); !problem.isEmpty()) {
    *whyNot = problem + QStringLiteral(", not a profile of the colours of a device's numbers");
    return std::nullopt;
  }
  // LittleCMS reads no tag past the declared size: a size field too small
  // leaves it a profile without its tags.
  const uint64_t tagsEnd = TagsEnd(bytes);
  const QString cutBySize = tagsEnd > declared
                                ? QStringLiteral("it is cut short: its size field says %1 bytes, but its tags run to byte %2").arg(declared).arg(tagsEnd)
                                : QString();
  CmsContext context;
  const CmsProfile profile = OpenProfile(context, bytes);
  if (!profile) {
    *whyNot = !cutBySize.isEmpty() ? cutBySize
                                   : QStringLiteral("it is not a whole ICC profile (%1)")
                                         .arg(context.messages().Reason(QStringLiteral("LittleCMS cannot read it")));
    return std::nullopt;
  }
  const uint32_t space = static_cast<uint32_t>(cmsGetColorSpace(profile.get()));
  const std::optional<ColourModel> model = ModelOf(space);
  if (!model) {
    *whyNot = QStringLiteral("its colour space is %1; Plivora works in grey, RGB, CMYK and Lab").arg(SpaceName(space));
    return std::nullopt;
  }
  // A profile must turn its numbers into colours: a device link or an
  // abstract profile does not.
  if (!cmsIsIntentSupported(profile.get(), INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT) &&
      !cmsIsIntentSupported(profile.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT)) {
    *whyNot = !cutBySize.isEmpty() ? cutBySize : QStringLiteral("it does not describe the colours of its numbers");
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
  const QByteArray bytes = ReadProfileFile(path, refuse);
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

IccProfile IccProfile::Lab() {
  static const IccProfile lab(Saved(cmsCreateLab4Profile(nullptr)), ColourModel::kLab, QStringLiteral("Lab D50 built-in"));
  return lab;
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
