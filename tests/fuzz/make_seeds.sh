#!/usr/bin/env bash
# Writes the starting inputs of the fuzzer into DIR (default: a new folder
# under /tmp, printed at the end): one small view in every layout and format
# the readers meet, from tiffcp, ImageMagick and Pillow, files they must
# refuse, and small ICC profiles.
# run.sh --merge then keeps the ones that add coverage.
# The corpus's case-* files are the files of tests/cli/reader_cases_test.py
# (its table of reader cases), as that test writes them.
set -euo pipefail
out="${1:-$(mktemp -d /tmp/plivora-seeds.XXXXXX)}"
mkdir -p "$out"
cd "$out"
w=9 h=7
/usr/bin/python3 - "$w" "$h" <<'PY'
import struct, sys
w, h = int(sys.argv[1]), int(sys.argv[2])
px = bytes((x * 29 + y * 7 + c * 61) % 256 for y in range(h) for x in range(w) for c in range(4))
open("raw.cmyk", "wb").write(px)
open("raw16.cmyk", "wb").write(bytes(b for v in px for b in (v, 255 - v)))
open("raw.cmyka", "wb").write(bytes(px[i + j] if j < 4 else 128 for i in range(0, len(px), 4) for j in range(5)))
# The strip layout: directory at 8, one uncompressed strip.
entries = [(256, 4, 1, w), (257, 4, 1, h), (258, 3, 4, 0), (259, 3, 1, 1), (262, 3, 1, 5),
           (273, 4, 1, 0), (277, 3, 1, 4), (278, 4, 1, h), (279, 4, 1, w * h * 4), (284, 3, 1, 1)]
bits_at = 8 + 2 + 12 * len(entries) + 4
data_at = bits_at + 8
ifd = struct.pack("<H", len(entries))
for tag, typ, count, value in entries:
    value = {258: bits_at, 273: data_at}.get(tag, value)
    ifd += struct.pack("<HHII", tag, typ, count, value) if typ == 4 or count > 2 else struct.pack("<HHIHH", tag, typ, count, value, 0)
body = b"II" + struct.pack("<HI", 42, 8) + ifd + struct.pack("<I", 0) + struct.pack("<4H", 8, 8, 8, 8) + px
open("strip.tif", "wb").write(body)
# The same with its directory chain looping back on itself.
loop = bytearray(body)
struct.pack_into("<I", loop, 8 + 2 + 12 * len(entries), 8)
open("loop.tif", "wb").write(bytes(loop))
from PIL import Image
im = Image.frombytes("CMYK", (w, h), px)
for name, c in [("pil-lzw", "tiff_lzw"), ("pil-zip", "tiff_adobe_deflate"), ("pil-packbits", "packbits"), ("pil-jpeg", "jpeg")]:
    im.save(name + ".tif", compression=c)
PY
tiffcp -c lzw:2 -r 2 strip.tif lzw.tif
tiffcp -c zip -r 3 strip.tif zip.tif
tiffcp -c packbits -r 1 strip.tif packbits.tif
tiffcp -t -w 16 -l 16 strip.tif tiles.tif
tiffcp -p separate -c lzw -r 4 strip.tif planes.tif
tiffcp -p separate -t -w 16 -l 16 -c zip strip.tif planes-tiles.tif
tiffcp -B -r 2 strip.tif big-endian.tif
tiffcp -c jpeg -r 8 strip.tif jpeg.tif
tiffcp -8 -c lzw strip.tif bigtiff.tif
size="${w}x${h}"
convert -size "$size" -depth 8 cmyk:raw.cmyk -compress LZW im-lzw.tif
convert -size "$size" -depth 16 cmyk:raw16.cmyk -compress Zip im-16.tif
convert -size "$size" -depth 8 cmyka:raw.cmyka -compress RLE im-cmyka.tif
convert -size 8x4 gradient:red-blue -type TrueColor rgb.tif
convert -size 8x4 gradient: -colorspace Gray grey.tif
convert -size 8x4 gradient:red-blue -colors 8 -type Palette palette.tif
convert -size 8x4 gradient: -type Bilevel -compress Group4 bilevel.tif
convert -size 8x4 gradient:red-blue -colorspace Lab lab.tif
convert -size 8x4 gradient:red-blue -depth 16 rgb16.tif
# PNG and JPEG in every colour type the readers take, and small ICC
# profiles of each colour space.
/usr/bin/python3 - "$w" "$h" <<'PY'
import io, struct, sys, zlib
import numpy as np
from PIL import Image, ImageCms
w, h = int(sys.argv[1]), int(sys.argv[2])
a = (np.arange(w * h * 4).reshape(h, w, 4) * 37 % 256).astype(np.uint8)
Image.fromarray(a[..., 0], "L").save("grey.png")
Image.fromarray(a[..., :2], "LA").save("grey-alpha.png")
Image.fromarray(a[..., :3], "RGB").save("rgb.png", icc_profile=open("/usr/share/color/icc/ghostscript/a98.icc", "rb").read())
Image.fromarray(a, "RGBA").save("rgba.png")
Image.fromarray(a[..., :3], "RGB").quantize(8).save("palette.png", transparency=bytes([0, 90, 255]))
Image.fromarray(a[..., 0] > 100).save("bits1.png")
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
def png(name, pixels, colour_type, depth, interlace):
    d = pixels.astype(">u2" if depth == 16 else np.uint8)
    raw = lambda b: b"".join(b"\0" + r.tobytes() for r in b)
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    body = b"".join(raw(d[y::dy, x::dx]) for x, y, dx, dy in passes if d[y::dy, x::dx].size) if interlace else raw(d)
    head = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, int(interlace))
    open(name, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(body)) + chunk(b"IEND", b""))
png("rgba16.png", a.astype(np.uint16) * 257, 6, 16, False)
png("adam7.png", a[..., :3], 2, 8, True)
Image.fromarray(a[..., 0], "L").save("grey.jpg", quality=80)
Image.fromarray(a[..., :3], "RGB").save("rgb.jpg", quality=80, icc_profile=open("/usr/share/color/icc/ghostscript/a98.icc", "rb").read())
Image.fromarray(a[..., :3], "RGB").save("progressive.jpg", quality=80, progressive=True)
Image.fromarray(a, "CMYK").save("cmyk.jpg", quality=80)
open("srgb.icc", "wb").write(ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes())
open("lab.icc", "wb").write(ImageCms.ImageCmsProfile(ImageCms.createProfile("LAB")).tobytes())
for name in ["a98.icc", "default_gray.icc"]:
    open(name, "wb").write(open("/usr/share/color/icc/ghostscript/" + name, "rb").read())
PY
rm -f raw.cmyk raw16.cmyk raw.cmyka
echo "$out"
