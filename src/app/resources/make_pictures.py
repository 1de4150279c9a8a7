#!/usr/bin/python3
"""Draws the program's pictures: the splash, the two logos, the button
pictures and the program icon. Run it from anywhere with Debian's Python and
Pillow (python3-pil); it writes the files next to itself.

Everything is drawn four times larger and scaled down, so edges come out
smooth at the small sizes the window shows.
"""
import math
import os
import re

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
# The version the splash and the logo show: the project's, from its CMakeLists.txt.
with open(os.path.join(HERE, "..", "..", "..", "CMakeLists.txt")) as cmake:
    VERSION = re.search(r"project\(Plivora VERSION ([0-9.]+)", cmake.read()).group(1)
FONT_DIR = "/usr/share/fonts/truetype/liberation"
S = 4  # supersampling factor

NAVY = (18, 32, 58)
BLUE = (36, 99, 175)
TEAL = (0, 150, 170)
CYAN = (0, 174, 239)
MAGENTA = (236, 0, 140)
YELLOW = (255, 200, 0)
INK = (40, 44, 52)
WHITE = (255, 255, 255)


def font(size, bold=True):
    name = "LiberationSans-Bold.ttf" if bold else "LiberationSans-Regular.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def canvas(w, h, colour=(0, 0, 0, 0)):
    return Image.new("RGBA", (w * S, h * S), colour)


def finish(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def save(img, name, **kw):
    img.save(os.path.join(HERE, name), **kw)


def lens_mark(d, x, y, size, colours=(CYAN, MAGENTA, YELLOW)):
    """The product's mark: three lens arcs over a row of interlaced strips."""
    strip = size / 9
    for i in range(9):
        c = colours[i % 3]
        d.rectangle([x + i * strip, y + size * 0.55, x + (i + 1) * strip - strip * 0.25, y + size], fill=c)
    for i in range(3):
        cx = x + size / 6 + i * size / 3
        r = size / 6
        d.pieslice([cx - r, y + size * 0.55 - r, cx + r, y + size * 0.55 + r], 180, 360, fill=WHITE,
                   outline=BLUE, width=max(1, int(size / 24)))


def gradient(w, h, top, bottom):
    img = Image.new("RGBA", (w, h))
    d = ImageDraw.Draw(img)
    for yy in range(h):
        t = yy / max(1, h - 1)
        d.line([(0, yy), (w, yy)], fill=tuple(int(top[k] + (bottom[k] - top[k]) * t) for k in range(3)) + (255,))
    return img


def splash():
    w, h = 640, 480
    img = gradient(w * S, h * S, (14, 24, 44), (30, 62, 110))
    d = ImageDraw.Draw(img)
    # Interlaced bands across the lower part: the columns of four views.
    top = 300 * S
    for i in range(0, w * S, 6 * S):
        k = (i // (6 * S)) % 4
        c = [(0, 174, 239, 255), (236, 0, 140, 255), (255, 200, 0, 255), (230, 232, 236, 255)][k]
        fade = 0.35 + 0.65 * (i / (w * S))
        c = tuple(int(c[j] * fade + 30 * (1 - fade)) for j in range(3)) + (255,)
        d.rectangle([i, top, i + 4 * S, h * S], fill=c)
    # A lens sheet over the bands.
    for i in range(0, w * S, 24 * S):
        d.arc([i, top - 12 * S, i + 24 * S, top + 12 * S], 180, 360, fill=(255, 255, 255, 200), width=2 * S)
    d.rectangle([0, top, w * S, top + 2 * S], fill=(255, 255, 255, 90))
    lens_mark(d, 56 * S, 96 * S, 96 * S)
    d.text((176 * S, 84 * S), "Plivora", font=font(84 * S), fill=WHITE)
    d.text((182 * S, 186 * S), VERSION, font=font(34 * S, bold=False), fill=(150, 205, 255))
    d.text((270 * S, 192 * S), "Lenticular prepress", font=font(24 * S, bold=False), fill=(210, 222, 240))
    d.line([(56 * S, 250 * S), (584 * S, 250 * S)], fill=(255, 255, 255, 60), width=S)
    d.text((56 * S, 262 * S), "Interlacing for plate setters", font=font(15 * S, bold=False),
           fill=(180, 196, 220))
    img = finish(img, w, h).convert("RGB")
    save(img, "splash.jpg", quality=92, optimize=True)


def logo():
    img = canvas(100, 40)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([0, 0, 100 * S - 1, 40 * S - 1], radius=6 * S, fill=NAVY + (255,))
    lens_mark(d, 6 * S, 8 * S, 24 * S)
    d.text((34 * S, 7 * S), "Plivora", font=font(19 * S), fill=WHITE)
    d.text((35 * S, 28 * S), "LENTICULAR", font=font(6 * S, bold=False), fill=(150, 205, 255))
    save(finish(img, 100, 40), "logo.png")


def logo_small():
    img = canvas(90, 15)
    d = ImageDraw.Draw(img)
    lens_mark(d, 1 * S, 1 * S, 13 * S)
    d.text((17 * S, 0), "Plivora " + VERSION, font=font(11 * S), fill=BLUE + (255,))
    save(finish(img, 90, 15), "logo_small.png")


def button(draw_fn, name):
    img = canvas(40, 40)
    d = ImageDraw.Draw(img)
    draw_fn(d)
    # A soft shadow under the picture lifts it off the button face.
    shadow = img.split()[3].filter(ImageFilter.GaussianBlur(3 * S)).point(lambda a: a * 0.35)
    base = Image.new("RGBA", img.size, (0, 0, 0, 0))
    base.paste((0, 0, 0, 255), (0, 2 * S), shadow)
    base.alpha_composite(img)
    save(finish(base, 40, 40), name + ".png")


def U(v):
    return int(round(v * S))


def doc(d, x, y, w, h, colour=WHITE):
    fold = U(9)
    d.polygon([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)], fill=colour,
              outline=INK, width=U(1.5))
    d.polygon([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)], fill=(215, 220, 228),
              outline=INK)


def strips(d, x, y, w, h):
    n = 6
    for i in range(n):
        c = (CYAN, MAGENTA, YELLOW)[i % 3]
        d.rectangle([x + i * w / n, y, x + (i + 0.7) * w / n, y + h], fill=c)


def draw_import(d):
    for k in range(3):
        doc(d, U(4 + 3 * k), U(3 + 3 * k), U(22), U(27))
    strips(d, U(13), U(16), U(13), U(12))
    d.ellipse([U(21), U(19), U(39), U(37)], fill=(46, 160, 67), outline=INK, width=U(1))
    d.rectangle([U(28.5), U(22.5), U(31.5), U(33.5)], fill=WHITE)
    d.rectangle([U(24.5), U(26.5), U(35.5), U(29.5)], fill=WHITE)


def draw_preview(d):
    d.rounded_rectangle([U(3), U(7), U(37), U(33)], radius=U(4), fill=NAVY, outline=INK, width=U(1))
    for i in range(5):
        d.rectangle([U(6 + 6.5 * i), U(9), U(9 + 6.5 * i), U(11)], fill=(200, 210, 225))
        d.rectangle([U(6 + 6.5 * i), U(29), U(9 + 6.5 * i), U(31)], fill=(200, 210, 225))
    d.polygon([(U(15), U(13)), (U(15), U(27)), (U(27), U(20))], fill=YELLOW)


def draw_export(d):
    doc(d, U(5), U(3), U(24), U(32))
    # Interlaced columns: the output.
    for i in range(8):
        g = 60 + (i % 4) * 45
        d.rectangle([U(8 + 2.5 * i), U(13), U(9.6 + 2.5 * i), U(30)], fill=(g, g, g))
    d.text((U(8), U(5)), "TIF", font=font(U(7)), fill=BLUE)
    d.polygon([(U(22), U(19)), (U(31), U(19)), (U(31), U(14)), (U(39), U(23)), (U(31), U(32)), (U(31), U(27)),
               (U(22), U(27))], fill=(232, 120, 20), outline=INK)


def draw_clear(d):
    d.polygon([(U(9), U(12)), (U(31), U(12)), (U(28), U(37)), (U(12), U(37))], fill=(235, 238, 242),
              outline=INK, width=U(1.5))
    for x in (15, 20, 25):
        d.line([(U(x), U(16)), (U(x - 0.3 * (x - 20) / 5), U(33))], fill=(120, 128, 140), width=U(1.5))
    d.rounded_rectangle([U(6), U(7), U(34), U(11)], radius=U(1), fill=(200, 40, 40), outline=INK)
    d.rectangle([U(16), U(4), U(24), U(7)], fill=(200, 40, 40), outline=INK)


def arrow(d, up):
    pts = [(20, 5), (34, 20), (25, 20), (25, 35), (15, 35), (15, 20), (6, 20)]
    if not up:
        pts = [(x, 40 - y) for x, y in pts]
    d.polygon([(U(x), U(y)) for x, y in pts], fill=BLUE, outline=INK, width=U(1))


def draw_anaglyph(d):
    d.line([(U(2), U(17)), (U(38), U(17))], fill=INK, width=U(2))
    d.rounded_rectangle([U(3), U(13), U(18), U(27)], radius=U(3), fill=(220, 30, 40), outline=INK, width=U(1.5))
    d.rounded_rectangle([U(22), U(13), U(37), U(27)], radius=U(3), fill=(0, 190, 210), outline=INK, width=U(1.5))
    d.arc([U(16), U(14), U(24), U(22)], 180, 360, fill=INK, width=U(2))


def draw_pitch_test(d):
    # A sheet of strips, each at a slightly different pitch, and a ruler.
    d.rectangle([U(3), U(3), U(37), U(37)], fill=WHITE, outline=INK, width=U(1.5))
    for row, pitch in enumerate((2.6, 3.0, 3.4)):
        y = 6 + 9 * row
        x = 6.0
        while x + pitch / 2 <= 34:
            d.rectangle([U(x), U(y), U(x + pitch / 2), U(y + 6)], fill=INK)
            x += pitch
    d.rectangle([U(6), U(33), U(34), U(34)], fill=BLUE)
    for i in range(8):
        d.rectangle([U(6 + 4 * i), U(31 if i % 2 else 29.5), U(6.8 + 4 * i), U(33)], fill=BLUE)


def draw_lens_view(d):
    # An eye looking through a row of lenses at interlaced strips.
    strips(d, U(4), U(29), U(32), U(8))
    for i in range(4):
        x = 4 + 8 * i
        d.pieslice([U(x), U(21), U(x + 8), U(29)], 180, 360, fill=(225, 240, 250), outline=BLUE, width=U(1))
    d.ellipse([U(9), U(3), U(31), U(17)], fill=WHITE, outline=INK, width=U(1.5))
    d.ellipse([U(16), U(6), U(24), U(14)], fill=BLUE)
    d.ellipse([U(18.5), U(8.5), U(21.5), U(11.5)], fill=INK)


def draw_align_view(d):
    # A view over its reference, a little apart, and the cross of the key point.
    d.rounded_rectangle([U(3), U(5), U(27), U(25)], radius=U(2), fill=(225, 240, 250), outline=BLUE, width=U(2.5))
    d.rounded_rectangle([U(12), U(14), U(36), U(34)], radius=U(2), outline=(232, 120, 20), width=U(2.5))
    d.line([(U(20), U(12)), (U(20), U(28))], fill=INK, width=U(2))
    d.line([(U(12), U(20)), (U(28), U(20))], fill=INK, width=U(2))


def icon(sizes=(32, 48, 64, 128, 256)):
    for size in sizes:
        img = canvas(size, size)
        d = ImageDraw.Draw(img)
        n = size * S
        d.rounded_rectangle([0, 0, n - 1, n - 1], radius=n // 6, fill=NAVY + (255,))
        lens_mark(d, n * 0.12, n * 0.18, n * 0.76)
        save(finish(img, size, size), "icon.png" if size == 32 else "icon%d.png" % size)


if __name__ == "__main__":
    splash()
    logo()
    logo_small()
    button(draw_import, "import")
    button(draw_preview, "preview")
    button(draw_export, "export")
    button(draw_clear, "clear")
    button(lambda d: arrow(d, True), "up")
    button(lambda d: arrow(d, False), "down")
    button(draw_anaglyph, "anaglyph")
    button(draw_pitch_test, "pitchtest")
    button(draw_lens_view, "lensview")
    button(draw_align_view, "alignview")
    icon()
