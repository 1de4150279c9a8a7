"""How the plate meets its lens, through plivora-interlace: horizontal lenses
as the vertical plate of the turned views turned back, the frame orders as
the lists they expand to, the phase as the phase sheet's strips, and the
mirrored plate as the plate read backwards."""

import os
import subprocess
import sys
import unittest

import numpy as np
from PIL import Image

PITCH = sys.argv.pop(2)
from cli_support import PROGRAM, ProgramTest, write_view  # noqa: E402  (takes the program from argv)

PLATE = ["-q", "--unit", "inch", "--dpi", "600", "--lpi", "39.5018", "--compress", "3"]


def read(path):
    with Image.open(path) as im:
        return np.asarray(im), im.info.get("dpi")


class Lenses(ProgramTest):
    def export(self, out, *args):
        result = self.run_program(*args, "-o", self.path(out))
        self.assertEqual(result.returncode, 0, result.stderr)
        return read(self.path(out)) if "--panels" not in args else None

    def random_views(self, count, height, width, turned=False, seed=1):
        rng = np.random.default_rng(seed)
        paths = []
        for i in range(count):
            pixels = rng.integers(0, 256, (height, width, 4), dtype=np.uint8)
            path = self.path(f"v{i}.tif")
            write_view(path, pixels)
            if turned:
                write_view(self.path(f"t{i}.tif"), pixels.transpose(1, 0, 2))
            paths.append(path)
        return paths

    def test_a_horizontal_plate_is_the_vertical_plate_of_the_turned_views_turned_back(self):
        views = self.random_views(3, 29, 41, turned=True)
        turned = [self.path(f"t{i}.tif") for i in range(3)]
        for colour in ("grey", "cmyk"):
            for threads in ("1", "3"):
                with self.subTest(colour=colour, threads=threads):
                    common = [*PLATE, "--colour", colour, "--threads", threads]
                    plate, dpi = self.export("h.tif", *common, "--lenses", "horizontal", "--width", "1.3",
                                             "--height", "0.9", *views)
                    upright, _ = self.export("v.tif", *common, "--width", "0.9", "--height", "1.3", *turned)
                    image = upright[:-40]  # the vertical plate's caption strip: 0.2 inch at 200 dpi
                    rows = plate.shape[0] - 120  # the horizontal plate's: 0.2 inch at 600 dpi
                    self.assertEqual(plate.shape[:2], (image.shape[1] + 120, image.shape[0]))
                    self.assertTrue(np.array_equal(plate[:rows], image.transpose(1, 0, 2)))
                    self.assertEqual(tuple(round(d) for d in dpi), (200, 600))
                    caption = plate[rows:]
                    self.assertTrue(caption.any() and not caption[:, :, 3].any())  # text, in C, M and Y

    def test_orders_and_held_ends_are_the_lists_they_expand_to(self):
        views = self.uniform_views([(i * 50, 0, 0, 20 * i) for i in range(1, 5)])
        a, b, c, d = views
        cases = [
            (["--order", "reverse"], [d, c, b, a]),
            (["--order", "pingpong"], [a, b, c, d, c, b]),
            (["--hold-ends", "3"], [a, a, a, b, c, d, d, d]),
            (["--order", "pingpong", "--hold-ends", "2"], [a, a, b, c, d, c, b, b]),
        ]
        size = ["--width", "2", "--height", "3", "--lpi", "25.2"]
        for options, frames in cases:
            with self.subTest(options=options):
                got, _ = self.export("ordered.tif", *PLATE, *size, *options, *views)
                want, _ = self.export("listed.tif", *PLATE, *size, *frames)
                self.assertTrue(np.array_equal(got[:-40], want[:-40]))

    def test_a_phase_of_k_eighths_is_the_phase_sheets_strip_k(self):
        sheet = self.path("sheet.tif")
        result = subprocess.run([PITCH, "--phase", "--width", "1", "-o", sheet], capture_output=True, text=True,
                                timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        strips = [line.split() for line in result.stdout.splitlines()]
        pattern, _ = read(sheet)
        black, white = self.path("black.tif"), self.path("white.tif")
        write_view(black, np.full((6, 4, 4), (0, 0, 0, 255), dtype=np.uint8))
        write_view(white, np.zeros((6, 4, 4), dtype=np.uint8))
        for k in (1, 3, 6):
            first, last = (int(n) for n in strips[k][5].split("-"))
            shift = round(k / 8 * 4000 / 75.5555555555555)
            for phase in (f"{k}/8", str(k / 8)):
                with self.subTest(phase=phase):
                    plate, _ = self.export("phase.tif", "-q", "--unit", "inch", "--width", "1", "--height", "0.5",
                                           "--phase", phase, black, white)
                    rows = plate[:-80]
                    self.assertEqual(rows.shape[0], last - first + 1)
                    self.assertTrue(np.array_equal(rows[:, shift:], pattern[first:last + 1, shift:rows.shape[1]]))
                    self.assertTrue(rows[:, :shift, 3].any())  # before the shift the pattern goes on

    def test_a_mirrored_plate_reads_backwards_panels_and_caption_included(self):
        views = self.random_views(3, 29, 41)
        for lenses in ("vertical", "horizontal"):
            with self.subTest(lenses=lenses):
                size = [*PLATE, "--lenses", lenses, "--width", "1.3", "--height", "0.9"]
                for _ in range(3):  # the caption prints the time: both in the same second
                    plain, _ = self.export("plate.tif", *size, *views)
                    os.rename(self.path("plate.tif"), self.path("plain.tif"))
                    mirrored, dpi = self.export("plate.tif", *size, "--mirror", *views)
                    if np.array_equal(mirrored, plain[:, ::-1]):
                        break
                else:  # never within one second on a loaded machine: all but the caption strip
                    caption = round(0.2 * dpi[1])
                    self.assertTrue(np.array_equal(mirrored[:-caption], plain[:-caption, ::-1]))
                # The panels of the mirrored print: the plain panels in reverse.
                self.export("plain.tif", *size, "--panels", "3", *views)
                self.export("panel.tif", *size, "--mirror", "--panels", "3", *views)
                panels = [read(self.path(f"panel-{k}-of-3.tif"))[0] for k in (1, 2, 3)]
                plain_widths = [read(self.path(f"plain-{k}-of-3.tif"))[0].shape[1] for k in (3, 2, 1)]
                self.assertEqual([p.shape[1] for p in panels], plain_widths)
                strip = 40 if lenses == "vertical" else 120
                self.assertTrue(np.array_equal(np.concatenate([p[:-strip] for p in panels], axis=1), mirrored[:-strip]))

    def test_the_sheets_thickness_and_index_leave_the_plate_as_it_was(self):
        views = self.random_views(3, 29, 41)
        size = [*PLATE, "--width", "1.3", "--height", "0.9", *views]
        plain, _ = self.export("plain.tif", *size)
        for optics in (["--thickness", "0.05"], ["--thickness", "1mm", "--index", "1.49"], ["--index", "3"]):
            with self.subTest(optics=optics):
                seen, _ = self.export("seen.tif", *optics, *size)
                self.assertTrue(np.array_equal(seen[:-40], plain[:-40]))  # above the caption, which prints the time

    def test_refusals_come_before_anything_is_written(self):
        views = self.uniform_views([(0, 0, 0, 255), (0, 0, 0, 0)])
        out = self.path("out.tif")
        cases = [
            (["--phase", "1"], 2, "--phase \"1\" must be at least 0 and below 1"),
            (["--phase", "-0.125"], 2, "must be at least 0 and below 1"),
            (["--phase", "3/0"], 2, "is not a number or a fraction such as 3/8"),
            (["--hold-ends", "0"], 2, "--hold-ends takes a number from 1 to 255"),
            (["--lenses", "diagonal"], 2, "--lenses must be vertical or horizontal"),
            (["--thickness", "26mm"], 1, '--thickness must be above 0 and at most 1 inch (25.4mm), not "26mm"'),
            (["--thickness", "0"], 1, '--thickness must be above 0 and at most 1 inch (25.4mm), not "0"'),
            (["--thickness", "thick"], 1, "--thickness: 'thick' is not a length"),
            (["--index", "3.01"], 1, '--index must be from 1 to 3, not "3.01"'),
            (["--order", "pingpong", *(views * 64)], 1, "A lens can show at most 255 frames; the 130 views in pingpong order make 258"),
            (["--lenses", "horizontal", "--compress", "1", "--width", "700000"], 1, "does not fit a TIFF file"),
            (["--lenses", "horizontal", "--height", "0.001"], 1, "--height 0.001 inch holds no whole lens"),
        ]
        for options, status, message in cases:
            with self.subTest(options=options[:4]):
                result = self.run_program("-q", "--unit", "inch", *options, "-o", out, *views)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir.name)), sorted(os.path.basename(v) for v in views))


if __name__ == "__main__":
    unittest.main(verbosity=2)
