"""Every include of the program's own headers runs down the rooms: a room
includes only itself and the rooms below it, and interlace/, plate/,
drawing/, preview/ and proof/ never include each other. A header in the
wrong room shows here before it shows as a tangle."""

import os
import re
import sys
import unittest

SRC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")

BELOW = {
    "common": set(),
    "colour": {"common"},
    "sample": {"common"},
    "series": {"common", "colour"},
    "interlace": {"common"},
    "plate": {"common"},
    "drawing": {"common"},
    "preview": {"common", "colour", "series"},
    "align": {"common", "colour", "series"},
    "proof": {"common", "colour", "series"},
    "options": {"common", "colour", "series", "interlace", "plate"},
    "jobs": {"common", "colour", "series", "align", "interlace", "plate", "drawing", "proof", "options"},
    "cli": {"common", "colour", "series", "align", "interlace", "plate", "drawing", "preview", "proof", "options", "jobs"},
    "app": {"common", "colour", "series", "align", "interlace", "plate", "drawing", "preview", "proof", "options", "jobs"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)


class IncludeRooms(unittest.TestCase):
    def test_every_include_runs_down(self):
        wrong = []
        for room in sorted(os.listdir(SRC)):
            if not os.path.isdir(os.path.join(SRC, room)):
                continue
            self.assertIn(room, BELOW, f"src/{room}/ is a room this test does not know")
            for folder, _, files in os.walk(os.path.join(SRC, room)):
                for name in files:
                    if not name.endswith((".h", ".cpp")):
                        continue
                    path = os.path.join(folder, name)
                    with open(path, encoding="utf-8") as f:
                        for included in INCLUDE.findall(f.read()):
                            if included != room and included not in BELOW[room]:
                                wrong.append(f"{os.path.relpath(path, SRC)} includes {included}/")
        self.assertEqual(wrong, [])

    def test_no_widgets_below_the_window(self):
        for room in BELOW:
            if room == "app" or not os.path.isdir(os.path.join(SRC, room)):
                continue
            for folder, _, files in os.walk(os.path.join(SRC, room)):
                for name in files:
                    with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                        self.assertNotRegex(f.read(), r"#\s*include\s*<Q(Widget|Application|Dialog|MainWindow|PushButton)",
                                            f"src/{room}/{name}")


if __name__ == "__main__":
    unittest.main(verbosity=2, argv=sys.argv[:1])
