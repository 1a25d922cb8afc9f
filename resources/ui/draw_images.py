#!/usr/bin/env python3
"""Draws the plug-in's pictures: the button strips, the separator, the menu bitmaps,
the application icon in its sizes and the About picture. Standard library only; the
shapes are rasterised with supersampling and written as PNG through zlib.

    python3 resources/ui/draw_images.py            # writes resources/ui/images/*.png

The PNG files are checked in; run this again after changing a drawing."""

import math
import os
import struct
import sys
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")


# --- canvas ------------------------------------------------------------------------


class Canvas:
    """RGBA pixels as floats 0..1, composited with 'over'."""

    def __init__(self, w, h, ss=4):
        self.w, self.h, self.ss = w, h, ss
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def fill(self, inside, bbox, color):
        """Paints colour (r, g, b[, a] 0..255) where inside(x, y) holds, with coverage
        from ss x ss samples per pixel. bbox limits the work: (x0, y0, x1, y1)."""
        r, g, b = (c / 255.0 for c in color[:3])
        a = (color[3] / 255.0) if len(color) > 3 else 1.0
        ss = self.ss
        x0 = max(0, int(math.floor(bbox[0])))
        y0 = max(0, int(math.floor(bbox[1])))
        x1 = min(self.w, int(math.ceil(bbox[2])) + 1)
        y1 = min(self.h, int(math.ceil(bbox[3])) + 1)
        offs = [(i + 0.5) / ss for i in range(ss)]
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for oy in offs:
                    for ox in offs:
                        if inside(x + ox, y + oy):
                            hits += 1
                if hits:
                    self.blend(x, y, r, g, b, a * hits / (ss * ss))

    def blend(self, x, y, r, g, b, a):
        p = self.px[y * self.w + x]
        out_a = a + p[3] * (1 - a)
        if out_a <= 0:
            return
        for i, c in enumerate((r, g, b)):
            p[i] = (c * a + p[i] * p[3] * (1 - a)) / out_a
        p[3] = out_a

    def shade(self, fn):
        """Paints every pixel with fn(x, y) -> (r, g, b, a) 0..255 (backgrounds)."""
        for y in range(self.h):
            for x in range(self.w):
                c = fn(x + 0.5, y + 0.5)
                self.blend(x, y, c[0] / 255, c[1] / 255, c[2] / 255, c[3] / 255)

    def rgba_rows(self, background=None):
        rows = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if background is not None:
                    br, bg, bb = (c / 255 for c in background)
                    r, g, b, a = r * a + br * (1 - a), g * a + bg * (1 - a), b * a + bb * (1 - a), 1.0
                row += bytes(int(round(max(0, min(1, c)) * 255)) for c in (r, g, b, a))
            rows.append(row)
        return rows


def write_png(path, width, height, rows, alpha=True):
    """rows: RGBA bytes per row. Without alpha the file is 24-bit RGB."""
    raw = bytearray()
    for row in rows:
        raw.append(0)
        if alpha:
            raw += row
        else:
            for i in range(0, len(row), 4):
                raw += row[i:i + 3]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


# --- shapes (in the canvas's pixel space, after the drawing's scale) -------------------


class Pen:
    """Draws in a unit design space (0..size) scaled onto a canvas region."""

    def __init__(self, canvas, size, ox=0.0, oy=0.0, scale=1.0):
        self.c, self.size, self.ox, self.oy, self.k = canvas, size, ox, oy, scale

    def t(self, x, y):
        return self.ox + x * self.k, self.oy + y * self.k

    def circle(self, cx, cy, r, color):
        cx, cy = self.t(cx, cy)
        r *= self.k
        self.c.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, (cx - r, cy - r, cx + r, cy + r), color)

    def ring(self, cx, cy, r0, r1, color):
        cx, cy = self.t(cx, cy)
        r0 *= self.k
        r1 *= self.k
        self.c.fill(lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1,
                    (cx - r1, cy - r1, cx + r1, cy + r1), color)

    def polygon(self, pts, color):
        pts = [self.t(x, y) for x, y in pts]
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        n = len(pts)

        def inside(x, y):
            hit = False
            j = n - 1
            for i in range(n):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    hit = not hit
                j = i
            return hit

        self.c.fill(inside, (min(xs), min(ys), max(xs), max(ys)), color)

    def rrect(self, x0, y0, x1, y1, r, color):
        (x0, y0), (x1, y1) = self.t(x0, y0), self.t(x1, y1)
        r *= self.k

        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            dx = max(x0 + r - x, 0, x - (x1 - r))
            dy = max(y0 + r - y, 0, y - (y1 - r))
            return dx * dx + dy * dy <= r * r

        self.c.fill(inside, (x0, y0, x1, y1), color)

    def line(self, x0, y0, x1, y1, width, color):
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy) or 1
        nx, ny = -dy / n * width / 2, dx / n * width / 2
        self.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], color)
        self.circle(x0, y0, width / 2, color)
        self.circle(x1, y1, width / 2, color)


# --- the drawings (design space 28 x 28) ------------------------------------------------

GREEN = (46, 157, 74)
GREEN_DARK = (30, 110, 52)
RED = (210, 59, 59)
RED_DARK = (150, 36, 36)
BLUE = (47, 111, 181)
BLUE_DARK = (30, 74, 128)
GREY = (110, 118, 128)
GREY_DARK = (70, 76, 84)
WHITE = (255, 255, 255)
ORANGE = (235, 140, 30)


def disc(p, fill, rim):
    p.circle(14, 14, 12.5, rim)
    p.circle(14, 14, 11.2, fill)
    # a soft highlight on the upper half gives the disc some depth
    p.polygon([(5, 11), (9, 5.5), (19, 5.5), (23, 11), (14, 9)], WHITE + (50,))


def draw_start(p):
    disc(p, GREEN, GREEN_DARK)
    p.polygon([(11, 8), (20.5, 14), (11, 20)], WHITE)


def draw_stop(p):
    disc(p, RED, RED_DARK)
    p.rrect(9.5, 9.5, 18.5, 18.5, 1.5, WHITE)


def camera(p, body, dark):
    p.rrect(9, 7, 15, 10, 1, dark)              # viewfinder hump
    p.rrect(3, 9, 25, 22, 2.5, dark)
    p.rrect(4, 10, 24, 21, 2, body)
    p.circle(14, 15.5, 5, dark)
    p.circle(14, 15.5, 3.8, (225, 235, 245))
    p.circle(14, 15.5, 2.2, dark)
    p.circle(12.8, 14.3, 0.9, WHITE)
    p.circle(21, 12.5, 1, (255, 230, 120))      # flash


def draw_camera_unavailable(p):
    camera(p, (170, 176, 184), GREY_DARK)
    p.line(5, 25, 23, 5, 2.6, WHITE)
    p.line(5, 25, 23, 5, 1.6, RED_DARK)


def draw_camera_start(p):
    camera(p, BLUE, BLUE_DARK)
    p.circle(21.5, 21.5, 6, WHITE)
    p.circle(21.5, 21.5, 5, GREEN)
    p.polygon([(19.7, 18.7), (24.6, 21.5), (19.7, 24.3)], WHITE)


def draw_camera_stop(p):
    camera(p, BLUE, BLUE_DARK)
    p.circle(21.5, 21.5, 6, WHITE)
    p.circle(21.5, 21.5, 5, RED)
    p.rrect(19.3, 19.3, 23.7, 23.7, 0.6, WHITE)


def draw_settings(p):
    teeth = 8
    pts = []
    for i in range(teeth * 4):
        a = (i / (teeth * 4)) * 2 * math.pi
        r = 12 if (i % 4) in (0, 1) else 9.2
        pts.append((14 + r * math.cos(a + 0.2), 14 + r * math.sin(a + 0.2)))
    p.polygon(pts, GREY_DARK)
    p.circle(14, 14, 8.2, GREY)
    p.circle(14, 14, 4, WHITE)
    p.ring(14, 14, 4, 5, GREY_DARK)


def draw_status_running(p):
    p.circle(14, 14, 12.5, (46, 157, 74, 60))
    p.circle(14, 14, 10, (46, 157, 74, 110))
    p.circle(14, 14, 7.5, GREEN_DARK)
    p.circle(14, 14, 6.5, (60, 200, 90))
    p.circle(12, 12, 2.2, (220, 255, 225))


def draw_status_stopped(p):
    p.ring(14, 14, 9, 10, GREY)
    p.circle(14, 14, 7.5, GREY_DARK)
    p.circle(14, 14, 6.5, (150, 70, 70))
    p.circle(12, 12, 1.8, (200, 160, 160))


def draw_about(p):
    disc(p, BLUE, BLUE_DARK)
    p.circle(14, 8.5, 1.9, WHITE)
    p.rrect(12.3, 12, 15.7, 21.5, 1, WHITE)


def draw_export(p):
    p.polygon([(5, 3), (16, 3), (22, 9), (22, 25), (5, 25)], GREY_DARK)
    p.polygon([(6, 4), (15.5, 4), (21, 9.5), (21, 24), (6, 24)], (250, 250, 252))
    p.polygon([(15.5, 4), (21, 9.5), (15.5, 9.5)], (200, 205, 212))
    # a little cube: the model leaving as a file
    p.polygon([(8, 13), (12, 11), (16, 13), (12, 15)], (120, 170, 230))
    p.polygon([(8, 13), (12, 15), (12, 20), (8, 18)], BLUE)
    p.polygon([(12, 15), (16, 13), (16, 18), (12, 20)], BLUE_DARK)
    p.line(16, 21, 22.5, 21, 2.4, ORANGE)
    p.polygon([(21, 17), (26.5, 21), (21, 25)], ORANGE)


def draw_emblem(p):
    """The product mark: a rounded tile with a stylised V of light."""
    p.rrect(1, 1, 27, 27, 6, (40, 28, 92))
    p.rrect(2, 2, 26, 26, 5, (88, 56, 178))
    p.polygon([(6.5, 2.5), (21.5, 2.5), (25.5, 6.5), (25.5, 13), (2.5, 16), (2.5, 6.5)], (130, 100, 230, 90))
    p.polygon([(6, 7), (10.5, 7), (14, 17), (17.5, 7), (22, 7), (15.8, 22), (12.2, 22)], WHITE)
    p.polygon([(17.5, 7), (22, 7), (15.8, 22), (14, 17)], (255, 200, 90))


BUTTONS = [draw_start, draw_stop, draw_camera_unavailable, draw_camera_start, draw_camera_stop,
           draw_settings, draw_status_running, draw_status_stopped, draw_about, draw_export]

MENU_BITMAPS = {1003: draw_camera_unavailable, 1004: draw_settings, 1005: draw_start, 1006: draw_stop,
                1007: draw_emblem, 1008: draw_camera_start, 1009: draw_camera_stop,
                1010: draw_status_running, 1011: draw_status_stopped, 1012: draw_export}

MENU_BACKGROUND = (240, 240, 240)


def render(draw, size):
    c = Canvas(size, size, ss=4 if size <= 64 else 2)
    draw(Pen(c, size, scale=size / 28.0))
    return c


def disabled(rows):
    """The second-state picture, for a button that cannot be pressed: half its colour
    gone to grey and a little faded, so that state lights stay readable."""
    out = []
    for row in rows:
        r2 = bytearray(row)
        for i in range(0, len(r2), 4):
            lum = int(0.3 * r2[i] + 0.59 * r2[i + 1] + 0.11 * r2[i + 2])
            for c in range(3):
                r2[i + c] = (r2[i + c] + lum + 2 * 150) // 4
            r2[i + 3] = r2[i + 3] * 70 // 100
        out.append(r2)
    return out


def strip(pictures):
    rows = []
    for y in range(28):
        row = bytearray()
        for pic in pictures:
            row += pic[y]
        rows.append(row)
    return rows


def about_picture():
    w, h = 440, 560
    c = Canvas(w, h, ss=2)

    def sky(x, y):
        t = y / h
        top, bottom = (22, 16, 58), (96, 58, 168)
        r, g, b = (top[i] + (bottom[i] - top[i]) * t for i in range(3))
        glow = math.exp(-(((x - 220) / 170) ** 2 + ((y - 300) / 120) ** 2))
        return (min(255, r + 120 * glow), min(255, g + 80 * glow), min(255, b + 60 * glow), 255)

    c.shade(sky)
    p = Pen(c, 440)
    # stars
    seed = 7
    for _ in range(60):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        x = seed % 440
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        y = seed % 240
        p.circle(x, y, 0.8 + (seed % 3) * 0.4, (255, 255, 255, 140 + seed % 100))
    # a floor grid running to the horizon: the room Velora renders
    horizon = 330
    p.polygon([(0, horizon), (440, horizon), (440, 560), (0, 560)], (30, 20, 70))
    for i in range(-12, 13):
        p.line(220 + i * 14, horizon, 220 + i * 110, 560, 1.4, (150, 120, 240, 150))
    y = horizon
    step = 6
    while y < 560:
        p.line(0, y, 440, y, 1.2, (150, 120, 240, 130))
        y += step
        step *= 1.35
    # a glossy sphere on the floor with its reflection
    p.circle(300, 470, 46, (20, 12, 40, 90))
    p.circle(300, 430, 44, (210, 120, 40))
    p.circle(288, 418, 30, (245, 170, 70))
    p.circle(280, 408, 12, (255, 235, 190))
    # a cube beside it
    p.polygon([(110, 420), (160, 395), (210, 420), (160, 445)], (160, 180, 240))
    p.polygon([(110, 420), (160, 445), (160, 505), (110, 480)], (80, 100, 190))
    p.polygon([(160, 445), (210, 420), (210, 480), (160, 505)], (50, 60, 140))
    # the product mark, large, in the sky
    em = Pen(c, 28, ox=130, oy=60, scale=180 / 28.0)
    draw_emblem(em)
    # light rays from the mark
    for k in range(7):
        a = math.pi * (0.15 + 0.7 * k / 6)
        x0, y0 = 220 + 100 * math.cos(a), 150 + 100 * math.sin(a)
        p.line(x0, y0, 220 + 150 * math.cos(a), 150 + 150 * math.sin(a), 3, (255, 210, 120, 90))
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    pictures = [render(d, 28).rgba_rows() for d in BUTTONS]
    write_png(os.path.join(OUT, "buttons_normal.png"), 280, 28, strip(pictures))
    write_png(os.path.join(OUT, "buttons_second.png"), 280, 28, strip([disabled(p) for p in pictures]))
    sep = Canvas(1, 28)
    sep.shade(lambda x, y: (150, 150, 150, int(255 * math.sin(math.pi * y / 28))))
    write_png(os.path.join(OUT, "separator.png"), 1, 28, sep.rgba_rows(), alpha=True)
    for rid, draw in MENU_BITMAPS.items():
        rows = render(draw, 22).rgba_rows(background=MENU_BACKGROUND)
        write_png(os.path.join(OUT, "menu_%d.png" % rid), 22, 22, rows, alpha=False)
    for size in (16, 24, 32, 48, 256):
        write_png(os.path.join(OUT, "icon_%d.png" % size), size, size, render(draw_emblem, size).rgba_rows())
    write_png(os.path.join(OUT, "about.png"), 440, 560, about_picture().rgba_rows(background=(0, 0, 0)), alpha=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
