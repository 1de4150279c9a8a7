"""One table of view files the readers once read wrong, each held against
Pillow's decoding (libtiff underneath for TIFF) or the refusal it must give.
The files are a few hundred bytes, made here: by Pillow where it writes them,
by hand (hand_tiff) where it does not."""

import io
import os
import struct
import subprocess
import sys
import unittest

import numpy as np
from PIL import Image, ImageOps

VIEW_ROWS = sys.argv.pop(1)

CMYK_PROFILE = "/usr/share/color/icc/ghostscript/default_cmyk.icc"
RGB_PROFILE = "/usr/share/color/icc/ghostscript/a98.icc"

SHORT, LONG, UNDEFINED = 3, 4, 7


def hand_tiff(width, height, data, tags, strips=1):
    """A little-endian TIFF, directory at offset 8, its pixel `data` cut into
    `strips` strips of equal rows after the values. `tags`: {tag: (type,
    [values]) or (UNDEFINED, bytes)}; the size and strip tags are added."""
    rows = -(-height // strips)
    row_bytes = len(data) // height
    pieces = [data[i * rows * row_bytes:(i + 1) * rows * row_bytes] for i in range(strips)]
    tags = dict(tags)
    tags.update({256: (LONG, [width]), 257: (LONG, [height]), 278: (LONG, [rows]),
                 273: (LONG, [0] * strips), 279: (LONG, [len(p) for p in pieces])})
    count = len(tags)
    values_at = 8 + 2 + 12 * count + 4
    extra = b""
    entries = []

    def packed(tag):
        kind, values = tags[tag]
        if kind == UNDEFINED:
            return kind, len(values), values
        return kind, len(values), struct.pack("<%d%s" % (len(values), "H" if kind == SHORT else "I"), *values)

    data_at = values_at + sum(-(-len(packed(t)[2]) // 2) * 2 for t in tags if len(packed(t)[2]) > 4)
    offsets, at = [], data_at
    for p in pieces:
        offsets.append(at)
        at += len(p)
    tags[273] = (LONG, offsets)
    for tag in sorted(tags):
        kind, n, raw = packed(tag)
        if len(raw) <= 4:
            entries.append(struct.pack("<HHI", tag, kind, n) + raw.ljust(4, b"\0"))
        else:
            entries.append(struct.pack("<HHII", tag, kind, n, values_at + len(extra)))
            extra += raw + b"\0" * (len(raw) % 2)
    head = b"II" + struct.pack("<HIH", 42, 8, count) + b"".join(entries) + struct.pack("<I", 0)
    return head + extra + b"".join(pieces)


def cmyk_tags(**more):
    tags = {258: (SHORT, [8] * 4), 259: (SHORT, [1]), 262: (SHORT, [5]), 277: (SHORT, [4])}
    tags.update({int(k[1:]): v for k, v in more.items()})
    return tags


def padded(rgb):
    if rgb.ndim == 2:
        rgb = np.dstack([rgb] * 3)
    return np.dstack([rgb, np.zeros(rgb.shape[:2], np.uint8)])


def over_white(colour, alpha):
    colour, alpha = colour.astype(int), alpha.astype(int)
    return ((colour * alpha + 255 * (255 - alpha) + 127) // 255).astype(np.uint8)


def pillow(path, mode=None):
    """Pillow's decoding, turned upright as viewers show it, as our rows."""
    image = ImageOps.exif_transpose(Image.open(path))
    if mode:
        image = image.convert(mode)
    a = np.asarray(image)
    return a if image.mode == "CMYK" else padded(a)


def upright(a, orientation):
    """A picture stored with TIFF/EXIF `orientation`, as it is shown."""
    t = lambda x: x.transpose(1, 0, 2)
    return {1: a, 2: a[:, ::-1], 3: a[::-1, ::-1], 4: a[::-1], 5: t(a), 6: t(a[::-1]), 7: t(a[::-1, ::-1]),
            8: t(a[:, ::-1])}[orientation]


def reverse_bits(data):
    table = bytes(int(f"{b:08b}"[::-1], 2) for b in range(256))
    return data.translate(table)


def pack_bits(values, bits):
    """Rows of samples packed highest bits first, each row to a whole byte."""
    out = b""
    for row in values:
        acc, n = 0, 0
        line = bytearray()
        for v in row:
            acc, n = acc << bits | int(v), n + bits
            if n == 8:
                line.append(acc)
                acc, n = 0, 0
        if n:
            line.append(acc << (8 - n))
        out += bytes(line)
    return out


def with_class(profile, kind):
    return profile[:12] + kind + profile[16:]


class Readers(unittest.TestCase):
    def setUp(self):
        import tempfile
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        rng = np.random.default_rng(7)
        self.a = rng.integers(0, 256, (5, 7, 4), dtype=np.uint8)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def rows(self, path):
        result = subprocess.run([VIEW_ROWS, path], capture_output=True, timeout=60)
        if result.returncode != 0:
            return None, result.stderr.decode(errors="replace")
        line, _, data = result.stdout.partition(b"\n")
        width, height, model, profile = line.decode().split()
        return (model, int(profile)), np.frombuffer(data, np.uint8).reshape(int(height), int(width), 4)

    def check(self, cases):
        for name, expected in cases:
            with self.subTest(name):
                got, rows = self.rows(self.path(name))
                if isinstance(expected, str):
                    self.assertIsNone(got, "read, where it must be refused")
                    self.assertIn(f'Cannot read view "{self.path(name)}": ', rows)
                    self.assertIn(expected, rows)
                    continue
                self.assertIsNotNone(got, rows)
                np.testing.assert_array_equal(rows, expected)

    def test_tiff_cases(self):
        a, w, h = self.a, 7, 5
        rgb = a[..., :3]
        profile = open(CMYK_PROFILE, "rb").read()
        cases = []

        def case(name, data, expected):
            self.write(name, data)
            cases.append((name, expected))

        # FillOrder 2: bits stored lowest first, in the strip layout and in
        # uncompressed strips read straight from the file.
        case("fill2-strip.tif", hand_tiff(w, h, reverse_bits(a.tobytes()), cmyk_tags(t266=(SHORT, [2]))), a)
        case("fill2-rgb.tif", hand_tiff(w, h, reverse_bits(rgb.tobytes()), {
            258: (SHORT, [8] * 3), 262: (SHORT, [2]), 277: (SHORT, [3]), 266: (SHORT, [2])}, strips=2), padded(rgb))
        # The strip layout is checked as every TIFF is.
        for o in range(2, 9):
            case(f"orient{o}-strip.tif", hand_tiff(w, h, a.tobytes(), cmyk_tags(t274=(SHORT, [o]))), upright(a, o))
        case("orient6-rgb.tif", hand_tiff(w, h, rgb.tobytes(), {258: (SHORT, [8] * 3), 262: (SHORT, [2]), 277: (SHORT, [3]),
                                                              274: (SHORT, [6])}, strips=2), upright(padded(rgb), 6))
        Image.fromarray(a[..., 0] > 100).save(self.path("bilevel-g4.tif"), compression="group4")
        cases.append(("bilevel-g4.tif", "pillow L"))
        case("inkset2-strip.tif", hand_tiff(w, h, a.tobytes(), cmyk_tags(t332=(SHORT, [2]))), "InkSet 2")
        case("cut-profile-strip.tif", hand_tiff(w, h, a.tobytes(), cmyk_tags(t34675=(UNDEFINED, profile[:1000]))),
             "its embedded ICC profile cannot be used: it is cut short")
        case("rgb-profile-strip.tif",
             hand_tiff(w, h, a.tobytes(), cmyk_tags(t34675=(UNDEFINED, open(RGB_PROFILE, "rb").read()))),
             "its embedded ICC profile is one of RGB, but its pixels are CMYK")
        case("link-profile-strip.tif", hand_tiff(w, h, a.tobytes(), cmyk_tags(t34675=(UNDEFINED, with_class(profile, b"link")))),
             "it is a device link")
        # An ICC tag whose count runs past the end of the file.
        broken = bytearray(hand_tiff(w, h, a.tobytes(), cmyk_tags(t34675=(UNDEFINED, profile[:400]))))
        at = next(10 + 12 * i for i in range(20) if struct.unpack_from("<H", broken, 10 + 12 * i)[0] == 34675)
        struct.pack_into("<I", broken, at + 4, 10 ** 8)
        case("icc-past-end.tif", bytes(broken), "its embedded ICC profile cannot be read")
        # Alpha over white paper: a CMYK pixel's inks scaled by it.
        inks = ((a.astype(int) * np.dstack([a[..., 3:]] * 4) + 127) // 255).astype(np.uint8)
        five = np.dstack([a, a[..., 3:]]).tobytes()
        alpha_tags = {258: (SHORT, [8] * 5), 262: (SHORT, [5]), 277: (SHORT, [5])}
        case("cmyka.tif", hand_tiff(w, h, five, {**alpha_tags, 338: (SHORT, [2])}, strips=2), inks)
        case("cmyka-premultiplied.tif", hand_tiff(w, h, five, {**alpha_tags, 338: (SHORT, [1])}, strips=2), a)
        # Palettes written as v x 256, with and without alpha, and of 1 to 4 bits.
        colours = np.arange(256 * 3).reshape(3, 256) * 7 % 256
        cmap = (SHORT, list((colours * 256).reshape(-1)))
        index = a[..., 0]
        case("palette256.tif", hand_tiff(w, h, index.tobytes(), {258: (SHORT, [8]), 262: (SHORT, [3]), 277: (SHORT, [1]),
                                                               320: cmap}), padded(colours.T[index].astype(np.uint8)))
        case("palette-alpha.tif", hand_tiff(w, h, np.dstack([index, a[..., 1]]).tobytes(), {
            258: (SHORT, [8, 8]), 262: (SHORT, [3]), 277: (SHORT, [2]), 338: (SHORT, [2]), 320: cmap}),
             padded(over_white(colours.T[index].astype(np.uint8), a[..., 1:2])))
        for bits in (1, 2, 4):
            small = a[..., 0] >> (8 - bits)
            case(f"grey{bits}.tif", hand_tiff(w, h, pack_bits(small, bits), {
                258: (SHORT, [bits]), 262: (SHORT, [1]), 277: (SHORT, [1])}), "pillow L")
            n = 1 << bits
            small_map = (SHORT, list((colours[:, :n] * 257).reshape(-1)))
            case(f"palette{bits}.tif", hand_tiff(w, h, pack_bits(small, bits), {
                258: (SHORT, [bits]), 262: (SHORT, [3]), 277: (SHORT, [1]), 320: small_map}), "pillow RGB")
        # CIELab: a and b stored signed (TIFF 6.0), read as ICC's 8-bit
        # encoding (plus 128). Pillow takes the stored bytes for that
        # encoding, so the expectation is made here.
        lab_tags = {258: (SHORT, [8] * 3), 262: (SHORT, [8]), 277: (SHORT, [3])}
        case("lab8.tif", hand_tiff(w, h, a[..., :3].tobytes(), lab_tags), padded(a[..., :3] ^ np.uint8([0, 128, 128])))
        lab16 = a[..., :3].astype(np.int32) * 257 + np.array([0, -32768 + 77, -32768 + 200])
        lab16 = np.clip(lab16, [0, -32768, -32768], [65535, 32767, 32767])
        stored = np.dstack([lab16[..., 0].astype("<u2"), lab16[..., 1:].astype("<i2").view("<u2")])
        expect16 = np.dstack([(lab16[..., 0] + 128) // 257, np.clip(((lab16[..., 1:] + 128) >> 8) + 128, 0, 255)])
        case("lab16.tif", hand_tiff(w, h, stored.astype("<u2").tobytes(), {258: (SHORT, [16] * 3), 262: (SHORT, [8]),
                                                                           277: (SHORT, [3])}), padded(expect16.astype(np.uint8)))
        case("ojpeg.tif", hand_tiff(w, h, a.tobytes(), cmyk_tags(t259=(SHORT, [6]))), "old-style JPEG")
        cases = [(n, pillow(self.path(n), *e.split()[1:]) if isinstance(e, str) and e.startswith("pillow") else e)
                 for n, e in cases]
        self.check(cases)

    def test_camera_orientation(self):
        rgb = self.a[..., :3].repeat(8, 0).repeat(8, 1)  # 40 x 56: JPEG blocks of flat colour
        cases = []
        for o in range(1, 9):
            exif = Image.Exif()
            exif[0x0112] = o
            for ext in ("jpg", "png"):
                name = f"orient{o}.{ext}"
                Image.fromarray(rgb, "RGB").save(self.path(name), exif=exif, quality=95)
                cases.append((name, pillow(self.path(name))))
            # The turns the TIFF cases expect are the ones Pillow makes.
            np.testing.assert_array_equal(cases[-1][1], upright(padded(rgb), o))
        self.check(cases)

    def test_jpeg_cases(self):
        buffer = io.BytesIO()
        Image.fromarray(self.a[..., :3].repeat(20, 0).repeat(20, 1), "RGB").save(buffer, "JPEG", progressive=True)
        whole = buffer.getvalue()
        self.write("progressive-half.jpg", whole[:len(whole) // 2])
        huge = bytearray(whole)
        sof = huge.index(b"\xff\xc2")
        struct.pack_into(">HH", huge, sof + 5, 12000, 12000)
        self.write("progressive-12000.jpg", bytes(huge))
        self.check([("progressive-half.jpg", "libjpeg cannot decode it (Premature end of JPEG file"),
                    ("progressive-12000.jpg", "too few for a picture of 12000 x 12000 pixels")])

    def test_a_profile_libpng_warns_about_and_keeps_is_used(self):
        rgb = self.a[..., :3]
        rgb_profile = bytearray(open(RGB_PROFILE, "rb").read())
        # A PCS illuminant of D65, not D50: libpng warns ("iCCP: ... PCS
        # illuminant is not D50") and keeps the profile, as it keeps the old
        # sRGB profile it knows for an incorrect one.
        rgb_profile[68:80] = struct.pack(">3i", 62289, 65536, 71372)
        Image.fromarray(rgb, "RGB").save(self.path("warned-profile.png"), icc_profile=bytes(rgb_profile))
        got, rows = self.rows(self.path("warned-profile.png"))
        self.assertEqual(got, ("RGB", len(rgb_profile)), rows)
        np.testing.assert_array_equal(rows, padded(rgb))


if __name__ == "__main__":
    unittest.main(verbosity=2)
