#!/usr/bin/env python3
"""Writes the program's two pictures: res/app.ico and res/menu.png.

app.ico  - the application icon: one image for each size Windows picks from
           at the usual DPIs (16, 20, 24, 32, 40, 48, 64 and 256 pixels), each
           drawn at its own size from the same shapes, in 32 bits per pixel,
           stored as uncompressed bitmaps (BITMAPINFOHEADER, 32-bit BGRA
           colour rows followed by the 1-bit AND mask, both bottom-up), so
           every icon reader handles them. A blue disc with a white pi inside
           a grey track carrying a green three-quarter arc.
menu.png - the menu icon picture: 256 x 256 RGBA, transparent background, a
           black circle outline with three black dots in a row inside.

Standard library only. Shapes are described by signed distances (negative
inside) and anti-aliased by supersampling each pixel on a 4 x 4 grid.

    python3 scripts/gen-artwork.py [output-directory]   (default: res/)
"""
import math
import os
import struct
import sys
import zlib

SIZE = 256  # the shapes are described on a 256 x 256 canvas
SUB = 4  # supersampling grid per pixel side
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


# --- signed distances -------------------------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, half_width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half_width


def capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def d(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length2
        t = min(1.0, max(0.0, t))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return d


def polyline(points, r):
    parts = [capsule(*points[i], *points[i + 1], r) for i in range(len(points) - 1)]
    return lambda x, y: min(p(x, y) for p in parts)


def bezier(p0, p1, p2, steps=24):
    out = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        out.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                    u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
    return out


def arc(cx, cy, r, half_width, start_deg, sweep_deg):
    """Arc with round caps; angles in degrees, clockwise on screen from start."""
    a0 = math.radians(start_deg)
    a1 = math.radians(start_deg + sweep_deg)
    caps = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]

    def d(x, y):
        a = math.atan2(y - cy, x - cx)
        rel = (a - a0) % (2 * math.pi)
        if rel <= a1 - a0:
            return abs(math.hypot(x - cx, y - cy) - r) - half_width
        return min(math.hypot(x - px, y - py) for px, py in caps) - half_width
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


# --- rasterising -----------------------------------------------------------

def coverage(shape, px, py):
    inside = 0
    for j in range(SUB):
        for i in range(SUB):
            if shape(px + (i + 0.5) / SUB, py + (j + 0.5) / SUB) <= 0:
                inside += 1
    return inside / (SUB * SUB)


def layer_coverage(shape, px, py):
    # Pixels well inside or well outside skip the supersampling.
    d = shape(px + 0.5, py + 0.5)
    if d <= -0.75:
        return 1.0
    if d >= 0.75:
        return 0.0
    return coverage(shape, px, py)


def over(dst, colour, alpha):
    """Composites a straight-alpha colour over a straight-alpha pixel."""
    r, g, b, a = dst
    out_a = alpha + a * (1 - alpha)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = lambda c, d: (c * alpha + d * a * (1 - alpha)) / out_a
    return (mix(colour[0], r), mix(colour[1], g), mix(colour[2], b), out_a)


def scaled(shape, k):
    """The shape drawn at 1/k of the canvas: coordinates and distances in the
    smaller picture's pixels."""
    return lambda x, y: shape(x * k, y * k) / k


def render(layers, size=SIZE):
    """layers: (shape, colour function (x, y) -> (r, g, b)) drawn in order,
    at size x size pixels. Returns rows of (r, g, b, a) bytes, top row first."""
    k = SIZE / size
    layers = [(scaled(shape, k), lambda x, y, c=colour: c(x * k, y * k)) for shape, colour in layers]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            pixel = (0.0, 0.0, 0.0, 0.0)
            for shape, colour in layers:
                c = layer_coverage(shape, px, py)
                if c > 0:
                    pixel = over(pixel, colour(px + 0.5, py + 0.5), c)
            row.append(tuple(int(round(min(255.0, max(0.0, v)))) for v in pixel[:3]) +
                       (int(round(pixel[3] * 255)),))
        rows.append(row)
    return rows


# --- the pictures ----------------------------------------------------------

def app_icon_layers():
    c = SIZE / 2

    def disc_colour(x, y):
        t = min(1.0, max(0.0, (y - 26) / 204))  # light blue at the top, deeper at the bottom
        return (98 + (45 - 98) * t, 160 + (112 - 160) * t, 250 + (214 - 250) * t)

    pi_bar = polyline(bezier((62, 94), (70, 80), (92, 81)) + [(190, 81)], 11)
    pi_left = polyline(bezier((106, 84), (108, 150), (84, 186)), 11)
    pi_right = polyline([(158, 84), (157, 156)] + bezier((157, 156), (158, 186), (190, 178))[1:], 11)
    return [
        (ring(c, c, 117, 8), lambda x, y: (204, 204, 204)),
        (arc(c, c, 117, 8, -90, 270), lambda x, y: (76, 175, 80)),
        (circle(c, c, 104), disc_colour),
        (union(pi_bar, pi_left, pi_right), lambda x, y: (255, 255, 255)),
    ]


def menu_icon_layers():
    c = SIZE / 2
    black = lambda x, y: (0, 0, 0)
    return [
        (ring(c, c, 112, 12), black),
        (union(circle(c - 56, c, 19), circle(c, c, 19), circle(c + 56, c, 19)), black),
    ]


# --- file formats ----------------------------------------------------------

def png_bytes(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)  # 8 bits per channel, RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def ico_image(rows):
    size = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row_bytes)
        for x, px in enumerate(row):
            if px[3] == 0:  # fully transparent: set in the AND mask
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + bytes(mask)


def ico_bytes(images):
    """images: rows of each size, smallest first."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for rows in images:
        image = ico_image(rows)
        side = len(rows) % 256  # 0 means 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return directory + entries + data


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "app.ico"), "wb") as f:
        f.write(ico_bytes([render(app_icon_layers(), size) for size in ICON_SIZES]))
    with open(os.path.join(out_dir, "menu.png"), "wb") as f:
        f.write(png_bytes(render(menu_icon_layers())))


if __name__ == "__main__":
    main()
