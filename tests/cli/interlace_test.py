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

    def test_numbers_are_refused_naming_the_option(self):
        """A width of 0 or a DPI of 1 was refused with "Floating point division
        by zero", and 1e308 with "Invalid floating point operation": the
        option and what it takes are named instead."""
        views = self.uniform_views([(1, 2, 3, 4)] * 2)
        out = self.path("plate.tif")
        cases = [(["--width", "0"], '--width must be above 0, not "0"'),
                 (["--width", "-2"], '--width must be above 0, not "-2"'),
                 (["--unit", "inch", "--width", "0.0001"], "--width 0.0001 inch holds no whole lens at --lpi"),
                 (["--width", "0.0001"], "--width 0.0001 is too small"),
                 (["--dpi", "0"], '--dpi must be above 0, not "0"'),
                 (["--dpi", "1"], "at --dpi 1 spans 1 of the plate setter's rows, fewer than --compress 10"),
                 (["--dpi", "0.001"], "--dpi 0.001 is too low"),
                 (["--lpi", "1e308"], "--lpi 1e308 is out of range"),
                 (["--width", "1e308"], "--width 1e308 is out of range"),
                 (["--height", "0"], '--height must be above 0, not "0"'),
                 (["--width", "0,05"], "--width: '0,05' is not a valid floating point value; "
                                       'the command line takes "." as the decimal separator')]
        for args, message in cases:
            result = self.run_program("-q", *args, "-o", out, *views)
            self.assertEqual(result.returncode, 1, args)
            self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
            self.assertTrue(result.stderr.startswith("plivora-interlace: --"), result.stderr)
            self.assertIn(message, result.stderr, args)
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["view01.tif", "view02.tif"])

    def test_the_thread_variable_and_the_output_name_are_checked(self):
        """PLIVORA_THREADS of 0, -1, abc or 1e2 was ignored and 257 taken as
        256; "-o nodir/" wrote a file "nodir". Both are refused as a wrong
        command line (exit 2), naming what is wrong."""
        views = self.uniform_views([(1, 2, 3, 4)] * 2)
        for value in ["0", "-1", "abc", "", "1e2", "257"]:
            result = self.run_program("-q", "-o", self.path("x.tif"), *views,
                                      env=dict(os.environ, PLIVORA_THREADS=value))
            self.assertEqual(result.returncode, 2, value)
            self.assertIn(f'PLIVORA_THREADS takes a number from 1 to 256, not "{value}"', result.stderr)
        self.assertEqual(self.run_program("-q", "-o", self.path("x.tif"), *views,
                                          env=dict(os.environ, PLIVORA_THREADS="3")).returncode, 0)
        os.remove(self.path("x.tif"))
        for name in ["nodir/", self.dir.name + "/", self.path("sub/."), "./"]:
            for extra in [[], ["--panels", "2"]]:
                result = self.run_program("-q", *extra, "-o", name, *views)
                self.assertEqual(result.returncode, 2, name)
                self.assertIn("names a folder", result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["view01.tif", "view02.tif"])

    def test_help_and_version(self):
        self.assertIn("usage: plivora-interlace", self.run_program("--help").stdout)
        self.assertEqual(self.run_program("--version").stdout.strip(), "plivora-interlace 13.4")


if __name__ == "__main__":
    unittest.main(verbosity=2)
