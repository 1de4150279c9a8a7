"""plivora-interlace's large-format forms: compressed files, BigTIFF and
panels, read back by libtiff's tools and by Pillow and compared with the
plain export of the same views."""

import os
import signal
import subprocess
import unittest
from fractions import Fraction

import numpy as np
from PIL import Image

from cli_support import PROGRAM, ProgramTest, write_view

# The worked example's size: 7994 x 1200 image rows and 80 caption rows.
EXAMPLE = ["--unit", "inch", "--width", "2", "--height", "3", "-q"]
IMAGE_ROWS = 1200
VIEWS = 12


def tiffinfo(path):
    return subprocess.run(["tiffinfo", path], capture_output=True, text=True, check=True).stdout


class LargeOutput(ProgramTest):
    def setUp(self):
        super().setUp()
        # Views with runs, steps and noise, so that every codec has work.
        rng = np.random.default_rng(7)
        self.views = []
        for i in range(VIEWS):
            view = np.zeros((90, 60, 4), dtype=np.uint8)
            view[:, :20] = (i * 20, 0, 255 - i * 20, 10)
            view[:, 20:40] = rng.integers(0, 256, (90, 20, 4))
            view[:, 40:] = np.arange(90, dtype=np.uint8)[:, None, None] * 2
            path = self.path(f"view{i + 1:02d}.tif")
            write_view(path, view)
            self.views.append(path)

    def export(self, out, *options):
        result = self.run_program(*EXAMPLE, *options, "-o", out, *self.views)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def image_rows(self, path):
        return np.asarray(Image.open(path))[:IMAGE_ROWS]

    def plain(self):
        out = self.path("plain.tif")
        self.export(out)
        return out

    def folder(self):
        return sorted(n for n in os.listdir(self.dir.name) if not n.startswith("view"))


class Compressed(LargeOutput):
    def test_every_form_holds_the_plain_rows_and_tags(self):
        plain = self.plain()
        with open(plain, "rb") as f:
            self.assertEqual(f.read(4), b"II*\0")
        self.assertEqual(os.path.getsize(plain), 334 + 7994 * 1280 * 4)  # the classic file, unchanged
        expected = self.image_rows(plain)
        schemes = {"none": "None", "packbits": "PackBits", "lzw": "LZW", "deflate": "AdobeDeflate"}
        for method, scheme in schemes.items():
            for big in (False, True):
                if method == "none" and not big:
                    continue
                with self.subTest(method=method, bigtiff=big):
                    out = self.path(f"{method}{'-big' if big else ''}.tif")
                    self.export(out, "--compression", method, *(["--bigtiff"] if big else []))
                    with open(out, "rb") as f:
                        self.assertEqual(f.read(4), b"II+\0" if big else b"II*\0")
                    info = tiffinfo(out)
                    for line in [f"Compression Scheme: {scheme}", "Image Width: 7994 Image Length: 1280",
                                 "Resolution: 4000, 400 pixels/inch", "Bits/Sample: 8", "Samples/Pixel: 4",
                                 "Photometric Interpretation: separated", "InkSet: 1", "Artist: vexo Plivora",
                                 "Software: Plivora", "DateTime: "]:
                        self.assertIn(line, info)
                    # Strips of 64 KB to about 1 MB of raw rows.
                    rows_per_strip = int(info.split("Rows/Strip: ")[1].split()[0])
                    self.assertTrue(64 << 10 <= rows_per_strip * 7994 * 4 <= 1 << 20, rows_per_strip)
                    # libtiff's own decoder, then Pillow's reading of the result and of the file itself.
                    decoded = self.path("decoded.tif")
                    subprocess.run(["tiffcp", "-c", "none", out, decoded], check=True)
                    self.assertTrue((self.image_rows(decoded) == expected).all())
                    self.assertTrue((self.image_rows(out) == expected).all())
                    caption = np.asarray(Image.open(out))[IMAGE_ROWS:]
                    self.assertEqual(caption.shape, (80, 7994, 4))
                    self.assertTrue((caption[..., 3] == 0).all())
                    if method != "none":
                        self.assertLess(os.path.getsize(out), os.path.getsize(plain))

    def test_usage_errors(self):
        for options, message in [(["--compression", "zip"], "--compression must be none, packbits, lzw or deflate"),
                                 (["--panels", "0"], "--panels takes a number from 1 to 64"),
                                 (["--panels", "65"], "--panels takes a number from 1 to 64"),
                                 (["--panels", "two"], "--panels takes a number from 1 to 64")]:
            result = self.run_program(*EXAMPLE, *options, "-o", self.path("x.tif"), *self.views)
            self.assertEqual(result.returncode, 2, options)
            self.assertIn(message, result.stderr)
        self.assertEqual(self.folder(), [])


class Panels(LargeOutput):
    def lens_starts(self, width):
        """Columns where the view sequence starts again, worked out in exact
        fractions from the export's fixed-point steps."""
        lpi_e9 = round(Fraction("75.5555555555555") * 10**9)
        view_step_e8 = round(Fraction(VIEWS * lpi_e9, 4000 * 10**9) * 10**8)
        lens = [(i * view_step_e8 // 10**8) // VIEWS for i in range(width)]
        return [i for i in range(1, width) if lens[i] != lens[i - 1]]

    def test_panels_butt_together_into_the_plain_print_at_lens_boundaries(self):
        expected = self.image_rows(self.plain())
        starts = self.lens_starts(7994)
        for n in (1, 2, 3, 7):
            with self.subTest(panels=n):
                self.export(self.path("p.tif"), "--panels", str(n))
                names = ["p.tif"] if n == 1 else [f"p-{k}-of-{n}.tif" for k in range(1, n + 1)]
                self.assertEqual(self.folder(), sorted(names + ["plain.tif"]))
                parts = [self.image_rows(self.path(name)) for name in names]
                self.assertTrue((np.concatenate(parts, axis=1) == expected).all())
                cuts = np.cumsum([p.shape[1] for p in parts])[:-1]
                for k, cut in enumerate(cuts, start=1):
                    self.assertIn(cut, starts)
                    nearest = min(starts, key=lambda s: (abs(s * n - k * 7994), s))
                    self.assertEqual(cut, nearest)
                for name in names:
                    self.assertEqual(np.asarray(Image.open(self.path(name))).shape[0], 1280)
                    os.remove(self.path(name))

    def test_compressed_bigtiff_panels(self):
        expected = self.image_rows(self.plain())
        self.export(self.path("p.tif"), "--panels", "3", "--compression", "lzw", "--bigtiff")
        parts = [self.image_rows(self.path(f"p-{k}-of-3.tif")) for k in (1, 2, 3)]
        self.assertTrue((np.concatenate(parts, axis=1) == expected).all())
        info = tiffinfo(self.path("p-2-of-3.tif"))
        self.assertIn("Compression Scheme: LZW", info)
        # Three plates fill a strip each: a third of a megabyte apiece.
        rows_per_strip = int(info.split("Rows/Strip: ")[1].split()[0])
        self.assertTrue(64 << 10 <= rows_per_strip * parts[1].shape[1] * 4 <= (1 << 20) // 3, rows_per_strip)

    def test_panel_names_that_lead_to_one_file_are_refused_before_the_export(self):
        """Two panel names that were links to one file were only refused at
        the end, after the whole export, with "Something else took its
        place". And an output named ".tif" gave hidden panels."""
        with open(self.path("shared.tif"), "wb") as f:
            f.write(b"earlier")
        os.symlink("shared.tif", self.path("p-1-of-2.tif"))
        os.link(self.path("shared.tif"), self.path("p-2-of-2.tif"))
        result = self.run_program(*EXAMPLE, "--panels", "2", "-o", self.path("p.tif"), *self.views)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("is the file", result.stderr)
        with open(self.path("shared.tif"), "rb") as f:
            self.assertEqual(f.read(), b"earlier")
        self.assertEqual(self.folder(), ["p-1-of-2.tif", "p-2-of-2.tif", "shared.tif"])
        for name in self.folder():
            os.remove(self.path(name))
        self.export(self.path(".tif"), "--panels", "2")
        self.assertEqual(self.folder(), ["-1-of-2.tif", "-2-of-2.tif"])

    def test_a_failure_in_the_last_panel_leaves_every_earlier_file(self):
        """The disk fills while the last panel's caption strip is written:
        no panel appears, and the earlier files of those names stay."""
        mount = self.path("disk")
        os.mkdir(mount)
        # Sized for the three new panels, less part of the last one's
        # caption strip, plus a page for each earlier file.
        widths = [2648, 2700, 2646]
        size = sum(334 + w * 1280 * 4 for w in widths) - 400 * 1024 + 3 * 4096
        size -= size % 4096
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", mount],
                                 capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("a small tmpfs needs root: " + mounted.stderr.decode())
        self.addCleanup(subprocess.run, ["umount", mount])
        modes = {"unnamed file": os.environ, "named temporary": dict(os.environ, PLIVORA_NO_O_TMPFILE="1")}
        for mode, env in modes.items():
            with self.subTest(mode):
                for k in (1, 2, 3):
                    with open(os.path.join(mount, f"p-{k}-of-3.tif"), "wb") as f:
                        f.write(b"earlier %d" % k)
                result = self.run_program(*EXAMPLE, "--panels", "3", "-o", os.path.join(mount, "p.tif"),
                                          *self.views, env=env)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("p-3-of-3.tif\" could not be written. No space left on device", result.stderr)
                self.assertEqual(sorted(os.listdir(mount)), [f"p-{k}-of-3.tif" for k in (1, 2, 3)])
                for k in (1, 2, 3):
                    with open(os.path.join(mount, f"p-{k}-of-3.tif"), "rb") as f:
                        self.assertEqual(f.read(), b"earlier %d" % k)


    def test_a_signal_leaves_no_panel_behind(self):
        """A terminating signal half-way through a long export in panels,
        compressed or not: the folder holds what it held before."""
        for k in (1, 2, 3):
            with open(self.path(f"p-{k}-of-3.tif"), "wb") as f:
                f.write(b"earlier %d" % k)
        before = self.folder()
        modes = {"unnamed file": os.environ, "named temporary": dict(os.environ, PLIVORA_NO_O_TMPFILE="1")}
        for mode, env in modes.items():
            for options in ([], ["--compression", "packbits"]):
                with self.subTest(mode=mode, options=options):
                    process = subprocess.Popen(
                        [PROGRAM, "--unit", "inch", "--width", "12", "--height", "6", "--compress", "4", "--panels",
                         "3", *options, "-o", self.path("p.tif"), *self.views], stderr=subprocess.PIPE, text=True,
                        env=env)
                    for line in process.stderr:
                        if line.strip() == "30%":
                            break
                    process.send_signal(signal.SIGTERM)
                    process.communicate(timeout=60)
                    self.assertEqual(process.returncode, -signal.SIGTERM)
                    self.assertEqual(self.folder(), before)
                    for k in (1, 2, 3):
                        with open(self.path(f"p-{k}-of-3.tif"), "rb") as f:
                            self.assertEqual(f.read(), b"earlier %d" % k)


class BigTiff(LargeOutput):
    def test_a_plain_output_over_4_gib_is_refused_before_anything_is_written(self):
        # 15988 x 67200 pixels: 4.297 GB, 2.6 MB more than a classic TIFF holds.
        result = self.run_program("--unit", "inch", "--compress", "1", "--width", "4", "--height", "16.6", "-q",
                                  "-o", self.path("big.tif"), *self.views)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr.strip(),
                         "plivora-interlace: An output of 15988 x 67200 pixels at 4.3 GB does not fit a TIFF file "
                         "(at most 4 GiB); use --bigtiff if the RIP reads BigTIFF, or --panels N to split the print "
                         "into N files")
        self.assertEqual(self.folder(), [])


if __name__ == "__main__":
    unittest.main()
