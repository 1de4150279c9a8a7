"""Views made from layers or from a picture and its depth map, through
plivora-interlace: the plate equals the plate of the same views saved and
given as files, a job keeps the layers and the map, and what cannot be made
is refused naming the file."""

import json
import os
import unittest

import numpy as np
from PIL import Image, ImageOps

from cli_support import ProgramTest

PLATE = ["--colour", "rgb", "--unit", "inch", "--width", "1", "--lpi", "20", "--dpi", "80", "--compress", "1"]


def rows_of(path):
    """The image rows of a plate, without the caption strip (0.2 inch)."""
    with Image.open(path) as im:
        return np.asarray(im)[:-round(0.2 * im.info["dpi"][1])]


class MadeViews(ProgramTest):
    def setUp(self):
        super().setUp()
        rng = np.random.default_rng(7)
        Image.fromarray(rng.integers(0, 256, (40, 64, 3), dtype=np.uint8), "RGB").save(self.path("sky.png"))
        logo = rng.integers(0, 256, (12, 16, 4), dtype=np.uint8)
        logo[..., 3] = np.where(logo[..., 3] > 128, 255, 0)
        Image.fromarray(logo, "RGBA").save(self.path("logo.png"))
        Image.fromarray(rng.integers(0, 256, (12, 16, 3), dtype=np.uint8), "RGB").save(self.path("flat.png"))
        depth = np.zeros((40, 64), dtype=np.uint8)
        depth[10:30, 20:40] = 255
        Image.fromarray(depth, "L").save(self.path("depth.png"))
        Image.fromarray(depth[:39], "L").save(self.path("short.png"))

    def layers(self):
        return ["--layer", self.path("sky.png") + ":-0.5", "--layer", self.path("logo.png") + ":1:20,14"]

    def ok(self, *args):
        result = self.run_program(*args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def refused(self, *args):
        result = self.run_program(*args)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        return result.stderr

    def test_the_plate_of_made_views_equals_the_plate_of_those_views_saved(self):
        for name, made in [("layers", self.layers()),
                           ("depth map", ["--depth-map", self.path("depth.png"), "--depth", "2", self.path("sky.png")])]:
            with self.subTest(name):
                folder = self.path("views-" + name.replace(" ", "-"))
                self.ok(*PLATE, "--frames", "4", "--save-views", folder, "-o", self.path("made.tif"), *made)
                saved = [os.path.join(folder, f"view-0{k}.tif") for k in range(1, 5)]
                self.assertEqual(sorted(os.listdir(folder)), [os.path.basename(p) for p in saved])
                for path in saved:
                    with Image.open(path) as im:
                        self.assertEqual(im.mode, "RGB")
                        self.assertIn("icc_profile", im.info)
                self.ok(*PLATE, "-o", self.path("files.tif"), *saved)
                np.testing.assert_array_equal(rows_of(self.path("made.tif")), rows_of(self.path("files.tif")))
                # The views differ: the layers moved.
                with Image.open(saved[0]) as first, Image.open(saved[-1]) as last:
                    self.assertFalse(np.array_equal(np.asarray(first), np.asarray(last)))

    def test_a_tiff_layer_with_alpha_makes_the_views_the_png_makes(self):
        with Image.open(self.path("logo.png")) as im:
            im.save(self.path("logo.tif"))
            im.save(self.path("logo-lzw.tif"), compression="tiff_lzw")
        plates = []
        for logo in ("logo.png", "logo.tif", "logo-lzw.tif"):
            out = self.path(logo + ".plate.tif")
            self.ok(*PLATE, "--frames", "5", "-o", out, "--layer", self.path("sky.png") + ":0",
                    "--layer", self.path(logo) + ":1.3:30,20")
            plates.append(rows_of(out))
        np.testing.assert_array_equal(plates[0], plates[1])
        np.testing.assert_array_equal(plates[0], plates[2])

    def test_a_layer_stored_turned_keeps_its_alpha(self):
        with Image.open(self.path("logo.png")) as upright:
            upright.load()
        for orientation in (2, 3, 6, 8):
            with self.subTest(orientation=orientation):
                # The stored picture that a viewer turns back into the logo.
                stored = next(upright.transpose(t) for t in Image.Transpose
                              if np.array_equal(np.asarray(ImageOps.exif_transpose(self.tagged(upright.transpose(t), orientation))),
                                                np.asarray(upright)))
                exif = Image.Exif()
                exif[0x0112] = orientation
                stored.save(self.path("turned.png"), exif=exif)
                rows = []
                for logo in ("logo.png", "turned.png"):
                    self.ok(*PLATE, "--frames", "3", "-o", self.path("t.tif"), "--layer", self.path("sky.png") + ":0",
                            "--layer", self.path(logo) + ":1.5:7,9")
                    rows.append(rows_of(self.path("t.tif")))
                np.testing.assert_array_equal(rows[0], rows[1])

    @staticmethod
    def tagged(picture, orientation):
        exif = Image.Exif()
        exif[0x0112] = orientation
        picture.info["exif"] = exif.tobytes()
        picture.getexif()[0x0112] = orientation
        return picture

    def test_the_frames_default_to_the_whole_pixels_a_lens_and_the_dry_run_names_them(self):
        out = self.ok(*PLATE, "--dry-run", "-o", self.path("p.tif"), *self.layers()).stdout
        self.assertIn("frames: 4", out)
        self.assertIn("made: 4 views (view 01 .. view 04) from 2 layers", out)
        self.assertIn("Depth: at most", out)

    def test_a_depth_the_lens_cannot_show_warns_of_ghosting(self):
        for made in (["--layer", self.path("sky.png") + ":0", "--layer", self.path("logo.png") + ":5"],
                     ["--depth-map", self.path("depth.png"), "--depth", "-9", self.path("sky.png")]):
            result = self.ok(*PLATE, "--dry-run", "-o", self.path("p.tif"), *made)
            self.assertIn("Ghosting likely", result.stderr)
        calm = self.ok(*PLATE, "--dry-run", "-o", self.path("p.tif"), *self.layers())
        self.assertNotIn("Ghosting", calm.stderr)

    def test_a_job_keeps_the_layers_and_the_depth_map(self):
        for name, made in [("layers", self.layers()),
                           ("map", ["--depth-map", self.path("depth.png"), "--depth", "1.5", "--key-depth", "40",
                                    self.path("sky.png")])]:
            with self.subTest(name):
                job = self.path(name + ".plivora")
                self.ok(*PLATE, "--frames", "3", "--save-job", job, "-o", self.path("job.tif"), *made)
                with open(job) as f:
                    stored = json.load(f)
                if name == "layers":
                    self.assertEqual(stored["views"], [])
                    self.assertEqual(stored["layers"], [{"path": "sky.png", "depth": -0.5},
                                                        {"path": "logo.png", "depth": 1, "position": [20, 14]}])
                else:
                    self.assertEqual(stored["options"]["depth-map"], "depth.png")
                    self.assertEqual(stored["options"]["key-depth"], "40")
                self.ok("--job", job)
                self.ok(*PLATE, "--frames", "3", "-o", self.path("typed.tif"), *made)
                np.testing.assert_array_equal(rows_of(self.path("job.tif")), rows_of(self.path("typed.tif")))

    def test_what_cannot_be_made_is_refused_naming_the_file(self):
        cases = [
            ("an upper layer without alpha", ["--layer", self.path("sky.png") + ":0", "--layer", self.path("flat.png") + ":1"],
             "flat.png", "no alpha"),
            ("a map of another size", ["--depth-map", self.path("short.png"), self.path("sky.png")], "short.png", "64 x 40"),
            ("no common area", ["--layer", self.path("sky.png") + ":-80", "--layer", self.path("logo.png") + ":1"],
             "sky.png", "no column"),
            ("layers and views", [*self.layers(), self.path("sky.png")], "", "both given"),
            ("a map with two pictures", ["--depth-map", self.path("depth.png"), self.path("sky.png"), self.path("sky.png")],
             "depth.png", "one picture"),
        ]
        for name, args, file, says in cases:
            with self.subTest(name):
                message = self.refused(*PLATE, "--frames", "4", "-o", self.path("no.tif"), *args)
                self.assertIn(file, message)
                self.assertIn(says, message)
                self.assertFalse(os.path.exists(self.path("no.tif")))

    def test_a_layer_argument_that_is_not_file_depth_is_a_usage_error(self):
        for text in ("logo.png", "logo.png:deep", "logo.png:1:2;3"):
            with self.subTest(text):
                result = self.run_program(*PLATE, "--layer", self.path("sky.png") + ":0", "--layer", text, "-o", self.path("x.tif"))
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn("--layer", result.stderr)

    def test_a_refused_export_saves_no_views(self):
        folder = self.path("saved")
        message = self.refused(*PLATE, "--save-views", folder, "-o", self.path("logo.png"), *self.layers())
        self.assertIn("logo.png", message)
        self.assertFalse(os.path.exists(folder))

    def test_saving_views_needs_views_to_make(self):
        Image.fromarray(np.zeros((10, 10, 3), dtype=np.uint8), "RGB").save(self.path("v.png"))
        message = self.refused(*PLATE, "--save-views", self.path("out"), "-o", self.path("x.tif"), self.path("v.png"))
        self.assertIn("--save-views", message)


if __name__ == "__main__":
    unittest.main()
