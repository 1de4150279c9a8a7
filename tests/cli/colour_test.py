"""Views in the formats people have, read as Pillow reads them, and colour
plates whose colours LittleCMS (through Pillow's ImageCms, a separate
program) would give: plivora-interlace and the readers' own rows
(plivora-view-rows) against independent decoders."""

import io
import os
import struct
import subprocess
import sys
import unittest
import zlib

import numpy as np
from PIL import Image, ImageCms

VIEW_ROWS = sys.argv.pop(2)
from cli_support import PROGRAM, ProgramTest  # noqa: E402  (takes the program from argv)

CMYK_PROFILE = "/usr/share/color/icc/ghostscript/default_cmyk.icc"
A98_PROFILE = "/usr/share/color/icc/ghostscript/a98.icc"  # an RGB profile other than sRGB


def png(path, pixels, colour_type, depth=8, interlace=False, chunks=()):
    """Writes a PNG of a H x W x channels array (uint8 or uint16) by hand:
    what Pillow can't write (16-bit colour, Adam7)."""
    height, width = pixels.shape[:2]
    data = pixels.astype(">u2" if depth == 16 else np.uint8)

    def raw(block):
        return b"".join(b"\0" + row.tobytes() for row in block)

    if interlace:
        passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
        body = b"".join(raw(data[y::dy, x::dx]) for x, y, dx, dy in passes if data[y::dy, x::dx].size)
    else:
        body = raw(data)

    def chunk(kind, payload):
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))

    head = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 1 if interlace else 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + b"".join(chunk(k, p) for k, p in chunks) +
                chunk(b"IDAT", zlib.compress(body)) + chunk(b"IEND", b""))


def over_white(colour, alpha):
    colour, alpha = colour.astype(int), alpha.astype(int)
    return ((colour * alpha + 255 * (255 - alpha) + 127) // 255).astype(np.uint8)


def padded(rgb):
    """H x W x 3 (or H x W grey) as the readers' four-byte pixels."""
    if rgb.ndim == 2:
        rgb = np.dstack([rgb] * 3)
    return np.dstack([rgb, np.zeros(rgb.shape[:2], np.uint8)])


def ramp(height=23, width=31, seed=0):
    rng = np.random.default_rng(seed)
    return rng.integers(0, 256, (height, width, 4), dtype=np.uint8)


class Readers(ProgramTest):
    """Each format decodes to the pixels Pillow gives (16-bit samples as
    round(v / 257), transparency over white paper)."""

    def rows(self, path):
        result = subprocess.run([VIEW_ROWS, path], capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        line, _, data = result.stdout.partition(b"\n")
        width, height, model, profile = line.decode().split()
        return model, np.frombuffer(data, np.uint8).reshape(int(height), int(width), 4), int(profile)

    def test_every_format_gives_the_pixels_pillow_gives(self):
        a = ramp()
        rgb, grey, alpha = a[..., :3], a[..., 0], a[..., 3]
        wide = (a.astype(np.uint16) * 251 + 7).astype(np.uint16)  # 16-bit, off the multiples of 257
        cases = {}

        def case(name, model, expected, write):
            path = self.path(name)
            write(path)
            cases[name] = (model, expected)

        case("l.png", "greyscale", padded(grey), lambda p: Image.fromarray(grey, "L").save(p))
        case("la.png", "greyscale", padded(over_white(grey, alpha)),
             lambda p: Image.fromarray(np.dstack([grey, alpha]), "LA").save(p))
        case("rgb.png", "RGB", padded(rgb), lambda p: Image.fromarray(rgb, "RGB").save(p))
        case("rgba.png", "RGB", padded(over_white(rgb, alpha[..., None])),
             lambda p: Image.fromarray(a, "RGBA").save(p))
        case("bits1.png", "greyscale", padded((grey >= 128).astype(np.uint8) * 255),
             lambda p: Image.fromarray(grey >= 128).save(p))
        case("grey16.png", "greyscale", padded(((wide[..., 0].astype(int) + 128) // 257).astype(np.uint8)),
             lambda p: png(p, wide[..., 0], 0, 16))
        case("rgb16.png", "RGB", padded(((wide[..., :3].astype(int) + 128) // 257).astype(np.uint8)),
             lambda p: png(p, wide[..., :3], 2, 16))
        eight = ((wide.astype(int) + 128) // 257).astype(np.uint8)
        case("rgba16.png", "RGB", padded(over_white(eight[..., :3], eight[..., 3:])),
             lambda p: png(p, wide, 6, 16))
        case("adam7.png", "RGB", padded(over_white(rgb, alpha[..., None])), lambda p: png(p, a, 6, 8, interlace=True))
        palette = Image.fromarray(rgb, "RGB").quantize(16)
        palette.info["transparency"] = bytes([0, 128] + [255] * 14)
        with_trns = np.asarray(palette.convert("RGBA"))
        case("palette.png", "RGB", padded(over_white(with_trns[..., :3], with_trns[..., 3:])),
             lambda p: palette.save(p, transparency=bytes([0, 128] + [255] * 14)))
        for name, mode, source in [("grey.jpg", "L", grey), ("rgb.jpg", "RGB", rgb), ("cmyk.jpg", "CMYK", a)]:
            path = self.path(name)
            Image.fromarray(source, mode).save(path, quality=90)
            decoded = np.asarray(Image.open(path))  # Pillow's decoding, Adobe's inverted CMYK included
            cases[name] = ({"L": "greyscale", "RGB": "RGB", "CMYK": "CMYK"}[mode],
                           decoded if mode == "CMYK" else padded(decoded))
        case("rgb.tif", "RGB", padded(rgb), lambda p: Image.fromarray(rgb, "RGB").save(p, compression="tiff_lzw"))
        case("rgba.tif", "RGB", padded(over_white(rgb, alpha[..., None])), lambda p: Image.fromarray(a, "RGBA").save(p))
        case("grey.tif", "greyscale", padded(grey), lambda p: Image.fromarray(grey, "L").save(p))

        for name, (model, expected) in cases.items():
            with self.subTest(name):
                got_model, got, _ = self.rows(self.path(name))
                self.assertEqual(got_model, model)
                self.assertTrue(np.array_equal(got, expected), f"{name}: {np.argwhere(got != expected)[:3]}")

    def test_embedded_profiles_are_kept(self):
        profile = open(A98_PROFILE, "rb").read()
        Image.fromarray(ramp()[..., :3], "RGB").save(self.path("p.png"), icc_profile=profile)
        Image.fromarray(ramp()[..., :3], "RGB").save(self.path("p.jpg"), icc_profile=profile)
        for name in ["p.png", "p.jpg"]:
            self.assertEqual(self.rows(self.path(name))[2], len(profile), name)


class ColourPlates(ProgramTest):
    """A plate of one view at one column a lens and one row a print row is
    the view itself, in the plate's colours: its pixels are checked against
    LittleCMS's own transform of the view."""

    def plate(self, view, colour, *extra, out="plate.tif"):
        height, width = np.asarray(Image.open(view)).shape[:2]
        result = self.run_program("-q", "--colour", colour, "--unit", "inch", "--dpi", "auto", "--lpi", "100",
                                  "--compress", "1", "--width", str(width / 100), "--height", str(height / 100),
                                  *extra, "-o", self.path(out), view)
        self.assertEqual(result.returncode, 0, result.stderr)
        image = Image.open(self.path(out))
        return image, np.asarray(image)[:height]

    def lcms(self, view, source, target, mode_in, mode_out):
        """Pillow's ImageCms: relative colorimetric, black point compensation."""
        transform = ImageCms.buildTransform(source, target, mode_in, mode_out, renderingIntent=1,
                                            flags=ImageCms.FLAGS["BLACKPOINTCOMPENSATION"])
        return np.asarray(ImageCms.applyTransform(Image.open(view).convert(mode_in), transform))

    def test_conversions_match_littlecms_and_the_plate_carries_its_profile(self):
        cmyk = ImageCms.getOpenProfile(CMYK_PROFILE)
        a98 = ImageCms.getOpenProfile(A98_PROFILE)
        pixels = ramp(seed=3)
        Image.fromarray(pixels[..., :3], "RGB").save(self.path("srgb.png"))
        # sRGB as an RGB plate carries it: the bytes its colours are converted
        # with, the same in every run (the cases below run seconds later).
        image, _ = self.plate(self.path("srgb.png"), "rgb")
        srgb_bytes = image.info["icc_profile"]
        srgb = ImageCms.ImageCmsProfile(io.BytesIO(srgb_bytes))
        self.assertIn("sRGB", ImageCms.getProfileDescription(srgb))
        Image.fromarray(pixels[..., :3], "RGB").save(self.path("a98.png"), icc_profile=open(A98_PROFILE, "rb").read())
        Image.fromarray(pixels, "CMYK").save(self.path("inks.tif"))
        cases = [
            ("srgb.png", "cmyk", lambda v: self.lcms(v, srgb, cmyk, "RGB", "CMYK")),
            ("a98.png", "cmyk", lambda v: self.lcms(v, a98, cmyk, "RGB", "CMYK")),
            ("inks.tif", "cmyk", lambda v: pixels),  # CMYK keeps its numbers
            ("srgb.png", "rgb", lambda v: pixels[..., :3]),  # already the plate's colours
            ("a98.png", "rgb", lambda v: self.lcms(v, a98, srgb, "RGB", "RGB")),
            ("inks.tif", "rgb", lambda v: self.lcms(v, cmyk, srgb, "CMYK", "RGB")),
        ]
        for view, colour, expected in cases:
            with self.subTest(view=view, colour=colour):
                image, got = self.plate(self.path(view), colour)
                self.assertEqual(image.mode, "CMYK" if colour == "cmyk" else "RGB")
                want = expected(self.path(view))
                self.assertTrue(np.array_equal(got, want), f"{np.argwhere(got != want)[:3]}")
                profile = image.info.get("icc_profile")
                self.assertEqual(profile, open(CMYK_PROFILE, "rb").read() if colour == "cmyk" else srgb_bytes)
        # A grey plate carries none, and stays the 334-byte classic file.
        image, _ = self.plate(self.path("srgb.png"), "grey")
        self.assertNotIn("icc_profile", image.info)
        with open(self.path("plate.tif"), "rb") as f:
            self.assertEqual(struct.unpack("<H", f.read(10)[8:10])[0], 17)

    def test_every_form_holds_the_plain_plates_rows(self):
        Image.fromarray(ramp(seed=5)[..., :3], "RGB").save(self.path("v.png"))
        for colour in ["cmyk", "rgb"]:
            _, plain = self.plate(self.path("v.png"), colour, out="plain.tif")
            for extra in [["--compression", "lzw"], ["--compression", "deflate", "--bigtiff"], ["--threads", "3"]]:
                with self.subTest(colour=colour, form=extra):
                    _, got = self.plate(self.path("v.png"), colour, *extra, out="form.tif")
                    self.assertTrue(np.array_equal(got, plain))

    def test_refusals_name_the_file_and_leave_nothing(self):
        Image.fromarray(ramp()[..., :3], "RGB").save(self.path("v.png"))
        with open(self.path("not.icc"), "w") as f:
            f.write("a text, not a profile\n" * 20)
        with open(self.path("cut.icc"), "wb") as f:
            f.write(open(CMYK_PROFILE, "rb").read()[:4000])
        Image.fromarray(ramp()[..., :3], "RGB").save(self.path("bad-profile.png"), icc_profile=b"x" * 300)
        Image.fromarray(ramp(300, 200)[..., :3], "RGB").save(self.path("big.png"))
        whole = open(self.path("big.png"), "rb").read()
        with open(self.path("cut.png"), "wb") as f:
            f.write(whole[:len(whole) * 2 // 3])
        Image.fromarray(ramp(64, 64)[..., :3], "RGB").save(self.path("v.jpg"), quality=95)
        whole = open(self.path("v.jpg"), "rb").read()
        with open(self.path("cut.jpg"), "wb") as f:
            f.write(whole[:len(whole) // 2])
        # 20000 x 20000 RGB, interlaced: 1.2 GB decoded at once, past the
        # 1 GiB the views of an export may take. Refused from its header:
        # its pixel data is never read.
        head = struct.pack(">IIBBBBB", 20000, 20000, 8, 2, 0, 0, 1)
        chunk = lambda kind, payload: (struct.pack(">I", len(payload)) + kind + payload +
                                       struct.pack(">I", zlib.crc32(kind + payload)))
        with open(self.path("huge-adam7.png"), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(b"\0" * 4096)) +
                    chunk(b"IEND", b""))
        # An interlaced view whose pixel data is broken: the series' claims
        # are all made from the headers before it is decoded.
        png(self.path("broken-adam7.png"), ramp(64, 64), 6, 8, interlace=True)
        broken = bytearray(open(self.path("broken-adam7.png"), "rb").read())
        at = broken.index(b"IDAT") + 40
        broken[at:at + 8] = b"\xff" * 8
        with open(self.path("broken-adam7.png"), "wb") as f:
            f.write(broken)
        Image.fromarray(ramp()[..., :4], "CMYK").save(self.path("v.tif"))
        os.rename(self.path("v.tif"), self.path("v.gjs"))
        # Profiles of classes that do not describe a device's colours, one
        # whose size field is too small, and files that are not profiles.
        cmyk, rgb = open(CMYK_PROFILE, "rb").read(), open(A98_PROFILE, "rb").read()
        for name, source, kind in [("link.icc", cmyk, b"link"), ("rgb-link.icc", rgb, b"link"),
                                   ("abstract.icc", rgb, b"abst"), ("named.icc", cmyk, b"nmcl")]:
            with open(self.path(name), "wb") as f:
                f.write(source[:12] + kind + source[16:])
        with open(self.path("small-size.icc"), "wb") as f:
            f.write(struct.pack(">I", 1000) + cmyk[4:])
        with open(self.path("huge.icc"), "wb") as f:
            f.truncate(17 << 20)
        os.mkfifo(self.path("fifo.icc"))
        before = sorted(os.listdir(self.dir.name))
        profile_cases = [
            ("--cmyk-profile", "link.icc", "it is a device link"),
            ("--rgb-profile", "rgb-link.icc", "it is a device link"),
            ("--rgb-profile", "abstract.icc", "it is an abstract profile"),
            ("--cmyk-profile", "named.icc", "it is a named-colour profile"),
            ("--cmyk-profile", "small-size.icc", "it is cut short: its size field says 1000 bytes"),
            ("--cmyk-profile", "fifo.icc", "it is not a regular file (a FIFO)"),
            ("--rgb-profile", "huge.icc", "at 17825792 bytes it is larger than the 16 MiB a profile may take"),
        ]
        cases = [
            (["--colour", "cmyk", "--cmyk-profile", self.path("not.icc")], ["v.png"],
             f'Cannot use the CMYK profile "{self.path("not.icc")}": it is not an ICC profile'),
            (["--colour", "cmyk", "--cmyk-profile", self.path("cut.icc")], ["v.png"],
             "it is cut short: 4000 of its 187484 bytes"),
            (["--colour", "cmyk", "--cmyk-profile", A98_PROFILE], ["v.png"],
             "it is a profile of RGB, and the CMYK profile must be one of CMYK"),
            (["--colour", "rgb", "--rgb-profile", CMYK_PROFILE], ["v.png"], "the RGB profile must be one of RGB"),
            ([], ["bad-profile.png"], "its embedded ICC profile cannot be used: iCCP: too short"),
            ([], ["big.png", "cut.png"], 'Cannot read view "' + self.path("cut.png") + '": cannot decode row'),
            ([], ["v.jpg", "cut.jpg"], 'Cannot read view "' + self.path("cut.jpg") + '": '),
            ([], ["huge-adam7.png"], "it is interlaced (Adam7), so it is decoded whole, in 1145 MiB"),
            ([], ["broken-adam7.png", "huge-adam7.png"],
             'Cannot read view "' + self.path("huge-adam7.png") + '": it is interlaced (Adam7), so it is decoded whole'),
            ([], ["broken-adam7.png", "v.png"], 'Cannot read view "' + self.path("broken-adam7.png") + '": its pixel data'),
            ([], ["v.gjs", "v.png"], "a series of .gjs views holds inverted CMYK throughout"),
        ] + [(["--colour", "cmyk" if option == "--cmyk-profile" else "rgb", option, self.path(name)], ["v.png"],
              f'Cannot use the {"CMYK" if option == "--cmyk-profile" else "RGB"} profile "{self.path(name)}": {words}')
             for option, name, words in profile_cases] + [
            (["--colour", "rgb", "--rgb-profile", "/dev/zero"], ["v.png"],
             'Cannot use the RGB profile "/dev/zero": it is not a regular file (a character device)'),
        ]
        for options, views, message in cases:
            with self.subTest(views=views, options=options):
                result = self.run_program("-q", "--unit", "inch", "--width", "0.5", *options, "-o", self.path("out.tif"),
                                          *[self.path(v) for v in views])
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir.name)), before)

    def test_a_press_profile_littlecms_cannot_convert_into_fails_export_and_dry_run(self):
        # The press's profile as printers' profiles come, but with its
        # tables from the connection space renamed away: it reads as a CMYK
        # profile, and LittleCMS cannot convert into it.
        cmyk = bytearray(open(CMYK_PROFILE, "rb").read())
        for i in range(struct.unpack(">I", cmyk[128:132])[0]):
            at = 132 + 12 * i
            if cmyk[at:at + 3] == b"B2A":
                cmyk[at:at + 3] = b"zzz"
        with open(self.path("no-b2a.icc"), "wb") as f:
            f.write(cmyk)
        Image.fromarray(ramp()[..., :3], "RGB").save(self.path("v.png"))
        before = sorted(os.listdir(self.dir.name))
        for extra in [[], ["--dry-run"], ["--threads", "1"]]:
            with self.subTest(extra=extra):
                result = self.run_program("-q", "--unit", "inch", "--width", "0.5", "--colour", "cmyk", "--cmyk-profile",
                                          self.path("no-b2a.icc"), *extra, "-o", self.path("out.tif"), self.path("v.png"))
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("Cannot convert from", result.stderr)
                self.assertIn("(relative intent)", result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertEqual(sorted(os.listdir(self.dir.name)), before)


if __name__ == "__main__":
    unittest.main(verbosity=2)
