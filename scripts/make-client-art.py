#!/usr/bin/env python3
"""Draws the client's own artwork (PNG files in client/ui/art/): the page
picture, the animation frames, the tree's state and item images and the
program icon. Magenta (255, 0, 255) is the mask colour of the strips."""
import math
import os
import struct
import zlib

MAGENTA = (255, 0, 255)
OUT = os.path.join(os.path.dirname(__file__), "..", "client", "ui", "art")


class Canvas:
    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.px = [[fill for _ in range(w)] for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.set(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def save(self, name):
        raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in self.px)
        def chunk(tag, data):
            return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(png)


def page_picture():
    c = Canvas(128, 256, (0, 0, 0))
    for y in range(256):
        for x in range(128):
            t = y / 255
            c.set(x, y, (int(20 + 30 * t), int(60 + 90 * t), int(120 + 80 * t)))
    # a bird in flight: two swept wings and a body
    for i in range(40):
        c.disc(64 - i, 90 - 0.5 * i + 0.012 * i * i, 3 - i / 20, (240, 200, 120))
        c.disc(64 + i, 90 - 0.5 * i + 0.012 * i * i, 3 - i / 20, (240, 200, 120))
    c.disc(64, 96, 6, (200, 140, 70))
    c.disc(64, 86, 4, (200, 140, 70))
    for k in range(6):
        c.line(0, 200 + 8 * k, 127, 170 + 8 * k, (60, 120 + 10 * k, 170))
    c.save("page.png")


def animation():
    c = Canvas(16 * 33, 16, MAGENTA)
    for f in range(33):
        ox = 16 * f
        if f == 0:  # idle computer
            c.rect(ox + 2, 3, ox + 13, 10, (60, 60, 60))
            c.rect(ox + 3, 4, ox + 12, 9, (120, 200, 255))
            c.rect(ox + 5, 12, ox + 10, 13, (60, 60, 60))
        elif f == 1:  # idle globe
            c.disc(ox + 8, 8, 6, (40, 120, 220))
            c.line(ox + 2, 8, ox + 14, 8, (200, 240, 255))
            c.line(ox + 8, 2, ox + 8, 14, (200, 240, 255))
        else:
            step = f
            colour = (30, 160, 60) if f <= 6 else (40, 110, 220) if f <= 13 else (230, 150, 30) if f <= 22 else (200, 50, 50)
            for k in range(8):
                a = 2 * math.pi * k / 8
                lit = (k == step % 8)
                col = colour if lit else (150, 150, 150)
                c.disc(ox + 8 + 5 * math.cos(a), 8 + 5 * math.sin(a), 2 if lit else 1.2, col)
    c.save("animation.png")


def states():
    c = Canvas(64, 16, MAGENTA)
    for i in (1, 2, 3):
        ox = 16 * i
        c.rect(ox + 2, 2, ox + 13, 13, (255, 255, 255))
        c.frame(ox + 2, 2, ox + 13, 13, (40, 40, 40))
    for a, b in ((4, 8), (5, 9), (6, 10)):
        pass
    c.line(16 + 4, 8, 16 + 6, 11, (0, 0, 0))
    c.line(16 + 6, 11, 16 + 11, 4, (0, 0, 0))
    c.line(16 + 4, 7, 16 + 6, 10, (0, 0, 0))
    c.line(16 + 6, 10, 16 + 11, 3, (0, 0, 0))
    c.rect(48 + 5, 5, 48 + 10, 10, (128, 128, 128))
    c.save("states.png")


def items():
    c = Canvas(128, 16, MAGENTA)
    def box(ox, col):
        c.rect(ox + 2, 4, ox + 13, 13, col)
        c.frame(ox + 2, 4, ox + 13, 13, (60, 40, 20))
        c.line(ox + 2, 4, ox + 5, 1, (60, 40, 20))
        c.line(ox + 13, 4, ox + 10, 1, (60, 40, 20))
    def page(ox, col):
        c.rect(ox + 3, 1, ox + 12, 14, (255, 255, 255))
        c.frame(ox + 3, 1, ox + 12, 14, col)
        for y in (4, 7, 10):
            c.line(ox + 5, y, ox + 10, y, col)
    box(0, (200, 160, 90))            # 0 product
    box(16, (120, 180, 240))          # 1 update
    page(32, (40, 40, 40))            # 2 file copied
    page(48, (170, 170, 170))         # 3 file not installed
    page(64, (40, 40, 40)); c.disc(64 + 11, 11, 3, (30, 140, 60))     # 4 copy and register
    page(80, (40, 40, 40)); c.line(80 + 8, 6, 80 + 12, 10, (200, 40, 40)); c.line(80 + 8, 14, 80 + 12, 10, (200, 40, 40))  # 5 run
    page(96, (40, 40, 40)); c.line(96 + 4, 4, 96 + 12, 12, (220, 0, 0)); c.line(96 + 12, 4, 96 + 4, 12, (220, 0, 0))  # 6 remove
    page(112, (40, 40, 40)); c.line(112 + 4, 12, 112 + 12, 12, (30, 90, 200)); c.line(112 + 9, 9, 112 + 12, 12, (30, 90, 200))  # 7 rename
    c.save("items.png")


def icon():
    c = Canvas(32, 32, (30, 70, 140))
    c.frame(0, 0, 31, 31, (10, 30, 70))
    for i in range(13):
        c.disc(16 - i, 15 - 0.45 * i, 1.6, (240, 200, 120))
        c.disc(16 + i, 15 - 0.45 * i, 1.6, (240, 200, 120))
    c.disc(16, 17, 3, (200, 140, 70))
    c.rect(8, 24, 23, 26, (120, 200, 120))
    c.save("icon.png")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    page_picture(); animation(); states(); items(); icon()
