"""Plates from photographs: 12 views of 1000 x 1500 with sensor noise of +-4
on every sample (neighbours rarely share a colour), as RGB PNG, JPEG
(quality 90) and LZW TIFF, into the worked example's plate (2 x 3 inches,
4000 dpi, compress 10). For each format it times, alternating within the
run, the cmyk plate of this build at 1 thread and at all, the cmyk and the
rgb plate of a baseline build (say the branch point) and of this build, and
the floor: the rows the plate uses decoded and converted on one core
(bench/decode_floor.cpp, its CPU time), for the cmyk plate and for the rgb
one (which converts nothing: sRGB views on an sRGB plate). Then the plates
of the same pictures as CMYK TIFF in the one-strip layout, this build
against the baseline. Prints medians of wall time, CPU time (user and
system) and peak memory, and the targets:

  cmyk plate <= 1.3 x floor(cmyk) / cores
  cmyk plate <= 1.1 x (rgb plate + (floor(cmyk) - floor(rgb)) / cores)
  peak memory <= the baseline's + 16 MB

and, beside the first, the least that ratio can be on these cores: the
plate's CPU time spread perfectly over them.

    /usr/bin/python3 bench/decode_bench.py BUILD_DIR BASELINE_BUILD_DIR [RUNS]

BUILD_DIR must be configured with -DPLIVORA_BENCH=ON. Needs /usr/bin/python3
with numpy and Pillow and /usr/bin/time (scripts/install-deps.sh bench).
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

from bench_support import run, sample_views

build, baseline = sys.argv[1], sys.argv[2]
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 11
cores = os.cpu_count()
this = os.path.join(build, "src", "plivora-interlace")
base = os.path.join(baseline, "src", "plivora-interlace")
floor_tool = os.path.join(build, "bench", "decode_floor")
plate = ["-q", "--unit", "inch", "--width", "2", "--height", "3"]


def photographs(views, folder):
    """The views as noisy RGB in each format, and their inks as CMYK TIFF."""
    os.makedirs(folder)
    random = np.random.default_rng(3)
    forms = {"PNG": [], "JPEG": [], "LZW TIFF": [], "CMYK TIFF": []}
    for i, view in enumerate(views):
        inks = np.clip(np.asarray(Image.open(view)).astype(np.int16) + random.integers(-4, 5, (1500, 1000, 4)), 0, 255)
        rgb = Image.fromarray(np.clip(255 - inks[..., :3] - inks[..., 3:], 0, 255).astype(np.uint8), "RGB")
        base_name = os.path.join(folder, "v%02d" % i)
        rgb.save(base_name + ".png", compress_level=6)
        rgb.save(base_name + ".jpg", quality=90)
        rgb.save(base_name + "-lzw.tif", compression="tiff_lzw")
        Image.fromarray(inks.astype(np.uint8), "CMYK").save(base_name + "-cmyk.tif")
        for form, name in (("PNG", ".png"), ("JPEG", ".jpg"), ("LZW TIFF", "-lzw.tif"), ("CMYK TIFF", "-cmyk.tif")):
            forms[form].append(base_name + name)
    return forms


def floor(colour, views):
    """CPU seconds of the floor's rows on one core."""
    out = subprocess.run([floor_tool, colour, "2", "3", *views], check=True, capture_output=True, text=True).stdout
    return float(out.split()[0])


def timed(name, cases, floors, work):
    """Runs the cases and floors in turn `runs` times; prints and returns
    the median wall, CPU and peak of each case, and each floor's median."""
    out = os.path.join(work, "out.tif")
    results = {n: [] for n in cases}
    floor_runs = {n: [] for n in floors}
    for _ in range(runs):
        for n, cmd in cases.items():
            results[n].append(run([*cmd, "-o", out], out, work))
        for n, (colour, views) in floors.items():
            floor_runs[n].append(floor(colour, views))
    print("%s, medians of %d alternating runs:" % (name, runs))
    medians = {}
    for n, rs in results.items():
        medians[n] = tuple(statistics.median(r[k] for r in rs) for k in range(3))
        print("  %-32s %7.3f s   cpu %7.3f s   peak %6.1f MB" % (n, *medians[n]))
    floor_medians = {n: statistics.median(v) for n, v in floor_runs.items()}
    for n, v in floor_medians.items():
        print("  %-32s %7.3f s   (one core, CPU)" % (n, v))
    return medians, floor_medians


work = tempfile.mkdtemp(prefix="plivora-decode-")
try:
    forms = photographs(sample_views(os.path.join(build, "src", "plivora-sample-views"), 12, "1000x1500",
                                     os.path.join(work, "sample")), os.path.join(work, "photos"))
    for _ in range(2):  # warm the page cache and the font cache
        run([this, *plate, "-o", os.path.join(work, "w.tif"), *forms["PNG"]], os.path.join(work, "w.tif"), work)
    print("%d cores; the machine's load average before: %.2f" % (cores, os.getloadavg()[0]))
    for form in ("PNG", "JPEG", "LZW TIFF"):
        views = forms[form]
        m, f = timed("12 photographs as %s" % form, {
            "baseline, cmyk plate": [base, *plate, "--colour", "cmyk", *views],
            "this build, cmyk, 1 thread": [this, *plate, "--colour", "cmyk", "--threads", "1", *views],
            "this build, cmyk plate": [this, *plate, "--colour", "cmyk", *views],
            "baseline, rgb plate": [base, *plate, "--colour", "rgb", *views],
            "this build, rgb plate": [this, *plate, "--colour", "rgb", *views],
        }, {"floor, cmyk": ("cmyk", views), "floor, rgb": ("rgb", views)}, work)
        cmyk, rgb = m["this build, cmyk plate"][0], m["this build, rgb plate"][0]
        spread = f["floor, cmyk"] / cores
        conversion = (f["floor, cmyk"] - f["floor, rgb"]) / cores
        print("  cmyk plate %.3f s against floor / cores %.3f s: x%.2f (target 1.3)" % (cmyk, spread, cmyk / spread))
        # The plate's wall time is at least its CPU time over the cores: the
        # floor's rows and all it does besides them (starting, making the
        # transform, the caption, composing, writing, handing rows between
        # threads), spread perfectly.
        cpu = m["this build, cmyk plate"][1]
        print("  the plate's CPU %.3f s, %.3f s besides the floor: the ratio is at least x%.2f on %d cores"
              % (cpu, cpu - f["floor, cmyk"], cpu / f["floor, cmyk"], cores))
        print("  cmyk plate %.3f s against rgb plate + conversion / cores %.3f s: x%.2f (target 1.1)"
              % (cmyk, rgb + conversion, cmyk / (rgb + conversion)))
        print("  peak memory against the baseline: cmyk %+.1f MB, rgb %+.1f MB (target +16)"
              % (m["this build, cmyk plate"][2] - m["baseline, cmyk plate"][2],
                 m["this build, rgb plate"][2] - m["baseline, rgb plate"][2]))
    views = forms["CMYK TIFF"]
    timed("12 views as CMYK TIFF in the one-strip layout", {
        "baseline, grey plate": [base, *plate, *views],
        "this build, grey plate": [this, *plate, *views],
        "baseline, cmyk plate": [base, *plate, "--colour", "cmyk", *views],
        "this build, cmyk plate": [this, *plate, "--colour", "cmyk", *views],
    }, {}, work)
    print("the machine's load average after: %.2f" % os.getloadavg()[0])
finally:
    shutil.rmtree(work)
