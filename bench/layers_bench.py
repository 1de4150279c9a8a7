"""Views made from layers against view files, on the half-size large job
(24 views of 1500 x 2250 into 10 x 15 inches at 4000 dpi, compress 10):

1. the grey plate of 24 one-strip CMYK views, against the same plate made
   from 4 layers (the first view as the background, behind the print, and
   three RGBA PNG layers in front and behind, at fractional depths, converted
   into the press's CMYK): target 1.5 x the time, memory flat;
2. the same plate from one picture and its depth map;
3. the RGB plate of 24 RGB PNG views against 4 layers (nothing converted).

Wall time, CPU time and peak memory, alternating runs, medians.

    /usr/bin/python3 bench/layers_bench.py BUILD_DIR [RUNS]
"""

import os
import shutil
import sys
import tempfile

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_support  # noqa: E402

build = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
interlace = os.path.join(build, "src", "plivora-interlace")
sample = os.path.join(build, "src", "plivora-sample-views")
plate = [interlace, "-q", "--unit", "inch", "--width", "10", "--height", "15", "--dpi", "4000", "--compress", "10"]


def rgba_layer(path, width, height, seed):
    """A layer of smooth colours with an opaque shape in a transparent field."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width]
    pixels = np.empty((height, width, 4), dtype=np.uint8)
    for c in range(3):
        pixels[..., c] = ((x * (c + 1) + y * (3 - c) + rng.integers(0, 40)) % 256).astype(np.uint8)
    inside = ((x - width / 2) ** 2 / (width / 2.2) ** 2 + (y - height / 2) ** 2 / (height / 2.2) ** 2) < 1
    pixels[..., 3] = np.where(inside, 255, 0)
    Image.fromarray(pixels, "RGBA").save(path, compress_level=1)


work = tempfile.mkdtemp(prefix="plivora-layers-")
try:
    views = bench_support.sample_views(sample, 24, "1500x2250", work)
    layers_dir = os.path.join(work, "layers")
    os.makedirs(layers_dir)
    shapes = [("product", 1000, 1600, 0.6), ("logo", 700, 400, 0), ("cloud", 1400, 900, -1.3)]
    layer_args = ["--layer", views[0] + ":-1.7"]
    for name, w, h, depth in shapes:
        path = os.path.join(layers_dir, name + ".png")
        rgba_layer(path, w, h, len(layer_args))
        layer_args += ["--layer", "%s:%s:%d,%d" % (path, depth, (1500 - w) // 2, (2250 - h) // 3)]
    picture = os.path.join(layers_dir, "picture.png")
    Image.open(views[0]).convert("RGB").save(picture, compress_level=1)
    y, x = np.mgrid[0:2250, 0:1500]
    Image.fromarray(((x + y) * 255 // (1500 + 2250)).astype(np.uint8), "L").save(os.path.join(layers_dir, "depth.png"))
    depth_args = ["--depth-map", os.path.join(layers_dir, "depth.png"), "--depth", "3", picture]
    cases = {
        "24 view files": [*plate, *views],
        "4 layers, 24 frames": [*plate, "--frames", "24", *layer_args],
        "depth map, 24 frames": [*plate, "--frames", "24", *depth_args],
    }
    bench_support.table("grey plate of the half-size large job", cases, runs, work)
    print()
    rgb_views = []
    for i, view in enumerate(views):
        rgb_views.append(os.path.join(layers_dir, "v%02d.png" % i))
        Image.open(view).convert("RGB").save(rgb_views[-1], compress_level=1)
    rgb_layers = ["--layer", picture + ":-1.7", *layer_args[2:]]
    cases = {
        "24 RGB PNG views": [*plate, "--colour", "rgb", *rgb_views],
        "4 layers, 24 frames": [*plate, "--colour", "rgb", "--frames", "24", *rgb_layers],
    }
    bench_support.table("RGB plate of the half-size large job", cases, runs, work)
finally:
    shutil.rmtree(work)
