"""The press sheet: a bled plate is the export of the bled size; a marked
plate holds the bled image unchanged at the margin's offset, its marks in
the margin only, its crop marks on the trim lines; panels butt together
into the marked plate."""

import os
import unittest

import numpy as np
from PIL import Image

from cli_support import ProgramTest, write_view

SLUG = 0.5  # inches of margin on every side
BASE = ["--unit", "inch", "--width", "1.5", "--height", "1", "--lpi", "39.5018", "--dpi", "600", "--compress", "3", "-q"]
PAPER = {"grey": (0, 0, 0, 0), "cmyk": (0, 0, 0, 0), "rgb": (255, 255, 255)}
REGISTRATION = {"grey": (255, 255, 255, 255), "cmyk": (255, 255, 255, 255), "rgb": (0, 0, 0)}


class PressSheet(ProgramTest):
    def setUp(self):
        super().setUp()
        rng = np.random.default_rng(22)
        self.views = []
        for k in range(3):
            self.views.append(self.path(f"v{k}.tif"))
            write_view(self.views[-1], rng.integers(0, 256, (40, 60, 4), dtype=np.uint8))

    def export(self, name, *args):
        out = self.path(name)
        result = self.run_program(*BASE, *args, "-o", out, *self.views)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out

    @staticmethod
    def load(path):
        """The file's rows without the caption strip (0.2 inch), and its resolutions."""
        with Image.open(path) as im:
            xres, yres = im.info["dpi"]
            return np.asarray(im)[:-round(0.2 * yres)], xres, yres

    def test_a_bled_plate_is_the_export_of_the_bled_size(self):
        for lenses in ("vertical", "horizontal"):
            with self.subTest(lenses=lenses):
                bled, _, _ = self.load(self.export("bled.tif", "--lenses", lenses, "--bleed", "0.125"))
                # 1.5 x 1 inch trim, 0.125 inch a side: 1.75 x 1.25 inch.
                typed, _, _ = self.load(self.export("typed.tif", "--lenses", lenses, "--width", "1.75", "--height", "1.25"))
                self.assertEqual(bled.shape, typed.shape)
                self.assertTrue(np.array_equal(bled, typed))

    def test_the_marked_plate_holds_the_image_unchanged_and_its_marks_in_the_margin(self):
        cases = [("grey", "vertical"), ("cmyk", "vertical"), ("rgb", "horizontal"), ("cmyk", "horizontal")]
        for colour, lenses in cases:
            with self.subTest(colour=colour, lenses=lenses):
                args = ["--colour", colour, "--lenses", lenses, "--bleed", "0.125"]
                image, _, _ = self.load(self.export("plain.tif", *args))
                marked, xres, yres = self.load(self.export("marked.tif", *args, "--marks"))
                left, top = round(SLUG * xres), round(SLUG * yres)
                h, w = image.shape[:2]
                self.assertEqual(marked.shape[:2], (h + 2 * top, w + 2 * left))
                self.assertTrue(np.array_equal(marked[top:top + h, left:left + w], image))
                margin = np.ones(marked.shape[:2], bool)
                margin[top:top + h, left:left + w] = False
                paper = np.all(marked == PAPER[colour], axis=-1)
                registration = np.all(marked == REGISTRATION[colour], axis=-1)
                self.assertTrue(np.any(margin & ~paper))  # there are marks
                inks = {tuple(p) for p in marked[margin & ~paper & ~registration]}
                self.assertEqual(inks, set() if colour == "grey" else
                                 {(255, 0, 0, 0), (0, 255, 0, 0), (0, 0, 255, 0), (0, 0, 0, 255)} if colour == "cmyk" else
                                 {(0, 255, 255), (255, 0, 255), (255, 255, 0)})  # the bar's inks (K is registration on RGB)
                # Every crop mark is a line on a trim line's extension: near
                # each trim corner, the inked pixels of the margin beside
                # the bleed form one line across the trim edge.
                bleed_x, bleed_y = round(0.125 * xres), round(0.125 * yres)
                trims_x = (left + bleed_x, left + w - bleed_x)
                trims_y = (top + bleed_y, top + h - bleed_y)
                near_x, near_y = round(0.1 * xres), round(0.1 * yres)
                reach_x, reach_y = round(0.32 * xres), round(0.32 * yres)  # the marks' band, under the slug line
                for t in trims_x:
                    for rows in (slice(top - reach_y, top), slice(top + h, top + h + reach_y)):
                        window = registration[rows, t - near_x:t + near_x]
                        columns = np.flatnonzero(window.any(axis=0)) + t - near_x
                        self.assertTrue(len(columns) > 0 and np.all(np.diff(columns) == 1), columns)
                        self.assertTrue(columns[0] <= t <= columns[-1] + 1, (t, columns))
                        self.assertLessEqual(len(columns), max(2, round(2 / 288 * xres)))
                for t in trims_y:
                    for cols in (slice(left - reach_x, left), slice(left + w, left + w + reach_x)):
                        window = registration[t - near_y:t + near_y, cols]
                        rows = np.flatnonzero(window.any(axis=1)) + t - near_y
                        self.assertTrue(len(rows) > 0 and np.all(np.diff(rows) == 1), rows)
                        self.assertTrue(rows[0] <= t <= rows[-1] + 1, (t, rows))

    def test_panels_butt_together_into_the_marked_plate(self):
        for extra in ([], ["--mirror"], ["--lenses", "horizontal"]):
            with self.subTest(extra=extra):
                args = ["--colour", "cmyk", "--bleed", "0.1", "--marks", *extra]
                # The slug line names the output: the same name in two folders.
                os.makedirs(self.path("whole"), exist_ok=True)
                os.makedirs(self.path("cut"), exist_ok=True)
                whole, _, _ = self.load(self.export("whole/plate.tif", *args))
                self.export("cut/plate.tif", *args, "--panels", "3")
                panels = [self.load(self.path(f"cut/plate-{k}-of-3.tif"))[0] for k in (1, 2, 3)]
                self.assertTrue(np.array_equal(np.concatenate(panels, axis=1), whole))

    def test_a_printer_keeps_its_bleed_and_marks(self):
        env = dict(os.environ, XDG_CONFIG_HOME=self.path("config"))
        saved = self.run_program("--unit", "inch", "--bleed", "0.125", "--marks", "--save-printer", "press", env=env)
        self.assertEqual(saved.returncode, 0, saved.stderr)
        listed = self.run_program("--list-profiles", env=env).stdout
        self.assertEqual(listed, "printer press: bleed 0.125in, marks\n")
        # In a plate of another unit the bleed keeps its own.
        cm = [a for a in BASE if a not in ("--unit", "inch")]
        out = self.path("p.tif")
        result = self.run_program("--unit", "cm", *cm, "--printer", "press", "-o", out, *self.views, env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        typed, _, _ = self.load(self.export("t.tif", "--unit", "cm", "--bleed", "0.3175", "--marks"))
        printed, _, _ = self.load(out)
        self.assertEqual(printed.shape, typed.shape)

    def test_refusals(self):
        for bleed in ("-0.1", "x", "11", "3 furlongs"):
            with self.subTest(bleed=bleed):
                result = self.run_program(*BASE, "--bleed", bleed, "-o", self.path("r.tif"), *self.views)
                self.assertEqual(result.returncode, 2)
                self.assertIn("--bleed takes a length", result.stderr)
        # A bleed with its own unit: 3.175 mm is 0.125 inch.
        mm, _, _ = self.load(self.export("mm.tif", "--bleed", "3.175mm"))
        inch, _, _ = self.load(self.export("in.tif", "--bleed", "0.125"))
        self.assertTrue(np.array_equal(mm, inch))


if __name__ == "__main__":
    unittest.main(verbosity=2)
