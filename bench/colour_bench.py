"""Colour plates against the grey plate, and views in other formats against
CMYK TIFF, alternating within each run; prints medians of wall time, CPU
time (user and system) and peak memory.

1. A cmyk plate against the grey plate of the same CMYK views: the worked
   example (12 views of 1000 x 1500 into 2 x 3 inches) and the large job at
   half size (24 views of 1500 x 2250 into 10 x 15 inches, 4000 dpi).
2. A cmyk plate of the worked example from the same pictures as CMYK TIFF,
   RGB TIFF (what the colour transform adds) and RGB PNG (what decoding PNG
   adds), each as the sample scene renders them ("rendered") and with
   sensor noise of +-4 on every sample ("photographic", where neighbours
   rarely share a colour).

    /usr/bin/python3 bench/colour_bench.py BUILD_DIR [RUNS]

Needs /usr/bin/python3 with numpy and Pillow (Debian's python3-numpy and
python3-pil, which scripts/install-deps.sh installs) and /usr/bin/time
(scripts/install-deps.sh bench).
"""

import os
import shutil
import statistics
import sys
import tempfile

import numpy as np
from PIL import Image

from bench_support import run, sample_views, table

build = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
interlace = os.path.join(build, "src", "plivora-interlace")
sample = os.path.join(build, "src", "plivora-sample-views")


def converted(views, folder, noisy):
    """The views as CMYK TIFF, RGB TIFF and RGB PNG (the RGB is 255 - ink - K,
    as the preview shows inks), with noise when asked."""
    os.makedirs(folder)
    random = np.random.default_rng(3)
    forms = {"CMYK TIFF": [], "RGB TIFF": [], "RGB PNG": []}
    for i, view in enumerate(views):
        inks = np.asarray(Image.open(view)).astype(np.int16)
        if noisy:
            inks = np.clip(inks + random.integers(-4, 5, inks.shape), 0, 255)
        rgb = np.clip(255 - inks[..., :3] - inks[..., 3:], 0, 255).astype(np.uint8)
        base = os.path.join(folder, "v%02d" % i)
        Image.fromarray(inks.astype(np.uint8), "CMYK").save(base + "-cmyk.tif")
        Image.fromarray(rgb, "RGB").save(base + "-rgb.tif")
        Image.fromarray(rgb, "RGB").save(base + ".png", compress_level=6)
        forms["CMYK TIFF"].append(base + "-cmyk.tif")
        forms["RGB TIFF"].append(base + "-rgb.tif")
        forms["RGB PNG"].append(base + ".png")
    return forms


work = tempfile.mkdtemp(prefix="plivora-colour-")
try:
    example = [interlace, "-q", "--unit", "inch", "--width", "2", "--height", "3"]
    small = sample_views(sample, 12, "1000x1500", os.path.join(work, "small"))
    for _ in range(2):  # warm the page cache and the font cache
        run([*example, "-o", os.path.join(work, "w.tif"), *small], os.path.join(work, "w.tif"), work)
    table("worked example, CMYK views", {
        "grey plate": [*example, *small],
        "cmyk plate": [*example, "--colour", "cmyk", *small],
    }, runs * 5, work)

    large = sample_views(sample, 24, "1500x2250", os.path.join(work, "large"))
    job = [interlace, "-q", "--unit", "inch", "--width", "10", "--height", "15", "--dpi", "4000", "--compress", "10"]
    table("large job at half size, CMYK views", {
        "grey plate": [*job, *large],
        "cmyk plate": [*job, "--colour", "cmyk", *large],
    }, runs, work, sync=True)
    shutil.rmtree(os.path.join(work, "large"))

    for kind, noisy in (("rendered", False), ("photographic", True)):
        forms = converted(small, os.path.join(work, kind), noisy)
        results = table("worked example into a cmyk plate, %s views" % kind, {
            name: [*example, "--colour", "cmyk", *views] for name, views in forms.items()
        }, runs * 3, work)
        cpu = {name: statistics.median(r[1] for r in rs) for name, rs in results.items()}
        pixels = 12 * 1000 * 1200  # the source rows the plate uses: 1200 of each view's 1500
        transform = cpu["RGB TIFF"] - cpu["CMYK TIFF"]
        decode = cpu["RGB PNG"] - cpu["RGB TIFF"]
        print("  of the PNG export's CPU time: colour transform %.0f %% (%.1f ns a source pixel), "
              "PNG decoding %.0f %%" % (100 * transform / cpu["RGB PNG"], transform / pixels * 1e9,
                                        100 * decode / cpu["RGB PNG"]))
finally:
    shutil.rmtree(work)
