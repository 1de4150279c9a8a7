"""Jobs, batches and lens and printer profiles through plivora-interlace:
a job gives the bytes of the command typed out, wherever its folder goes;
a batch goes on past a failed job; profiles apply in their order."""

import json
import os
import shutil
import subprocess
import unittest

import numpy as np
from PIL import Image

from cli_support import PROGRAM, ProgramTest, write_view

OPTIONS = ["--unit", "inch", "--width", "1.5", "--lpi", "39.5018", "--compress", "4", "--colour", "cmyk",
           "--order", "pingpong", "--phase", "1/8", "--compression", "lzw"]


class Jobs(ProgramTest):
    def setUp(self):
        super().setUp()
        self.env = dict(os.environ, XDG_CONFIG_HOME=self.path("config"))
        self.folder = os.path.join(self.dir.name.encode(), b"card")
        os.makedirs(os.path.join(self.folder, b"views"))
        rng = np.random.default_rng(4)
        self.views = []
        for name in (b"a.tif", b"lat\xe9.tif", b"c.tif"):  # one name that is not UTF-8
            path = os.path.join(self.folder, b"views", name)
            write_view(path.decode(errors="surrogateescape"), rng.integers(0, 256, (30, 20, 4), dtype=np.uint8))
            self.views.append(path)

    def interlace(self, *args, cwd=None):
        return subprocess.run([PROGRAM.encode(), *[a.encode() if isinstance(a, str) else a for a in args]],
                              capture_output=True, timeout=120, env=self.env, cwd=cwd)

    @staticmethod
    def image_rows(im):
        """All but the caption strip (0.2 inch of rows), which names the file and the second."""
        return np.asarray(im)[:-round(0.2 * im.info["dpi"][1])]

    def rows(self, path):
        with Image.open(path) as im:
            return self.image_rows(im)

    @staticmethod
    def tags(path):
        """Every tag but where the strips lie (a caption of another second compresses otherwise)."""
        with Image.open(path) as im:
            return {k: v for k, v in im.tag_v2.items() if k not in (273, 279)}

    def same_file(self, a, b):
        with open(a, "rb") as f, open(b, "rb") as g:
            return f.read() == g.read()

    def test_a_job_gives_the_bytes_of_the_command_typed_out_wherever_its_folder_goes(self):
        out = os.path.join(self.folder, b"plates", b"card.tif")
        os.makedirs(os.path.dirname(out))
        job = os.path.join(self.folder, b"card.plivora")
        result = self.interlace(*OPTIONS, "--save-job", job, "-o", out, *self.views)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(os.path.exists(out))  # saved, not exported
        stored = json.loads(open(job, "rb").read())
        self.assertEqual(stored["views"][0], "views/a.tif")  # beside the job: relative
        self.assertEqual(stored["output"], "plates/card.tif")
        self.assertIn("bytes", stored["views"][1])  # not UTF-8: its bytes
        for _ in range(4):  # the caption prints the time to the second: try for two runs within one
            typed = self.interlace("-q", *OPTIONS, "-o", out, *self.views)
            self.assertEqual(typed.returncode, 0, typed.stderr)
            os.rename(out, out + b".typed")
            run = self.interlace("-q", "--job", job)
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertEqual(run.stdout, b"")  # one job is an export: no batch line
            if self.same_file(out, out + b".typed"):
                break
        else:  # a loaded machine never made it within one second: all but the caption's time
            self.assertTrue(np.array_equal(self.rows(out), self.rows(out + b".typed")))
            self.assertEqual(self.tags(out), self.tags(out + b".typed"))
        # The folder moved elsewhere, job, views and all: the job still runs there.
        moved = os.path.join(self.dir.name.encode(), b"moved")
        shutil.move(self.folder, moved)
        os.remove(os.path.join(moved, b"plates", b"card.tif"))
        run = self.interlace("-q", "--job", os.path.join(moved, b"card.plivora"))
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertTrue(np.array_equal(self.rows(os.path.join(moved, b"plates", b"card.tif")),
                                       self.rows(os.path.join(moved, b"plates", b"card.tif.typed"))))

    def test_a_batch_goes_on_past_a_failed_job(self):
        jobs = []
        for k in range(3):
            job = self.path(f"job{k}.plivora")
            views = self.views if k != 1 else [self.views[0], self.path("missing.tif").encode()]
            result = self.interlace(*OPTIONS, "--save-job", job, "-o", self.path(f"out{k}.tif"), *views)
            self.assertEqual(result.returncode, 0, result.stderr)
            jobs.append(job)
        with open(self.path("list.txt"), "w") as f:
            f.write("# the batch\njob0.plivora\n\njob1.plivora\n" + jobs[2] + "\n")
        for args in (["--job", jobs[0], "--job", jobs[1], "--job", jobs[2]], ["--jobs-from", self.path("list.txt")]):
            with self.subTest(args=args[0]):
                result = self.interlace("-q", *args)
                self.assertEqual(result.returncode, 1)
                lines = result.stdout.decode().splitlines()
                self.assertEqual(lines[0], f"job {jobs[0]}: written {self.path('out0.tif')}")
                self.assertTrue(lines[1].startswith(f"job {jobs[1]}: failed: "), lines[1])
                self.assertIn("missing.tif", lines[1])
                self.assertEqual(lines[2], f"job {jobs[2]}: written {self.path('out2.tif')}")
                self.assertIn("1 of 3 jobs failed", result.stderr.decode())
                self.assertFalse(os.path.exists(self.path("out1.tif")))
                for k in (0, 2):
                    os.remove(self.path(f"out{k}.tif"))

    def test_profiles_apply_in_order_job_lens_printer_typed(self):
        # a bare thickness is saved in the unit it was typed in
        saved = [self.interlace("--save-lens", "pet75", "--lpi", "39.5018", "--phase", "3/8", "--lenses", "horizontal",
                                "--thickness", "0.02", "--index", "1.49", "--unit", "inch"),
                 self.interlace("--save-printer", "ctp", "--dpi", "1200", "--colour", "cmyk", "--compression", "lzw"),
                 self.interlace("--save-lens", "empty")]
        self.assertEqual([r.returncode for r in saved], [0, 0, 2])
        self.assertIn("--save-lens saves --lpi, --lenses, --phase", saved[2].stderr.decode())
        listed = self.interlace("--list-profiles").stdout.decode().splitlines()
        self.assertEqual(listed, ["lens pet75: index 1.49, lenses horizontal, lpi 39.5018, phase 3/8, thickness 0.02in",
                                  "printer ctp: colour cmyk, compression lzw, dpi 1200"])
        job = self.path("job.plivora")
        self.interlace("--lpi", "50", "--dpi", "600", "--unit", "inch", "--width", "1", "--save-job", job,
                       "-o", self.path("ignored.tif"), *self.views)
        cases = [
            # the lens and the printer over the job, the typed --lpi over the lens
            (["--job", job, "--lens", "pet75", "--printer", "ctp", "--lpi", "41"],
             ["--lpi", "41", "--phase", "3/8", "--lenses", "horizontal", "--dpi", "1200", "--colour", "cmyk",
              "--compression", "lzw", "--unit", "inch", "--width", "1", *self.views]),
            (["--job", job], ["--lpi", "50", "--dpi", "600", "--unit", "inch", "--width", "1", *self.views]),
        ]
        for profiled, typed in cases:
            with self.subTest(profiled=profiled[2:]):
                a = self.interlace("-q", *profiled, "-o", self.path("a.tif"))
                b = self.interlace("-q", *typed, "-o", self.path("b.tif"))
                self.assertEqual((a.returncode, b.returncode), (0, 0), a.stderr + b.stderr)
                with Image.open(self.path("a.tif")) as im, Image.open(self.path("b.tif")) as other:
                    self.assertEqual(im.size, other.size)
                    self.assertEqual(im.info.get("dpi"), other.info.get("dpi"))
                    self.assertTrue(np.array_equal(self.image_rows(im), self.image_rows(other)))
        missing = self.interlace("--lens", "nope", "-o", self.path("x.tif"), *self.views)
        self.assertEqual(missing.returncode, 1)
        self.assertIn('There is no lens named "nope" (see --list-profiles)', missing.stderr.decode())

    def test_a_malformed_job_is_refused_naming_file_line_and_key_and_unknown_keys_are_told(self):
        view = self.views[0].decode()
        cases = [
            ('{"format": 1,\n "views": ["%s"],\n "options": {"lpi": 75}}' % view, 'line 3: lpi: its value is a text'),
            ('{"format": 1,\n "views": [],\n "options": {}}', 'line 2: "views" must list the views'),
            ('{"format": 9, "views": ["%s"]}' % view, "line 1: it is of format 9, newer than this version reads (1)"),
            ('{"format": 1,\n "views": ["%s"]\n "output": "x.tif"}' % view, "line 3: "),
            ('{"format": 1,\n "views": ["%s"],\n "options": {"mirror": "yes"}}' % view, "line 3: mirror: it is a switch"),
        ]
        job = self.path("bad.plivora")
        for text, message in cases:
            with self.subTest(message=message):
                with open(job, "w") as f:
                    f.write(text)
                result = self.interlace("--job", job)
                self.assertEqual(result.returncode, 1)
                self.assertIn(f'plivora-interlace: Cannot read the job "{job}": {message}', result.stderr.decode())
        with open(job, "w") as f:
            json.dump({"format": 1, "views": [view], "output": self.path("o.tif"), "later": 1,
                       "options": {"width": "1", "sparkle": "yes"}}, f)
        result = self.interlace("-q", "--job", job)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("keys this version does not know, left alone: later, options.sparkle", result.stderr.decode())


if __name__ == "__main__":
    unittest.main(verbosity=2)
