#!/usr/bin/python3
"""Renders the program's icon pictures into resources/icons and writes resources/icons.gresource.xml.

Most pictures are glyphs of the Noto Color Emoji font (SIL Open Font License 1.1), rendered with pango and
cairo; the others (arrows, flags, hats, number discs, signs and the program's own icon) are drawn here.
Needs: python3-cairo, python3-gi-cairo, gir1.2-pango-1.0, fonts-noto-color-emoji, fonts-dejavu-core, and for the
optional size optimisation pngquant and optipng. Run from the repository root:

    /usr/bin/python3 tools/make_icons.py [--no-optimise] [--contact-sheet DIR]
"""

import argparse
import colorsys
import math
import os
import shutil
import subprocess
import sys

import cairo
import gi

gi.require_version("Pango", "1.0")
gi.require_version("PangoCairo", "1.0")
from gi.repository import Pango, PangoCairo  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources", "icons")
GRID = 96.0  # drawn pictures use a 96-unit design grid

# --------------------------------------------------------------------------------------------------------------
# helpers


def rgb(hex_colour):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0


def darker(hex_colour, f=0.7):
    r, g, b = rgb(hex_colour)
    return r * f, g * f, b * f


def new_surface(w, h=None):
    return cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h if h is not None else w)


def round_rect(cr, x, y, w, h, r):
    cr.new_sub_path()
    cr.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    cr.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    cr.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    cr.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    cr.close_path()


def fill_stroke(cr, fill, stroke=None, width=3.0):
    cr.set_source_rgb(*rgb(fill))
    if stroke is None:
        cr.fill()
        return
    cr.fill_preserve()
    cr.set_source_rgb(*(rgb(stroke) if isinstance(stroke, str) else stroke))
    cr.set_line_width(width)
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.stroke()


def text(cr, s, family, size, cx, cy, colour, weight="Bold"):
    layout = PangoCairo.create_layout(cr)
    layout.set_font_description(Pango.FontDescription.from_string("%s %s %dpx" % (family, weight, size)))
    layout.set_text(s, -1)
    ink, _ = layout.get_pixel_extents()
    cr.move_to(cx - ink.x - ink.width / 2.0, cy - ink.y - ink.height / 2.0)
    cr.set_source_rgb(*rgb(colour))
    PangoCairo.show_layout(cr, layout)


def alpha_box(surface):
    """The smallest rectangle holding every pixel that is not fully transparent."""
    surface.flush()
    w, h, stride = surface.get_width(), surface.get_height(), surface.get_stride()
    data = surface.get_data()
    xs, ys = [], []
    for y in range(h):
        row = data[y * stride:y * stride + 4 * w]
        alphas = row[3::4]
        hits = [x for x, a in enumerate(alphas) if a > 8]
        if hits:
            ys.append(y)
            xs.append(hits[0])
            xs.append(hits[-1])
    if not xs:
        return 0, 0, w, h
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


EMOJI_CACHE = {}


def emoji_surface(ch):
    """The emoji glyph at the font's own bitmap size, cut to its visible pixels."""
    if ch in EMOJI_CACHE:
        return EMOJI_CACHE[ch]
    big = 200
    s = new_surface(big)
    cr = cairo.Context(s)
    layout = PangoCairo.create_layout(cr)
    layout.set_font_description(Pango.FontDescription.from_string("Noto Color Emoji 109px"))
    layout.set_text(ch, -1)
    if layout.get_unknown_glyphs_count():
        raise SystemExit("no glyph for %r" % ch)
    ink, _ = layout.get_pixel_extents()
    cr.move_to((big - ink.width) / 2.0 - ink.x, (big - ink.height) / 2.0 - ink.y)
    PangoCairo.show_layout(cr, layout)
    x, y, w, h = alpha_box(s)
    cut = new_surface(w, h)
    c2 = cairo.Context(cut)
    c2.set_source_surface(s, -x, -y)
    c2.paint()
    EMOJI_CACHE[ch] = cut
    return cut


def place(cr, src, box_x, box_y, box_side):
    """Paints src uniformly scaled and centred into the square box."""
    w, h = src.get_width(), src.get_height()
    k = box_side / float(max(w, h))
    cr.save()
    cr.translate(box_x + (box_side - w * k) / 2.0, box_y + (box_side - h * k) / 2.0)
    cr.scale(k, k)
    cr.set_source_surface(src, 0, 0)
    cr.get_source().set_filter(cairo.FILTER_BEST)
    cr.paint()
    cr.restore()


def map_pixels(src, fn):
    """A copy of src with fn(r, g, b, a) -> (r, g, b, a) applied to every pixel (unpremultiplied, 0..1)."""
    src.flush()
    w, h = src.get_width(), src.get_height()
    out = new_surface(w, h)
    c = cairo.Context(out)
    c.set_source_surface(src, 0, 0)
    c.paint()
    out.flush()
    stride = out.get_stride()
    data = out.get_data()
    for y in range(h):
        for x in range(w):
            i = y * stride + 4 * x
            b, g, r, a = data[i], data[i + 1], data[i + 2], data[i + 3]
            if a == 0:
                continue
            fa = a / 255.0
            nr, ng, nb, na = fn(r / 255.0 / fa, g / 255.0 / fa, b / 255.0 / fa, fa)
            clamp = lambda v: max(0.0, min(1.0, v))
            na = clamp(na)
            data[i] = int(round(clamp(nb) * na * 255))
            data[i + 1] = int(round(clamp(ng) * na * 255))
            data[i + 2] = int(round(clamp(nr) * na * 255))
            data[i + 3] = int(round(na * 255))
    out.mark_dirty()
    return out


# --------------------------------------------------------------------------------------------------------------
# kinds of pictures: each is a function (side) -> surface


def E(ch, margin=0.04):
    """An emoji glyph filling the square but for a small margin."""
    def render(side):
        s = new_surface(side)
        m = max(1.0, side * margin)
        place(cairo.Context(s), emoji_surface(ch), m, m, side - 2 * m)
        return s
    return render


def D(draw):
    """A picture drawn in the 96-unit grid."""
    def render(side):
        s = new_surface(side)
        cr = cairo.Context(s)
        cr.scale(side / GRID, side / GRID)
        draw(cr)
        return s
    return render


def MAPPED(ch, fn, margin=0.04):
    """An emoji glyph with its colours changed pixel by pixel."""
    cache = {}

    def render(side):
        if "s" not in cache:
            cache["s"] = map_pixels(emoji_surface(ch), fn)
        s = new_surface(side)
        m = max(1.0, side * margin)
        place(cairo.Context(s), cache["s"], m, m, side - 2 * m)
        return s
    return render


def COMPOSE(*parts):
    """Several emoji glyphs, each (glyph, x, y, side) in the 96-unit grid, painted in order."""
    def render(side):
        s = new_surface(side)
        cr = cairo.Context(s)
        k = side / GRID
        for ch, x, y, size in parts:
            place(cr, emoji_surface(ch), x * k, y * k, size * k)
        return s
    return render


def recolour(hue_degrees, value_boost=0.0):
    """Turns the saturated (coloured) pixels to another hue; greys stay."""
    def fn(r, g, b, a):
        h, s, v = colorsys.rgb_to_hsv(r, g, b)
        if s < 0.25:
            return r, g, b, a
        nr, ng, nb = colorsys.hsv_to_rgb(hue_degrees / 360.0, s, min(1.0, v + value_boost))
        return nr, ng, nb, a
    return fn


def switched_off(r, g, b, a):
    grey = 0.3 * r + 0.59 * g + 0.11 * b
    grey = 0.25 + grey * 0.55
    return grey, grey, grey * 1.03, a


# --------------------------------------------------------------------------------------------------------------
# drawn pictures


def arrow_path(cr, points, width):
    cr.set_line_width(width)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.move_to(*points[0])
    for p in points[1:]:
        cr.line_to(*p)


def arrow_head(cr, tip, angle, length=30, spread=0.62):
    x, y = tip
    cr.move_to(x, y)
    cr.line_to(x - length * math.cos(angle - spread), y - length * math.sin(angle - spread))
    cr.line_to(x - length * math.cos(angle + spread), y - length * math.sin(angle + spread))
    cr.close_path()


ARROW_FILL = "#2D8CE0"
ARROW_LINE = "#1A5C9E"


def stroke_arrow(cr, shafts, heads, fill=ARROW_FILL, line=ARROW_LINE):
    """Shafts are point lists, heads (tip, angle). Drawn with a darker rim for light and dark backgrounds."""
    for width, colour in ((20, line), (13, fill)):
        for shaft in shafts:
            if callable(shaft):
                cr.set_line_width(width)
                cr.set_line_cap(cairo.LINE_CAP_ROUND)
                cr.set_line_join(cairo.LINE_JOIN_ROUND)
                shaft(cr)
            else:
                arrow_path(cr, shaft, width)
            cr.set_source_rgb(*rgb(colour))
            cr.stroke()
        for head in heads:
            tip, angle = head[0], head[1]
            length = head[2] if len(head) > 2 else 30
            arrow_head(cr, tip, angle, length + 4 if width == 20 else length)
            cr.set_source_rgb(*rgb(colour))
            if width == 20:
                cr.set_line_width(7)
                cr.set_line_join(cairo.LINE_JOIN_ROUND)
                cr.fill_preserve()
                cr.stroke()
            else:
                cr.fill()


def straight_arrow(angle_degrees):
    a = math.radians(angle_degrees)

    def draw(cr):
        cx, cy, r = 48, 48, 36
        tail = (cx - r * math.cos(a), cy - r * math.sin(a))
        tip = (cx + r * math.cos(a), cy + r * math.sin(a))
        shaft_end = (cx + (r - 20) * math.cos(a), cy + (r - 20) * math.sin(a))
        stroke_arrow(cr, [[tail, shaft_end]], [(tip, a)])
    return draw


def curve(x0, y0, x1, y1, x2, y2, x3, y3):
    def path(cr):
        cr.move_to(x0, y0)
        cr.curve_to(x1, y1, x2, y2, x3, y3)
    return path


def arrow_divide(cr):
    # one way splitting into two, both going on to the right
    stroke_arrow(cr, [[(10, 48), (26, 48)], curve(26, 48, 48, 48, 46, 19, 70, 19),
                      curve(26, 48, 48, 48, 46, 77, 70, 77)],
                 [((90, 19), 0.0, 24), ((90, 77), 0.0, 24)])


def arrow_join(cr):
    # two ways meeting and going on as one
    stroke_arrow(cr, [curve(10, 20, 34, 20, 34, 48, 52, 48), curve(10, 76, 34, 76, 34, 48, 52, 48),
                      [(52, 48), (64, 48)]],
                 [((90, 48), 0.0)])


def arrow_switch(cr):
    stroke_arrow(cr, [[(12, 32), (66, 32)], [(84, 66), (30, 66)]],
                 [((88, 32), 0.0), ((8, 66), math.pi)])


def arrow_turn(left):
    def draw(cr):
        if left:
            cr.translate(96, 0)
            cr.scale(-1, 1)
        # up from the bottom, then a quarter turn to the right
        stroke_arrow(cr, [[(26, 88), (26, 50), (26, 40), (36, 32), (60, 32)]], [((88, 32), 0.0)])
    return draw


def flag_pole(cr):
    round_rect(cr, 14, 8, 8, 84, 4)
    fill_stroke(cr, "#8C8C8C", "#4A4A4A", 2.5)


def hat(colour, band, rim=None):
    def draw(cr):
        rim_colour = rim or darker(colour, 0.55)
        # brim
        cr.save()
        cr.translate(48, 70)
        cr.scale(1, 0.32)
        cr.arc(0, 0, 42, 0, 2 * math.pi)
        cr.restore()
        fill_stroke(cr, colour, rim_colour, 3)
        # crown
        cr.move_to(22, 70)
        cr.curve_to(20, 48, 22, 26, 26, 18)
        cr.curve_to(38, 12, 58, 12, 70, 18)
        cr.curve_to(74, 26, 76, 48, 74, 70)
        cr.curve_to(60, 76, 36, 76, 22, 70)
        cr.close_path()
        fill_stroke(cr, colour, rim_colour, 3)
        # band
        cr.move_to(21.5, 56)
        cr.curve_to(36, 61, 60, 61, 74.5, 56)
        cr.line_to(74.3, 66)
        cr.curve_to(60, 71, 36, 71, 21.7, 66)
        cr.close_path()
        cr.set_source_rgb(*rgb(band))
        cr.fill()
        # a soft highlight on the crown
        cr.move_to(31, 24)
        cr.curve_to(29, 34, 29, 44, 30, 52)
        cr.set_source_rgba(1, 1, 1, 0.35)
        cr.set_line_width(4)
        cr.set_line_cap(cairo.LINE_CAP_ROUND)
        cr.stroke()
    return draw


def number_disc(digit):
    def draw(cr):
        cr.arc(48, 48, 42, 0, 2 * math.pi)
        fill_stroke(cr, "#2F7FD8", "#1B4F8F", 4)
        text(cr, str(digit), "DejaVu Sans", 60, 48, 48, "#FFFFFF")
    return draw


def chart_pie(cr):
    cx, cy, r = 46, 50, 38
    slices = [(0.0, 0.42, "#3A8EE6"), (0.42, 0.72, "#F2A93B"), (0.72, 1.0, "#4CB050")]
    for i, (a0, a1, colour) in enumerate(slices):
        mid = (a0 + a1) * math.pi
        dx, dy = (6 * math.cos(mid - math.pi / 2), 6 * math.sin(mid - math.pi / 2)) if i == 1 else (0, 0)
        cr.move_to(cx + dx, cy + dy)
        cr.arc(cx + dx, cy + dy, r, a0 * 2 * math.pi - math.pi / 2, a1 * 2 * math.pi - math.pi / 2)
        cr.close_path()
        fill_stroke(cr, colour, darker(colour, 0.65), 2.5)


def steering(cr):
    cr.arc(48, 48, 38, 0, 2 * math.pi)
    cr.set_source_rgb(*rgb("#8A8A8A"))
    cr.set_line_width(15)
    cr.stroke_preserve()
    cr.set_source_rgb(*rgb("#3A3A3A"))
    cr.set_line_width(11)
    cr.stroke_preserve()
    cr.set_source_rgb(*rgb("#666666"))
    cr.set_line_width(4)
    cr.stroke()
    for angle in (math.pi, 0, math.pi / 2):
        cr.move_to(48, 52)
        cr.line_to(48 + 36 * math.cos(angle), 52 + 36 * math.sin(angle) - (4 if angle != math.pi / 2 else 0))
    cr.set_source_rgb(*rgb("#3A3A3A"))
    cr.set_line_width(10)
    cr.stroke()
    cr.arc(48, 50, 13, 0, 2 * math.pi)
    fill_stroke(cr, "#9A9A9A", "#3A3A3A", 4)


def calculator(cr):
    round_rect(cr, 18, 6, 60, 84, 9)
    fill_stroke(cr, "#5B6B7A", "#2E3A45", 3)
    round_rect(cr, 25, 13, 46, 18, 3)
    fill_stroke(cr, "#CDE8C4", "#2E3A45", 2)
    text(cr, "42", "DejaVu Sans Mono", 14, 58, 22, "#2E3A45")
    for row in range(4):
        for col in range(3):
            x = 25 + col * 16
            y = 38 + row * 13
            round_rect(cr, x, y, 13, 10, 2.5)
            colour = "#F29D38" if (row == 3 and col == 2) else "#EEF1F4"
            fill_stroke(cr, colour)


def blackboard(cr):
    cr.set_source_rgb(*rgb("#8A5A2B"))
    cr.set_line_width(5)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    for x0, x1 in ((30, 20), (66, 76)):
        cr.move_to(x0, 70)
        cr.line_to(x1, 92)
    cr.stroke()
    round_rect(cr, 6, 12, 84, 60, 4)
    fill_stroke(cr, "#2F5D46", "#8A5A2B", 6)
    cr.set_source_rgb(0.95, 0.95, 0.92)
    cr.set_line_width(3)
    cr.move_to(18, 34)
    cr.curve_to(24, 24, 30, 44, 36, 32)
    cr.move_to(42, 32)
    cr.line_to(52, 32)
    cr.move_to(47, 27)
    cr.line_to(47, 37)
    cr.move_to(18, 54)
    cr.line_to(62, 54)
    cr.move_to(58, 30)
    cr.line_to(76, 30)
    cr.stroke()
    round_rect(cr, 66, 62, 14, 5, 1.5)
    fill_stroke(cr, "#F4F4F0")


def video(cr):
    round_rect(cr, 6, 14, 84, 60, 8)
    fill_stroke(cr, "#3C4650", "#1F262C", 3)
    round_rect(cr, 12, 20, 72, 48, 4)
    fill_stroke(cr, "#D8ECF8")
    cr.arc(48, 44, 17, 0, 2 * math.pi)
    fill_stroke(cr, "#E53935")
    cr.move_to(43, 35)
    cr.line_to(57, 44)
    cr.line_to(43, 53)
    cr.close_path()
    fill_stroke(cr, "#FFFFFF")
    round_rect(cr, 34, 78, 28, 6, 3)
    fill_stroke(cr, "#3C4650")


def tablet(cr):
    round_rect(cr, 16, 4, 64, 88, 9)
    fill_stroke(cr, "#30363C", "#15191D", 2.5)
    gradient = cairo.LinearGradient(0, 12, 0, 80)
    gradient.add_color_stop_rgb(0, *rgb("#6FC3F7"))
    gradient.add_color_stop_rgb(1, *rgb("#2C7BD0"))
    round_rect(cr, 22, 12, 52, 68, 3)
    cr.set_source(gradient)
    cr.fill()
    cr.arc(48, 86, 3, 0, 2 * math.pi)
    fill_stroke(cr, "#8A949E")


def wifi(cr):
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    for r in (64, 44, 24):
        cr.arc(48, 80, r, math.radians(-135), math.radians(-45))
        cr.set_source_rgb(*rgb("#1A5C9E"))
        cr.set_line_width(13)
        cr.stroke_preserve()
        cr.set_source_rgb(*rgb("#2D8CE0"))
        cr.set_line_width(8)
        cr.stroke()
    cr.arc(48, 78, 8, 0, 2 * math.pi)
    fill_stroke(cr, "#2D8CE0", "#1A5C9E", 2.5)


def speech_bubble(cr, fill, rim):
    cr.new_path()
    cr.arc(48, 44, 38, math.radians(120), math.radians(100) + 2 * math.pi)
    cr.line_to(20, 90)
    cr.close_path()
    fill_stroke(cr, fill, rim, 3)


def chat_dots(cr, fill, rim, dots="#FFFFFF"):
    speech_bubble(cr, fill, rim)
    for x in (30, 48, 66):
        cr.arc(x, 44, 6, 0, 2 * math.pi)
        fill_stroke(cr, dots)


def person_silhouette(cr, cx, top, scale, colour):
    cr.arc(cx, top + 10 * scale, 10 * scale, 0, 2 * math.pi)
    cr.set_source_rgb(*rgb(colour))
    cr.fill()
    cr.move_to(cx - 18 * scale, top + 46 * scale)
    cr.curve_to(cx - 18 * scale, top + 26 * scale, cx + 18 * scale, top + 26 * scale, cx + 18 * scale,
                top + 46 * scale)
    cr.close_path()
    cr.fill()


def social_square(fill, rim):
    round_rect_args = (6, 6, 84, 84, 18)

    def frame(cr):
        round_rect(cr, *round_rect_args)
        fill_stroke(cr, fill, rim, 3)
    return frame


def friends(cr):
    social_square("#4267B2", "#2C4A85")(cr)
    person_silhouette(cr, 62, 22, 1.0, "#BFD0F0")
    person_silhouette(cr, 40, 28, 1.15, "#FFFFFF")


def business(cr):
    social_square("#0A66C2", "#084A8C")(cr)
    round_rect(cr, 22, 36, 52, 36, 5)
    fill_stroke(cr, "#FFFFFF")
    round_rect(cr, 38, 26, 20, 14, 4)
    cr.set_source_rgb(1, 1, 1)
    cr.set_line_width(5)
    cr.stroke()
    cr.rectangle(22, 50, 52, 3)
    cr.set_source_rgb(*rgb("#0A66C2"))
    cr.fill()


def circles(cr):
    round_rect(cr, 6, 6, 84, 84, 18)
    fill_stroke(cr, "#DB4437", "#A52E23", 3)
    cr.set_source_rgb(1, 1, 1)
    cr.set_line_width(7)
    for x, y in ((38, 40), (58, 40), (48, 58)):
        cr.arc(x, y, 15, 0, 2 * math.pi)
        cr.stroke()


def sign_disc(fill, rim, with_bar):
    def draw(cr):
        cr.arc(48, 48, 42, 0, 2 * math.pi)
        fill_stroke(cr, fill, rim, 4)
        cr.set_source_rgb(1, 1, 1)
        cr.set_line_width(13)
        cr.set_line_cap(cairo.LINE_CAP_ROUND)
        cr.move_to(25, 48)
        cr.line_to(71, 48)
        if with_bar:
            cr.move_to(48, 25)
            cr.line_to(48, 71)
        cr.stroke()
    return draw


def call_bubble(cr):
    cr.arc(48, 48, 42, 0, 2 * math.pi)
    fill_stroke(cr, "#2AA5E0", "#1B78A8", 3)
    place(cr, emoji_surface("\U0001F4DE"), 22, 22, 52)


def chat_bubble_blue(cr):
    chat_dots(cr, "#55ACEE", "#2F7FB8")


def chat_bubble_green(cr):
    chat_dots(cr, "#35C759", "#23883D")


def cloud_drive(cr):
    place(cr, emoji_surface("\U0001F4C1"), 6, 18, 78)
    place(cr, emoji_surface("\u2601\ufe0f"), 44, 4, 48)


def lighthouse(cr):
    # beams
    cr.move_to(48, 22)
    cr.line_to(4, 8)
    cr.line_to(4, 30)
    cr.close_path()
    cr.move_to(48, 22)
    cr.line_to(92, 8)
    cr.line_to(92, 30)
    cr.close_path()
    cr.set_source_rgba(*rgb("#FFD54A"), 0.75)
    cr.fill()
    # tower
    cr.move_to(36, 90)
    cr.line_to(40, 34)
    cr.line_to(56, 34)
    cr.line_to(60, 90)
    cr.close_path()
    fill_stroke(cr, "#F4F4F4", "#5A5A5A", 2.5)
    for y0, y1 in ((44, 54), (64, 74)):
        k0 = (y0 - 34) / 56.0
        k1 = (y1 - 34) / 56.0
        cr.move_to(40 - 4 * k0, y0)
        cr.line_to(56 + 4 * k0, y0)
        cr.line_to(56 + 4 * k1, y1)
        cr.line_to(40 - 4 * k1, y1)
        cr.close_path()
        cr.set_source_rgb(*rgb("#E53935"))
        cr.fill()
    cr.move_to(36, 90)
    cr.line_to(40, 34)
    cr.line_to(56, 34)
    cr.line_to(60, 90)
    cr.close_path()
    cr.set_source_rgb(*rgb("#5A5A5A"))
    cr.set_line_width(2.5)
    cr.stroke()
    # lamp room and roof
    round_rect(cr, 40, 16, 16, 18, 2)
    fill_stroke(cr, "#FFE07A", "#5A5A5A", 2.5)
    cr.move_to(36, 17)
    cr.line_to(48, 6)
    cr.line_to(60, 17)
    cr.close_path()
    fill_stroke(cr, "#C62828", "#7A1A1A", 2.5)
    # ground
    round_rect(cr, 24, 86, 48, 8, 3)
    fill_stroke(cr, "#7A7A7A", "#4A4A4A", 2)


def funnel(cr):
    cr.move_to(8, 12)
    cr.line_to(88, 12)
    cr.line_to(56, 50)
    cr.line_to(56, 82)
    cr.line_to(40, 90)
    cr.line_to(40, 50)
    cr.close_path()
    fill_stroke(cr, "#4F9BE8", "#24609E", 4)
    cr.move_to(18, 18)
    cr.line_to(78, 18)
    cr.set_source_rgba(1, 1, 1, 0.5)
    cr.set_line_width(3)
    cr.stroke()


def pocket_knife(cr):
    # blade
    cr.move_to(30, 38)
    cr.line_to(86, 14)
    cr.curve_to(80, 30, 66, 40, 50, 46)
    cr.close_path()
    fill_stroke(cr, "#D7DEE3", "#66737D", 2.5)
    # corkscrew
    cr.set_source_rgb(*rgb("#66737D"))
    cr.set_line_width(4)
    cr.move_to(62, 62)
    for i in range(4):
        cr.curve_to(68 + 6 * i, 56 - 4 * i, 74 + 6 * i, 70 - 4 * i, 74 + 6 * i, 60 - 4 * i)
    cr.stroke()
    # body
    round_rect(cr, 8, 44, 64, 26, 13)
    fill_stroke(cr, "#D32F2F", "#8E1B1B", 3)
    cr.arc(20, 57, 4, 0, 2 * math.pi)
    cr.arc(60, 57, 4, 0, 2 * math.pi)
    fill_stroke(cr, "#D7DEE3", "#8E1B1B", 1.5)
    cr.move_to(26, 50)
    cr.line_to(54, 50)
    cr.set_source_rgba(1, 1, 1, 0.4)
    cr.set_line_width(3)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.stroke()


def milestone(cr):
    cr.move_to(48, 6)
    cr.line_to(90, 48)
    cr.line_to(48, 90)
    cr.line_to(6, 48)
    cr.close_path()
    fill_stroke(cr, "#F29D38", "#A85F12", 5)
    cr.move_to(48, 22)
    cr.line_to(74, 48)
    cr.line_to(48, 74)
    cr.line_to(22, 48)
    cr.close_path()
    cr.set_source_rgba(1, 1, 1, 0.35)
    cr.fill()


def heraldic_cross(cr):
    cr.move_to(12, 8)
    cr.line_to(84, 8)
    cr.line_to(84, 44)
    cr.curve_to(84, 70, 62, 84, 48, 92)
    cr.curve_to(34, 84, 12, 70, 12, 44)
    cr.close_path()
    fill_stroke(cr, "#C62828", "#6E1111", 4)
    # a cross whose arms widen towards their ends
    cr.move_to(42, 44)
    for a in range(4):
        ang = a * math.pi / 2
        c, s = math.cos(ang), math.sin(ang)

        def pt(u, v):
            return 48 + u * c - v * s, 46 + u * s + v * c
        cr.line_to(*pt(-6, -6))
        cr.line_to(*pt(-15, -28))
        cr.line_to(*pt(15, -28))
        cr.line_to(*pt(6, -6))
    cr.close_path()
    fill_stroke(cr, "#F7C948", "#9C7412", 2.5)


def unbalance(cr):
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    # stand
    cr.move_to(26, 88)
    cr.line_to(70, 88)
    cr.set_source_rgb(*rgb("#4A6073"))
    cr.set_line_width(8)
    cr.stroke()
    cr.move_to(48, 86)
    cr.line_to(48, 20)
    cr.set_line_width(7)
    cr.stroke()
    # tilted beam
    angle = math.radians(18)
    lx, ly = 48 - 36 * math.cos(angle), 24 + 36 * math.sin(angle)
    rx, ry = 48 + 36 * math.cos(angle), 24 - 36 * math.sin(angle)
    cr.move_to(lx, ly)
    cr.line_to(rx, ry)
    cr.set_line_width(6)
    cr.stroke()
    cr.arc(48, 22, 6, 0, 2 * math.pi)
    fill_stroke(cr, "#F2B53B", "#4A6073", 2)
    for x, y in ((lx, ly), (rx, ry)):
        cr.move_to(x, y)
        cr.line_to(x - 14, y + 26)
        cr.move_to(x, y)
        cr.line_to(x + 14, y + 26)
        cr.set_source_rgb(*rgb("#4A6073"))
        cr.set_line_width(2.5)
        cr.stroke()
        cr.move_to(x - 18, y + 26)
        cr.curve_to(x - 14, y + 40, x + 14, y + 40, x + 18, y + 26)
        cr.close_path()
        fill_stroke(cr, "#8FB3D1", "#4A6073", 3)


def dead_end(cr):
    round_rect(cr, 8, 8, 80, 80, 10)
    fill_stroke(cr, "#1F5FBF", "#FFFFFF", 5)
    round_rect(cr, 8, 8, 80, 80, 10)
    cr.set_source_rgb(*rgb("#123A75"))
    cr.set_line_width(1.5)
    cr.stroke()
    cr.rectangle(40, 34, 16, 44)
    fill_stroke(cr, "#FFFFFF")
    cr.rectangle(24, 20, 48, 14)
    fill_stroke(cr, "#E53935")


def server(cr):
    for i in range(3):
        y = 8 + i * 28
        round_rect(cr, 12, y, 72, 24, 4)
        fill_stroke(cr, "#56626E", "#2A3138", 2.5)
        cr.arc(24, y + 12, 4, 0, 2 * math.pi)
        fill_stroke(cr, "#5BE37D")
        for k in range(4):
            cr.rectangle(46 + k * 8, y + 6, 4, 12)
        cr.set_source_rgb(*rgb("#2A3138"))
        cr.fill()


def database(cr):
    for i in (2, 1, 0):
        top = 14 + i * 24
        cr.save()
        cr.translate(48, top + 24)
        cr.scale(1, 0.3)
        cr.arc(0, 0, 36, 0, math.pi)
        cr.restore()
        cr.line_to(12, top)
        cr.line_to(84, top)
        cr.close_path()
        fill_stroke(cr, "#3D7DCA", "#1F4E85", 3)
    cr.save()
    cr.translate(48, 14)
    cr.scale(1, 0.3)
    cr.arc(0, 0, 36, 0, 2 * math.pi)
    cr.restore()
    fill_stroke(cr, "#79A9E3", "#1F4E85", 3)


def error_disc(cr):
    cr.arc(48, 48, 42, 0, 2 * math.pi)
    fill_stroke(cr, "#E53935", "#9E1F1C", 4)
    cr.set_source_rgb(1, 1, 1)
    cr.set_line_width(12)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.move_to(32, 32)
    cr.line_to(64, 64)
    cr.move_to(64, 32)
    cr.line_to(32, 64)
    cr.stroke()


def missing(cr):
    round_rect(cr, 8, 8, 80, 80, 8)
    fill_stroke(cr, "#F2F2F2", "#8A8A8A", 4)
    cr.set_dash([8, 6])
    round_rect(cr, 18, 18, 60, 60, 4)
    cr.set_source_rgb(*rgb("#B0B0B0"))
    cr.set_line_width(3)
    cr.stroke()
    cr.set_dash([])
    text(cr, "?", "DejaVu Sans", 54, 48, 49, "#D83A34")


def voice_memo(cr):
    cr.arc(48, 48, 44, 0, 2 * math.pi)
    fill_stroke(cr, "#F0592A", "#A83A17", 3)
    cr.set_source_rgb(1, 1, 1)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.set_line_width(9)
    for x, h in ((24, 14), (36, 34), (48, 50), (60, 30), (72, 18)):
        cr.move_to(x, 48 - h / 2.0)
        cr.line_to(x, 48 + h / 2.0)
    cr.stroke()


def corvella(cr, side_units=GRID):
    # the program's own mark: a small map of topics on a teal tile
    gradient = cairo.LinearGradient(0, 0, 0, 96)
    gradient.add_color_stop_rgb(0, *rgb("#2AA0C0"))
    gradient.add_color_stop_rgb(1, *rgb("#176B86"))
    round_rect(cr, 4, 4, 88, 88, 20)
    cr.set_source(gradient)
    cr.fill_preserve()
    cr.set_source_rgb(*rgb("#0F4F63"))
    cr.set_line_width(2)
    cr.stroke()
    # branches from the central topic to four topics, two on each side
    nodes = [(12, 22, "#FFC94A"), (12, 62, "#9CCC65"), (62, 22, "#FF8A65"), (62, 62, "#4FC3F7")]
    cr.set_source_rgb(1, 1, 1)
    cr.set_line_width(4)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    for x, y, _ in nodes:
        ex = x + 22 if x < 48 else x
        cr.move_to(48, 48)
        cr.curve_to((48 + ex) / 2.0, 48, (48 + ex) / 2.0, y + 6, ex, y + 6)
    cr.stroke()
    for x, y, colour in nodes:
        round_rect(cr, x, y, 22, 12, 6)
        fill_stroke(cr, colour, "#FFFFFF", 2.5)
    round_rect(cr, 26, 36, 44, 24, 8)
    fill_stroke(cr, "#FFFFFF", "#0F4F63", 2)
    cr.set_source_rgb(*rgb("#176B86"))
    cr.set_line_width(4)
    cr.move_to(35, 45)
    cr.line_to(61, 45)
    cr.move_to(35, 52)
    cr.line_to(53, 52)
    cr.stroke()


# --------------------------------------------------------------------------------------------------------------
# the pictures

RED_FLAG = "\U0001F6A9"

FLAT = {
    "ok": E("\u2705"), "delete": E("\u274C"), "todo": E("\U0001F4CB"), "time": E("\u23F0"),
    "hourglass": E("\u23F3"), "calendar": E("\U0001F4C5"), "bell": E("\U0001F514"), "question": E("\u2753"),
    "information": E("\u2139\ufe0f"), "warning": E("\u26A0\ufe0f"), "high_priority": E("\u2757"),
    "create": E("\u2728"), "favorite": E("\u2B50"), "target": E("\U0001F3AF"),
    "green_flag": MAPPED(RED_FLAG, recolour(125, -0.22)), "yellow_flag": MAPPED(RED_FLAG, recolour(48, 0.15)),
    "red_flag": E(RED_FLAG), "finish_flag": E("\U0001F3C1"), "plus": D(sign_disc("#43A047", "#2A6B2D", True)),
    "minus": D(sign_disc("#E53935", "#9E1F1C", False)),
    "key": E("\U0001F511"), "lock": E("\U0001F512"), "unlock": E("\U0001F513"), "trash": E("\U0001F5D1\ufe0f"),
    "thumbs_up": E("\U0001F44D"), "thumbs_down": E("\U0001F44E"), "handshake": E("\U0001F91D"),
    "arrow_up": D(straight_arrow(-90)), "arrow_down": D(straight_arrow(90)), "arrow_left": D(straight_arrow(180)),
    "arrow_right": D(straight_arrow(0)), "arrow_divide": D(arrow_divide), "arrow_join": D(arrow_join),
    "emoticon_happy": E("\U0001F600"), "emoticon_lol": E("\U0001F602"), "emoticon_wink": E("\U0001F609"),
    "neutral": E("\U0001F610"), "emoticon_sad": E("\U0001F61F"), "emoticon_crying": E("\U0001F622"),
    "emoticon_heart": E("\U0001F60D"), "cake": E("\U0001F382"), "party_baloon": E("\U0001F388"),
    "user_male": E("\U0001F468"), "user_male_2": E("\U0001F9D4"), "user_female": E("\U0001F469"),
    "user_female_2": E("\U0001F471\u200D\u2640\ufe0f"), "graduation_cap": E("\U0001F393"),
    "user_officer": E("\U0001F46E"), "user_finance": E("\U0001F9D1\u200D\U0001F4BC"), "user_worker": E("\U0001F477"),
    "car": E("\U0001F697"), "truck": E("\U0001F69A"), "airplane": E("\u2708\ufe0f"), "compass": E("\U0001F9ED"),
    "steering": D(steering), "anchor": E("\u2693"), "find": E("\U0001F50D"), "wall": E("\U0001F9F1"),
    "hammer": E("\U0001F528"), "sword": E("\U0001F5E1\ufe0f"), "crown": E("\U0001F451"), "bang": E("\U0001F4A5"),
    "award": E("\U0001F3C5"), "light_on": E("\U0001F4A1"), "light_off": MAPPED("\U0001F4A1", switched_off),
    "balance": E("\u2696\ufe0f"), "banknotes": E("\U0001F4B5"), "coins": E("\U0001FA99"),
    "shopping_cart": E("\U0001F6D2"), "chart_pie": D(chart_pie), "chart_bar": E("\U0001F4CA"),
    "chart_up": E("\U0001F4C8"), "chart_down": E("\U0001F4C9"), "pencil": E("\u270F\ufe0f"),
    "measure": E("\U0001F4CF"), "calculator": D(calculator), "cut": E("\u2702\ufe0f"), "blackboard": D(blackboard),
    "book_open": E("\U0001F4D6"), "film": E("\U0001F39E\ufe0f"), "youtube": D(video), "music": E("\U0001F3B5"),
    "microphone": E("\U0001F3A4"), "camera": E("\U0001F4F7"), "tablet": D(tablet), "laptop": E("\U0001F4BB"),
    "home": E("\U0001F3E0"), "shop": E("\U0001F3EA"), "clinic": E("\U0001F3E5"), "pill": E("\U0001F48A"),
    "football": E("\u26BD"), "sport": E("\U0001F3C0"), "running": E("\U0001F3C3"), "id_card": E("\U0001FAAA"),
    "phone": E("\u260E\ufe0f"), "email": E("\U0001F4E7"), "attach": E("\U0001F4CE"), "folder": E("\U0001F4C1"),
    "document": E("\U0001F4C4"), "note": E("\U0001F5D2\ufe0f"), "tools": E("\U0001F6E0\ufe0f"),
    "puzzle": E("\U0001F9E9"), "gift": E("\U0001F381"), "roadworks": E("\U0001F6A7"), "recycle": E("\u267B\ufe0f"),
    "globe": E("\U0001F30D"), "wine": E("\U0001F377"), "coffee": E("\u2615"), "food": E("\U0001F37D\ufe0f"),
    "chili_pepper": E("\U0001F336\ufe0f"), "tree": E("\U0001F333"), "clover": E("\U0001F340"),
    "cat": E("\U0001F431"), "dog": E("\U0001F436"), "bird": E("\U0001F426"), "bug": E("\U0001F41B"),
    "bumblebee": E("\U0001F41D"), "dolphin": E("\U0001F42C"), "elephant": E("\U0001F418"),
    "ladybird": E("\U0001F41E"), "lion": E("\U0001F981"), "owl": E("\U0001F989"), "snail": E("\U0001F40C"),
    "alligator": E("\U0001F40A"), "flower": E("\U0001F337"), "summer": E("\u2600\ufe0f"),
    "autumn": E("\U0001F342"), "winter": E("\u2744\ufe0f"), "cloud": E("\u2601\ufe0f"),
    "partly_cloudy": E("\u26C5"), "rain": E("\U0001F327\ufe0f"), "dry": E("\U0001F335"),
    "dropbox": E("\U0001F4E6"), "google_drive": D(cloud_drive), "facebook": D(friends),
    "twitter": D(chat_bubble_blue), "linkedin": D(business), "skype": D(call_bubble), "google_plus": D(circles),
    "instagram": E("\U0001F4F8"), "pinterest": E("\U0001F4CC"), "whatsapp": D(chat_bubble_green),
    "snapchat": E("\U0001F47B"), "print": E("\U0001F5A8\ufe0f"), "wifi": D(wifi),
    "black_hat": D(hat("#2B2B2B", "#555555", rim="#9A9A9A")), "blue_hat": D(hat("#2F6FD6", "#173E7E")),
    "green_hat": D(hat("#3AA13A", "#1E5E1E")), "red_hat": D(hat("#D93A2B", "#7E1A12")),
    "white_hat": D(hat("#FAFAFA", "#BDBDBD", rim="#6E6E6E")), "yellow_hat": D(hat("#F5C518", "#9C7A06")),
    "apple_fruit": E("\U0001F34E"), "pear": E("\U0001F350"), "banana": E("\U0001F34C"),
    "lighthouse": D(lighthouse), "sea_waves": E("\U0001F30A"), "alps": E("\U0001F3D4\ufe0f"),
    "campfire": E("\U0001F525"), "swimming": E("\U0001F3CA"), "kicking": E("\U0001F94B"),
    "family": COMPOSE(("\U0001F468", 0, 2, 58), ("\U0001F469", 38, 2, 58), ("\U0001F467", 22, 40, 54)),
    "boy": E("\U0001F466"), "girl": E("\U0001F467"),
    "children": COMPOSE(("\U0001F467", 2, 14, 62), ("\U0001F466", 32, 20, 62)), "baby": E("\U0001F476"),
    "briefcase": E("\U0001F4BC"), "cabinet": E("\U0001F5C4\ufe0f"), "filter": D(funnel),
    "firewall": COMPOSE(("\U0001F9F1", 2, 2, 80), ("\U0001F525", 46, 40, 50)), "shield": E("\U0001F6E1\ufe0f"),
    "swiss_knife": D(pocket_knife), "thermometer": E("\U0001F321\ufe0f"), "water": E("\U0001F4A7"),
    "construction": E("\U0001F3D7\ufe0f"), "axe": E("\U0001FA93"), "traffic_lights": E("\U0001F6A6"),
}
for digit in range(10):
    FLAT["circled_%d" % digit] = D(number_disc(digit))

# legacy pictures by resource name (without "_png")
LEGACY = {
    "tick": FLAT["ok"], "delete": FLAT["delete"], "cogwheels": E("\u2699\ufe0f"), "clock": E("\U0001F552"),
    "question": FLAT["question"], "exclamation": E("\u2757"), "information": FLAT["information"],
    "warning": FLAT["warning"], "error": D(error_disc), "denied": E("\U0001F6AB"), "create": FLAT["create"],
    "favorite": FLAT["favorite"], "target": FLAT["target"], "green_flag": FLAT["green_flag"],
    "yellow_flag": FLAT["yellow_flag"], "red_flag": FLAT["red_flag"], "plus": FLAT["plus"], "minus": FLAT["minus"],
    "key": FLAT["key"], "lock": FLAT["lock"], "user_male": FLAT["user_male"], "user_female": FLAT["user_female"],
    "user_group": E("\U0001F465"), "user_finance": FLAT["user_finance"], "user_officer": FLAT["user_officer"],
    "user_worker": FLAT["user_worker"], "user_student": E("\U0001F9D1\u200D\U0001F393"),
    "thumbs_up": FLAT["thumbs_up"], "thumbs_down": FLAT["thumbs_down"], "handshake": FLAT["handshake"],
    "arrow_up": FLAT["arrow_up"], "arrow_down": FLAT["arrow_down"], "arrow_left": FLAT["arrow_left"],
    "arrow_right": FLAT["arrow_right"], "arrow_divide": FLAT["arrow_divide"], "arrow_join": FLAT["arrow_join"],
    "arrow_switch": D(arrow_switch), "arrow_turn_left": D(arrow_turn(True)),
    "arrow_turn_right": D(arrow_turn(False)), "wall": FLAT["wall"], "emotion_smile": E("\U0001F642"),
    "emotion_grin": E("\U0001F601"), "emotion_wink": FLAT["emoticon_wink"], "emoticon_oops": E("\U0001F633"),
    "emotion_angry": E("\U0001F620"), "emotion_too_sad": E("\U0001F62D"), "cake": FLAT["cake"],
    "steering": FLAT["steering"], "anchor": FLAT["anchor"], "find": FLAT["find"], "chart_bar": FLAT["chart_bar"],
    "chart_pie": FLAT["chart_pie"], "chart_up": FLAT["chart_up"], "chart_down": FLAT["chart_down"],
    "milestone": D(milestone), "bomb": E("\U0001F4A3"), "ax": FLAT["axe"], "sword": FLAT["sword"],
    "crown": FLAT["crown"], "heraldic_cross": D(heraldic_cross), "award": FLAT["award"],
    "rosette": E("\U0001F3F5\ufe0f"), "light_on": FLAT["light_on"], "light_off": FLAT["light_off"],
    "balance": FLAT["balance"], "unbalance": D(unbalance), "home": FLAT["home"], "shop": FLAT["shop"],
    "money": E("\U0001F4B0"), "basket": E("\U0001F9FA"), "books": E("\U0001F4DA"), "book_open": FLAT["book_open"],
    "blackboard": FLAT["blackboard"], "film": FLAT["film"], "music": FLAT["music"], "sound": E("\U0001F50A"),
    "sport": FLAT["sport"], "pill": FLAT["pill"], "measure": FLAT["measure"], "mathematics": E("\U0001F9EE"),
    "computer": E("\U0001F5A5\ufe0f"), "laptop": FLAT["laptop"], "ipad": FLAT["tablet"], "server": D(server),
    "database": D(database), "phone": FLAT["phone"], "camera": FLAT["camera"], "email": FLAT["email"],
    "attach": FLAT["attach"], "mail": E("\u2709\ufe0f"), "bug": FLAT["bug"], "shield": FLAT["shield"],
    "puzzle": FLAT["puzzle"], "construction": FLAT["construction"], "roadworks": FLAT["roadworks"],
    "dead_end": D(dead_end), "traffic_lights": FLAT["traffic_lights"], "recycle": FLAT["recycle"],
    "calendar": FLAT["calendar"], "cloud": FLAT["cloud"],
}

# other pictures: resource name -> (file, picture, side)
OTHERS = {
    "missing_32_png": ("missing_32.png", D(missing), 32),
    "voice_memo_icon_png": ("voice_memo_icon.png", D(voice_memo), 32),
    "link_png": ("link.png", E("\U0001F517"), 32),
    "corvella_icon_128": ("corvella_icon_128.png", D(corvella), 128),
}

# --------------------------------------------------------------------------------------------------------------


def write(surface, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    surface.write_to_png(path)


def optimise(paths):
    if shutil.which("pngquant"):
        subprocess.run(["pngquant", "--force", "--skip-if-larger", "--speed", "1", "--quality", "85-100",
                        "--ext", ".png", "--strip"] + paths, check=False)
    if shutil.which("optipng"):
        subprocess.run(["optipng", "-quiet", "-o5", "-strip", "all"] + paths, check=True)


def contact_sheet(entries, path, background):
    """entries: (label, surfaces); one cell of 156 x 116 pixels each, the pictures side by side."""
    cols = 12
    rows = (len(entries) + cols - 1) // cols
    sheet = new_surface(cols * 156, rows * 116)
    cr = cairo.Context(sheet)
    cr.set_source_rgb(*rgb(background))
    cr.paint()
    dark = sum(rgb(background)) < 1.5
    for i, (label, surfaces) in enumerate(entries):
        x, y = (i % cols) * 156, (i // cols) * 116
        left = x + 4
        for s in surfaces:
            cr.set_source_surface(s, left, y + 4 + (96 - s.get_height()) / 2.0)
            cr.paint()
            left += s.get_width() + 4
        layout = PangoCairo.create_layout(cr)
        layout.set_font_description(Pango.FontDescription.from_string("DejaVu Sans 8px"))
        layout.set_text(label[:20], -1)
        cr.move_to(x + 4, y + 102)
        cr.set_source_rgb(*((0.85, 0.85, 0.85) if dark else (0.2, 0.2, 0.2)))
        PangoCairo.show_layout(cr, layout)
    sheet.write_to_png(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--no-optimise", action="store_true")
    parser.add_argument("--contact-sheet", metavar="DIR")
    args = parser.parse_args()

    files = []  # (alias, path relative to resources/)
    written = []
    sheet = []
    for word, render in FLAT.items():
        pair = []
        for side in (96, 48):
            name = "ic8_%d_%s" % (side, word)
            rel = "icons/flat/%s.png" % name
            s = render(side)
            write(s, os.path.join(ROOT, "resources", rel))
            files.append((name, rel))
            written.append(os.path.join(ROOT, "resources", rel))
            pair.append(s)
        sheet.append((word, pair))
    for name, render in LEGACY.items():
        rel = "icons/legacy/%s.png" % name
        s = render(32)
        write(s, os.path.join(ROOT, "resources", rel))
        files.append((name + "_png", rel))
        written.append(os.path.join(ROOT, "resources", rel))
        sheet.append(("v1 " + name, [s]))
    for alias, (file_name, render, side) in OTHERS.items():
        rel = "icons/%s" % file_name
        s = render(side)
        write(s, os.path.join(ROOT, "resources", rel))
        files.append((alias, rel))
        written.append(os.path.join(ROOT, "resources", rel))
        sheet.append((alias, [s]))

    if not args.no_optimise:
        optimise(written)

    with open(os.path.join(ROOT, "resources", "icons.gresource.xml"), "w") as xml:
        xml.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        xml.write("<!-- The program's icon pictures, made by tools/make_icons.py (see LICENSES.md). -->\n")
        xml.write("<gresources>\n  <gresource prefix=\"/org/orrinex/corvella\">\n")
        for alias, rel in sorted(files):
            xml.write('    <file alias="%s">%s</file>\n' % (alias, rel))
        xml.write("  </gresource>\n</gresources>\n")

    if args.contact_sheet:
        # the sheet shows the files as written, after optimisation
        by_surface = dict(zip((id(s) for _, group in sheet for s in group), written))
        from_files = [(label, [cairo.ImageSurface.create_from_png(by_surface[id(s)]) for s in group])
                      for label, group in sheet]
        for background, suffix in (("#FFFFFF", "light"), ("#1E1E1E", "dark")):
            contact_sheet(from_files, os.path.join(args.contact_sheet, "contact_%s.png" % suffix), background)
    total = sum(os.path.getsize(p) for p in written)
    print("%d pictures, %.1f KiB" % (len(written), total / 1024.0), file=sys.stderr)


if __name__ == "__main__":
    main()
