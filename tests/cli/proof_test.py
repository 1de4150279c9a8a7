"""plivora-proof on plates made by plivora-interlace from flat-coloured views:
which view each lens shows over a sweep of angles, through a lens of
another pitch, from nearby, and with the plate's phase moved; plates from
other writers; the GIF; the refusals."""

import os
import subprocess
import sys
import unittest

import numpy as np
from PIL import Image, ImageCms

INTERLACE = sys.argv.pop(2)
from cli_support import PROGRAM, ProgramTest, write_view  # noqa: E402  (takes the program from argv)

STRIP = 0.2  # inches of caption strip at the plate's bottom, which the lenses also cross


def inks(count):
    """The K ink of each flat view: far apart, so that a lens's grey names its view."""
    return [20 + (200 * k) // (count - 1) for k in range(count)]


class Proof(ProgramTest):
    def plate(self, count, *options, name="plate.tif", colour=None):
        views = []
        for k, ink in enumerate(inks(count)):
            path = self.path(f"view{k}.tif")
            pixel = (0, 0, 0, ink) if colour is None else colour(k)
            write_view(path, np.full((40, 60, 4), pixel, dtype=np.uint8))
            views.append(path)
        result = subprocess.run([INTERLACE, "-q", "--unit", "inch", *options, "-o", self.path(name), *views],
                                capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        return self.path(name)

    def proof(self, plate, *options, out="proof.png"):
        result = self.run_program("-q", *options, "-o", self.path(out), plate)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def picture(self, name):
        with Image.open(self.path(name)) as im:
            return np.asarray(im.convert("RGB")).astype(int)

    def seen(self, name, count, lpi, horizontal=False):
        """The view each lens shows, along the middle of the image (clear of
        the caption strip): the view whose grey it is, or -1 for a lens that
        shows a blend (a column the plate dithers between two views)."""
        rgb = self.picture(name)
        strip = int(round(STRIP * lpi)) + 2
        if horizontal:
            line = rgb[: rgb.shape[0] - strip, rgb.shape[1] // 2]
        else:
            line = rgb[(rgb.shape[0] - strip) // 2, :]
        self.assertTrue((line[:, 0] == line[:, 2]).all(), "a grey plate shows grey")
        line = line[:, 0]
        greys = np.array([255 - ink for ink in inks(count)])
        distance = np.abs(line[:, None] - greys[None, :])
        return np.where(distance.min(axis=1) <= 4, distance.argmin(axis=1), -1)

    def sweep(self, plate, count, lpi, horizontal, first, last, steps):
        options = ["--lpi", str(lpi), "--angles", f"{first}:{last}:{steps}"]
        if horizontal:
            options += ["--lenses", "horizontal"]
        self.proof(plate, *options, out="sweep-%d.png")
        return [self.seen(f"sweep-{k}.png", count, lpi, horizontal) for k in range(1, steps + 1)]

    # Over a sweep of angles within one lobe of the lens, every view comes in
    # order, each over one range of angles (of the angles where most lenses
    # show one view), and for each some angle shows it on at least 99 % of
    # the lenses (looking at the middle of its strip).
    def test_a_sweep_shows_every_view_in_order(self):
        cases = [
            ("vertical, 6 views at 2.2 pixels", 6, "1000", "75.5555555555555", False, "2", "1"),
            ("horizontal, 6 views at 2.2 pixels", 6, "1000", "75.5555555555555", True, "1", "2"),
            ("vertical, 5 views at 3.3 pixels", 5, "1250", "75.4", False, "2", "1"),
            ("horizontal, 8 views at 2.66 pixels", 8, "1600", "75.3", True, "1", "2"),
            ("vertical, 4 views at 2.9 pixels", 4, "900", "77.7", False, "3", "1"),
        ]
        for name, count, dpi, lpi, horizontal, width, height in cases:
            with self.subTest(name):
                lenses = ["--lenses", "horizontal"] if horizontal else []
                plate = self.plate(count, "--dpi", dpi, "--lpi", lpi, "--width", width, "--height", height,
                                   "--compress", "4", *lenses)
                seen = self.sweep(plate, count, float(lpi), horizontal, -30, 30, 61)
                shares = [np.bincount(s[s >= 0], minlength=count) / len(s) for s in seen]
                majority = [int(share.argmax()) for share in shares if share.max() > 0.5]
                runs = [v for i, v in enumerate(majority) if i == 0 or v != majority[i - 1]]
                self.assertEqual(runs, list(range(count)), majority)
                for view in range(count):
                    best = max(float(np.mean(s == view)) for s in seen)
                    self.assertGreaterEqual(best, 0.99, f"view {view + 1}")

    # A plate made at 75 LPI under a 75.075 LPI lens beats: over 10 inches
    # the lens gains 0.75 of a lens on the plate, and square on the views
    # change 10 x 0.075 x N times across the print.
    def test_a_lens_of_another_pitch_shows_the_beat(self):
        for count in (8, 12):
            with self.subTest(views=count):
                plate = self.plate(count, "--dpi", "(Auto)", "--lpi", "75", "--width", "10", "--height", "0.3",
                                   "--compress", "8")
                self.proof(plate, "--lpi", "75.075", "--angle", "0")
                seen = self.seen("proof.png", count, 75.075)
                changes = int(np.count_nonzero(np.diff(seen)))
                self.assertLessEqual(abs(changes - 10 * 0.075 * count), 1, seen)
                self.proof(plate, "--lpi", "75", "--angle", "0", out="own.png")
                self.assertEqual(np.count_nonzero(np.diff(self.seen("own.png", count, 75))), 0)

    # From 600 mm a 10-inch print is seen at up to 12 degrees off square at
    # its edges: a plate made for far away shows more than one view across;
    # far away, one. The eye moved sideways moves the views seen.
    def test_a_near_eye_sees_the_angle_change_across_the_print(self):
        plate = self.plate(7, "--dpi", "(Auto)", "--lpi", "75", "--width", "10", "--height", "0.3", "--compress", "8")
        cases = [
            (["--angle", "0"], {3}),
            (["--distance", "600mm"], {2, 3, 4}),
            (["--distance", "60", "--unit", "cm"], {2, 3, 4}),
            (["--distance", "23.62in", "--eye", "150mm"], {3, 4, 5, 6}),
        ]
        for options, views in cases:
            with self.subTest(options=options):
                self.proof(plate, "--lpi", "75", *options)
                seen = self.seen("proof.png", 7, 75)
                self.assertEqual(set(seen.tolist()), views)
                self.assertTrue((np.diff(seen) >= 0).all(), "views step one way across the print")

    # A plate whose phase is k/8 of a lens shows, at every angle and on
    # every lens, the view k/8 x N places back from the one the plate
    # without it shows (the pattern moved k/8 of a lens to the right).
    def test_the_phase_moves_the_view_seen(self):
        count = 8
        base = ["--dpi", "(Auto)", "--lpi", "75", "--width", "1", "--height", "0.5", "--compress", "2"]
        plain = self.plate(count, *base, name="plain.tif")
        for k in (1, 3, 6):
            shifted = self.plate(count, *base, "--phase", f"{k}/8", name=f"phase{k}.tif")
            for angle in ("-22", "0", "9.5"):
                with self.subTest(phase=k, angle=angle):
                    self.proof(plain, "--lpi", "75", "--angle", angle, out="plain.png")
                    self.proof(shifted, "--lpi", "75", "--angle", angle, out="shifted.png")
                    before = self.seen("plain.png", count, 75)
                    after = self.seen("shifted.png", count, 75)
                    self.assertTrue(((before - after) % count == k * count // 8).all(), (before, after))

    # The same plate from other writers: libtiff's tiffcp in strips of 7
    # rows, LZW, big-endian; Pillow as greyscale (ink g as grey 255 - g).
    def test_a_plate_from_another_writer_gives_the_same_proof(self):
        plate = self.plate(6, "--dpi", "1000", "--width", "1", "--height", "1", "--compress", "5")
        subprocess.run(["tiffcp", "-B", "-c", "lzw", "-r", "7", plate, self.path("tiffcp.tif")], check=True)
        with Image.open(plate) as im:
            dpi = im.info["dpi"]
            inks_k = np.asarray(im)[..., 3]
        Image.fromarray((255 - inks_k).astype(np.uint8), "L").save(self.path("pillow.tif"), dpi=dpi,
                                                                     compression="packbits")
        image = int(round(75.5555555555555 * 1))  # proof rows above the caption strip
        for angle in ("-12", "7"):
            self.proof(plate, "--angle", angle, out="own.png")
            for other in ("tiffcp.tif", "pillow.tif"):
                with self.subTest(writer=other, angle=angle):
                    self.proof(self.path(other), "--angle", angle, out="other.png")
                    np.testing.assert_array_equal(self.picture("other.png")[:image], self.picture("own.png")[:image])

    # A CMYK plate's colours come through its embedded profile, as LittleCMS
    # converts them for Pillow; an RGB plate's as they are.
    def test_colour_plates_show_their_colours(self):
        def colour(k):
            return (40 * k, 200 - 30 * k, 60, 10 * k)
        for plate_colour in ("cmyk", "rgb"):
            with self.subTest(plate_colour):
                plate = self.plate(5, "--dpi", "(Auto)", "--lpi", "75", "--width", "1", "--height", "0.5",
                                   "--colour", plate_colour, name=f"{plate_colour}.tif", colour=colour)
                self.proof(plate, "--angle", "0")
                middle = self.picture("proof.png")[5, 30]
                with Image.open(plate) as im:
                    profile = im.info.get("icc_profile")
                    pixel = np.asarray(im)[5, 2 + 5 * 30]  # view 3, as the lens centre shows it
                if plate_colour == "rgb":
                    expected = pixel[:3]
                else:
                    transform = ImageCms.buildTransform(
                        ImageCms.ImageCmsProfile(__import__("io").BytesIO(profile)), ImageCms.createProfile("sRGB"),
                        "CMYK", "RGB", renderingIntent=1, flags=0x2000)  # black point compensation
                    expected = np.asarray(ImageCms.applyTransform(
                        Image.fromarray(pixel.reshape(1, 1, 4).astype(np.uint8), "CMYK"), transform))[0, 0]
                np.testing.assert_allclose(middle, expected, atol=2)

    def test_a_gif_holds_the_series(self):
        plate = self.plate(4, "--dpi", "(Auto)", "--lpi", "75", "--width", "1", "--height", "0.4")
        result = self.run_program("-q", "--angles", "-20:20:5", "--gif", self.path("sweep.gif"),
                                  "-o", self.path("frame-%d.png"), plate)
        self.assertEqual(result.returncode, 0, result.stderr)
        with Image.open(self.path("sweep.gif")) as gif:
            self.assertEqual(gif.n_frames, 5)
            self.assertEqual(gif.info.get("loop"), 0)
            for k in range(5):
                gif.seek(k)
                np.testing.assert_array_equal(np.asarray(gif.convert("RGB")).astype(int),
                                              self.picture(f"frame-{k + 1}.png"))

    # A saved lens gives the proof its pitch, direction, thickness and index;
    # an option typed beside it wins. Off square, the thickness and index
    # decide the view seen, so a lens that lost them would show another.
    def test_a_saved_lens_is_the_lens_its_options_give(self):
        env = dict(os.environ, XDG_CONFIG_HOME=self.path("config"))
        saved = subprocess.run([INTERLACE, "--save-lens", "thin", "--lpi", "75.075", "--lenses", "horizontal",
                                "--thickness", "0.03", "--index", "1.49"], capture_output=True, text=True, env=env)
        self.assertEqual(saved.returncode, 0, saved.stderr)
        plate = self.plate(8, "--dpi", "(Auto)", "--lpi", "75", "--lenses", "horizontal", "--width", "0.5",
                           "--height", "1", "--compress", "2")
        typed = ["--lpi", "75.075", "--lenses", "horizontal", "--index", "1.49"]
        cases = [
            ([], [*typed, "--thickness", "0.3mm"]),
            (["--thickness", "0.46mm"], [*typed, "--thickness", "0.46mm"]),
            (["--index", "1.57", "--lenses", "vertical"], ["--lpi", "75.075", "--thickness", "0.3mm"]),
        ]
        for given, explicit in cases:
            with self.subTest(given=given):
                for options, out in ((["--lens", "thin", *given], "lens.png"), (explicit, "typed.png")):
                    result = self.run_program("-q", "--angle", "20", *options, "-o", self.path(out), plate, env=env)
                    self.assertEqual(result.returncode, 0, result.stderr)
                self.assertTrue(np.array_equal(self.picture("lens.png"), self.picture("typed.png")))
        self.proof(plate, "--lpi", "75.075", "--lenses", "horizontal", "--angle", "20", out="default.png")
        self.run_program("-q", "--lens", "thin", "--angle", "20", "-o", self.path("lens.png"), plate, env=env)
        self.assertFalse(np.array_equal(self.picture("lens.png"), self.picture("default.png")))
        missing = self.run_program("-q", "--lens", "nope", "-o", self.path("none.png"), plate, env=env)
        self.assertEqual(missing.returncode, 1)
        self.assertIn('There is no lens named "nope"', missing.stderr)
        self.assertFalse(os.path.exists(self.path("none.png")))

    def test_refusals_name_the_option_or_the_file(self):
        plate = self.plate(4, "--dpi", "600", "--lpi", "75", "--width", "1", "--height", "0.4")
        with Image.open(plate) as im:
            im.convert("RGB").save(self.path("plate.png"))
            Image.fromarray(np.asarray(im)[..., 3]).save(self.path("nodpi.tif"))
        earlier = self.path("earlier.png")
        with open(earlier, "wb") as f:
            f.write(b"an earlier proof")
        png = self.path("plate.png")
        nodpi = self.path("nodpi.tif")
        cases = [
            ([], 2, "no plate given"),
            ([plate], 2, "nothing to write"),
            (["-o", earlier, png], 1, f'Cannot read plate "{png}": it is not a TIFF file'),
            (["-o", earlier, nodpi], 1, f'Cannot read plate "{nodpi}": it has no XResolution tag'),
            (["--lpi", "400", "-o", earlier, plate], 1,
             f'--lpi 400 cannot be seen on the plate "{plate}": at 400 LPI a lens covers 1.5 pixels'),
            (["--lpi", "0.5", "-o", earlier, plate], 1, "the plate is narrower than one lens at 0.5 LPI"),
            (["--lpi", "7,5", "-o", earlier, plate], 1, "--lpi: '7,5' is not a valid floating point value"),
            (["--lenses", "diagonal", "-o", earlier, plate], 2, "--lenses must be vertical or horizontal"),
            (["--thickness", "3 furlongs", "-o", earlier, plate], 1, "--thickness: '3 furlongs' is not a length"),
            (["--thickness", "30mm", "-o", earlier, plate], 1, "--thickness must be above 0 and at most 1 inch"),
            (["--index", "0.9", "-o", earlier, plate], 1, '--index must be from 1 to 3, not "0.9"'),
            (["--angle", "90", "-o", earlier, plate], 1, "--angle must be an angle between -90 and 90 degrees"),
            (["--angles", "-10:10", "-o", earlier, plate], 1, "--angles takes FROM:TO:N"),
            (["--angles", "-10:10:3", "-o", earlier, plate], 1, "-o needs %d in its name for a series of 3 pictures"),
            (["--angle", "1", "--angles", "-10:10:3", "--gif", earlier, plate], 1, "--angle and --angles exclude"),
            (["--distance", "0mm", "-o", earlier, plate], 1, '--distance must be above 0, not "0mm"'),
            (["--eye", "3cm", "-o", earlier, plate], 1, "--eye needs --distance"),
        ]
        before = sorted(os.listdir(self.dir.name))
        for options, status, message in cases:
            with self.subTest(options=options):
                result = self.run_program("-q", *options)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir.name)), before)
                with open(earlier, "rb") as f:
                    self.assertEqual(f.read(), b"an earlier proof")


if __name__ == "__main__":
    unittest.main(verbosity=2)
