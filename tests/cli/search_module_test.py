"""The alignment search is a module the program opens only when it aligns
views: the programs link no OpenCV; a search without a usable module fails
with a message naming every file tried and why, writes nothing, and
everything else works without it.
  search_module_test.py PLIVORA_INTERLACE MODULE OLD_VERSION_MODULE NO_ENTRY_MODULE INSTALLED_FOLDER [PLIVORA]"""

import os
import resource
import shutil
import subprocess
import sys
import unittest

import numpy as np
from PIL import Image, ImageFilter

import cli_support
from cli_support import ProgramTest, write_view

MODULE, OLD_VERSION, NO_ENTRY, INSTALLED = sys.argv[1:5]  # INSTALLED: the module's folder from bin/
WINDOW = sys.argv[5:6]
del sys.argv[1:5 + len(WINDOW)]
NAME = "plivora-search.so"
PLATE = ["-q", "--unit", "inch", "--width", "1", "--dpi", "300", "--lpi", "39.5018", "--compress", "2"]


def libraries(path):
    return subprocess.run(["ldd", path], capture_output=True, text=True, check=True).stdout


def textured_views(path):
    """Three views of a blurred noise scene, view k moved right by 2k pixels."""
    rng = np.random.default_rng(3)
    scene = np.asarray(Image.fromarray(rng.integers(0, 256, (220, 260), dtype=np.uint8))
                       .filter(ImageFilter.GaussianBlur(2)))
    views = []
    for k in range(3):
        ink = np.zeros((200, 240, 4), dtype=np.uint8)
        ink[..., 3] = scene[10:210, 10 - 2 * k:250 - 2 * k]
        views.append(path(f"v{k}.tif"))
        write_view(views[-1], ink)
    return views


class Linkage(unittest.TestCase):
    def test_the_programs_load_no_opencv_and_the_module_does(self):
        for program in [cli_support.PROGRAM, *WINDOW]:
            with self.subTest(program=program):
                self.assertEqual([line for line in libraries(program).splitlines() if "libopencv" in line], [])
        self.assertIn("libopencv_core", libraries(MODULE))


class Loading(ProgramTest):
    def setUp(self):
        super().setUp()
        self.bin = self.path("bin")
        os.mkdir(self.bin)
        self.program = shutil.copy(cli_support.PROGRAM, self.bin)
        self.views = textured_views(self.path)

    def place(self, source, where):
        folder = os.path.normpath(os.path.join(self.bin, where))
        os.makedirs(folder, exist_ok=True)
        if isinstance(source, bytes):
            with open(os.path.join(folder, NAME), "wb") as f:
                f.write(source)
        else:
            shutil.copy(source, os.path.join(folder, NAME))

    def run_copy(self, *options):
        out = self.path("out.tif")
        before = sorted(os.listdir(self.dir.name))
        result = subprocess.run([self.program, *PLATE, *options, "-o", out, *self.views], capture_output=True,
                                text=True, timeout=120)
        written = sorted(os.listdir(self.dir.name)) != before
        if os.path.exists(out):
            os.remove(out)
        return result, written

    def test_a_search_needs_a_module_of_this_interface(self):
        beside = os.path.join(self.bin, NAME)
        installed = os.path.normpath(os.path.join(self.bin, INSTALLED, NAME))
        cases = [  # what lies where, the message of --align auto (None: it aligns)
            ([], f"({beside}: cannot open shared object file: No such file or directory; {installed}: cannot open"),
            ([(b"not a module\n", ".")], f"({beside}: "),
            ([(OLD_VERSION, ".")], f"({beside}: interface version 0, not 1 as this program's; {installed}: "),
            ([(NO_ENTRY, ".")], f"({beside}: undefined symbol: plivora_search_table; {installed}: "),
            ([(NO_ENTRY, "."), (MODULE, INSTALLED)], None),
            ([(MODULE, ".")], None),
        ]
        for placed, message in cases:
            with self.subTest(placed=[(p if isinstance(p, bytes) else os.path.basename(p), w) for p, w in placed]):
                shutil.rmtree(self.bin)
                os.mkdir(self.bin)
                shutil.copy(cli_support.PROGRAM, self.bin)
                for source, where in placed:
                    self.place(source, where)
                result, written = self.run_copy("--align", "auto")
                if message is None:
                    self.assertEqual(result.returncode, 0, result.stderr)
                    continue
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertTrue(result.stderr.startswith(
                    "plivora-interlace: Cannot align the views: the alignment search cannot be loaded "), result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(written)
                # Without a search the module is never asked for.
                for options in ([], ["--key-shift", "0.5"]):
                    result, written = self.run_copy(*options)
                    self.assertEqual(result.returncode, 0, f"{options}: {result.stderr}")
                    self.assertTrue(written, options)


class WithoutProc(ProgramTest):
    """Where the program cannot read its own path (no /proc), the module is
    looked for only where it is installed, named in full: never in the
    working folder, whatever lies there."""

    def test_a_module_in_the_working_folder_is_not_opened(self):
        views = [os.path.basename(v) for v in textured_views(self.path)]
        with open(self.path(NAME), "wb") as f:
            f.write(b"not a module\n")
        hidden = ["unshare", "--mount", "--propagation", "private", "sh", "-c", 'mount -t tmpfs none /proc && exec "$@"',
                  "sh"]
        if subprocess.run([*hidden, "true"], capture_output=True).returncode != 0:
            self.skipTest("cannot hide /proc here (needs root)")
        result = subprocess.run([*hidden, cli_support.PROGRAM, *PLATE, "--align", "auto", "-o", "out.tif", *views],
                                cwd=self.dir.name, capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 1, result.stderr)
        tried = result.stderr.split("cannot be loaded (", 1)[-1].split(": ")[0]
        self.assertTrue(os.path.isabs(tried), result.stderr)
        self.assertEqual(os.path.basename(tried), NAME)
        self.assertNotEqual(os.path.dirname(tried), self.dir.name)
        self.assertNotIn(";", result.stderr)  # one file tried
        self.assertFalse(os.path.exists(self.path("out.tif")))


class MemoryLimits(ProgramTest):
    """Where the address space is short, opening the module or the search
    itself runs out: each limit ends in a plate or a message (exit 1), with
    nothing left behind."""

    def test_an_address_space_limit_ends_in_a_plate_or_a_message(self):
        views = textured_views(self.path)
        before = sorted(os.listdir(self.dir.name))
        outcomes = set()
        for mb in range(100, 420, 20):  # the program loads in about 80 MB, the module in 30 more
            def limit(mb=mb):
                resource.setrlimit(resource.RLIMIT_AS, (mb << 20, mb << 20))
            out = self.path("out.tif")
            result = subprocess.run([cli_support.PROGRAM, *PLATE, "--align", "auto", "-o", out, *views],
                                    capture_output=True, text=True, preexec_fn=limit, timeout=60)
            with self.subTest(mb=mb):
                self.assertIn(result.returncode, (0, 1), result.stderr)
                if result.returncode == 1:
                    self.assertTrue(result.stderr.startswith("plivora-interlace: "), result.stderr)
                    self.assertEqual(sorted(os.listdir(self.dir.name)), before)
            outcomes.add(result.returncode)
            if os.path.exists(out):
                os.remove(out)
        self.assertEqual(outcomes, {0, 1})


if __name__ == "__main__":
    unittest.main(verbosity=2)
