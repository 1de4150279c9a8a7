"""plivora-interlace where the environment is hostile: the user's locale,
signals, resource limits, special files and names that are not UTF-8. Each
case is a fault a user met; the test tells its story."""

import os
import subprocess
import unittest

import numpy as np
from PIL import Image

from cli_support import ProgramTest, write_view

HERE = os.path.dirname(os.path.abspath(__file__))


class Locale(ProgramTest):
    """Under a comma locale the program read "2.9" as 2 and exited 0 with a
    plate far too narrow, and refused its own default height "2,99...". The
    command line reads and writes "." whatever the locale."""

    def comma_env(self, name):
        locales = self.path("locales")
        subprocess.run(["bash", os.path.join(HERE, "..", "support", "make_locales.sh"), locales], check=True)
        env = dict(os.environ, LOCPATH=locales, LC_ALL=name, LANG=name)
        return env

    def test_comma_locales_give_the_plate_of_the_c_locale(self):
        # Columns that differ, so a plate of another width can't match.
        ramp = np.zeros((60, 40, 4), dtype=np.uint8)
        ramp[:, :, 0] = np.arange(40, dtype=np.uint8)[None, :] * 6
        ramp[:, :, 3] = np.arange(60, dtype=np.uint8)[:, None] * 4
        views = []
        for i in range(3):
            views.append(self.path(f"v{i}.tif"))
            write_view(views[-1], np.roll(ramp, 7 * i, axis=1))
        args = ["--lpi", "75.5555555555555", "--width", "2.9", "-q"]
        expected = self.path("c.tif")
        result = self.run_program(*args, "-o", expected, *views, env=dict(os.environ, LC_ALL="C"))
        self.assertEqual(result.returncode, 0, result.stderr)
        reference = np.asarray(Image.open(expected))
        self.assertEqual(reference.shape[1], 4553)  # 2.9 cm at 4000 dpi
        for name in ["fr_FR.UTF-8", "de_DE.UTF-8"]:
            out = self.path(f"{name}.tif")
            result = self.run_program(*args, "-o", out, *views, env=self.comma_env(name))
            self.assertEqual(result.returncode, 0, name + ": " + result.stderr)
            plate = np.asarray(Image.open(out))
            self.assertEqual(plate.shape, reference.shape, name)
            # Everything but the caption strip (80 rows: date, time and path).
            self.assertTrue(np.array_equal(plate[:-80], reference[:-80]), name)
            self.assertEqual(os.path.getsize(out), os.path.getsize(expected))
            bad = self.run_program("--width", "2,9", "-q", "-o", out, *views, env=self.comma_env(name))
            self.assertIn("'2,9' is not a valid floating point value", bad.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
