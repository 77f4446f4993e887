#!/usr/bin/env python3
"""Draws the main window's two command pictures and the window icon as PNG files.

Run it from this folder after changing a drawing; the PNG files it writes are kept in the
repository and compiled into the program as resources. Only the standard library is used.
"""
import math
import struct
import zlib

SCALE = 4  # supersampling factor for smooth edges


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.w, self.h = width * SCALE, height * SCALE
        self.pixels = [None] * (self.w * self.h)

    def polygon(self, points, colour):
        pts = [(x * SCALE, y * SCALE) for x, y in points]
        for sy in range(self.h):
            y = sy + 0.5
            xs = []
            for (x1, y1), (x2, y2) in zip(pts, pts[1:] + pts[:1]):
                if (y1 <= y < y2) or (y2 <= y < y1):
                    xs.append(x1 + (y - y1) * (x2 - x1) / (y2 - y1))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                for sx in range(max(0, math.ceil(a - 0.5)), min(self.w, math.ceil(b - 0.5))):
                    self.pixels[sy * self.w + sx] = colour

    def rect(self, x, y, w, h, colour):
        self.polygon([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], colour)

    def frame(self, x, y, w, h, fill, border, thickness=1):
        self.rect(x, y, w, h, border)
        self.rect(x + thickness, y + thickness, w - 2 * thickness, h - 2 * thickness, fill)

    def line(self, x1, y1, x2, y2, colour, width=1.0):
        length = math.hypot(x2 - x1, y2 - y1)
        nx, ny = -(y2 - y1) / length * width / 2, (x2 - x1) / length * width / 2
        self.polygon([(x1 + nx, y1 + ny), (x2 + nx, y2 + ny), (x2 - nx, y2 - ny), (x1 - nx, y1 - ny)], colour)

    def write_png(self, path):
        rows = []
        for y in range(self.height):
            row = bytearray([0])
            for x in range(self.width):
                r = g = b = a = 0
                for sy in range(y * SCALE, (y + 1) * SCALE):
                    for sx in range(x * SCALE, (x + 1) * SCALE):
                        c = self.pixels[sy * self.w + sx]
                        if c:
                            r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
                n = SCALE * SCALE
                row += bytes([r // a, g // a, b // a, 255 * a // n]) if a else bytes(4)
            rows.append(bytes(row))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                      + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


WHITE = (255, 255, 255)
INK = (40, 40, 60)
BLUE = (0, 70, 200)
LIGHT_BLUE = (170, 200, 250)
YELLOW = (245, 200, 60)
ORANGE = (220, 120, 40)
BROWN = (150, 95, 45)
LIGHT_BROWN = (210, 160, 95)
GREEN = (40, 150, 70)


def document(c, x, y, w, h, lines):
    fold = 5
    c.polygon([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)], INK)
    c.polygon([(x + 1, y + 1), (x + w - fold - 0.4, y + 1), (x + w - 1, y + fold + 0.4),
               (x + w - 1, y + h - 1), (x + 1, y + h - 1)], WHITE)
    c.polygon([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)], LIGHT_BLUE)
    for i in range(lines):
        ly = y + 6 + i * 4
        c.line(x + 4, ly, x + w - 5 - (i % 3) * 3, ly, BLUE, 1.2)


def arrow(c, x1, x2, y, colour):
    c.line(x1, y, x2 - 5, y, colour, 3)
    c.polygon([(x2 - 7, y - 5), (x2, y), (x2 - 7, y + 5)], colour)


def crate(c, x, y, w, h):
    c.frame(x, y, w, h, LIGHT_BROWN, BROWN, 1.5)
    for i in range(1, 3):
        c.line(x + 1.5, y + i * h / 3, x + w - 1.5, y + i * h / 3, BROWN, 1)
    c.polygon([(x - 2, y), (x + w + 2, y), (x + w - 2, y - 5), (x + 2, y - 5)], BROWN)


def response_picture():
    c = Canvas(128, 60)  # the top rows stay clear: the caption shows through them
    document(c, 14, 17, 30, 38, 8)
    arrow(c, 50, 72, 36, GREEN)
    document(c, 80, 17, 30, 38, 8)
    c.line(108, 22, 94, 46, ORANGE, 4)  # pencil writing the list
    c.polygon([(92, 44), (96, 47), (91, 51)], INK)
    c.write_png("CreateResponse.png")


def pod_picture():
    c = Canvas(128, 60)
    document(c, 10, 17, 20, 26, 4)
    document(c, 18, 24, 20, 26, 4)
    document(c, 26, 31, 20, 26, 4)
    arrow(c, 52, 74, 38, GREEN)
    crate(c, 82, 24, 36, 31)
    c.write_png("CreatePOD.png")


def icon():
    c = Canvas(32, 32)
    crate(c, 4, 11, 24, 18)
    c.frame(9, 2, 14, 12, WHITE, BLUE, 1.5)
    c.line(11.5, 6, 20.5, 6, BLUE, 1.2)
    c.line(11.5, 9.5, 18.5, 9.5, BLUE, 1.2)
    c.write_png("Morvane.png")


if __name__ == "__main__":
    response_picture()
    pod_picture()
    icon()
