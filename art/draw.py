#!/usr/bin/env python3
"""Draws KESTO FTP's artwork as PNG files (RGBA, 8 bits a channel) beside this script.

The pictures are our own and this script is their source: shapes are described in a
unit square and rendered with 4x4 supersampling, so edges are smooth at every size.
Run it after changing a shape; the PNG files it writes are committed.

  logo.png        the product logo (about box, main window): a grey relief, which the
                  manager re-colours to the desktop's button colour
  app_icon.png    the program's icon (window, desktop menu), in colour
  folder16.png    a folder (home-folder column, browse button)
  user16.png      a person (account column)
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(size, shade):
    """shade(x, y) -> (r, g, b, a) in 0..1 for a point of the unit square, or None."""
    n = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    c = shade(x, y)
                    if c is None:
                        continue
                    r, g, b, a = c
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (n * n)
            if a <= 0:
                row.append((0, 0, 0, 0))
                continue
            r, g, b = (acc[i] / acc[3] for i in range(3))
            row.append(tuple(max(0, min(255, round(v * 255))) for v in (r, g, b, a)))
        rows.append(row)
    return rows


def rounded_rect(x, y, x0, y0, x1, y1, radius):
    cx = min(max(x, x0 + radius), x1 - radius)
    cy = min(max(y, y0 + radius), y1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and x0 <= x <= x1 and y0 <= y <= y1


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


# The letter K and a transfer arrow, as strokes of the unit square.
K_STROKES = [((0.30, 0.24), (0.30, 0.76)), ((0.32, 0.52), (0.60, 0.24)), ((0.40, 0.44), (0.62, 0.76))]
ARROW = [((0.72, 0.70), (0.72, 0.36)), ((0.72, 0.30), (0.63, 0.42)), ((0.72, 0.30), (0.81, 0.42))]


def on_strokes(x, y, strokes, width):
    return any(segment_distance(x, y, *a, *b) <= width for a, b in strokes)


def logo_shade(x, y):
    if not rounded_rect(x, y, 0.06, 0.06, 0.94, 0.94, 0.16):
        return None
    if on_strokes(x, y, K_STROKES, 0.055) or on_strokes(x, y, ARROW, 0.035):
        light = 0.96
    elif rounded_rect(x, y, 0.10, 0.10, 0.90, 0.90, 0.13):
        light = 0.50 + 0.30 * (1 - y)  # a relief lit from above
    else:
        light = 0.35  # the rim
    return (light, light, light, 1.0)


def icon_shade(x, y):
    if not rounded_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.18):
        return None
    if on_strokes(x, y, K_STROKES, 0.06):
        return (1.0, 1.0, 1.0, 1.0)
    if on_strokes(x, y, ARROW, 0.04):
        return (1.0, 0.62, 0.15, 1.0)
    top, bottom = (0.20, 0.45, 0.78), (0.09, 0.25, 0.52)
    return tuple(t + (b - t) * y for t, b in zip(top, bottom)) + (1.0,)


def folder_shade(x, y):
    tab = rounded_rect(x, y, 0.08, 0.16, 0.46, 0.40, 0.06)
    body = rounded_rect(x, y, 0.06, 0.28, 0.94, 0.86, 0.07)
    if body:
        edge = not rounded_rect(x, y, 0.12, 0.34, 0.88, 0.80, 0.04)
        return (0.72, 0.52, 0.10, 1.0) if edge else (0.98, 0.80, 0.35, 1.0)
    if tab:
        return (0.72, 0.52, 0.10, 1.0)
    return None


def user_shade(x, y):
    head = math.hypot(x - 0.5, y - 0.32) <= 0.19
    shoulders = y >= 0.56 and math.hypot((x - 0.5) / 0.40, (y - 0.95) / 0.40) <= 1.0
    if head or shoulders:
        return (0.20, 0.42, 0.72, 1.0)
    return None


def main():
    for name, size, shade in (("logo.png", 96, logo_shade), ("app_icon.png", 128, icon_shade),
                              ("folder16.png", 16, folder_shade), ("user16.png", 16, user_shade)):
        write_png(os.path.join(HERE, name), size, size, render(size, shade))


if __name__ == "__main__":
    main()
