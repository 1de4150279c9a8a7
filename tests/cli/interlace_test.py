"""plivora-interlace run as a user runs it; its output read back by libtiff's
tiffinfo and by Pillow, which share no code with the program."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

PROGRAM = sys.argv.pop(1)


def write_view(path, cmyk, inverted=False):
    """Writes a view in the input layout from an H x W x 4 uint8 array."""
    height, width, _ = cmyk.shape
    entries = [(256, 4, 1, width), (257, 4, 1, height), (259, 3, 1, 1), (262, 3, 1, 5),
               (273, 4, 1, 0), (277, 3, 1, 4), (278, 4, 1, height), (279, 4, 1, width * height * 4)]
    data_at = 8 + 2 + 12 * len(entries) + 4
    entries[4] = (273, 4, 1, data_at)
    head = b"II" + struct.pack("<HIH", 42, 8, len(entries))
    head += b"".join(struct.pack("<HHII", *e) for e in entries) + struct.pack("<I", 0)
    pixels = (255 - cmyk) if inverted else cmyk
    with open(path, "wb") as f:
        f.write(head + pixels.astype(np.uint8).tobytes())


def grey(c, m, y, k):
    """The grey of one ink set, for inks chosen away from rounding ties."""
    exact = (300 * c + 590 * m + 110 * y + 1000 * k)
    assert exact % 1000 != 500
    return min(255, (exact + 500) // 1000)


class Interlace(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def run_program(self, *args):
        return subprocess.run([PROGRAM, *args], capture_output=True, text=True, timeout=120)

    def uniform_views(self, inks, width=30, height=45, ext="tif", inverted=False):
        paths = []
        for i, ink in enumerate(inks):
            path = self.path(f"view{i + 1:02d}.{ext}")
            write_view(path, np.full((height, width, 4), ink, dtype=np.uint8), inverted)
            paths.append(path)
        return paths

    def test_auto_dpi_columns_cycle_through_the_views(self):
        inks = [(10, 20, 30, 0), (200, 0, 0, 5), (0, 180, 0, 7), (0, 0, 240, 9)]
        views = self.uniform_views(inks)
        out = self.path("out.tif")
        result = self.run_program("--dpi", "auto", "--unit", "inch", "--width", "1", "--height", "1.5",
                                  "-q", "-o", out, *views)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")

        info = subprocess.run(["tiffinfo", out], capture_output=True, text=True, check=True).stdout
        # (Auto): 4 x 75.5555555556 dpi; 76 lenses of 4 columns; 453 rows / 10.
        self.assertIn("Image Width: 304 Image Length: 51", info)
        self.assertIn("Photometric Interpretation: separated", info)
        self.assertIn("Samples/Pixel: 4", info)
        self.assertIn("Compression Scheme: None", info)
        self.assertIn("Resolution: 302.222, 30.2222 pixels/inch", info)

        image = Image.open(out)
        self.assertEqual(image.mode, "CMYK")
        pixels = np.asarray(image)
        self.assertEqual(pixels.shape, (51, 304, 4))
        for column in range(304):
            expected = grey(*inks[column % 4])
            self.assertTrue((pixels[:45, column] == expected).all(), column)
        strip = pixels[45:]
        self.assertTrue((strip[..., 3] == 0).all())
        self.assertTrue(set(np.unique(strip[..., :3])) <= {0, 255})

    def test_default_height_follows_the_first_view_and_gjs_is_inverted(self):
        inks = [(250, 250, 250, 250), (200, 220, 240, 255)]
        views = self.uniform_views(inks, width=20, height=40, ext="gjs", inverted=True)
        out = self.path("neg.tif")
        result = self.run_program("--unit", "inch", "--width", "1", "-q", "-o", out, *views)
        self.assertEqual(result.returncode, 0, result.stderr)
        pixels = np.asarray(Image.open(out))
        # 1 inch wide, aspect 0.5 -> 2 inches high: 8000 print rows, 800 rows.
        self.assertEqual(pixels.shape[0], 800 + 80)
        # The grey of the stored (inverted) samples, inverted back.
        expected = {255 - grey(*(255 - np.array(ink))) for ink in inks}
        self.assertEqual(expected, {245, 216})
        self.assertEqual(set(np.unique(pixels[:800])), expected)

    def test_file_carries_its_path_and_is_stable_in_length(self):
        views = self.uniform_views([(1, 2, 3, 4)] * 3)
        out = self.path("a.tif")
        self.assertEqual(self.run_program("--width", "2", "--height", "3", "-q", "-o", out, *views).returncode, 0)
        size = os.path.getsize(out)
        # 2 x 3 cm: 59 lenses, 3124 columns; 4724 rows / 10 = 472, + 80 strip rows.
        self.assertEqual(size, 334 + (472 + 80) * 3124 * 4)

    def test_failures_name_the_problem_and_keep_the_earlier_file(self):
        views = self.uniform_views([(1, 2, 3, 4)] * 2)
        out = self.path("keep.tif")
        with open(out, "wb") as f:
            f.write(b"earlier")
        missing = self.path("missing.tif")
        cases = [
            (["-o", out, views[0], missing], f'Cannot open file "{missing}". No such file or directory'),
            (["--compress", "10.5", "-o", out, *views], "'10.5' is not a valid integer value"),
            (["--lpi", "x", "-o", out, *views], "'x' is not a valid floating point value"),
            (["--unit", "mm", "-o", out, *views], "--unit must be inch or cm"),
            (["-o", views[0], *views], "is one of the views"),
            (["-o", out], "no views given"),
            ([*views], "no output given"),
        ]
        for args, message in cases:
            result = self.run_program(*args)
            self.assertNotEqual(result.returncode, 0, args)
            last = result.stderr.splitlines()[0 if message.startswith(("no ", "--")) else -1]
            self.assertTrue(last.startswith("plivora-interlace: "), result.stderr)
            self.assertIn(message, last)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), b"earlier")
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["keep.tif", "view01.tif", "view02.tif"])

    def test_help_and_version(self):
        self.assertIn("usage: plivora-interlace", self.run_program("--help").stdout)
        self.assertEqual(self.run_program("--version").stdout.strip(), "plivora-interlace 13.4")


if __name__ == "__main__":
    unittest.main(verbosity=2)
