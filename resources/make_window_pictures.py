#!/usr/bin/env python3
"""Draws the window's pictures and writes them as PNG files next to this script.

    python3 resources/make_window_pictures.py

Standard library only, so the pictures can be remade on any machine:

  icons/bulkon-16.png ... -256    the program icon: stacked bars of decreasing length (the
                                  largest files first) under a magnifier; true colour with
                                  alpha, at every size in ICON_SIZES
  icons/bulkon.svg                the same icon, scalable
  glyphs/STOP.png, ORDNER.png     the button's glyphs at 24 x 24 on a magenta background; the
                                  window makes the bottom-left pixel's colour transparent, so
                                  the edges are drawn hard (a blended edge pixel would show
                                  a pink fringe)
  animation/152.png               the busy clip: 8 frames of 16 x 16 side by side (128 x 16),
                                  a ring of dots with a head that runs clockwise
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Sub-samples per pixel and axis when measuring how much of a pixel a shape covers.
SUPERSAMPLING = 8

MAGENTA = (255, 0, 255)


def hex_colour(text, alpha=1.0):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


# The program's blue, with a darker and a lighter tone for depth.
BLUE_DARK = "#1F3F86"
BLUE_DEEP = "#2F5BB7"
BLUE = "#4976D3"
BLUE_LIGHT = "#7C9FE3"
BLUE_PALE = "#B9CCF2"


class Canvas:
    """A picture of straight (not premultiplied) RGBA floats, 0..1."""

    def __init__(self, width, height, background=None, scale=1):
        """`width` and `height` in design pixels; the picture has `scale` times as many
        pixels each way (2 for screens scaled to 200 %), and every shape, box and set
        pixel is given in design pixels."""
        self.scale = scale
        width *= scale
        height *= scale
        self.width = width
        self.height = height
        fill = [0.0, 0.0, 0.0, 0.0]
        if background is not None:
            fill = [background[0] / 255, background[1] / 255, background[2] / 255, 1.0]
        self.pixels = [[list(fill) for _ in range(width)] for _ in range(height)]

    def coverage(self, inside, x, y):
        n = SUPERSAMPLING
        hits = 0
        for sy in range(n):
            for sx in range(n):
                if inside(x + (sx + 0.5) / n, y + (sy + 0.5) / n):
                    hits += 1
        return hits / (n * n)

    def paint(self, inside, colour, hard=False, box=None):
        """Paints `colour` where `inside(x, y)` holds, in continuous pixel coordinates.

        hard: a pixel is painted fully when the shape covers at least half of it, or not
        at all; used where a background colour is keyed out later.
        """
        r, g, b, a = colour[0] / 255, colour[1] / 255, colour[2] / 255, colour[3]
        if self.scale != 1:
            design, k = inside, self.scale
            inside = lambda x, y: design(x / k, y / k)
            box = tuple(v * k for v in box) if box else None
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                cover = self.coverage(inside, x, y)
                if hard:
                    cover = 1.0 if cover >= 0.5 else 0.0
                if cover <= 0.0:
                    continue
                self.blend(x, y, r, g, b, a * cover)

    def blend(self, x, y, r, g, b, a):
        dst = self.pixels[y][x]
        out_a = a + dst[3] * (1 - a)
        if out_a <= 0:
            return
        for i, src in enumerate((r, g, b)):
            dst[i] = (src * a + dst[i] * dst[3] * (1 - a)) / out_a
        dst[3] = out_a

    def set(self, x, y, colour):
        for dy in range(self.scale):
            for dx in range(self.scale):
                self.pixels[y * self.scale + dy][x * self.scale + dx] = [
                    colour[0] / 255, colour[1] / 255, colour[2] / 255, colour[3]]

    def paste(self, other, left, top):
        for y in range(other.height):
            for x in range(other.width):
                self.pixels[top + y][left + x] = list(other.pixels[y][x])

    def rows(self, with_alpha):
        for row in self.pixels:
            data = bytearray()
            for r, g, b, a in row:
                data += bytes(round(v * 255) for v in (r, g, b))
                if with_alpha:
                    data.append(round(a * 255))
            yield bytes(data)


def write_png(path, canvas, with_alpha=True):
    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))

    colour_type = 6 if with_alpha else 2
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, colour_type, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in canvas.rows(with_alpha))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(png)


# Shapes: each returns a test inside(x, y) in continuous pixel coordinates.

def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def ring(cx, cy, inner, outer):
    return lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer * outer


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        nx = min(max(x, x0 + radius), x1 - radius)
        ny = min(max(y, y0 + radius), y1 - radius)
        return (x - nx) ** 2 + (y - ny) ** 2 <= radius * radius
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def capsule(ax, ay, bx, by, width):
    """A line from a to b, `width` thick, with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def octagon(cx, cy, half_width):
    """A regular octagon with flat top, bottom and sides, `half_width` from centre to a side."""
    radius = half_width / math.cos(math.pi / 8)
    return polygon([(cx + radius * math.cos(math.pi / 8 + k * math.pi / 4),
                     cy + radius * math.sin(math.pi / 8 + k * math.pi / 4)) for k in range(8)])


def difference(outer, inner):
    return lambda x, y: outer(x, y) and not inner(x, y)


# The program icon.

def program_icon(size):
    """Bars of decreasing length, largest on top, with a magnifier over their ends.

    Drawn in a 32-unit design grid; the bars' edges are snapped to whole pixels at every size
    so that they stay crisp at 16 and 24 pixels.
    """
    scale = size / 32
    snap = lambda v: round(v * scale)
    canvas = Canvas(size, size)

    bars = [(4, 10, 27, BLUE_DEEP), (12, 18, 21, BLUE), (20, 26, 14, BLUE_LIGHT)]
    for top, bottom, right, colour in bars:
        canvas.paint(rounded_rect(snap(3), snap(top), snap(right), snap(bottom), 1.2 * scale),
                     hex_colour(colour))

    cx, cy, lens = 21.5 * scale, 19.5 * scale, 6.6 * scale
    ring_width = max(1.6, 2.4 * scale)
    # A white rim keeps the lens apart from the bars beneath it.
    canvas.paint(circle(cx, cy, lens + max(0.9, 1.1 * scale)), hex_colour("#FFFFFF", 0.9))
    canvas.paint(capsule(cx + lens * 0.62, cy + lens * 0.62, 29.6 * scale, 29.6 * scale,
                         max(2.6, 4.6 * scale) + 1.6 * scale), hex_colour("#FFFFFF", 0.9))
    canvas.paint(circle(cx, cy, lens), hex_colour("#EAF1FD", 0.85))
    # A glint on the glass.
    canvas.paint(ring(cx, cy, lens * 0.45, lens * 0.62),
                 hex_colour("#FFFFFF", 0.9) if size >= 24 else hex_colour("#FFFFFF", 0.0),
                 box=(0, 0, round(cx), round(cy)))
    canvas.paint(ring(cx, cy, lens - ring_width, lens), hex_colour(BLUE_DARK))
    canvas.paint(capsule(cx + lens * 0.72, cy + lens * 0.72, 29.2 * scale, 29.2 * scale,
                         max(2.2, 3.8 * scale)), hex_colour(BLUE_DARK))
    return canvas


def program_icon_svg():
    """The same icon as a scalable picture, in its 32-unit design grid, for desktops that
    draw icons at any size."""
    cx, cy, lens = 21.5, 19.5, 6.6
    ring_width = 2.4
    glint = lens * (0.45 + 0.62) / 2
    bars = "".join(
        '  <rect x="3" y="%g" width="%g" height="%g" rx="1.2" fill="%s"/>\n'
        % (top, right - 3, bottom - top, colour)
        for top, bottom, right, colour in [(4, 10, 27, BLUE_DEEP), (12, 18, 21, BLUE),
                                           (20, 26, 14, BLUE_LIGHT)])
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
        + bars +
        '  <circle cx="%g" cy="%g" r="%g" fill="#FFFFFF" fill-opacity="0.9"/>\n'
        % (cx, cy, lens + 1.1) +
        '  <line x1="%g" y1="%g" x2="29.6" y2="29.6" stroke="#FFFFFF" stroke-opacity="0.9" '
        'stroke-width="6.2" stroke-linecap="round"/>\n' % (cx + lens * 0.62, cy + lens * 0.62) +
        '  <circle cx="%g" cy="%g" r="%g" fill="#EAF1FD" fill-opacity="0.85"/>\n'
        % (cx, cy, lens) +
        '  <path d="M %g %g A %g %g 0 0 1 %g %g" fill="none" stroke="#FFFFFF" '
        'stroke-opacity="0.9" stroke-width="%g"/>\n'
        % (cx - glint, cy, glint, glint, cx, cy - glint, lens * 0.17) +
        '  <circle cx="%g" cy="%g" r="%g" fill="none" stroke="%s" stroke-width="%g"/>\n'
        % (cx, cy, lens - ring_width / 2, BLUE_DARK, ring_width) +
        '  <line x1="%g" y1="%g" x2="29.2" y2="29.2" stroke="%s" stroke-width="3.8" '
        'stroke-linecap="round"/>\n' % (cx + lens * 0.72, cy + lens * 0.72, BLUE_DARK) +
        '</svg>\n')


# The glyphs.

# A 3 x 5 pixel font, just the letters the stop sign needs.
LETTERS = {
    "S": ["###", "#..", "###", "..#", "###"],
    "T": ["###", ".#.", ".#.", ".#.", ".#."],
    "O": ["###", "#.#", "#.#", "#.#", "###"],
    "P": ["###", "#.#", "###", "#..", "#.."],
}


def stop_glyph(scale=1):
    canvas = Canvas(24, 24, background=MAGENTA, scale=scale)
    cx = cy = 11.5
    canvas.paint(octagon(cx, cy, 10.5), hex_colour("#8E1B1B"), hard=True)
    canvas.paint(octagon(cx, cy, 9.5), hex_colour("#D83A34"), hard=True)
    canvas.paint(difference(octagon(cx, cy, 8.5), octagon(cx, cy, 7.5)),
                 hex_colour("#FFFFFF"), hard=True)
    # A lighter upper half gives the plate a little light from above.
    canvas.paint(lambda x, y: y < 10 and octagon(cx, cy, 7.5)(x, y), hex_colour("#E85A50"),
                 hard=True)
    white = hex_colour("#FFFFFF")
    left, top = 4, 9
    for index, letter in enumerate("STOP"):
        for row, pattern in enumerate(LETTERS[letter]):
            for column, mark in enumerate(pattern):
                if mark == "#":
                    canvas.set(left + index * 4 + column, top + row, white)
    return canvas


def folder_glyph(scale=1):
    canvas = Canvas(24, 24, background=MAGENTA, scale=scale)
    outline = hex_colour("#9A6A0E")
    # The back with its tab.
    canvas.paint(rect(2, 4, 10, 8), outline, hard=True)
    canvas.paint(rect(3, 5, 9, 8), hex_colour("#E3A928"), hard=True)
    canvas.paint(rect(2, 6, 22, 20), outline, hard=True)
    canvas.paint(rect(3, 7, 21, 19), hex_colour("#E3A928"), hard=True)
    # A sheet of paper peeking out.
    canvas.paint(rect(5, 8, 19, 12), hex_colour("#B8B8B8"), hard=True)
    canvas.paint(rect(6, 9, 18, 12), hex_colour("#FFFFFF"), hard=True)
    # The front flap, leaning forward.
    canvas.paint(polygon([(4, 11), (23, 11), (21, 20), (2, 20)]), outline, hard=True)
    canvas.paint(polygon([(5, 12), (21.7, 12), (20.2, 19), (3.3, 19)]), hex_colour("#F8CD4E"),
                 hard=True)
    canvas.paint(polygon([(5, 12), (21.7, 12), (21.45, 13), (4.8, 13)]), hex_colour("#FCE08A"),
                 hard=True)
    return canvas


# The busy clip.

def busy_frames(count=8, size=16, scale=1):
    strip = Canvas(size * count, size, scale=scale)
    centre = size / 2
    radius = 5.4
    # The head and the dots behind it, from the head backwards.
    trail = [hex_colour(BLUE_DEEP), hex_colour(BLUE, 0.9), hex_colour(BLUE_LIGHT, 0.8)]
    resting = hex_colour(BLUE_PALE, 0.95)
    for frame in range(count):
        canvas = Canvas(size, size, scale=scale)
        for dot in range(count):
            angle = -math.pi / 2 + dot * 2 * math.pi / count
            x = centre + radius * math.cos(angle)
            y = centre + radius * math.sin(angle)
            behind = (frame - dot) % count
            colour = trail[behind] if behind < len(trail) else resting
            dot_radius = 1.9 if behind == 0 else 1.6
            canvas.paint(circle(x, y, dot_radius), colour)
        strip.paste(canvas, frame * size * scale, 0)
    return strip


# The program icon's sizes: the desktop's menus and docks (16 to 256 pixels, 64 being the
# 32-pixel icon on a screen scaled to 200 %) and the Windows icon's images, where Explorer
# and the taskbar want 20 and 40 pixels at 125 % and 250 % scaling.
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 128, 256)


def main():
    # "@2x" marks the glyphs and the clip drawn at twice their size for screens scaled to
    # 200 %.
    for size in ICON_SIZES:
        write_png(os.path.join(HERE, "icons", "bulkon-%d.png" % size), program_icon(size))
    with open(os.path.join(HERE, "icons", "bulkon.svg"), "w") as svg:
        svg.write(program_icon_svg())
    for scale, suffix in ((1, ""), (2, "@2x")):
        write_png(os.path.join(HERE, "glyphs", "STOP%s.png" % suffix), stop_glyph(scale),
                  with_alpha=False)
        write_png(os.path.join(HERE, "glyphs", "ORDNER%s.png" % suffix), folder_glyph(scale),
                  with_alpha=False)
        write_png(os.path.join(HERE, "animation", "152%s.png" % suffix), busy_frames(scale=scale))


if __name__ == "__main__":
    main()
