#!/usr/bin/python3
"""Draws the built-in background patterns into resources/patterns and writes resources/patterns.gresource.xml
and the pattern list resources/patterns/patterns_list.txt.

Every pattern is a small seamless tile: each mark is drawn at its place and at the eight places one tile away,
so whatever leaves one edge comes back at the opposite one. The drawing is random but seeded by the pattern's
name, so the same script always makes the same pictures. After drawing, each colour channel is shifted so that
the tile's mean colour is the one the pattern is known by; the list records the real mean of the written tile.

Needs python3-cairo; optipng (optional, lossless) shrinks the files. Run from the repository root:

    /usr/bin/python3 tools/make_patterns.py [--no-optimise] [--contact-sheet DIR]
"""

import argparse
import math
import os
import random
import shutil
import subprocess
import sys

import cairo

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources", "patterns")

# key, target mean colour (red, green, blue), tile size, drawing style
PATTERNS = [
    ("dust_scratches", (244, 244, 244), (400, 400), "scratches"),
    ("cream_paper", (234, 234, 234), (158, 144), "speckle"),
    ("light_linen", (225, 226, 228), (654, 654), "linen"),
    ("wave_grid", (237, 237, 237), (100, 100), "wavegrid"),
    ("fabric_1", (235, 235, 235), (400, 400), "fabric"),
    ("cardboard_flat", (220, 220, 220), (256, 256), "fibres"),
    ("rice_paper_2", (245, 242, 240), (485, 485), "ricepaper"),
    ("farmer", (226, 227, 223), (349, 349), "checks"),
    ("cork_1", (226, 226, 226), (300, 300), "cork"),
    ("felt", (202, 202, 202), (500, 466), "felt"),
    ("sandpaper", (218, 216, 210), (348, 500), "sand"),
    ("cork_wallet", (226, 222, 217), (300, 300), "cork"),
    ("rice_paper_3", (241, 237, 221), (250, 250), "ricepaper"),
    ("ep_natural_white", (233, 229, 227), (400, 400), "speckle"),
    ("old_map", (247, 233, 199), (256, 256), "stains"),
    ("mocha_grunge", (135, 135, 135), (400, 400), "grunge"),
    ("grey_wash_wall", (101, 101, 101), (350, 259), "wash"),
    ("low_contrast_linen", (58, 58, 58), (256, 256), "linen"),
    ("dark_mosaic", (24, 24, 24), (400, 400), "mosaic"),
    ("vintage_wallpaper", (44, 54, 94), (400, 400), "damask"),
    ("moroccan_flower_dark", (25, 59, 107), (400, 400), "moroccan"),
    ("geometric_leaves", (250, 250, 251), (400, 400), "geoleaves"),
    ("leaves", (253, 254, 251), (400, 400), "leaves"),
    ("foggy_birds", (252, 252, 252), (206, 206), "birds"),
    ("leaves_2", (238, 238, 238), (294, 235), "leaves"),
    ("white_waves", (246, 246, 246), (400, 400), "waves"),
    ("wood", (244, 210, 157), (203, 317), "wood"),
    ("cork_board", (199, 157, 123), (400, 400), "cork"),
    ("blue_snow", (234, 244, 251), (400, 400), "snow"),
]


class Tile:
    """A cairo context on an opaque tile; Wrapped runs a drawing at the nine places that make it seamless."""

    def __init__(self, width, height, base):
        self.w, self.h = width, height
        self.surface = cairo.ImageSurface(cairo.FORMAT_RGB24, width, height)
        self.cr = cairo.Context(self.surface)
        self.cr.set_source_rgb(*base)
        self.cr.paint()

    def wrapped(self, draw):
        for dx in (-self.w, 0, self.w):
            for dy in (-self.h, 0, self.h):
                self.cr.save()
                self.cr.translate(dx, dy)
                draw(self.cr)
                self.cr.restore()


def grey(v):
    return (v, v, v)


def rgba(cr, rgb, alpha):
    cr.set_source_rgba(rgb[0], rgb[1], rgb[2], alpha)


def speckle(t, rnd, count, radius, dark, light):
    for _ in range(count):
        x, y = rnd.uniform(0, t.w), rnd.uniform(0, t.h)
        r = rnd.uniform(radius * 0.3, radius)
        colour = dark if rnd.random() < 0.5 else light
        alpha = rnd.uniform(0.05, 0.25)

        def mark(cr, x=x, y=y, r=r, colour=colour, alpha=alpha):
            rgba(cr, colour, alpha)
            cr.arc(x, y, r, 0, 2 * math.pi)
            cr.fill()

        t.wrapped(mark)


def strokes(t, rnd, count, length, width, colour, alpha, curl=0.3, angle=None):
    for _ in range(count):
        x, y = rnd.uniform(0, t.w), rnd.uniform(0, t.h)
        a = rnd.uniform(0, 2 * math.pi) if angle is None else angle + rnd.uniform(-0.15, 0.15)
        n = max(2, int(length / 6))
        points = [(x, y)]
        for _ in range(n):
            a += rnd.uniform(-curl, curl)
            x += math.cos(a) * length / n
            y += math.sin(a) * length / n
            points.append((x, y))
        lw = rnd.uniform(width * 0.5, width)
        al = rnd.uniform(alpha * 0.4, alpha)

        def mark(cr, points=points, lw=lw, al=al):
            rgba(cr, colour, al)
            cr.set_line_width(lw)
            cr.set_line_cap(cairo.LINE_CAP_ROUND)
            cr.move_to(*points[0])
            for p in points[1:]:
                cr.line_to(*p)
            cr.stroke()

        t.wrapped(mark)


def blotches(t, rnd, count, radius, colours, alpha):
    for _ in range(count):
        x, y = rnd.uniform(0, t.w), rnd.uniform(0, t.h)
        r = rnd.uniform(radius * 0.4, radius)
        colour = rnd.choice(colours)
        al = rnd.uniform(alpha * 0.3, alpha)

        def mark(cr, x=x, y=y, r=r, colour=colour, al=al):
            g = cairo.RadialGradient(x, y, 0, x, y, r)
            g.add_color_stop_rgba(0, colour[0], colour[1], colour[2], al)
            g.add_color_stop_rgba(1, colour[0], colour[1], colour[2], 0)
            cr.set_source(g)
            cr.arc(x, y, r, 0, 2 * math.pi)
            cr.fill()

        t.wrapped(mark)


def weave(t, rnd, step, colour, alpha, jitter=0.3):
    """Horizontal and vertical threads at whole divisions of the tile, so the weave repeats exactly."""
    cr = t.cr
    for horizontal in (True, False):
        extent = t.h if horizontal else t.w
        n = max(1, round(extent / step))
        for i in range(n):
            pos = (i + 0.5) * extent / n
            cr.set_line_width(rnd.uniform(0.6, 1.4))
            rgba(cr, colour, alpha * rnd.uniform(1 - jitter, 1))
            if horizontal:
                cr.move_to(0, pos)
                cr.line_to(t.w, pos)
            else:
                cr.move_to(pos, 0)
                cr.line_to(pos, t.h)
            cr.stroke()


def leaf_path(cr, x, y, size, angle):
    cr.save()
    cr.translate(x, y)
    cr.rotate(angle)
    cr.move_to(-size, 0)
    cr.curve_to(-size * 0.4, -size * 0.55, size * 0.4, -size * 0.55, size, 0)
    cr.curve_to(size * 0.4, size * 0.55, -size * 0.4, size * 0.55, -size, 0)
    cr.close_path()
    cr.move_to(-size, 0)
    cr.line_to(size, 0)
    cr.restore()


def draw_pattern(style, t, rnd):
    cr = t.cr
    if style == "scratches":
        speckle(t, rnd, 260, 1.6, grey(0.55), grey(1.0))
        strokes(t, rnd, 40, 60, 0.8, grey(0.6), 0.35, curl=0.05)
    elif style == "speckle":
        speckle(t, rnd, t.w * t.h // 60, 1.3, grey(0.5), grey(1.0))
        blotches(t, rnd, 12, t.w / 4, [grey(0.8), grey(1.0)], 0.25)
    elif style == "linen":
        weave(t, rnd, 3.0, grey(0.0), 0.18)
        weave(t, rnd, 5.0, grey(1.0), 0.10)
        strokes(t, rnd, t.w // 3, 40, 0.8, grey(0.0), 0.15, curl=0.02, angle=0)
        strokes(t, rnd, t.w // 3, 40, 0.8, grey(1.0), 0.12, curl=0.02, angle=math.pi / 2)
    elif style == "wavegrid":
        cr.set_line_width(1)
        rgba(cr, grey(0.55), 0.5)
        for i in range(4):
            y0 = (i + 0.5) * t.h / 4
            cr.move_to(0, y0)
            for x in range(1, t.w + 1):
                cr.line_to(x, y0 + 3 * math.sin(2 * math.pi * x / t.w * 2))
            cr.stroke()
            x0 = (i + 0.5) * t.w / 4
            cr.move_to(x0, 0)
            for y in range(1, t.h + 1):
                cr.line_to(x0 + 3 * math.sin(2 * math.pi * y / t.h * 2), y)
            cr.stroke()
    elif style == "fabric":
        weave(t, rnd, 4.0, grey(0.0), 0.12)
        weave(t, rnd, 8.0, grey(1.0), 0.15)
        speckle(t, rnd, 600, 1.2, grey(0.4), grey(1.0))
    elif style == "fibres":
        strokes(t, rnd, 500, 24, 1.0, grey(0.45), 0.25, curl=0.25)
        strokes(t, rnd, 300, 18, 1.0, grey(1.0), 0.3, curl=0.25)
    elif style == "ricepaper":
        blotches(t, rnd, 40, t.w / 6, [grey(0.85), grey(1.0)], 0.3)
        strokes(t, rnd, 140, 70, 0.9, (0.7, 0.65, 0.55), 0.3, curl=0.35)
    elif style == "checks":
        n = 7
        for i in range(n):
            for horizontal in (True, False):
                extent = t.h if horizontal else t.w
                pos = (i + 0.5) * extent / n
                rgba(cr, (0.4, 0.45, 0.35), 0.10)
                if horizontal:
                    cr.rectangle(0, pos - 6, t.w, 12)
                else:
                    cr.rectangle(pos - 6, 0, 12, t.h)
                cr.fill()
        weave(t, rnd, 3.0, grey(1.0), 0.12)
    elif style == "cork":
        speckle(t, rnd, t.w * t.h // 25, 2.2, (0.35, 0.22, 0.1), (1.0, 0.95, 0.85))
        blotches(t, rnd, 60, 14, [(0.5, 0.35, 0.2), (1.0, 0.9, 0.8)], 0.4)
    elif style == "felt":
        strokes(t, rnd, 2500, 10, 0.8, grey(0.2), 0.25, curl=0.6)
        strokes(t, rnd, 1500, 10, 0.8, grey(1.0), 0.25, curl=0.6)
    elif style == "sand":
        speckle(t, rnd, t.w * t.h // 12, 1.2, (0.3, 0.28, 0.22), (1.0, 1.0, 0.97))
    elif style == "stains":
        blotches(t, rnd, 30, t.w / 3, [(0.75, 0.6, 0.35), (1.0, 0.97, 0.85)], 0.35)
        strokes(t, rnd, 30, 90, 0.7, (0.55, 0.4, 0.2), 0.25, curl=0.12)
        speckle(t, rnd, 300, 1.4, (0.5, 0.35, 0.15), (1.0, 1.0, 0.9))
    elif style == "grunge":
        blotches(t, rnd, 120, 50, [grey(0.2), grey(0.9)], 0.35)
        speckle(t, rnd, 2500, 1.5, grey(0.1), grey(0.95))
        strokes(t, rnd, 40, 50, 1.0, grey(0.1), 0.3, curl=0.1)
    elif style == "wash":
        blotches(t, rnd, 80, 60, [grey(0.15), grey(0.8)], 0.3)
        strokes(t, rnd, 120, t.h / 2, 3.0, grey(0.8), 0.08, curl=0.05, angle=math.pi / 2)
        speckle(t, rnd, 800, 1.0, grey(0.0), grey(1.0))
    elif style == "mosaic":
        n = 16
        sw, sh = t.w / n, t.h / n
        for i in range(n):
            for j in range(n):
                v = rnd.uniform(0.0, 0.18)
                cr.set_source_rgb(v, v, v)
                cr.rectangle(i * sw + 1, j * sh + 1, sw - 2, sh - 2)
                cr.fill()
    elif style == "damask":
        n = 4
        for i in range(n):
            for j in range(n):
                cx = (i + (0.5 if j % 2 else 0)) * t.w / n
                cy = (j + 0.5) * t.h / n
                s = t.w / n * 0.38

                def motif(cr, cx=cx, cy=cy, s=s):
                    rgba(cr, (0.85, 0.8, 0.6), 0.35)
                    cr.set_line_width(2)
                    for k in range(4):
                        leaf_path(cr, cx, cy, s * 0.55, k * math.pi / 2 + math.pi / 4)
                    cr.stroke()
                    cr.arc(cx, cy, s * 0.12, 0, 2 * math.pi)
                    cr.fill()

                t.wrapped(motif)
        speckle(t, rnd, 1500, 1.2, (0.0, 0.0, 0.1), (0.6, 0.6, 0.8))
    elif style == "moroccan":
        n = 4
        for i in range(n):
            for j in range(n):
                cx, cy = (i + 0.5) * t.w / n, (j + 0.5) * t.h / n
                s = t.w / n * 0.45
                rgba(cr, (0.75, 0.85, 1.0), 0.35)
                cr.set_line_width(2.5)
                for k in range(8):
                    a = k * math.pi / 4
                    cr.move_to(cx, cy)
                    cr.curve_to(cx + s * 0.6 * math.cos(a - 0.5), cy + s * 0.6 * math.sin(a - 0.5),
                                cx + s * math.cos(a - 0.15), cy + s * math.sin(a - 0.15),
                                cx + s * math.cos(a), cy + s * math.sin(a))
                cr.stroke()
                cr.arc(cx, cy, s * 0.18, 0, 2 * math.pi)
                cr.stroke()
                cr.rectangle(i * t.w / n, j * t.h / n, t.w / n, t.h / n)
                rgba(cr, (0.0, 0.05, 0.2), 0.4)
                cr.set_line_width(1.5)
                cr.stroke()
    elif style == "geoleaves":
        n = 5
        for i in range(n):
            for j in range(n):
                cx, cy = (i + 0.5) * t.w / n, (j + 0.5) * t.h / n
                rgba(cr, grey(0.6), 0.25)
                cr.set_line_width(1)
                leaf_path(cr, cx, cy, t.w / n * 0.35, (i + j) % 2 * math.pi / 2 + math.pi / 4)
                cr.stroke()
    elif style == "leaves":
        count = max(8, t.w * t.h // 9000)
        for _ in range(count):
            x, y = rnd.uniform(0, t.w), rnd.uniform(0, t.h)
            s, a = rnd.uniform(10, 22), rnd.uniform(0, 2 * math.pi)

            def leaf(cr, x=x, y=y, s=s, a=a):
                rgba(cr, (0.55, 0.65, 0.5), 0.18)
                cr.set_line_width(1)
                leaf_path(cr, x, y, s, a)
                cr.stroke()

            t.wrapped(leaf)
    elif style == "birds":
        for _ in range(18):
            x, y, s = rnd.uniform(0, t.w), rnd.uniform(0, t.h), rnd.uniform(4, 9)

            def bird(cr, x=x, y=y, s=s):
                rgba(cr, grey(0.4), 0.25)
                cr.set_line_width(1.2)
                cr.move_to(x - s, y - s * 0.3)
                cr.curve_to(x - s * 0.5, y - s * 0.6, x - s * 0.2, y - s * 0.4, x, y)
                cr.curve_to(x + s * 0.2, y - s * 0.4, x + s * 0.5, y - s * 0.6, x + s, y - s * 0.3)
                cr.stroke()

            t.wrapped(bird)
        blotches(t, rnd, 10, 60, [grey(0.85)], 0.2)
    elif style == "waves":
        cr.set_line_width(1.5)
        rows = 10
        for r in range(rows):
            y0 = (r + 0.5) * t.h / rows
            rgba(cr, grey(0.6), 0.22)
            cr.move_to(0, y0)
            for x in range(1, t.w + 1):
                cr.line_to(x, y0 + 6 * math.sin(2 * math.pi * (x / t.w * 4 + r * 0.25)))
            cr.stroke()
    elif style == "wood":
        # grain runs vertically; every line's waviness repeats with the tile's height
        for _ in range(110):
            x0 = rnd.uniform(0, t.w)
            amp, phase, k = rnd.uniform(1, 6), rnd.uniform(0, 2 * math.pi), rnd.choice((1, 2, 3))
            colour = rnd.choice([(0.6, 0.4, 0.2), (0.75, 0.5, 0.25), (1.0, 0.9, 0.7)])
            lw, al = rnd.uniform(0.6, 3.0), rnd.uniform(0.15, 0.45)

            def grain(cr, x0=x0, amp=amp, phase=phase, k=k, colour=colour, lw=lw, al=al):
                rgba(cr, colour, al)
                cr.set_line_width(lw)
                cr.move_to(x0 + amp * math.sin(phase), 0)
                for y in range(1, t.h + 1, 2):
                    cr.line_to(x0 + amp * math.sin(2 * math.pi * k * y / t.h + phase), y)
                cr.stroke()

            t.wrapped(grain)
    elif style == "snow":
        for _ in range(60):
            x, y, s = rnd.uniform(0, t.w), rnd.uniform(0, t.h), rnd.uniform(3, 9)

            def flake(cr, x=x, y=y, s=s):
                rgba(cr, (0.55, 0.7, 0.9), 0.35)
                cr.set_line_width(1)
                for k in range(3):
                    a = k * math.pi / 3
                    cr.move_to(x - s * math.cos(a), y - s * math.sin(a))
                    cr.line_to(x + s * math.cos(a), y + s * math.sin(a))
                cr.stroke()

            t.wrapped(flake)
        speckle(t, rnd, 400, 1.5, (0.7, 0.8, 0.95), grey(1.0))
    else:
        raise SystemExit("unknown style " + style)


def channel_means(surface):
    """Mean red, green and blue of an RGB24 surface (bytes B, G, R, x on little-endian machines)."""
    surface.flush()
    data = bytes(surface.get_data())
    w, h, stride = surface.get_width(), surface.get_height(), surface.get_stride()
    rows = b"".join(data[y * stride:y * stride + 4 * w] for y in range(h))
    n = w * h
    return (sum(rows[2::4]) / n, sum(rows[1::4]) / n, sum(rows[0::4]) / n)


def shift_channels(surface, offsets):
    """Adds an offset to each of red, green and blue, clamped to 0..255."""
    surface.flush()
    data = surface.get_data()
    tables = []
    for d in offsets:
        tables.append(bytes(max(0, min(255, v + d)) for v in range(256)))
    buf = bytearray(data)
    for index, table in zip((2, 1, 0), tables):
        buf[index::4] = bytes(buf[index::4]).translate(table)
    data[:] = bytes(buf)
    surface.mark_dirty()


def round_half_even(v):
    return round(v)  # Python rounds halves to even


def fit_mean(surface, target):
    """Shifts the channels until each channel's rounded mean is the target's."""
    original = cairo.ImageSurface(cairo.FORMAT_RGB24, surface.get_width(), surface.get_height())
    cr = cairo.Context(original)
    cr.set_source_surface(surface)
    cr.paint()
    offsets = [0, 0, 0]
    for _ in range(12):
        trial = cairo.ImageSurface(cairo.FORMAT_RGB24, surface.get_width(), surface.get_height())
        cr = cairo.Context(trial)
        cr.set_source_surface(original)
        cr.paint()
        shift_channels(trial, offsets)
        means = channel_means(trial)
        if all(round_half_even(m) == t for m, t in zip(means, target)):
            return trial
        offsets = [o + round_half_even(t - m) if round_half_even(m) != t else o
                   for o, m, t in zip(offsets, means, target)]
    return trial


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--no-optimise", action="store_true")
    parser.add_argument("--contact-sheet", metavar="DIR")
    args = parser.parse_args()
    os.makedirs(OUT, exist_ok=True)
    lines = ["/.system.blank=(0,0,0)"]
    written = []
    for name, target, (w, h), style in PATTERNS:
        rnd = random.Random(name)
        base = tuple(c / 255 for c in target)
        tile = Tile(w, h, base)
        draw_pattern(style, tile, rnd)
        result = fit_mean(tile.surface, target)
        path = os.path.join(OUT, "pattern_%s.png" % name)
        result.write_to_png(path)
        if not args.no_optimise and shutil.which("optipng"):
            subprocess.run(["optipng", "-quiet", "-o2", "-strip", "all", path], check=True)
        check = cairo.ImageSurface.create_from_png(path)
        means = channel_means(check)
        real = tuple(round_half_even(m) for m in means)
        if real != target:
            print("note: %s has mean %s, not %s" % (name, real, target), file=sys.stderr)
        lines.append(".system.%s=(%d,%d,%d)" % ((name,) + real))
        written.append((name, path))
    with open(os.path.join(OUT, "patterns_list.txt"), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(ROOT, "resources", "patterns.gresource.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        f.write("<!-- Background patterns, made by tools/make_patterns.py. Names are looked up as "
                '"/org/orrinex/corvella/<alias>". -->\n')
        f.write("<gresources>\n")
        f.write('  <gresource prefix="/org/orrinex/corvella">\n')
        f.write('    <file alias="PATTERNS_LIST">patterns/patterns_list.txt</file>\n')
        for name, _ in written:
            f.write('    <file alias="pattern_%s">patterns/pattern_%s.png</file>\n' % (name, name))
        f.write("  </gresource>\n</gresources>\n")
    if args.contact_sheet:
        cell = 220
        cols = 6
        rows = (len(written) + cols - 1) // cols
        sheet = cairo.ImageSurface(cairo.FORMAT_RGB24, cols * cell, rows * cell)
        cr = cairo.Context(sheet)
        cr.set_source_rgb(1, 1, 1)
        cr.paint()
        for i, (name, path) in enumerate(written):
            tile = cairo.ImageSurface.create_from_png(path)
            x, y = (i % cols) * cell, (i // cols) * cell
            cr.save()
            cr.rectangle(x + 2, y + 2, cell - 4, cell - 4)
            cr.clip()
            pattern = cairo.SurfacePattern(tile)
            pattern.set_extend(cairo.EXTEND_REPEAT)
            # start the tiles mid-tile so the seams show in the cell
            matrix = cairo.Matrix()
            matrix.translate(tile.get_width() / 2 - x, tile.get_height() / 2 - y)
            pattern.set_matrix(matrix)
            cr.set_source(pattern)
            cr.paint()
            cr.restore()
        sheet.write_to_png(os.path.join(args.contact_sheet, "patterns_contact.png"))


if __name__ == "__main__":
    main()
