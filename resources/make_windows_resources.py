#!/usr/bin/env python3
"""Makes the Windows forms of the window's pictures from the PNG files next to this script.

    python3 resources/make_windows_resources.py

Needs ImageMagick's `convert`. Writes into resources/windows/ (the files are committed, so
a build needs neither this script nor ImageMagick):

  bulkon.ico        the program icon: 16 to 256 pixels (ICON_SIZES), true colour with
                    alpha, 256 as PNG
  STOP.bmp          the button's glyphs, 24 x 24 in 256 colours; the window takes the colour
  ORDNER.bmp        of the bottom-left pixel as transparent
  installer-welcome.bmp   the installer's welcome and finish pages' picture, 164 x 314
  152.avi           the busy clip for the animation control: 16 x 16, 8 frames at 10 frames
                    a second, 8-bit run-length encoded (BI_RLE8); the colour of the first
                    pixel is the one the control draws transparent

and, for screens at 150 % and 200 %, the same pictures at 1.5 and 2 times the size:

  STOP_150.bmp      36 x 36 and 48 x 48, from the PNG pictures at twice the size (the
  STOP_200.bmp      smaller one by taking the nearest pixel, so that the transparent colour
  ORDNER_150.bmp    stays exact)
  ORDNER_200.bmp
  152_150.avi       the busy clip at 24 x 24 and 32 x 32
  152_200.avi

Run make_window_pictures.py first when the PNG pictures themselves change.
"""

import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "windows")

# The panel's colour (the Windows 10 button face): the clip's soft edges are blended onto
# it, so they look right where the control shows them, and it is the transparent colour.
PANEL = (240, 240, 240)

FRAME_SIZE = 16
FRAME_COUNT = 8
FRAMES_PER_SECOND = 10


def convert(*args):
    subprocess.run(["convert", *args], check=True)


def raw_rgba(path):
    """The picture's size and its pixels as rows of (r, g, b, a) tuples."""
    size = subprocess.run(["convert", path, "-format", "%w %h", "info:"], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True,
                          capture_output=True).stdout
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            i = (y * width + x) * 4
            row.append(tuple(data[i:i + 4]))
        rows.append(row)
    return width, height, rows


# The program icon's images: Explorer, the taskbar and the Start menu pick 16, 20, 24, 32, 40,
# 48 or 64 pixels by the screen's scaling, and 256 for large icons. 256 is stored as PNG, as
# Windows expects it; the smaller ones as 32-bit DIBs, which every reader takes.
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def icon_dib(path):
    """A 32-bit BGRA DIB with its 1-bit AND mask, as an ICO entry holds it."""
    width, height, rows = raw_rgba(path)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = (width + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return info + colour + bytes(mask)


def icon():
    images = []
    for size in ICON_SIZES:
        path = os.path.join(HERE, "icons", "bulkon-%d.png" % size)
        if size >= 256:
            with open(path, "rb") as png:
                images.append((size, png.read()))
        else:
            images.append((size, icon_dib(path)))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for size, data in images:
        # A width or height of 256 is written as 0.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data),
                               offset)
        offset += len(data)
    with open(os.path.join(OUT, "bulkon.ico"), "wb") as out:
        out.write(header + entries + b"".join(data for _, data in images))


def bmp8(path, width, height, rows):
    """An uncompressed 8-bit DIB file of opaque pixels (256 colours at most)."""
    palette = []
    index_of = {}
    stride = (width + 3) // 4 * 4
    bits = bytearray()
    for y in reversed(range(height)):
        line = bytearray()
        for x in range(width):
            colour = rows[y][x][:3]
            if colour not in index_of:
                index_of[colour] = len(palette)
                palette.append(colour)
            line.append(index_of[colour])
        bits += line + bytes(stride - width)
    if len(palette) > 256:
        raise SystemExit("%s has %d colours; an 8-bit bitmap holds 256" % (path, len(palette)))
    palette += [(0, 0, 0)] * (256 - len(palette))
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(colours)
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", offset + len(bits), 0, 0, offset))
        out.write(info + colours + bits)


def glyphs():
    for name in ("STOP", "ORDNER"):
        width, height, rows = raw_rgba(os.path.join(HERE, "glyphs", name + ".png"))
        bmp8(os.path.join(OUT, name + ".bmp"), width, height, rows)


def blend(pixel):
    r, g, b, a = pixel
    return tuple((c * a + p * (255 - a) + 127) // 255 for c, p in zip((r, g, b), PANEL))


def rle8_row(indices):
    """One row in BI_RLE8: runs of (count, index), then the end-of-line mark."""
    out = bytearray()
    i = 0
    while i < len(indices):
        run = 1
        while i + run < len(indices) and indices[i + run] == indices[i] and run < 255:
            run += 1
        out += bytes((run, indices[i]))
        i += run
    out += b"\x00\x00"
    return out


def frames_rle8(picture=None, frame_size=FRAME_SIZE):
    width, height, rows = raw_rgba(picture or os.path.join(HERE, "animation", "152.png"))
    assert width == frame_size * FRAME_COUNT and height == frame_size
    palette = [PANEL]
    index_of = {PANEL: 0}
    frames = []
    for frame in range(FRAME_COUNT):
        encoded = bytearray()
        # Bottom-up rows, as in every DIB.
        for y in reversed(range(frame_size)):
            indices = []
            for x in range(frame_size):
                colour = blend(rows[y][frame * frame_size + x])
                if colour not in index_of:
                    index_of[colour] = len(palette)
                    palette.append(colour)
                indices.append(index_of[colour])
            encoded += rle8_row(indices)
        encoded[-2:] = b"\x00\x01"  # the last end-of-line becomes the end of the bitmap
        frames.append(bytes(encoded))
    if len(palette) > 256:
        raise SystemExit("the clip has %d colours; an 8-bit clip holds 256" % len(palette))
    palette += [(0, 0, 0)] * (256 - len(palette))
    return frames, palette


def chunk(fourcc, payload):
    pad = b"\x00" if len(payload) % 2 else b""
    return fourcc + struct.pack("<I", len(payload)) + payload + pad


def riff_list(kind, fourcc, payload):
    return kind + struct.pack("<I", len(payload) + 4) + fourcc + payload


def avi(picture=None, frame_size=FRAME_SIZE, name="152.avi"):
    frames, palette = frames_rle8(picture, frame_size)
    largest = max(len(f) for f in frames)
    microseconds = 1000000 // FRAMES_PER_SECOND
    main_header = struct.pack("<IIIIIIIIIIIIII", microseconds, largest * FRAMES_PER_SECOND, 0,
                              0x10,  # AVIF_HASINDEX
                              FRAME_COUNT, 0, 1, largest, frame_size, frame_size, 0, 0, 0, 0)
    stream_header = (b"vids" + b"mrle" + struct.pack("<IHHIIIIIIIIhhhh", 0, 0, 0, 0, 1,
                                                      FRAMES_PER_SECOND, 0, FRAME_COUNT, largest,
                                                      0xFFFFFFFF, 0, 0, 0, frame_size,
                                                      frame_size))
    bitmap_info = struct.pack("<IiiHHIIiiII", 40, frame_size, frame_size, 1, 8, 1,  # BI_RLE8
                              frame_size * frame_size, 0, 0, 256, 0)
    bitmap_info += b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    stream_list = riff_list(b"LIST", b"strl",
                            chunk(b"strh", stream_header) + chunk(b"strf", bitmap_info))
    header_list = riff_list(b"LIST", b"hdrl", chunk(b"avih", main_header) + stream_list)
    movie = b""
    index = b""
    offset = 4  # from the "movi" fourcc
    for frame in frames:
        index += b"00dc" + struct.pack("<III", 0x10, offset, len(frame))  # AVIIF_KEYFRAME
        piece = chunk(b"00dc", frame)
        movie += piece
        offset += len(piece)
    body = b"AVI " + header_list + riff_list(b"LIST", b"movi", movie) + chunk(b"idx1", index)
    with open(os.path.join(OUT, name), "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", len(body)) + body)


# --- High-DPI screens: the glyphs and the clip at 150 % and 200 % ------------------------

HIGH_DPI_SCALES = (("150", 3), ("200", 4))  # the suffix, and the size in half design sizes


def high_dpi_resources():
    import tempfile
    with tempfile.TemporaryDirectory() as work:
        for suffix, halves in HIGH_DPI_SCALES:
            for name in ("STOP", "ORDNER"):
                size = 12 * halves
                scaled = os.path.join(work, "%s_%s.png" % (name, suffix))
                convert(os.path.join(HERE, "glyphs", name + "@2x.png"), "-filter", "point",
                        "-resize", "%dx%d!" % (size, size), scaled)
                width, height, rows = raw_rgba(scaled)
                bmp8(os.path.join(OUT, "%s_%s.bmp" % (name, suffix)), width, height, rows)
            frame = FRAME_SIZE * halves // 2
            clip = os.path.join(work, "152_%s.png" % suffix)
            convert(os.path.join(HERE, "animation", "152@2x.png"), "-resize",
                    "%dx%d!" % (frame * FRAME_COUNT, frame), clip)
            avi(clip, frame, "152_%s.avi" % suffix)

# --- End of the high-DPI resources ---------------------------------------------------------


def installer_picture():
    """The installer's welcome and finish pages' picture, 164 x 314 as the pages show it:
    the program icon on the program's pale blue."""
    convert("-size", "164x314", "xc:#EAF1FD",
            os.path.join(HERE, "icons", "bulkon-128.png"), "-geometry", "+18+60", "-composite",
            "-type", "TrueColor", "BMP3:" + os.path.join(OUT, "installer-welcome.bmp"))


def main():
    os.makedirs(OUT, exist_ok=True)
    icon()
    installer_picture()
    glyphs()
    avi()
    high_dpi_resources()


if __name__ == "__main__":
    main()
