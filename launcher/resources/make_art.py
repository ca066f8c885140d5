#!/usr/bin/env python3
"""Draws the sample game's window art as PNG files: frame background, buttons in three looks,
progress bar, title bar pieces and system buttons, and the loading screen's spinner as an
animated GIF. Plain shapes in the sample game's colours, so the program carries no art it did
not make itself.

usage: make_art.py OUTDIR
"""
import math
import os
import struct
import sys
import zlib


def png(width, height, pixel):
    """PNG bytes of an RGBA image; pixel(x, y) gives (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")


def blend(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def panel(width, height, top, bottom, edge, radius=6):
    """A vertical gradient with a one-pixel edge and rounded, see-through corners."""
    def pixel(x, y):
        cx = min(x, width - 1 - x)
        cy = min(y, height - 1 - y)
        if cx < radius and cy < radius and (radius - cx) ** 2 + (radius - cy) ** 2 > radius * radius:
            return (0, 0, 0, 0)
        if cx == 0 or cy == 0:
            return edge + (255,)
        return blend(top, bottom, y / max(1, height - 1)) + (255,)
    return pixel


def glyph(width, height, base, colour, shape):
    """A button face with a symbol: 'x' close, '-' minimise, 'o' maximise, 'r' restore, 'v' tray."""
    def pixel(x, y):
        px = base(x, y)
        u, v = x - width / 2 + 0.5, y - height / 2 + 0.5
        s = min(width, height) * 0.25
        on = False
        if shape == "x":
            on = abs(abs(u) - abs(v)) < 1.2 and abs(u) < s
        elif shape == "-":
            on = abs(v - s * 0.6) < 1.2 and abs(u) < s
        elif shape == "o":
            on = (abs(abs(u) - s) < 1.0 and abs(v) <= s) or (abs(abs(v) - s) < 1.0 and abs(u) <= s)
        elif shape == "r":
            on = (abs(abs(u) - s * 0.8) < 1.0 and abs(v) <= s * 0.8) or (abs(abs(v) - s * 0.8) < 1.0 and abs(u) <= s * 0.8)
        elif shape == "v":
            # A chevron pointing down: "to the tray", unlike the minimise bar.
            on = abs(v - (s * 0.4 - abs(u) * 0.0) - (s * 0.5 - abs(u))) < 1.2 and abs(u) < s * 0.8
        return colour + (255,) if on else px
    return pixel


def ico(size, pixel):
    """An icon file with one 32-bit image: BITMAPINFOHEADER at double height, BGRA rows bottom-up,
    then the all-clear AND mask."""
    rows = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixel(x, y)
            rows.extend((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
    image = header + bytes(rows) + mask
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def region(rects):
    """Region data (RGNDATA): the header, then the rectangles."""
    body = b"".join(struct.pack("<4i", *r) for r in rects)
    bounds = (min(r[0] for r in rects), min(r[1] for r in rects), max(r[2] for r in rects), max(r[3] for r in rects))
    return struct.pack("<4I4i", 32, 1, len(rects), len(body), *bounds) + body


def lzw(indices, min_code_size):
    """GIF's variable-width LZW: codes written least significant bit first, a clear code first,
    the width growing by one when the entry just added needs it, and a clear code (restart)
    whenever the 12-bit table is full."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bits = 0
    nbits = 0

    def emit(code, width):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def reset():
        return {(i,): i for i in range(clear)}, min_code_size + 1, end + 1

    table, width, next_code = reset()
    emit(clear, width)
    prefix = ()
    for index in indices:
        grown = prefix + (index,)
        if grown in table:
            prefix = grown
            continue
        emit(table[prefix], width)
        table[grown] = next_code
        # A decoder adds this entry one code later than we do, so it widens when it reaches
        # the code just past the current width; widening here when the new entry is exactly
        # 1 << width keeps both sides in step.
        if next_code == 1 << width and width < 12:
            width += 1
        next_code += 1
        if next_code == 4096:
            emit(clear, width)
            table, width, next_code = reset()
        prefix = (index,)
    if prefix:
        emit(table[prefix], width)
    emit(end, width)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(width, height, palette, frames, delay, transparent=None):
    """An endlessly looping GIF89a: one global colour table (at most 256 RGB entries), then per
    frame a graphic control extension (delay in hundredths of a second, the frame cleared to
    the background before the next one) and a full-size image of palette indices, LZW-coded in
    sub-blocks of up to 255 bytes."""
    size_bits = max(1, (len(palette) - 1).bit_length())
    table = b"".join(bytes(c) for c in palette) + bytes(3 * ((1 << size_bits) - len(palette)))
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (size_bits - 1), 0, 0) + table
    data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\x00"
    min_code_size = max(2, size_bits)
    for indices in frames:
        flags = (2 << 2) | (1 if transparent is not None else 0)
        data += b"\x21\xF9\x04" + struct.pack("<BHB", flags, delay, transparent or 0) + b"\x00"
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0) + bytes((min_code_size,))
        coded = lzw(indices, min_code_size)
        for at in range(0, len(coded), 255):
            block = coded[at:at + 255]
            data += bytes((len(block),)) + block
        data += b"\x00"
    return bytes(data + b"\x3B")


def spinner(size=64, frames=24, dots=12, shades=128):
    """A ring of dots with a bright head going round and a fading tail behind it. Every pixel
    lies on one ramp from the loading screen's 0x111111 (index 0, see-through) to a pale blue,
    so the dots' soft edges blend into that screen."""
    dark, light = (0x11, 0x11, 0x11), (0xE4, 0xEC, 0xFF)
    palette = [blend(dark, light, i / (shades - 1)) for i in range(shades)]
    centre, ring = (size - 1) / 2, size * 0.34
    images = []
    for frame in range(frames):
        head = 2 * math.pi * frame / frames
        spots = []
        for dot in range(dots):
            angle = 2 * math.pi * dot / dots
            behind = (head - angle) % (2 * math.pi)
            strength = 0.2 + 0.8 * math.exp(-behind / 1.6)
            spots.append((centre + ring * math.sin(angle), centre - ring * math.cos(angle),
                          size * 0.05 + size * 0.025 * strength, strength))
        indices = bytearray()
        for y in range(size):
            for x in range(size):
                value = 0.0
                for sx, sy, radius, strength in spots:
                    # Coverage by distance to the edge: a one-pixel soft rim.
                    cover = radius + 0.5 - math.hypot(x - sx, y - sy)
                    if cover > 0:
                        value = max(value, min(1.0, cover) * strength)
                indices.append(round(value * (shades - 1)))
        images.append(bytes(indices))
    return gif(size, size, palette, images, 8, transparent=0)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    gold, dark, night = (0xC6, 0xAA, 0x66), (0x2A, 0x1E, 0x12), (0x12, 0x16, 0x24)
    looks = [((0x5A, 0x44, 0x2A), (0x3A, 0x2A, 0x18)), ((0x7A, 0x5E, 0x3A), (0x52, 0x3C, 0x22)),
             ((0x30, 0x22, 0x14), (0x4A, 0x36, 0x20))]
    images = {
        "frame_bg.png": (480, 300, panel(480, 300, (0x28, 0x30, 0x48), night, gold, 10)),
        "bar_full.png": (360, 14, panel(360, 14, (0xE8, 0xB9, 0x78), (0xA0, 0x78, 0x40), gold, 3)),
        "bar_empty.png": (360, 14, panel(360, 14, (0x30, 0x30, 0x38), (0x20, 0x20, 0x28), dark, 3)),
        "title_left.png": (120, 36, panel(120, 36, (0x3C, 0x2C, 0x1A), dark, dark, 0)),
        # The middle piece repeats: a plain gradient, no edge, so no seams show.
        "title_mid.png": (16, 36, lambda x, y: blend((0x3C, 0x2C, 0x1A), dark, y / 35) + (255,)),
        "title_right.png": (120, 36, panel(120, 36, (0x3C, 0x2C, 0x1A), dark, dark, 0)),
        "title_icon.png": (24, 24, panel(24, 24, gold, (0x8A, 0x6A, 0x30), dark, 5)),
        "logo.png": (200, 80, panel(200, 80, (0x3C, 0x2C, 0x1A), dark, gold, 12)),
        "menu_back.png": (16, 24, panel(16, 24, (0x4A, 0x36, 0x20), (0x3A, 0x2A, 0x18), dark, 0)),
        "im_title.png": (16, 24, panel(16, 24, (0x3C, 0x2C, 0x1A), dark, dark, 0)),
    }
    for n, (top, bottom) in enumerate(looks, start=1):
        for name, shape, size in (("close", "x", 24), ("min", "-", 24), ("sys_close", "x", 28), ("sys_max", "o", 28),
                                  ("sys_restore", "r", 28), ("sys_min", "-", 28), ("sys_tray", "v", 28),
                                  ("im_close", "x", 16)):
            images["%s%d.png" % (name, n)] = (size, size, glyph(size, size, panel(size, size, top, bottom, gold, 4), gold, shape))
        images["button%d.png" % n] = (120, 32, panel(120, 32, top, bottom, gold, 6))
        images["menu%d.png" % n] = (24, 24, glyph(24, 24, panel(24, 24, top, bottom, dark, 3), gold, "o"))
    for name, (w, h, pixel) in sorted(images.items()):
        with open(os.path.join(out, name), "wb") as f:
            f.write(png(w, h, pixel))
    with open(os.path.join(out, "app.ico"), "wb") as f:
        f.write(ico(32, panel(32, 32, gold, (0x8A, 0x6A, 0x30), dark, 6)))
    # The frame background's shape without its rounded corners' see-through pixels: a cross of
    # two rectangles, enough for frames that paint directly.
    with open(os.path.join(out, "frame_region.bin"), "wb") as f:
        f.write(region([(4, 0, 476, 4), (0, 4, 480, 296), (4, 296, 476, 300)]))
    with open(os.path.join(out, "loading.gif"), "wb") as f:
        f.write(spinner())


if __name__ == "__main__":
    main()
