#!/usr/bin/env python3
"""Draws Adwelder's own icon set as PNG files into resources/icons/.

Toolbar glyphs (32x32), tray animation frames (32x32), the wait window's
spinner frames (40x40), the field tree's state marks (16x16) and the program
icon (32x32 and 64x64 for the window; 48, 128 and 256 as well for the
desktop's icon theme). Only the standard library is used, so the set can be
redrawn on any machine: shapes are rasterised on a 4x finer grid and box
filtered down, which gives smooth edges without an imaging library.

Run from anywhere:  python3 tools/make_icons.py
"""
import math
import os
import struct
import zlib

SS = 4  # supersampling factor per axis

OUTLINE = (0x44, 0x4F, 0x5A)
PAPER = (0xFF, 0xFF, 0xFF)
PAPER_SHADE = (0xE4, 0xE9, 0xEE)
BLUE = (0x2F, 0x6D, 0xB5)
BLUE_DARK = (0x1E, 0x4A, 0x80)
BLUE_LIGHT = (0x8C, 0xB8, 0xE8)
GREEN = (0x37, 0x9B, 0x3C)
GREEN_DARK = (0x24, 0x6B, 0x28)
RED = (0xCC, 0x36, 0x2C)
RED_DARK = (0x8E, 0x22, 0x1B)
YELLOW = (0xF4, 0xB9, 0x32)
YELLOW_DARK = (0xB5, 0x7F, 0x10)
ORANGE = (0xF0, 0x7C, 0x22)
GREY = (0x8A, 0x95, 0xA0)
GREY_DARK = (0x5A, 0x64, 0x6E)


class Canvas:
    """An RGBA canvas drawn in logical units of a design size (32 by default)
    and scaled to the output size, so one drawing serves several sizes."""

    def __init__(self, size, design=32):
        self.size = size
        self.scale = size / design
        self.n = size * SS
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.n * self.n)]

    # -- core -------------------------------------------------------------
    def _shape(self, bbox, inside, color, alpha=1.0):
        x0, y0, x1, y1 = bbox
        k = self.scale * SS
        sx0 = max(0, int(math.floor(x0 * k)))
        sy0 = max(0, int(math.floor(y0 * k)))
        sx1 = min(self.n, int(math.ceil(x1 * k)) + 1)
        sy1 = min(self.n, int(math.ceil(y1 * k)) + 1)
        r, g, b = (c / 255.0 for c in color)
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / k
            row = sy * self.n
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / k
                if inside(x, y):
                    p = self.px[row + sx]
                    a = alpha
                    p[0] = r * a + p[0] * (1 - a)
                    p[1] = g * a + p[1] * (1 - a)
                    p[2] = b * a + p[2] * (1 - a)
                    p[3] = a + p[3] * (1 - a)

    # -- primitives (logical units) ----------------------------------------
    def rect(self, x0, y0, x1, y1, color, radius=0.0, alpha=1.0):
        def inside(x, y):
            if x < x0 or x > x1 or y < y0 or y > y1:
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
        self._shape((x0, y0, x1, y1), inside, color, alpha)

    def framed_rect(self, x0, y0, x1, y1, fill, outline=OUTLINE, radius=0.0, w=1.0):
        self.rect(x0, y0, x1, y1, outline, radius)
        self.rect(x0 + w, y0 + w, x1 - w, y1 - w, fill, max(0.0, radius - w))

    def ellipse(self, cx, cy, rx, ry, color, alpha=1.0):
        def inside(x, y):
            return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
        self._shape((cx - rx, cy - ry, cx + rx, cy + ry), inside, color, alpha)

    def circle(self, cx, cy, r, color, alpha=1.0):
        self.ellipse(cx, cy, r, r, color, alpha)

    def ring(self, cx, cy, r_out, r_in, color, a0=None, a1=None, alpha=1.0):
        """A ring; with a0/a1 (degrees, clockwise from 3 o'clock, screen
        coordinates) only the arc between them."""
        def inside(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 > r_out * r_out or d2 < r_in * r_in:
                return False
            if a0 is None:
                return True
            ang = math.degrees(math.atan2(y - cy, x - cx)) % 360
            lo, hi = a0 % 360, a1 % 360
            return lo <= ang <= hi if lo <= hi else (ang >= lo or ang <= hi)
        self._shape((cx - r_out, cy - r_out, cx + r_out, cy + r_out), inside, color, alpha)

    def polygon(self, pts, color, alpha=1.0):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        edges = list(zip(pts, pts[1:] + pts[:1]))

        def inside(x, y):
            c = False
            for (ax, ay), (bx, by) in edges:
                if (ay > y) != (by > y):
                    t = (y - ay) / (by - ay)
                    if x < ax + t * (bx - ax):
                        c = not c
            return c
        self._shape((min(xs), min(ys), max(xs), max(ys)), inside, color, alpha)

    def line(self, x0, y0, x1, y1, width, color, alpha=1.0):
        hw = width / 2.0
        dx, dy = x1 - x0, y1 - y0
        ll = dx * dx + dy * dy or 1e-9

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
            px, py = x0 + t * dx, y0 + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= hw * hw
        self._shape((min(x0, x1) - hw, min(y0, y1) - hw, max(x0, x1) + hw, max(y0, y1) + hw),
                    inside, color, alpha)

    # -- output -------------------------------------------------------------
    def save(self, path):
        rows = []
        area = SS * SS
        for y in range(self.size):
            row = bytearray([0])
            for x in range(self.size):
                acc = [0.0, 0.0, 0.0, 0.0]
                for sy in range(y * SS, y * SS + SS):
                    base = sy * self.n
                    for sx in range(x * SS, x * SS + SS):
                        p = self.px[base + sx]
                        acc[0] += p[0]
                        acc[1] += p[1]
                        acc[2] += p[2]
                        acc[3] += p[3]
                a = acc[3] / area
                if a <= 0:
                    row += bytes(4)
                    continue
                # Stored colours are premultiplied; PNG wants straight alpha.
                row += bytes([
                    min(255, round(acc[0] / acc[3] * 255)),
                    min(255, round(acc[1] / acc[3] * 255)),
                    min(255, round(acc[2] / acc[3] * 255)),
                    min(255, round(a * 255)),
                ])
            rows.append(bytes(row))
        raw = b"".join(rows)

        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        png = b"\x89PNG\r\n\x1a\n"
        png += chunk(b"IHDR", struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9))
        png += chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)


# -- shared parts ----------------------------------------------------------------
def sheet(c, x0=5, y0=2, x1=23, y1=28, lines=True):
    """A sheet of paper with a folded corner."""
    fold = 6
    c.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], OUTLINE)
    c.polygon([(x0 + 1, y0 + 1), (x1 - fold - 0.4, y0 + 1), (x1 - 1, y0 + fold + 0.4),
               (x1 - 1, y1 - 1), (x0 + 1, y1 - 1)], PAPER)
    c.polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], OUTLINE)
    c.polygon([(x1 - fold + 1, y0 + 2.2), (x1 - fold + 1, y0 + fold - 1), (x1 - 2.2, y0 + fold - 1)], PAPER_SHADE)
    if lines:
        for i, y in enumerate(range(int(y0) + 10, int(y1) - 2, 4)):
            end = x1 - 4 if i % 2 == 0 else x1 - 7
            c.rect(x0 + 4, y, end, y + 1.4, BLUE_LIGHT)


def badge(c, cx, cy, fill, dark, r=7):
    c.circle(cx, cy, r, dark)
    c.circle(cx, cy, r - 1.2, fill)
    c.circle(cx - r * 0.3, cy - r * 0.35, r * 0.45, (255, 255, 255), alpha=0.18)


def plus(c, cx, cy, size=4.2, w=2.4):
    c.rect(cx - size, cy - w / 2, cx + size, cy + w / 2, PAPER)
    c.rect(cx - w / 2, cy - size, cx + w / 2, cy + size, PAPER)


def envelope(c, x0, y0, x1, y1, fill=PAPER, outline=OUTLINE):
    c.framed_rect(x0, y0, x1, y1, fill, outline, radius=1.2)
    mx = (x0 + x1) / 2
    my = y0 + (y1 - y0) * 0.58
    c.line(x0 + 1.2, y0 + 1.2, mx, my, 1.3, outline)
    c.line(x1 - 1.2, y0 + 1.2, mx, my, 1.3, outline)


# -- toolbar glyphs --------------------------------------------------------------
def icon_new(c):
    sheet(c)
    badge(c, 23, 23, GREEN, GREEN_DARK)
    plus(c, 23, 23)


def icon_edit(c):
    sheet(c)
    # A pencil lying from the lower left to the upper right.
    c.line(13, 27, 27, 13, 6.2, OUTLINE)
    c.line(14.2, 25.8, 26, 14, 4.0, YELLOW)
    c.line(24.5, 15.5, 27.2, 12.8, 4.0, (0xE8, 0x8E, 0x9A))
    c.polygon([(10.5, 29.5), (11.5, 24.5), (15.5, 28.5)], (0xF3, 0xD9, 0xA8))
    c.polygon([(10.5, 29.5), (11.2, 27.3), (12.7, 28.8)], OUTLINE)


def icon_delete(c):
    sheet(c)
    badge(c, 23, 23, RED, RED_DARK)
    c.line(20, 20, 26, 26, 2.5, PAPER)
    c.line(26, 20, 20, 26, 2.5, PAPER)


def icon_save(c):
    c.framed_rect(3, 3, 29, 29, BLUE, BLUE_DARK, radius=2.5, w=1.2)
    c.rect(8, 4.2, 24, 13, (0xD8, 0xDE, 0xE5))
    c.rect(19, 5.5, 22, 11.5, GREY_DARK)
    c.framed_rect(7, 17, 25, 28.8, PAPER, BLUE_DARK, radius=1.0)
    for y in (20.5, 23.5):
        c.rect(9.5, y, 22.5, y + 1.2, BLUE_LIGHT)


def icon_projects(c):
    # A folder with two ads sticking out of it.
    c.framed_rect(3, 6, 14, 12, YELLOW, YELLOW_DARK, radius=1.5)
    c.framed_rect(3, 9, 29, 28, YELLOW, YELLOW_DARK, radius=1.8)
    c.framed_rect(7, 5, 23, 18, PAPER, OUTLINE, radius=0.8)
    c.framed_rect(10, 8, 26, 20, PAPER, OUTLINE, radius=0.8)
    for y in (11, 14):
        c.rect(12.5, y, 23.5, y + 1.2, BLUE_LIGHT)
    c.polygon([(3, 15), (29, 15), (29, 28), (3, 28)], YELLOW_DARK)
    c.rect(4.2, 16.2, 27.8, 26.8, YELLOW, radius=0.8)
    c.rect(4.2, 16.2, 27.8, 18, (0xF9, 0xD3, 0x72))


def icon_status(c):
    # A bar chart of the run: successes green, failures red, in progress blue.
    c.framed_rect(3, 3, 29, 29, PAPER, OUTLINE, radius=2.0)
    c.rect(5, 25, 27, 26.2, GREY)
    c.framed_rect(7, 14, 12, 25, GREEN, GREEN_DARK, w=0.9)
    c.framed_rect(13.5, 7, 18.5, 25, BLUE, BLUE_DARK, w=0.9)
    c.framed_rect(20, 18, 25, 25, RED, RED_DARK, w=0.9)


def icon_reports(c):
    sheet(c, lines=False)
    # A pie chart on the page.
    c.circle(14, 17, 6.8, OUTLINE)
    c.circle(14, 17, 5.8, BLUE)
    c.ring(14, 17, 5.8, 0, GREEN, -90, 30)
    c.ring(14, 17, 5.8, 0, YELLOW, 30, 120)
    for y in (25,):
        c.rect(8, y, 20, y + 1.3, BLUE_LIGHT)


def icon_config(c):
    cx, cy = 16, 16
    teeth = 8
    for i in range(teeth):
        a = 2 * math.pi * i / teeth
        dx, dy = math.cos(a), math.sin(a)
        c.line(cx + dx * 8, cy + dy * 8, cx + dx * 12.2, cy + dy * 12.2, 5.4, GREY_DARK)
    c.circle(cx, cy, 10.4, GREY_DARK)
    for i in range(teeth):
        a = 2 * math.pi * i / teeth
        dx, dy = math.cos(a), math.sin(a)
        c.line(cx + dx * 8, cy + dy * 8, cx + dx * 11.2, cy + dy * 11.2, 3.6, GREY)
    c.circle(cx, cy, 9.3, GREY)
    c.circle(cx - 2, cy - 2.5, 6, (255, 255, 255), alpha=0.15)
    c.circle(cx, cy, 4.4, GREY_DARK)
    c.circle(cx, cy, 3.3, PAPER)


def icon_addlink(c):
    # A globe (a board on the web) with a green plus.
    cx, cy, r = 14, 14, 11
    c.circle(cx, cy, r, BLUE_DARK)
    c.circle(cx, cy, r - 1.2, BLUE)
    c.ring(cx, cy, r - 1.2, r - 2.3, BLUE_LIGHT)
    c.ellipse(cx, cy, 4.6, r - 1.2, BLUE_LIGHT)
    c.ellipse(cx, cy, 3.5, r - 2.4, BLUE)
    c.rect(cx - r + 1.5, cy - 0.6, cx + r - 1.5, cy + 0.6, BLUE_LIGHT)
    c.rect(cx - r + 2.8, cy - 5.6, cx + r - 2.8, cy - 4.6, BLUE_LIGHT)
    c.rect(cx - r + 2.8, cy + 4.6, cx + r - 2.8, cy + 5.6, BLUE_LIGHT)
    c.rect(cx - 0.6, cy - r + 1.5, cx + 0.6, cy + r - 1.5, BLUE_LIGHT)
    badge(c, 23, 23, GREEN, GREEN_DARK)
    plus(c, 23, 23)


def icon_help(c):
    badge(c, 16, 16, BLUE, BLUE_DARK, r=13)
    # The question mark: an open arc, a short stem and a dot.
    c.ring(16, 12, 6, 3.2, PAPER, 170, 100)
    c.line(17.6, 16.6, 16, 18.4, 2.8, PAPER)
    c.rect(14.6, 17.8, 17.4, 21, PAPER)
    c.circle(16, 24.6, 1.9, PAPER)


# -- program icon and tray frames -------------------------------------------------
def app_icon(c, spark_angle=None):
    c.framed_rect(2, 2, 30, 30, BLUE, BLUE_DARK, radius=6, w=1.3)
    c.circle(12, 10, 9, (255, 255, 255), alpha=0.12)
    envelope(c, 6, 10, 26, 24)
    # The sending mark: an orange spark; in the tray it circles the envelope.
    if spark_angle is None:
        cx, cy = 24.5, 8.5
    else:
        a = math.radians(spark_angle)
        cx, cy = 16 + math.cos(a) * 11.5, 17 + math.sin(a) * 11.5
    c.circle(cx, cy, 4.2, (0x9A, 0x45, 0x0A))
    c.circle(cx, cy, 3.2, ORANGE)
    c.circle(cx - 1, cy - 1, 1.3, (0xFF, 0xE0, 0xB0))


def wait_frame(c, step, steps=8):
    # Eight dots around a circle; the lit dot moves one place per frame and
    # leaves a fading trail behind it.
    for i in range(steps):
        a = 2 * math.pi * i / steps - math.pi / 2
        age = (step - i) % steps
        shade = max(0.18, 1.0 - age * 0.22)
        x, y = 20 + math.cos(a) * 13, 20 + math.sin(a) * 13
        c.circle(x, y, 3.6, BLUE, alpha=shade)


def state_mark(c, checked):
    c.framed_rect(2, 2, 14, 14, PAPER, OUTLINE, radius=1.5, w=1.0)
    if checked:
        c.line(4.8, 8.2, 7.2, 10.8, 2.0, GREEN_DARK)
        c.line(7.2, 10.8, 11.6, 4.8, 2.0, GREEN_DARK)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, "resources", "icons")
    os.makedirs(out, exist_ok=True)

    def make(name, size, draw, design=32):
        c = Canvas(size, design)
        draw(c)
        c.save(os.path.join(out, name))
        print("wrote", name)

    toolbar = {
        "new.png": icon_new, "edit.png": icon_edit, "delete.png": icon_delete,
        "save.png": icon_save, "projects.png": icon_projects, "status.png": icon_status,
        "reports.png": icon_reports, "config.png": icon_config, "addlink.png": icon_addlink,
        "help.png": icon_help,
    }
    for name, draw in toolbar.items():
        make(name, 32, draw)
    make("adwelder.png", 32, app_icon)
    make("adwelder64.png", 64, app_icon)
    # The desktop's icon theme takes the program icon at these sizes too.
    for size in (48, 128, 256):
        make("adwelder%d.png" % size, size, app_icon)
    for i in range(4):
        make("tray%d.png" % i, 32, lambda c, i=i: app_icon(c, spark_angle=-90 + 90 * i))
    for i in range(8):
        make("wait%d.png" % i, 40, lambda c, i=i: wait_frame(c, i), design=40)
    make("state_unchecked.png", 16, lambda c: state_mark(c, False), design=16)
    make("state_checked.png", 16, lambda c: state_mark(c, True), design=16)


if __name__ == "__main__":
    main()
