#!/usr/bin/env python3
"""Draws the program's pictures into res/pictures/ (standard library only):
icon 128 (32x32, 16 colours), bitmap 150 (main window banner, 454x72),
bitmap 151 (directory pages, 71x66), bitmap 152 (about box, 100x256);
and the installed icon, res/icons/hicolor/NxN/apps/, at the sizes
desktops look for, each resampled from icon 128.
The pictures show a volume's clusters with the recovered ones picked out."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "pictures")
THEME = os.path.join(HERE, "icons", "hicolor")
APP_ID = "org.quorvane.Quorvane"
THEME_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

NAVY = (20, 40, 90)
TEAL = (30, 120, 140)
PALE = (225, 235, 240)
WHITE = (255, 255, 255)
GREY = (150, 160, 170)
DARK = (40, 45, 55)
ORANGE = (240, 140, 30)
GOLD = (250, 200, 60)


class Canvas:
    def __init__(self, w, h, colour=WHITE):
        self.w, self.h = w, h
        self.px = [[colour] * w for _ in range(h)]

    def rect(self, x, y, w, h, colour):
        for j in range(max(0, y), min(self.h, y + h)):
            row = self.px[j]
            for i in range(max(0, x), min(self.w, x + w)):
                row[i] = colour

    def frame(self, x, y, w, h, colour):
        self.rect(x, y, w, 1, colour)
        self.rect(x, y + h - 1, w, 1, colour)
        self.rect(x, y, 1, h, colour)
        self.rect(x + w - 1, y, 1, h, colour)

    def vgradient(self, top, bottom):
        for j in range(self.h):
            t = j / max(1, self.h - 1)
            c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
            self.px[j] = [c] * self.w

    def triangle_up(self, cx, top, half, colour):
        for k in range(half + 1):
            self.rect(cx - k, top + k, 2 * k + 1, 1, colour)

    def document(self, x, y, w, h, fold):
        self.rect(x, y, w - fold, h, WHITE)
        self.rect(x, y + fold, w, h - fold, WHITE)
        for k in range(fold):
            self.rect(x + w - fold, y + k, k + 1, 1, WHITE)
        self.frame(x, y, w, h, DARK)
        for line in range(y + fold + 4, y + h - 4, 4):
            self.rect(x + 3, line, w - 6, 1, GREY)

    def clusters(self, x, y, cols, rows, size, gap, picked):
        for r in range(rows):
            for c in range(cols):
                n = r * cols + c
                colour = ORANGE if n in picked else PALE
                self.rect(x + c * (size + gap), y + r * (size + gap), size, size, colour)
                self.frame(x + c * (size + gap), y + r * (size + gap), size, size, DARK)


def png(path, canvas, palette=None):
    raw = bytearray()
    if palette:
        index = {c: i for i, c in enumerate(palette)}
        for row in canvas.px:
            raw.append(0)
            packed = [index[c] for c in row]
            for i in range(0, len(packed), 2):
                hi = packed[i]
                lo = packed[i + 1] if i + 1 < len(packed) else 0
                raw.append(hi << 4 | lo)
        header = struct.pack(">IIBBBBB", canvas.w, canvas.h, 4, 3, 0, 0, 0)
    else:
        for row in canvas.px:
            raw.append(0)
            for c in row:
                raw.extend(c)
        header = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 2, 0, 0, 0)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    if palette:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def icon():
    c = Canvas(32, 32, TEAL)
    c.frame(0, 0, 32, 32, NAVY)
    c.clusters(3, 3, 4, 4, 5, 2, {5, 6, 9, 10})
    c.triangle_up(25, 6, 5, ORANGE)
    c.rect(23, 12, 5, 14, ORANGE)
    palette = [NAVY, TEAL, PALE, WHITE, GREY, DARK, ORANGE, GOLD] + [(0, 0, 0)] * 8
    return c, palette


def resampled(source, size):
    """The square canvas `source` at size x size, each pixel the area-weighted
    mean of the source pixels it covers: whole multiples of the source's size
    stay as crisp as the original, smaller and odd sizes blend its edges."""
    scale = source.w / size
    out = Canvas(size, size)
    for j in range(size):
        y0, y1 = j * scale, (j + 1) * scale
        for i in range(size):
            x0, x1 = i * scale, (i + 1) * scale
            total = [0.0, 0.0, 0.0]
            for sy in range(int(y0), min(source.h, int(-(-y1 // 1)))):
                wy = min(y1, sy + 1) - max(y0, sy)
                if wy <= 0:
                    continue
                for sx in range(int(x0), min(source.w, int(-(-x1 // 1)))):
                    wx = min(x1, sx + 1) - max(x0, sx)
                    if wx <= 0:
                        continue
                    for k, v in enumerate(source.px[sy][sx]):
                        total[k] += v * wx * wy
            out.px[j][i] = tuple(round(v / (scale * scale)) for v in total)
    return out


def banner():
    c = Canvas(454, 72)
    c.vgradient(NAVY, TEAL)
    c.document(16, 10, 40, 52, 10)
    c.triangle_up(72, 18, 8, ORANGE)
    c.rect(69, 27, 7, 22, ORANGE)
    c.clusters(100, 10, 30, 4, 10, 4, {34, 35, 36, 37, 38, 66, 67, 68, 69})
    return c


def directory_picture():
    c = Canvas(71, 66)
    c.vgradient(PALE, WHITE)
    c.rect(8, 20, 24, 8, GOLD)
    c.rect(8, 26, 55, 32, GOLD)
    c.frame(8, 26, 55, 32, DARK)
    c.document(30, 6, 22, 30, 6)
    c.triangle_up(56, 8, 5, ORANGE)
    c.rect(54, 14, 5, 10, ORANGE)
    return c


def about_picture():
    c = Canvas(100, 256)
    c.vgradient(NAVY, TEAL)
    c.clusters(10, 12, 6, 12, 10, 3,
               {13, 14, 15, 20, 21, 26, 27, 28, 29, 44, 45, 46, 47, 48})
    c.document(25, 180, 50, 64, 12)
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    canvas, palette = icon()
    png(os.path.join(OUT, "128.png"), canvas, palette)
    png(os.path.join(OUT, "150.png"), banner())
    png(os.path.join(OUT, "151.png"), directory_picture())
    png(os.path.join(OUT, "152.png"), about_picture())
    for size in THEME_SIZES:
        folder = os.path.join(THEME, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        png(os.path.join(folder, APP_ID + ".png"), resampled(canvas, size))


if __name__ == "__main__":
    main()
