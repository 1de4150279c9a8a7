"""The views stage on the command line: its options refused before anything
is written, and kept in a saved job as typed."""

import json
import math
import os
import unittest

import numpy as np
from PIL import Image, ImageFilter

from cli_support import ProgramTest, write_view

PLATE = ["-q", "--unit", "inch", "--width", "1", "--dpi", "300", "--lpi", "39.5018", "--compress", "2"]


def above_caption(path):
    """The plate's rows above its caption strip (0.2 inch, which prints the time)."""
    with Image.open(path) as im:
        rows = np.asarray(im).astype(int)
        caption = math.ceil(0.2 * im.info["dpi"][1])
    return rows[:-caption]


class AlignOptionsTest(ProgramTest):
    def test_bad_values_are_refused_before_anything_is_written(self):
        views = self.uniform_views([(0, 0, 0, 40), (0, 0, 0, 80)])
        out = self.path("out.tif")
        cases = [
            (["--align", "sideways"], 2, "--align must be none or auto, not \"sideways\""),
            (["--key", "1,2,3"], 2, "--key \"1,2,3\" is not X,Y,W,H in the first view's pixels"),
            (["--key", "0,0,-4,5"], 2, "--key \"0,0,-4,5\" is not X,Y,W,H"),
            (["--key", "0,0,4.5,5"], 2, "--key \"0,0,4.5,5\" is not X,Y,W,H"),
            (["--key-shift", "abc"], 1, "--key-shift: 'abc' is not a valid floating point value"),
            (["--key-shift", "1e9"], 1, "--key-shift 1e9 is out of range"),
            (["--key-shift", "-1000.5"], 1, "--key-shift -1000.5 is out of range"),
        ]
        for options, status, message in cases:
            with self.subTest(options=options):
                result = self.run_program("-q", "--unit", "inch", *options, "-o", out, *views)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir.name)), sorted(os.path.basename(v) for v in views))

    def textured_views(self, count, step, still=False):
        """A blurred noise scene seen from `count` places: view k's content moved
        right by k x step[0] and down by k x step[1] pixels; with `still`, a
        patch of another scene at (90..150, 70..130) does not move."""
        rng = np.random.default_rng(7)
        scene, front = (np.asarray(Image.fromarray(rng.integers(0, 256, (300, 360), dtype=np.uint8))
                                   .filter(ImageFilter.GaussianBlur(2))) for _ in range(2))
        paths = []
        for k in range(count):
            dx, dy = k * step[0], k * step[1]
            ink = np.zeros((200, 240, 4), dtype=np.uint8)
            ink[..., 3] = scene[40 - dy:240 - dy, 50 - dx:290 - dx]
            if still:
                ink[70:130, 90:150, 3] = front[70:130, 90:150]
            paths.append(self.path(f"t{k}.tif"))
            write_view(paths[-1], ink)
        return paths

    def saved_shifts(self, *typed, views):
        job = self.path("a.plivora")
        result = self.run_program("-q", *typed, "--save-job", job, "-o", self.path("out.tif"), *views)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(job, encoding="utf-8") as f:
            stored = json.load(f)
        for stage in ("align", "key", "key-shift"):  # found once, then kept as shifts to edit
            self.assertNotIn(stage, stored["options"])
        return [v.get("shift", [0, 0]) if isinstance(v, dict) else [0, 0] for v in stored["views"]]

    # Shifts found or stepped go into the saved job, view by view.
    def test_found_shifts_are_saved_in_the_job(self):
        views = self.textured_views(4, (3, 2))
        cases = [  # typed, the shift expected of view k, how near
            (["--align", "auto"], lambda k: (-3 * k, -2 * k), 0.1),
            (["--align", "auto", "--key", "20,20,200,160"], lambda k: (-3 * k, -2 * k), 0.1),
            (["--align", "auto", "--key-shift", "1.5"], lambda k: (1.5 * k, -2 * k), 0.1),
            (["--key-shift", "-0.25"], lambda k: (-0.25 * k, 0), 0),
        ]
        for typed, expected, near in cases:
            with self.subTest(typed=typed):
                shifts = self.saved_shifts(*typed, views=views)
                for k, (dx, dy) in enumerate(shifts):
                    self.assertLessEqual(abs(dx - expected(k)[0]), near, shifts)
                    self.assertLessEqual(abs(dy - expected(k)[1]), near, shifts)

    def test_a_dry_run_tells_the_depth_budget_and_warns_of_ghosting(self):
        for step, ghosting in (((1, 0), False), ((12, 0), True)):
            with self.subTest(step=step):
                views = self.textured_views(3, step, still=True)  # the key: the patch that stays
                result = self.run_program("-q", "--dry-run", "--align", "auto", "--key", "95,75,50,50", "--unit",
                                          "inch", "--width", "4", "--lpi", "20", "-o", self.path("out.tif"), *views)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn("Depth: at most", result.stdout)
                self.assertEqual("Ghosting likely" in result.stdout, ghosting, result.stdout)
                self.assertEqual("Ghosting likely" in result.stderr, ghosting, result.stderr)


    # Widths are held in inches whatever unit they were typed in: 10.16 cm is
    # 4 inches, and the budget is the same.
    def test_the_depth_budget_does_not_hang_on_the_unit(self):
        views = self.textured_views(3, (6, 0), still=True)
        told = {}
        for unit, width in (("inch", "4"), ("cm", "10.16")):
            result = self.run_program("-q", "--dry-run", "--align", "auto", "--key", "95,75,50,50", "--unit", unit,
                                      "--width", width, "--lpi", "20", "-o", self.path("out.tif"), *views)
            self.assertEqual(result.returncode, 0, result.stderr)
            told[unit] = [line for line in result.stdout.splitlines() if line.startswith(("Depth:", "One lens"))]
        self.assertEqual(len(told["inch"]), 2, told)
        self.assertEqual(told["cm"], told["inch"])

class AlignedExportTest(ProgramTest):
    def views_of(self, name, pictures, kind="tif"):
        """CMYK TIFF views (read as asked) or grey PNG views (decoded ahead of the plate)."""
        paths = []
        for i, k in enumerate(pictures):
            path = self.path(f"{name}{i + 1}.{kind}")
            level = np.clip(np.rint(k), 0, 255).astype(np.uint8)
            if kind == "png":
                Image.fromarray(255 - level, "L").save(path)
            else:
                ink = np.zeros(k.shape + (4,), dtype=np.uint8)
                ink[..., 3] = level
                write_view(path, ink)
            paths.append(path)
        return paths

    def job_export(self, views, shifts):
        job = self.path("shifted.plivora")
        stored = [{"path": v, "shift": list(s)} for v, s in zip(views, shifts)]
        with open(job, "w", encoding="utf-8") as f:
            json.dump({"format": 1, "views": stored, "options": {}}, f)
        result = self.run_program(*PLATE, "--job", job, "-o", self.path("shifted.tif"))
        self.assertEqual(result.returncode, 0, result.stderr)
        return above_caption(self.path("shifted.tif"))

    def plain_export(self, views):
        result = self.run_program(*PLATE, "-o", self.path("cut.tif"), *views)
        self.assertEqual(result.returncode, 0, result.stderr)
        return above_caption(self.path("cut.tif"))

    # Whole shifts: the plate of the views cut by hand to the area all cover,
    # byte for byte; its size (and so the height) is the area's.
    def test_whole_shifts_equal_views_cut_beforehand(self):
        rng = np.random.default_rng(5)
        height, width = 45, 60
        pictures = [rng.integers(0, 256, (height, width)) for _ in range(3)]
        shifts = [(0, 0), (2, -1), (-3, 2)]
        left, right = max(dx for dx, _ in shifts), min(dx for dx, _ in shifts) + width - 1
        top, bottom = max(dy for _, dy in shifts), min(dy for _, dy in shifts) + height - 1
        cut = [p[top - dy:bottom - dy + 1, left - dx:right - dx + 1] for p, (dx, dy) in zip(pictures, shifts)]
        for kind in ("tif", "png"):
            with self.subTest(kind=kind):
                shifted = self.job_export(self.views_of("v", pictures, kind), shifts)
                plain = self.plain_export(self.views_of("c", cut, kind))
                self.assertEqual(shifted.shape, plain.shape)
                self.assertTrue(np.array_equal(shifted, plain))

    # Fractional shifts of a linear ramp, which the cubic filter keeps linear:
    # the plate of the ramp evaluated where each pixel comes from, within a
    # level of rounding.
    def test_fractional_shifts_match_the_ramp_sampled_between_pixels(self):
        height, width = 40, 50
        ramp = lambda x, y: 2 * x + 3 * y + 20  # noqa: E731
        ys, xs = np.mgrid[0:height, 0:width]
        shifts = [(0, 0), (0.5, 0.75), (-1.25, 0.25)]
        left = math.ceil(max(dx for dx, _ in shifts))
        right = math.floor(min(dx for dx, _ in shifts) + width - 1)
        top = math.ceil(max(dy for _, dy in shifts))
        bottom = math.floor(min(dy for _, dy in shifts) + height - 1)
        area_y, area_x = np.mgrid[top:bottom + 1, left:right + 1]
        reference = [ramp(area_x - dx, area_y - dy) for dx, dy in shifts]
        shifted = self.job_export(self.views_of("v", [ramp(xs, ys)] * 3), shifts)
        plain = self.plain_export(self.views_of("c", reference))
        self.assertEqual(shifted.shape, plain.shape)
        self.assertLessEqual(int(np.abs(shifted - plain).max()), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
