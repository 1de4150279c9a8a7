"""What a run reads is never lost: no file it reads is written over, special
files and endless ones are refused without waiting, every job named runs in
the order typed, and the profiles file keeps every save made at once."""

import json
import os
import shutil
import stat
import struct
import subprocess
import threading
import unittest
import zlib

from PIL import Image, ImageCms

from cli_support import PROGRAM, ProgramTest

CMYK_PROFILE = "/usr/share/color/icc/ghostscript/default_cmyk.icc"


class Runs(ProgramTest):
    def setUp(self):
        super().setUp()
        self.env = dict(os.environ, XDG_CONFIG_HOME=self.path("config"))
        self.views = self.uniform_views([(10, 20, 30, 40), (200, 100, 50, 0)])
        self.profiles_file = self.path("config/vexo/plivora-profiles.json")

    def interlace(self, *args, env=None, timeout=60):
        command = [PROGRAM.encode(), *[a.encode(errors="surrogateescape") if isinstance(a, str) else a for a in args]]
        return subprocess.run(command, capture_output=True, timeout=timeout, env=env or self.env)

    def save_job(self, job, output, *extra):
        result = self.interlace("--save-job", job, *extra, "-o", output, *self.views)
        self.assertEqual(result.returncode, 0, result.stderr)
        return job

    def write_job(self, job, output, views=None):
        with open(job, "w") as f:
            json.dump({"format": 1, "views": views or self.views, "output": output}, f)
        return job

    @staticmethod
    def contents(path):
        with open(path, "rb") as f:
            return f.read()


class NoInputIsTheOutput(Runs):
    def test_every_file_a_run_reads_is_refused_as_its_output(self):
        press = self.path("press.icc")
        shutil.copy(CMYK_PROFILE, press)
        screen = self.path("screen.icc")
        with open(screen, "wb") as f:
            f.write(ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes())
        os.link(screen, self.path("screen-link.tif"))
        os.symlink(press, self.path("press-link.tif"))
        job = self.save_job(self.path("card.plivora"), self.path("card.tif"))
        itself = self.write_job(self.path("itself.plivora"), self.path("itself.plivora"))
        panel = self.write_job(self.path("plate-2-of-2.tif"), self.path("plate.tif"))
        listed = self.path("list.txt")
        self.write_job(self.path("over-list.plivora"), listed)
        with open(listed, "w") as f:
            f.write("card.plivora\nover-list.plivora\n")
        self.assertEqual(self.interlace("--save-lens", "pet", "--lpi", "50").returncode, 0)
        cases = [
            # (what, arguments, the file that must stay as it was)
            ("-o is the CMYK profile", ["--colour", "cmyk", "--cmyk-profile", press, "-o", press, *self.views], press),
            ("-o links to the CMYK profile", ["--colour", "cmyk", "--cmyk-profile", press, "-o", self.path("press-link.tif"),
                                              *self.views], press),
            ("-o is a hard link of the RGB profile", ["--colour", "rgb", "--rgb-profile", screen, "-o",
                                                      self.path("screen-link.tif"), *self.views], screen),
            ("a job's output is the job", ["--job", itself], itself),
            ("a panel is the job", ["--job", panel, "--panels", "2"], panel),
            ("a job in a list writes over the list", ["--jobs-from", listed], listed),
            ("-o is the profiles file", ["--lens", "pet", "-o", self.profiles_file, *self.views], self.profiles_file),
            ("--save-job over a view (a glob typed after it)", ["--save-job", *self.views, "-o", self.path("x.tif")],
             self.views[0]),
            ("--save-job over the job it reads", ["--job", job, "--save-job", job], job),
            ("--save-job over the CMYK profile", ["--cmyk-profile", press, "--save-job", press, "-o", self.path("x.tif"),
                                                  *self.views], press),
        ]
        for what, args, kept in cases:
            with self.subTest(what):
                before = self.contents(kept)
                result = self.interlace("-q", *args)
                self.assertNotEqual(result.returncode, 0, what)
                self.assertIn("choose another file name", result.stderr.decode() + result.stdout.decode())
                self.assertEqual(self.contents(kept), before, what)
        for name in ["card.tif", "x.tif", "plate-1-of-2.tif", "plate.tif"]:
            self.assertFalse(os.path.exists(self.path(name)), name)


class SpecialInputs(Runs):
    def test_fifos_devices_and_endless_files_are_refused_without_waiting(self):
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        sparse = self.path("sparse")
        with open(sparse, "wb") as f:
            f.truncate(64 << 20)
        os.makedirs(os.path.dirname(self.profiles_file))
        for name, special in [("fifo", fifo), ("/dev/zero", "/dev/zero"), ("64 MiB", sparse)]:
            cases = [
                ("--cmyk-profile", ["--colour", "cmyk", "--cmyk-profile", special, "-o", self.path("o.tif"), *self.views]),
                ("--rgb-profile", ["--colour", "rgb", "--rgb-profile", special, "-o", self.path("o.tif"), *self.views]),
                ("--job", ["--job", special]),
                ("--jobs-from", ["--jobs-from", special]),
                ("the profiles file", ["--lens", "pet", "-o", self.path("o.tif"), *self.views]),
            ]
            for option, args in cases:
                with self.subTest(option=option, file=name):
                    if option == "the profiles file":
                        if os.path.lexists(self.profiles_file):
                            os.remove(self.profiles_file)
                        if special == sparse:
                            shutil.copy(sparse, self.profiles_file)
                        else:
                            os.symlink(special, self.profiles_file)
                        special = self.profiles_file
                    result = self.interlace("-q", *args, timeout=20)
                    self.assertEqual(result.returncode, 1, result.stderr)
                    message = result.stderr.decode()
                    self.assertIn(special, message)
                    if name == "64 MiB":
                        self.assertIn("larger than the 16 MiB", message)
                    self.assertFalse(os.path.exists(self.path("o.tif")))

    def test_not_enough_memory_names_the_file_being_read(self):
        # 14000 x 14000 RGB, interlaced: decoded whole, in 588 MB (within the
        # decoding budget), which 300 MB of address space cannot hold.
        head = struct.pack(">IIBBBBB", 14000, 14000, 8, 2, 0, 0, 1)
        chunk = lambda kind, payload: (struct.pack(">I", len(payload)) + kind + payload +
                                       struct.pack(">I", zlib.crc32(kind + payload)))
        with open(self.path("big.png"), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(b"\0" * 4096)) +
                    chunk(b"IEND", b""))
        result = subprocess.run(["bash", "-c", 'ulimit -v 300000; exec "$@"', "run", PROGRAM, "-q", "--colour", "rgb",
                                 "-o", self.path("o.tif"), self.views[0], self.path("big.png")],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(f'Cannot read view "{self.path("big.png")}": there is not enough memory', result.stderr)


class Batches(Runs):
    def test_every_job_named_runs_in_the_order_typed(self):
        jobs = [self.save_job(self.path(f"job{k}.plivora"), self.path(f"out{k}.tif")) for k in range(4)]
        for k, names in [("a", "job0.plivora\njob1.plivora\n"), ("b", "job2.plivora\n")]:
            with open(self.path(f"list-{k}.txt"), "w") as f:
                f.write(names)
        cases = [
            (["--jobs-from", self.path("list-a.txt"), "--jobs-from", self.path("list-b.txt")], [0, 1, 2]),
            (["--jobs-from", self.path("list-b.txt"), "--job", jobs[3]], [2, 3]),
            (["--job", jobs[3], "--jobs-from", self.path("list-a.txt"), "--job", jobs[2]], [3, 0, 1, 2]),
        ]
        for args, order in cases:
            with self.subTest(args=args):
                result = self.interlace("-q", *args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout.decode().splitlines(),
                                 [f"job {jobs[k]}: written {self.path(f'out{k}.tif')}" for k in order])

    def test_two_jobs_writing_one_file_are_refused_before_anything_runs(self):
        first = self.save_job(self.path("first.plivora"), self.path("same.tif"))
        other = self.save_job(self.path("other.plivora"), self.path("other.tif"))
        second = self.write_job(self.path("second.plivora"), self.path("same.tif"))
        result = self.interlace("-q", "--job", other, "--job", first, "--job", second)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")
        message = result.stderr.decode()
        self.assertIn(first, message)
        self.assertIn(second, message)
        self.assertFalse(os.path.exists(self.path("same.tif")))
        self.assertFalse(os.path.exists(self.path("other.tif")))

    def test_names_that_are_not_utf8_work_for_jobs_lists_and_profiles(self):
        folder = os.fsencode(self.dir.name)
        job = folder + b"/job\xe9.plivora"
        listed = folder + b"/list\xe9.txt"
        self.save_job(job, self.path("out.tif"))
        with open(listed, "wb") as f:
            f.write(b"job\xe9.plivora\n")
        for args in ([b"--job", job], [b"--jobs-from", listed]):
            with self.subTest(args=args[0]):
                result = self.interlace("-q", *args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertTrue(os.path.exists(self.path("out.tif")))
                os.remove(self.path("out.tif"))
        self.assertEqual(self.interlace("--save-lens", b"PET \xe9", "--lpi", "50").returncode, 0)
        result = self.interlace("-q", "--lens", b"PET \xe9", "-o", self.path("out.tif"), *self.views)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"lens PET \xe9: lpi 50", self.interlace("--list-profiles").stdout)

    def test_save_job_refuses_what_the_export_would(self):
        for args in (["--dpi", "0"], ["--width", "0.001"], ["--phase", "1"], ["--bleed", "12in"]):
            with self.subTest(args=args):
                result = self.interlace(*args, "--save-job", self.path("j.plivora"), "-o", self.path("o.tif"), *self.views)
                self.assertNotEqual(result.returncode, 0)
                self.assertTrue(result.stderr)
                self.assertFalse(os.path.exists(self.path("j.plivora")))

    def test_a_single_job_is_refused_like_an_export(self):
        job = self.write_job(self.path("job.plivora"), self.path("o.tif"), views=[self.path("missing.tif")])
        result = self.interlace("-q", "--job", job)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")
        self.assertRegex(result.stderr.decode(), r"^plivora-interlace: Cannot open file .*missing\.tif")
        self.assertNotIn("jobs failed", result.stderr.decode())


class ProfilesFile(Runs):
    def test_saves_made_at_once_are_all_kept(self):
        names = [f"lens {k}" for k in range(20)]
        start = threading.Barrier(len(names))
        results = {}

        def save(name):
            start.wait()
            results[name] = self.interlace("--save-lens", name, "--lpi", "50")

        threads = [threading.Thread(target=save, args=(n,)) for n in names]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for name, result in results.items():
            self.assertEqual(result.returncode, 0, result.stderr)
        listed = self.interlace("--list-profiles").stdout.decode().splitlines()
        self.assertEqual(sorted(listed), sorted(f"lens {n}: lpi 50" for n in names))

    def test_small_things(self):
        bleed = [self.interlace("-q", "--bleed", b, "--unit", "inch", "-o", self.path(f"{n}.tif"), *self.views)
                 for n, b in (("lower", "3mm"), ("upper", "3MM"))]
        self.assertEqual([r.returncode for r in bleed], [0, 0], bleed[1].stderr)
        with Image.open(self.path("lower.tif")) as lower, Image.open(self.path("upper.tif")) as upper:
            self.assertEqual(lower.size, upper.size)
            self.assertEqual(lower.crop((0, 0, lower.width, 10)).tobytes(), upper.crop((0, 0, upper.width, 10)).tobytes())

        newline = self.interlace("--save-lens", "two\nlines", "--lpi", "50")
        self.assertEqual(newline.returncode, 2)
        self.assertIn("one line", newline.stderr.decode())

        # A relative XDG_CONFIG_HOME is ignored, as the XDG rule says.
        home = self.path("home")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME="relative/config")
        result = self.interlace("--save-lens", "pet", "--lpi", "50", env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.exists(os.path.join(home, ".config/vexo/plivora-profiles.json")))
        self.assertFalse(os.path.exists(self.path("relative")))

        with open(self.path("config"), "w") as f:
            f.write("a file in the folder's way")
        result = self.interlace("--save-lens", "pet", "--lpi", "50")
        self.assertEqual(result.returncode, 1)
        self.assertIn(f'Cannot make the folder "{self.path("config/vexo")}" for the profiles: ', result.stderr.decode())


if __name__ == "__main__":
    unittest.main(verbosity=2)
