"""plivora-interlace where the environment is hostile: the user's locale,
signals, resource limits, special files and names that are not UTF-8. Each
case is a fault a user met; the test tells its story."""

import fcntl
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

    @staticmethod
    def default_signals():
        """A test run from a shell in the background inherits SIGINT ignored,
        and so would the program (it keeps an ignored signal ignored)."""
        for sig in [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT]:
            signal.signal(sig, signal.SIG_DFL)

    def start_long_export(self, env=None):
        process = subprocess.Popen([PROGRAM, *self.LONG, "-o", self.out, *self.views], stderr=subprocess.PIPE,
                                   text=True, env=env, preexec_fn=self.default_signals)
        for line in process.stderr:  # "NN%" lines: the rows are being written
            if line.strip() == "30%":
                return process
        self.fail("the export ended before it could be interrupted")

    def assert_folder_as_before(self):
        self.assertEqual(sorted(os.listdir(self.dir.name)), self.before)
        with open(self.out, "rb") as f:
            self.assertEqual(f.read(), b"earlier plate")

    def interrupted(self, sig, env=None):
        """The exit status of a long export sent `sig` half-way. On a loaded
        machine the export may finish before the signal comes (and succeed):
        the earlier plate is put back and it runs again."""
        for _ in range(5):
            process = self.start_long_export(env)
            process.send_signal(sig)
            process.communicate(timeout=60)
            if process.returncode != 0:
                return process.returncode
            with open(self.out, "wb") as f:
                f.write(b"earlier plate")
        self.fail("every export ended before the signal reached it")

    def test_terminating_signals_leave_the_folder_as_it_was(self):
        modes = {"unnamed file": os.environ, "named temporary": dict(os.environ, PLIVORA_NO_O_TMPFILE="1")}
        for mode, env in modes.items():
            for sig in [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT]:
                self.assertEqual(self.interrupted(sig, env), -sig, f"{mode}, {sig.name}")  # ended by that signal
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

    def test_a_file_put_in_the_targets_place_is_left_alone(self):
        """A file made at the target during an export, given the earlier
        file's inode by the file system, was overwritten, and the export said
        it succeeded. A file removed and made again, or written over in
        place, is something else at the target: the export fails and leaves
        it as it is, in every form."""
        forms = {"plain": [], "LZW": ["--compression", "lzw"], "panels": ["--panels", "2"]}
        for form, extra in forms.items():
            for how in ["made again", "written over"]:
                targets = [self.out] if form != "panels" else [self.path(f"plate-{k}-of-2.tif") for k in (1, 2)]
                for _ in range(5):  # again when the export ended before the intruder came
                    for target in targets:
                        with open(target, "wb") as f:
                            f.write(b"earlier plate")
                    process = subprocess.Popen([PROGRAM, *self.LONG, *extra, "-o", self.out, *self.views],
                                               stderr=subprocess.PIPE, text=True)
                    for line in process.stderr:
                        if line.strip() == "30%":
                            break
                    if how == "made again":
                        os.remove(targets[0])
                    with open(targets[0], "r+b" if how == "written over" else "wb") as f:
                        f.truncate(0)
                        f.write(b"intruder")
                    _, err = process.communicate(timeout=60)
                    with open(targets[0], "rb") as f:
                        if process.returncode != 0 or f.read() != b"intruder":
                            break
                self.assertEqual(process.returncode, 1, f"{form}, {how}")
                self.assertIn("Something else took its place", err)
                with open(targets[0], "rb") as f:
                    self.assertEqual(f.read(), b"intruder", f"{form}, {how}")
                for target in targets[1:]:
                    with open(target, "rb") as f:
                        self.assertEqual(f.read(), b"earlier plate", f"{form}, {how}")
                self.assertEqual(sorted(os.listdir(self.dir.name)),
                                 sorted(set(self.before) | {os.path.basename(t) for t in targets}), f"{form}, {how}")
                for target in targets:
                    if target != self.out:
                        os.remove(target)

    def test_hidden_files_a_killed_export_left_are_removed_by_the_next(self):
        """kill -9 while the panels took their names left complete hidden
        panels of a gigabyte each beside them. The next export to a name
        removes the hidden files of its own pattern beside it that no
        running export holds, and nothing else."""
        stale = [".plate.tif.plivora-abc123", ".plate.tif.plivora-0z9y8x"]
        held = ".plate.tif.plivora-held00"  # a running export's, under its lock
        others = [".plate.tif.backup", ".plate.tif.plivora-abc12", ".other.tif.plivora-abc123", "plate.tif.plivora-abc123"]
        for name in stale + [held] + others:
            with open(self.path(name), "wb") as f:
                f.write(b"left")
        holder = open(self.path(held), "rb")
        self.addCleanup(holder.close)
        fcntl.flock(holder, fcntl.LOCK_EX)
        result = self.run_program("-q", "-o", self.out, *self.views)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir.name)), sorted(self.before + [held] + others))

    def test_a_folder_appearing_at_the_target_is_left_alone(self):
        os.remove(self.out)
        process = self.start_long_export()
        os.mkdir(self.out)
        _, err = process.communicate(timeout=60)
        self.assertEqual(process.returncode, 1)
        self.assertIn("Something else took its place", err)
        self.assertTrue(os.path.isdir(self.out))
        self.assertEqual(sorted(os.listdir(self.dir.name)), self.before)


class ResourceLimits(ProgramTest):
    """Under `ulimit -u 7` or an address-space limit of about 375 MB the
    export hung for ever: the caption strip's fills waited on Qt's thread
    pool for a thread the system had refused to start. Every limit must end
    in a plate or in a message (exit 1), with nothing left behind."""

    JOB = ["-q", "--unit", "inch", "--width", "2", "--height", "0.3", "--compress", "1"]

    def setUp(self):
        super().setUp()
        self.views = self.uniform_views([(10, 20, 30, 40), (50, 60, 70, 80)], width=60, height=40)
        self.before = sorted(os.listdir(self.dir.name))

    def outcome(self, limit, what):
        """0 for a plate, 1 for a message; fails on a hang or a leftover."""
        out = self.path("plate.tif")
        try:
            result = subprocess.run([PROGRAM, *self.JOB, "-o", out, *self.views], capture_output=True, text=True,
                                    preexec_fn=limit, timeout=60)
        except subprocess.TimeoutExpired:
            self.fail(f"{what}: the export hung")
        if result.returncode == 0:
            with Image.open(out) as plate:
                self.assertEqual(plate.size, (7994, 2000), what)
            os.remove(out)
        else:
            self.assertEqual(result.returncode, 1, f"{what}: {result.stderr}")
            self.assertTrue(result.stderr.startswith("plivora-interlace: "), f"{what}: {result.stderr}")
        self.assertEqual(sorted(os.listdir(self.dir.name)), self.before, what)
        return result.returncode

    def test_an_address_space_limit_ends_in_a_plate_or_a_message(self):
        outcomes = set()
        # From too little for the job (the program and its libraries take about
        # 80 MB of address space to load; OpenCV is loaded only to align) to enough.
        for mb in range(100, 420, 10):
            def limit(mb=mb):
                resource.setrlimit(resource.RLIMIT_AS, (mb << 20, mb << 20))
            outcomes.add(self.outcome(limit, f"ulimit -v {mb} MB"))
        self.assertEqual(outcomes, {0, 1})

    def test_a_process_limit_ends_in_a_plate_or_a_message(self):
        if os.geteuid() != 0:
            self.skipTest("root ignores the limit; the test runs the program as nobody")
        os.chmod(self.dir.name, 0o777)
        user = 100000 + os.getpid()  # a user of its own: the limit counts every process of the user
        outcomes = set()
        for count in range(1, 13):  # threads of the user, from the main one alone to enough
            def limit(count=count):
                os.setgroups([])
                os.setgid(user)
                os.setuid(user)
                resource.setrlimit(resource.RLIMIT_NPROC, (count, count))
            outcomes.add(self.outcome(limit, f"ulimit -u {count}"))
        self.assertEqual(outcomes, {0, 1})


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
