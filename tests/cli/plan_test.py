"""--dry-run: the export's plan told without writing a byte, and the size it
gives is the size the export then writes."""

import glob
import os
import re
import unittest

from cli_support import ProgramTest

CMYK_PROFILE = "/usr/share/color/icc/ghostscript/default_cmyk.icc"


class DryRun(ProgramTest):
    def setUp(self):
        super().setUp()
        self.views = self.uniform_views([(10, 20, 30, 40), (200, 100, 50, 0), (0, 0, 0, 255)])

    def test_the_size_told_is_the_size_written(self):
        base = ["--unit", "inch", "--width", "1.5", "--dpi", "600", "--lpi", "39.5018"]
        cases = [
            ("plain grey", []),
            ("cmyk with its profile", ["--colour", "cmyk", "--cmyk-profile", CMYK_PROFILE]),
            ("rgb", ["--colour", "rgb"]),
            ("marked, horizontal, in panels", ["--marks", "--bleed", "0.1", "--lenses", "horizontal", "--panels", "2"]),
        ]
        os.mkdir(self.path("plates"))
        for what, extra in cases:
            with self.subTest(what):
                out = self.path("plates/" + what.replace(" ", "-").replace(",", "") + ".tif")
                dry = self.run_program(*base, *extra, "--dry-run", "-o", out, *self.views)
                self.assertEqual(dry.returncode, 0, dry.stderr)
                self.assertEqual(os.listdir(self.path("plates")), [], "a dry run writes nothing")
                told = int(re.search(r"^size: (\d+) bytes$", dry.stdout, re.M).group(1))
                self.assertRegex(dry.stdout, r"(?m)^file: \d+ x \d+ pixels$")
                self.assertRegex(dry.stdout, r"(?m)^frames: 3$")
                result = self.run_program("-q", *base, *extra, "-o", out, *self.views)
                self.assertEqual(result.returncode, 0, result.stderr)
                written = sum(os.path.getsize(p) for p in glob.glob(out[:-4] + "*.tif"))
                self.assertEqual(told, written)
                for p in glob.glob(self.path("plates/*")):
                    os.remove(p)

    def test_a_dry_run_refuses_what_the_export_refuses(self):
        for extra in (["--dpi", "0"], ["--width", "0.0001"], ["--colour", "cmyk", "--cmyk-profile", self.views[0]]):
            with self.subTest(extra=extra):
                dry = self.run_program(*extra, "--dry-run", "-o", self.path("o.tif"), *self.views)
                real = self.run_program("-q", *extra, "-o", self.path("o.tif"), *self.views)
                self.assertEqual((dry.returncode, dry.stderr), (real.returncode, real.stderr))
                self.assertNotEqual(dry.returncode, 0)
                self.assertFalse(os.path.exists(self.path("o.tif")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
