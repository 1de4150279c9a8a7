"""plivora-interlace where the environment is hostile: the user's locale,
signals, resource limits, special files and names that are not UTF-8. Each
case is a fault a user met; the test tells its story."""

import os
import resource
import signal
import socket
import stat
import subprocess
import unittest

import numpy as np
from PIL import Image

from cli_support import PROGRAM, ProgramTest, write_view

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



class NothingLeftBehind(ProgramTest):
    """A signal during a long export left a hidden temporary file of gigabytes
    in the target folder, and `ulimit -f` killed the program with a partial
    one. Whatever ends the export, the folder must hold what it held before,
    and the exit status must say what happened."""

    def setUp(self):
        super().setUp()
        self.views = self.uniform_views([(10, 20, 30, 40), (50, 60, 70, 80)], width=60, height=40)
        self.out = self.path("plate.tif")
        with open(self.out, "wb") as f:
            f.write(b"earlier plate")
        self.before = sorted(os.listdir(self.dir.name))

    # About 290 MB: long enough to be caught half-way.
    LONG = ["--unit", "inch", "--width", "12", "--height", "6", "--compress", "4"]

    def start_long_export(self, env=None):
        process = subprocess.Popen([PROGRAM, *self.LONG, "-o", self.out, *self.views], stderr=subprocess.PIPE,
                                   text=True, env=env)
        for line in process.stderr:  # "NN%" lines: the rows are being written
            if line.strip() == "30%":
                return process
        self.fail("the export ended before it could be interrupted")

    def assert_folder_as_before(self):
        self.assertEqual(sorted(os.listdir(self.dir.name)), self.before)
        with open(self.out, "rb") as f:
            self.assertEqual(f.read(), b"earlier plate")

    def test_terminating_signals_leave_the_folder_as_it_was(self):
        modes = {"unnamed file": os.environ, "named temporary": dict(os.environ, PLIVORA_NO_O_TMPFILE="1")}
        for mode, env in modes.items():
            for sig in [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT]:
                process = self.start_long_export(env)
                process.send_signal(sig)
                process.communicate(timeout=60)
                self.assertEqual(process.returncode, -sig, f"{mode}, {sig.name}")  # ended by that signal
                self.assert_folder_as_before()
        process = self.start_long_export()
        process.kill()  # nothing can catch SIGKILL: only an unnamed file can't outlive it
        process.communicate(timeout=60)
        self.assert_folder_as_before()

    def test_file_size_limit_is_reported_and_leaves_nothing(self):
        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, 1 << 20))
        result = subprocess.run([PROGRAM, *self.LONG, "-q", "-o", self.out, *self.views], capture_output=True,
                                text=True, preexec_fn=limit, timeout=120)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("file size limit (ulimit -f)", result.stderr)
        self.assert_folder_as_before()

    def test_a_folder_appearing_at_the_target_is_left_alone(self):
        os.remove(self.out)
        process = self.start_long_export()
        os.mkdir(self.out)
        _, err = process.communicate(timeout=60)
        self.assertEqual(process.returncode, 1)
        self.assertIn("Something else took its place", err)
        self.assertTrue(os.path.isdir(self.out))
        self.assertEqual(sorted(os.listdir(self.dir.name)), self.before)


class SpecialTargets(ProgramTest):
    """As root, `-o /dev/null` turned /dev/null into a 7 MB regular file. A
    device, FIFO, socket or folder at the target is refused and left as it
    is; a symbolic link is kept and the file it points to is replaced."""

    def setUp(self):
        super().setUp()
        self.views = self.uniform_views([(1, 2, 3, 4)] * 2)

    def export(self, out, *extra):
        return self.run_program("-q", *extra, "-o", out, *self.views)

    def test_special_files_are_refused_and_kept(self):
        fifo = self.path("fifo.tif")
        os.mkfifo(fifo)
        sock = socket.socket(socket.AF_UNIX)
        sock.bind(self.path("socket.tif"))
        self.addCleanup(sock.close)
        os.mkdir(self.path("folder.tif"))
        targets = {fifo: stat.S_ISFIFO, self.path("socket.tif"): stat.S_ISSOCK,
                   self.path("folder.tif"): stat.S_ISDIR}
        if os.geteuid() == 0:  # a null device of our own, never the system's
            os.mknod(self.path("null.tif"), stat.S_IFCHR | 0o666, os.makedev(1, 3))
            targets[self.path("null.tif")] = stat.S_ISCHR
        listing = sorted(os.listdir(self.dir.name))
        for target, kind in targets.items():
            result = self.export(target)
            self.assertEqual(result.returncode, 1, target)
            self.assertIn(f'Cannot create file "{target}"', result.stderr)
            self.assertTrue(kind(os.lstat(target).st_mode), target)
        self.assertEqual(sorted(os.listdir(self.dir.name)), listing)

    def test_a_link_is_kept_and_its_file_replaced_in_its_own_folder(self):
        os.mkdir(self.path("plates"))
        real = self.path("plates/real.tif")
        with open(real, "wb") as f:
            f.write(b"earlier")
        os.symlink("plates/real.tif", self.path("link.tif"))
        os.symlink("plates/new.tif", self.path("dangling.tif"))
        for link in ["link.tif", "dangling.tif"]:
            result = self.export(self.path(link))
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertTrue(os.path.islink(self.path(link)))
        with Image.open(real) as a, Image.open(self.path("plates/new.tif")) as b:
            self.assertEqual(a.size, b.size)
        self.assertEqual(sorted(os.listdir(self.path("plates"))), ["new.tif", "real.tif"])

    def test_names_are_bytes_of_any_valid_length(self):
        folder = os.fsencode(self.dir.name)
        names = [b"o\xe9.tif", b"a" * 251 + b".tif"]
        for name in names:
            for _ in range(2):  # a new file, then one replacing it
                result = self.export(folder + b"/" + name)
                self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(n for n in os.listdir(folder) if not n.startswith(b"view")), sorted(names))


if __name__ == "__main__":
    unittest.main(verbosity=2)
