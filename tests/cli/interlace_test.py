"""plivora-interlace run as a user runs it; its output read back by libtiff's
tiffinfo and by Pillow, which share no code with the program."""

import os
import subprocess
import unittest

import numpy as np
from PIL import Image

from cli_support import ProgramTest, grey


class Interlace(ProgramTest):
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
