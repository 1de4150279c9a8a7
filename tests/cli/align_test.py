"""The views stage on the command line: its options refused before anything
is written, and kept in a saved job as typed."""

import json
import os
import unittest

from cli_support import ProgramTest


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

    def test_a_saved_job_keeps_them_as_typed(self):
        views = self.uniform_views([(0, 0, 0, 40), (0, 0, 0, 80)])
        job = self.path("a.plivora")
        typed = ["--align", "auto", "--key", "2,3,20,30", "--key-shift", "-0.25"]
        result = self.run_program("-q", *typed, "--save-job", job, "-o", self.path("out.tif"), *views)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(job, encoding="utf-8") as f:
            options = json.load(f)["options"]
        self.assertEqual((options["align"], options["key"], options["key-shift"]), ("auto", "2,3,20,30", "-0.25"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
