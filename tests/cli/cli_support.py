"""Helpers of the command-line tests: views written by Python itself, and a
test case that runs the program in a temporary folder."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np

PROGRAM = sys.argv.pop(1)


def write_view(path, cmyk, inverted=False):
    """Writes a view in the input layout from an H x W x 4 uint8 array."""
    height, width, _ = cmyk.shape
    entries = [(256, 4, 1, width), (257, 4, 1, height), (259, 3, 1, 1), (262, 3, 1, 5),
               (273, 4, 1, 0), (277, 3, 1, 4), (278, 4, 1, height), (279, 4, 1, width * height * 4)]
    data_at = 8 + 2 + 12 * len(entries) + 4
    entries[4] = (273, 4, 1, data_at)
    head = b"II" + struct.pack("<HIH", 42, 8, len(entries))
    head += b"".join(struct.pack("<HHII", *e) for e in entries) + struct.pack("<I", 0)
    pixels = (255 - cmyk) if inverted else cmyk
    with open(path, "wb") as f:
        f.write(head + pixels.astype(np.uint8).tobytes())


def grey(c, m, y, k):
    """The grey of one ink set, for inks chosen away from rounding ties."""
    exact = (300 * c + 590 * m + 110 * y + 1000 * k)
    assert exact % 1000 != 500
    return min(255, (exact + 500) // 1000)


class ProgramTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def run_program(self, *args, env=None):
        return subprocess.run([PROGRAM, *args], capture_output=True, text=True, timeout=120, env=env)

    def uniform_views(self, inks, width=30, height=45, ext="tif", inverted=False):
        paths = []
        for i, ink in enumerate(inks):
            path = self.path(f"view{i + 1:02d}.{ext}")
            write_view(path, np.full((height, width, 4), ink, dtype=np.uint8), inverted)
            paths.append(path)
        return paths
