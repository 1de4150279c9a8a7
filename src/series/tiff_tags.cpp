#include "series/tiff_tags.h"

#include <algorithm>

#include "series/view_error.h"

namespace plivora {

namespace {

QString PhotometricName(uint16_t photometric) {
  switch (photometric) {
    case PHOTOMETRIC_MINISWHITE: case PHOTOMETRIC_MINISBLACK: return QStringLiteral("greyscale");
    case PHOTOMETRIC_RGB: return QStringLiteral("RGB");
    case PHOTOMETRIC_SEPARATED: return QStringLiteral("CMYK");
    case PHOTOMETRIC_PALETTE: return QStringLiteral("palette colour");
    case PHOTOMETRIC_MASK: return QStringLiteral("a transparency mask");
    case PHOTOMETRIC_YCBCR: return QStringLiteral("YCbCr");
    case PHOTOMETRIC_CIELAB: case PHOTOMETRIC_ICCLAB: return QStringLiteral("Lab");
    case PHOTOMETRIC_ITULAB: return QStringLiteral("ITU Lab");
    case PHOTOMETRIC_LOGL: return QStringLiteral("LogL");
    case PHOTOMETRIC_LOGLUV: return QStringLiteral("LogLuv");
    case PHOTOMETRIC_CFA: return QStringLiteral("colour-filter-array raw");
    default: return QStringLiteral("colour model %1").arg(photometric);
  }
}

// A palette's 16-bit colours as 8 bits: the high byte, which gives v for
// maps written as v x 256 and as v x 257 alike.
void ReadPalette(TIFF* tif, TiffTags& t) {
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
    Refuse(QStringLiteral("it is palette colour without a palette"));
  const size_t entries = size_t(1) << t.bits;  // what libtiff holds: one colour for each index the bits can hold
  t.palette.assign(256, 0);
  for (size_t i = 0; i < entries; ++i)
    t.palette[i] = uint32_t(red[i] >> 8) | uint32_t(green[i] >> 8) << 8 | uint32_t(blue[i] >> 8) << 16;
}

// CMYK with four inks; RGB; greyscale either way round; palette colour;
// JPEG-compressed YCbCr, which libtiff hands over as RGB. Samples past the
// model's are ExtraSamples: the first, when it is an alpha, lays the pixel
// over white paper (a CMYK pixel's inks scaled by it); the others are
// dropped.
void CheckColourModel(TIFF* tif, TiffTags& t, uint16_t photometric, uint16_t extraCount, const uint16_t* extra) {
  switch (photometric) {
    case PHOTOMETRIC_SEPARATED:
      t.model = ColourModel::kCmyk;
      t.channels = 4;
      break;
    case PHOTOMETRIC_YCBCR:
      if (t.compression != COMPRESSION_JPEG)
        Refuse(QStringLiteral("its colour model is YCbCr without JPEG compression, which views do not use"));
      TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      [[fallthrough]];
    case PHOTOMETRIC_RGB:
      t.model = ColourModel::kRgb;
      t.channels = 3;
      break;
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      t.model = ColourModel::kGrey;
      t.whiteIsZero = photometric == PHOTOMETRIC_MINISWHITE;
      t.channels = 1;
      break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
      t.model = ColourModel::kLab;
      t.channels = 3;
      t.signedAb = photometric == PHOTOMETRIC_CIELAB;
      break;
    case PHOTOMETRIC_PALETTE:
      if (t.bits == 16) Refuse(QStringLiteral("it is palette colour of 16 bits; views have 1, 2, 4 or 8"));
      ReadPalette(tif, t);
      t.model = ColourModel::kRgb;
      t.channels = 1;
      break;
    default:
      Refuse(QStringLiteral("its colour model is %1; views are CMYK, RGB, Lab or greyscale").arg(PhotometricName(photometric)));
  }
  if (t.bits < 8 && t.channels != 1)
    Refuse(QStringLiteral("it is %1 with %2-bit samples; views have 8 or 16 bits per sample").arg(PhotometricName(photometric)).arg(t.bits));
  if (t.samples < t.channels || t.samples - t.channels > extraCount) {
    if (t.model == ColourModel::kCmyk)
      Refuse(QStringLiteral("it has %1 inks; views have four (C, M, Y, K)").arg(t.samples - std::min<uint16_t>(t.samples, extraCount)));
    Refuse(QStringLiteral("it has %1 samples per pixel; %2 views have %3, and further ones must be ExtraSamples")
               .arg(t.samples).arg(ColourModelName(t.model)).arg(t.channels));
  }
  t.alpha = t.samples > t.channels && (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA);
  t.premultiplied = t.alpha && extra[0] == EXTRASAMPLE_ASSOCALPHA;
  if (t.alpha && t.model == ColourModel::kLab) Refuse(QStringLiteral("it is Lab with an alpha, which views do not use"));
  if (t.bits < 8 && t.samples != 1)
    Refuse(QStringLiteral("it has %1 samples per pixel of %2 bits; views of fewer than 8 bits have one").arg(t.samples).arg(t.bits));
}

// The embedded profile, or the refusal of a view whose profile tag libtiff
// could not read (its colours would otherwise be taken for the default's).
void ReadProfile(TIFF* tif, const LibraryMessages& messages, TiffTags& t) {
  uint32_t bytes = 0;
  const void* profile = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &bytes, &profile) && profile && bytes > 0) {
    t.profile = QByteArray(static_cast<const char*>(profile), qsizetype(bytes));
    return;
  }
  for (const QStringList* list : {&messages.errors(), &messages.warnings()})
    for (const QString& text : *list)
      if (text.contains(QLatin1String("ICC Profile")))
        Refuse(QStringLiteral("its embedded ICC profile cannot be read (%1)").arg(text));
}

void CheckSampleForm(TIFF* tif, const TiffTags& t, uint16_t photometric) {
  uint16_t format = SAMPLEFORMAT_UINT, inkSet = INKSET_CMYK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetField(tif, TIFFTAG_INKSET, &inkSet);
  if (photometric == PHOTOMETRIC_SEPARATED && inkSet != INKSET_CMYK)
    Refuse(QStringLiteral("its inks are not cyan, magenta, yellow and black (InkSet %1)").arg(inkSet));
  if (t.bits != 1 && t.bits != 2 && t.bits != 4 && t.bits != 8 && t.bits != 16)
    Refuse(QStringLiteral("it has %1 bits per sample; views have 8 or 16 (1, 2 or 4 for greyscale and palette colour)").arg(t.bits));
  if (format != SAMPLEFORMAT_UINT)
    Refuse(format == SAMPLEFORMAT_IEEEFP ? QStringLiteral("its samples are floating-point numbers; views have whole numbers")
                                         : QStringLiteral("its samples are signed (SampleFormat %1); views have unsigned ones").arg(format));
  if (t.planar != PLANARCONFIG_CONTIG && t.planar != PLANARCONFIG_SEPARATE)
    Refuse(QStringLiteral("its PlanarConfiguration is %1").arg(t.planar));
  if (t.compression == COMPRESSION_OJPEG)
    Refuse(QStringLiteral("it is compressed with the old-style JPEG of TIFF 6.0 (compression 6), which this program does "
                          "not decode; save it with JPEG, LZW, Deflate or no compression"));
  if (!TIFFIsCODECConfigured(t.compression))
    Refuse(QStringLiteral("its compression scheme (%1) is not one this program decodes").arg(CompressionName(t.compression)));
}

}  // namespace

TiffTags ReadTiffTags(TIFF* tif, const LibraryMessages& messages, bool stripLayout) {
  TiffTags t;
  uint16_t photometric = 0, extraCount = 0, fillOrder = FILLORDER_MSB2LSB;
  uint16_t* extra = nullptr;
  const bool hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  if (stripLayout) {
    if (!hasPhotometric) photometric = PHOTOMETRIC_SEPARATED;
    if (!TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samples)) t.samples = 4;
    if (!TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bits)) t.bits = 8;
  } else {
    if (!hasPhotometric) Refuse(QStringLiteral("it has no PhotometricInterpretation tag, so its colour model is unknown"));
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &t.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
  }
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &t.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &t.compression);
  TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
  TIFFGetField(tif, TIFFTAG_FILLORDER, &fillOrder);
  t.reversedBits = fillOrder == FILLORDER_LSB2MSB;
  CheckSampleForm(tif, t, photometric);
  CheckColourModel(tif, t, photometric, extraCount, extra);
  // Rows are stored as the file's Orientation says; the reader turns them
  // upright (oriented_reader.h).
  TIFFGetField(tif, TIFFTAG_ORIENTATION, &t.orientation);
  if (t.orientation < 1 || t.orientation > 8)
    Refuse(QStringLiteral("its Orientation is %1, none of the eight a picture can be stored in").arg(t.orientation));
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &t.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &t.height);
  if (t.width == 0 || t.height == 0) Refuse(QStringLiteral("it has no pixels (%1 x %2)").arg(t.width).arg(t.height));
  ReadProfile(tif, messages, t);
  return t;
}

void ReverseBits(uint8_t* bytes, size_t count) { TIFFReverseBits(bytes, tmsize_t(count)); }

}  // namespace plivora
