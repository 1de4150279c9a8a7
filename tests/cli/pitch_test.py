"""plivora-pitch-test as an operator runs it: the strip list it prints, the
sheet read back by Pillow, and each strip's pattern checked against what
plivora-interlace writes for a black and a white view at that LPI."""

import os
import subprocess
import sys
import unittest

import numpy as np
from PIL import Image

from cli_support import PROGRAM, ProgramTest, write_view

INTERLACE = sys.argv.pop(1)
DPI = 4000


def strips_of(stdout):
    """[(k, lpi text, first row, last row)] from the program's strip lines."""
    found = []
    for line in stdout.splitlines():
        word = line.split()
        assert word[0] == "strip" and word[2] == "lpi" and word[4] == "rows", line
        first, last = (int(n) for n in word[5].split("-"))
        found.append((int(word[1]), word[3], first, last))
    return found


class PitchSheet(ProgramTest):
    def sheet(self, *args):
        out = self.path("sheet.tif")
        result = subprocess.run([PROGRAM, "-q", *args, "-o", out], capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        with Image.open(out) as im:
            self.assertEqual(im.mode, "CMYK")
            self.assertEqual(im.info["dpi"], (DPI, DPI / 10))
            return strips_of(result.stdout), np.asarray(im)

    def test_coarse_and_fine_strip_lists(self):
        strips, _ = self.sheet("--width", "0.5")
        self.assertEqual([s[1] for s in strips], [f"{75.0555555555555 + k / 10:.13f}" for k in range(11)])
        self.assertEqual([(s[0], s[2], s[3]) for s in strips[:2]], [(1, 360, 559), (2, 640, 839)])
        strips, _ = self.sheet("--width", "0.5", "--lpi", "75.40595", "--range", "0.1", "--step", "0.01")
        self.assertEqual(len(strips), 21)
        self.assertEqual((strips[0][1], strips[10][1], strips[20][1]), ("75.30595", "75.40595", "75.50595"))

    def test_each_pattern_is_the_export_of_a_black_and_a_white_view(self):
        strips, sheet = self.sheet("--width", "2")
        black, white = self.path("black.tif"), self.path("white.tif")
        write_view(black, np.full((6, 4, 4), (0, 0, 0, 255), dtype=np.uint8))
        write_view(white, np.zeros((6, 4, 4), dtype=np.uint8))
        for k, lpi, first, last in [strips[0], strips[5], strips[10]]:
            out = self.path(f"export{k}.tif")
            result = self.run_program_at(INTERLACE, "-q", "--unit", "inch", "--width", "2", "--height", "0.5",
                                         "--lpi", lpi, "-o", out, black, white)
            self.assertEqual(result.returncode, 0, result.stderr)
            with Image.open(out) as im:
                exported = np.asarray(im)[:-80]  # the caption strip is the export's own
            rows = sheet[first:last + 1]
            self.assertEqual(rows.shape[0], exported.shape[0], lpi)
            width = exported.shape[1]
            self.assertTrue(np.array_equal(rows[:, :width], exported), lpi)
            self.assertFalse(rows[:, width:].any(), lpi)  # white where the strip is narrower than the sheet

    def test_lens_boundaries_do_not_drift_across_the_sheet(self):
        strips, sheet = self.sheet("--width", "8", "--strip", "0.1")
        for _, lpi, first, _ in strips:
            half_lens = DPI / float(lpi) / 2
            row = sheet[first, :, 3].astype(int)
            edges = np.nonzero(np.diff(row))[0] + 1  # first column of each run
            self.assertGreater(len(edges), 2 * 8 * 75 - 4, lpi)
            error = np.abs(edges / half_lens - np.round(edges / half_lens)) * half_lens
            self.assertLess(error.max(), 1.0, lpi)
            # Checked out to the far edge of the strip, which ends with its last whole lens.
            width = round(round(8 * float(lpi)) * DPI / float(lpi))
            self.assertGreater(edges[-1], width - half_lens - 1, lpi)

    def test_phase_sheet_shifts_each_strip_by_an_eighth_of_a_lens(self):
        strips, sheet = self.sheet("--phase", "--width", "1")
        self.assertEqual([s[1] for s in strips], ["75.5555555555555"] * 8)
        first, last = strips[0][2], strips[0][3]
        base = sheet[first:last + 1]
        width = sheet.shape[1]
        for k, _, a, b in strips:
            shift = round((k - 1) * DPI / 75.5555555555555 / 8)
            rows = sheet[a:b + 1]
            self.assertFalse(rows[:, :shift].any(), k)
            self.assertTrue(np.array_equal(rows[:, shift:], base[:, :width - shift]), k)

    def test_bands_carry_text_and_the_caption_strip_comes_last(self):
        strips, sheet = self.sheet("--width", "2")
        text = sheet[:, :, 0] == 255  # ink of drawn text and rulers: 255, 255, 255, 0
        self.assertTrue(text[:280].any())  # header and rulers
        for _, lpi, first, last in strips:
            self.assertGreater(text[first - 80:first].sum(), 500, lpi)  # the label
        self.assertEqual(sheet.shape[0], strips[-1][3] + 1 + 80)
        caption = sheet[-80:]
        self.assertTrue((caption[:, :, 0] == 255).any())
        self.assertFalse(caption[:, :, 3].any())

    def test_a_horizontal_sheet_is_turned_and_its_strips_are_horizontal_exports(self):
        black, white = self.path("black.tif"), self.path("white.tif")
        write_view(black, np.full((6, 4, 4), (0, 0, 0, 255), dtype=np.uint8))
        write_view(white, np.zeros((6, 4, 4), dtype=np.uint8))
        for phase in (False, True):
            with self.subTest(phase=phase):
                out = self.path("across.tif")
                result = subprocess.run([PROGRAM, "-q", "--lenses", "horizontal", "--width", "1.5",
                                         *(["--phase"] if phase else []), "-o", out],
                                        capture_output=True, text=True, timeout=120)
                self.assertEqual(result.returncode, 0, result.stderr)
                lines = [line.split() for line in result.stdout.splitlines()]
                self.assertEqual(lines[0][4], "columns")
                with Image.open(out) as im:
                    self.assertEqual(im.info["dpi"], (DPI / 10, DPI))
                    sheet = np.asarray(im)
                for k in (0, 3, len(lines) - 1):
                    first, last = (int(n) for n in lines[k][5].split("-"))
                    shift = round(k * DPI / 75.5555555555555 / 8) if phase else 0
                    exported = self.path("strip.tif")
                    result = self.run_program_at(INTERLACE, "-q", "--lenses", "horizontal", "--unit", "inch", "--width",
                                                 "0.5", "--height", "1.5", "--lpi", lines[k][3],
                                                 "--phase", f"{k}/8" if phase else "0", "-o", exported, black, white)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    with Image.open(exported) as im:
                        pattern = np.asarray(im)[:-800]  # its caption strip: 0.2 inch at 4000 dpi
                    self.assertEqual(pattern.shape[1], last - first + 1)
                    rows = min(pattern.shape[0], sheet.shape[0] - 800)
                    strip = sheet[:, first:last + 1]
                    self.assertFalse(strip[:shift].any(), k)  # white above a phase strip's shift
                    self.assertTrue(np.array_equal(strip[shift:rows], pattern[shift:rows]), k)

    def test_a_mirrored_sheet_reads_backwards(self):
        for lenses in ("vertical", "horizontal"):
            with self.subTest(lenses=lenses):
                for _ in range(3):  # the caption prints the time: both in the same second
                    plain, mirrored = (self.sheet("--lenses", lenses, "--width", "1", "--range", "0.1", *extra)[1]
                                       if lenses == "vertical" else self.turned_sheet(*extra)
                                       for extra in ([], ["--mirror"]))
                    if np.array_equal(mirrored, plain[:, ::-1]):
                        break
                else:  # never within one second on a loaded machine: all but the caption strip
                    caption = round(0.2 * (DPI / 10 if lenses == "vertical" else DPI))
                    self.assertTrue(np.array_equal(mirrored[:-caption], plain[:-caption, ::-1]))

    def turned_sheet(self, *args):
        out = self.path("turned.tif")
        result = subprocess.run([PROGRAM, "-q", "--lenses", "horizontal", "--width", "1", "--range", "0.1", *args,
                                 "-o", out], capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        with Image.open(out) as im:
            return np.asarray(im)

    def test_refusals_write_nothing(self):
        cases = [(["--step", "0"], '--step must be above 0, not "0"'),
                 (["--strip", "0"], '--strip must be above 0, not "0"'),
                 (["--lpi", "1e308"], "--lpi 1e308 is out of range"),
                 (["--lpi", "0.001", "--range", "0"], "--width 8 inch holds no whole lens at --lpi 0.001"),
                 # 21 strips all labelled 75.5555555555555 were written
                 (["--range", "1e-14", "--step", "1e-15"], "A step of 1e-15 is too fine"),
                 (["--range", "1e-9", "--step", "1e-10"], "A step of 1e-10 is too fine"),
                 (["--step", "0.001"], "at most 60 strips"),
                 (["--lpi", "0.3"], "is not above 0"),
                 (["--strip", "0.01"], "strips need at least 10"),
                 (["--width", "40", "--strip", "2"], "does not fit a TIFF file"),
                 (["--compress", "x"], "'x' is not a valid integer value"),
                 (["--unit", "mm"], "--unit must be inch or cm"),
                 (["--lenses", "slanted"], "--lenses must be vertical or horizontal"),
                 (["--lenses", "horizontal", "--width", "40", "--strip", "8", "--compress", "1"], "does not fit a TIFF file")]
        out = self.path("refused.tif")
        for args, message in cases:
            result = subprocess.run([PROGRAM, "-q", *args, "-o", out], capture_output=True, text=True, timeout=60)
            self.assertNotEqual(result.returncode, 0, args)
            self.assertIn(message, result.stderr, args)
            self.assertEqual(result.stdout, "", args)
        self.assertEqual(os.listdir(self.dir.name), [])

    def run_program_at(self, program, *args):
        return subprocess.run([program, *args], capture_output=True, text=True, timeout=120)


if __name__ == "__main__":
    unittest.main(verbosity=2)
