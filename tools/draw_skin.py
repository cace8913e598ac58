#!/usr/bin/env python3
"""Draws the setup window's skin and icon into resources/.

Standard library only. Writes the eight 24-bit skin bitmaps (201 window face,
202-204 push-button faces, 205-208 title-bar strips) and the multi-image icon.
Run it again after changing anything here:  python3 tools/draw_skin.py

What the window code relies on (keep it when changing the art):
- the face is 988 x 735; RGB(255,0,255) appears only outside the outline, and
  nowhere inside, so the window is cut exactly to the artwork;
- the panel (300,230)-(740,540) is plain and dark, for texts in RGB(255,248,226);
- the push buttons sit on the row (448,578)-(730,608);
- the normal minimize and close glyphs are painted under (793,92)-(881,116),
  as two 42 x 24 buttons at x 793 and 839;
- each title-bar strip is 89 x 21: minimize cell x 0-43, close cell x 45-88.
"""
import math
import os
import random
import struct
import sys

KEY = (255, 0, 255)
WIDTH, HEIGHT = 988, 735
CREAM = (255, 248, 226)
GOLD_LIGHT = (246, 214, 138)
GOLD = (200, 152, 72)
GOLD_DARK = (112, 74, 30)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smooth(t):
    t = clamp(t)
    return t * t * (3 - 2 * t)


class Canvas:
    """An RGB float image with alpha blending."""

    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(colour) for _ in range(w * h)]

    def get(self, x, y):
        return self.px[y * self.w + x]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        if alpha >= 1:
            p[0], p[1], p[2] = colour[0], colour[1], colour[2]
        else:
            p[0] += (colour[0] - p[0]) * alpha
            p[1] += (colour[1] - p[1]) * alpha
            p[2] += (colour[2] - p[2]) * alpha

    def shade(self, x, y, factor):
        if 0 <= x < self.w and 0 <= y < self.h:
            p = self.px[y * self.w + x]
            p[0] *= factor
            p[1] *= factor
            p[2] *= factor



def write_bmp(path, canvas, key_mask=None):
    """24-bit uncompressed BMP. key_mask: pixels to write as exact RGB(255,0,255)."""
    pad = (4 - canvas.w * 3 % 4) % 4
    data = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        for x in range(canvas.w):
            if key_mask is not None and not key_mask[y * canvas.w + x]:
                data += bytes((255, 0, 255))
                continue
            r, g, b = (int(round(clamp(c, 0, 255))) for c in canvas.get(x, y))
            if (r, g, b) == KEY:
                g = 1  # inside the outline the key colour must never appear
            data += bytes((b, g, r))
        data += b"\0" * pad
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


# ---------------------------------------------------------------- noise

class ValueNoise:
    def __init__(self, seed, cell):
        rng = random.Random(seed)
        self.cell = cell
        self.gw = WIDTH // cell + 3
        self.gh = HEIGHT // cell + 3
        self.grid = [rng.random() for _ in range(self.gw * self.gh)]

    def at(self, x, y):
        fx, fy = x / self.cell, y / self.cell
        ix, iy = int(fx), int(fy)
        tx, ty = fx - ix, fy - iy
        tx = tx * tx * (3 - 2 * tx)
        ty = ty * ty * (3 - 2 * ty)
        g, w = self.grid, self.gw
        a = g[iy * w + ix]
        b = g[iy * w + ix + 1]
        c = g[(iy + 1) * w + ix]
        d = g[(iy + 1) * w + ix + 1]
        return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty


def fractal(octaves):
    def f(x, y):
        total, weight = 0.0, 0.0
        for n, amp in octaves:
            total += n.at(x, y) * amp
            weight += amp
        return total / weight
    return f


# ---------------------------------------------------------------- shapes

def in_round_rect(x, y, l, t, r, b, rad):
    if x < l or x >= r or y < t or y >= b:
        return False
    cx = l + rad if x < l + rad else r - rad if x > r - rad else x
    cy = t + rad if y < t + rad else b - rad if y > b - rad else y
    return (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad


def in_polygon(x, y, pts):
    inside = False
    n = len(pts)
    j = n - 1
    for i in range(n):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


BODY = (34, 64, 954, 708)
CORNERS = [(58, 88), (930, 88), (58, 684), (930, 684)]
CORNER_R = 40
BANNER = [(236, 14), (752, 14), (728, 50), (752, 86), (236, 86), (260, 50)]
RIBBON_ENDS = [[(202, 36), (262, 36), (262, 100), (202, 100), (222, 68)],
               [(726, 36), (786, 36), (766, 68), (786, 100), (726, 100)]]
KEYSTONE = [(430, 700), (558, 700), (532, 730), (456, 730)]
SIDE_TABS = [(14, 300, 40, 470), (948, 300, 974, 470)]


def window_shape(x, y):
    xc, yc = x + 0.5, y + 0.5
    l, t, r, b = BODY
    inside = False
    if l <= xc < r and t <= yc < b:
        # the corners of the body are bitten out concavely...
        inside = True
        for cx, cy in [(l, t), (r, t), (l, b), (r, b)]:
            if (xc - cx) ** 2 + (yc - cy) ** 2 < 30 ** 2:
                inside = False
    # ...and carry round bastions instead
    for cx, cy in CORNERS:
        if (xc - cx) ** 2 + (yc - cy) ** 2 <= CORNER_R ** 2:
            inside = True
    if not inside:
        if in_polygon(xc, yc, BANNER) or in_polygon(xc, yc, KEYSTONE):
            inside = True
        for end in RIBBON_ENDS:
            if in_polygon(xc, yc, end):
                inside = True
        for tl, tt, tr, tb in SIDE_TABS:
            if in_round_rect(xc, yc, tl, tt, tr, tb, 10):
                inside = True
    return inside


def distance_inside(mask, w, h):
    """Chamfer distance (pixels) from each inside pixel to the nearest outside one."""
    big = 1e9
    d = [0.0 if not m else big for m in mask]
    a, b = 1.0, 1.4142
    for y in range(h):
        for x in range(w):
            i = y * w + x
            if d[i] == 0:
                continue
            v = d[i]
            if x > 0: v = min(v, d[i - 1] + a)
            else: v = min(v, 1.0)
            if y > 0:
                v = min(v, d[i - w] + a)
                if x > 0: v = min(v, d[i - w - 1] + b)
                if x < w - 1: v = min(v, d[i - w + 1] + b)
            else:
                v = min(v, 1.0)
            d[i] = v
    for y in range(h - 1, -1, -1):
        for x in range(w - 1, -1, -1):
            i = y * w + x
            if d[i] == 0:
                continue
            v = d[i]
            if x < w - 1: v = min(v, d[i + 1] + a)
            else: v = min(v, 1.0)
            if y < h - 1:
                v = min(v, d[i + w] + a)
                if x < w - 1: v = min(v, d[i + w + 1] + b)
                if x > 0: v = min(v, d[i + w - 1] + b)
            else:
                v = min(v, 1.0)
            d[i] = v
    return d


# ---------------------------------------------------------------- strokes and lettering

def seg_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else clamp(((px - ax) * dx + (py - ay) * dy) / ll)
    qx, qy = ax + dx * t - px, ay + dy * t - py
    return math.sqrt(qx * qx + qy * qy)


def coverage_of_strokes(strokes, width, w, h):
    """Anti-aliased coverage (dict index -> 0..1) of polylines with round caps."""
    cov = {}
    half = width / 2
    for pts in strokes:
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            x0 = max(0, int(min(ax, bx) - half - 2))
            x1 = min(w - 1, int(max(ax, bx) + half + 2))
            y0 = max(0, int(min(ay, by) - half - 2))
            y1 = min(h - 1, int(max(ay, by) + half + 2))
            for y in range(y0, y1 + 1):
                for x in range(x0, x1 + 1):
                    c = clamp(half - seg_distance(x + 0.5, y + 0.5, ax, ay, bx, by) + 0.5)
                    if c > 0:
                        i = y * w + x
                        if c > cov.get(i, 0):
                            cov[i] = c
    return cov


def arc(cx, cy, rx, ry, a0, a1, steps=14):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * k / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * k / steps))) for k in range(steps + 1)]


def catmull(points, steps=6):
    out = []
    pts = [points[0]] + points + [points[-1]]
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for s in range(steps):
            t = s / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * (2 * p1[k] + (-p0[k] + p2[k]) * t + (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2
                                    + (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3) for k in range(2)))
    out.append(points[-1])
    return out


# Capital letters on a grid 14 units high, strokes as polylines; (width, strokes).
GLYPHS = {
    "A": (10, [[(0, 14), (5, 0), (10, 14)], [(2.2, 9), (7.8, 9)]]),
    "E": (8, [[(8, 0), (0, 0), (0, 14), (8, 14)], [(0, 7), (6, 7)]]),
    "F": (8, [[(8, 0), (0, 0), (0, 14)], [(0, 7), (6, 7)]]),
    "H": (9, [[(0, 0), (0, 14)], [(9, 0), (9, 14)], [(0, 7), (9, 7)]]),
    "K": (9, [[(0, 0), (0, 14)], [(8.5, 0), (0, 8.5)], [(3.2, 5.4), (9, 14)]]),
    "L": (8, [[(0, 0), (0, 14), (8, 14)]]),
    "M": (11, [[(0, 14), (0, 0), (5.5, 10), (11, 0), (11, 14)]]),
    "N": (9, [[(0, 14), (0, 0), (9, 14), (9, 0)]]),
    "O": (10, [arc(5, 7, 5, 7, 0, 360, 28)]),
    "P": (8.5, [[(0, 14), (0, 0), (4.5, 0)] + arc(4.5, 3.8, 3.8, 3.8, -90, 90) + [(4.5, 7.6), (0, 7.6)]]),
    "Q": (10, [arc(5, 7, 5, 7, 0, 360, 28), [(5.5, 10), (10, 15)]]),
    "R": (9, [[(0, 14), (0, 0), (4.8, 0)] + arc(4.8, 3.7, 3.7, 3.7, -90, 90) + [(4.8, 7.4), (0, 7.4)],
              [(3.8, 7.4), (9, 14)]]),
    "S": (9, [catmull([(8.6, 2.2), (6.8, 0.3), (4.4, 0), (1.8, 0.5), (0.5, 2.6), (1.2, 5.1), (4.4, 6.7),
                       (7.6, 8.2), (8.9, 10.6), (7.8, 13.2), (4.8, 14), (1.9, 13.6), (0.2, 11.8)])]),
    "T": (10, [[(0, 0), (10, 0)], [(5, 0), (5, 14)]]),
}
# the U's bowl: from the left stem round the bottom to the right stem
GLYPHS["U"] = (9, [[(0, 0)] + [(4.5 - 4.5 * math.cos(math.radians(a)), 9.5 + 4.5 * math.sin(math.radians(a)))
                               for a in range(0, 181, 12)] + [(9, 0)]])


def text_strokes(text, x, y, size, spacing=3.2):
    """Polylines of a text whose cap height is size pixels, starting at (x, y)."""
    k = size / 14.0
    strokes = []
    cursor = 0.0
    for ch in text:
        if ch == " ":
            cursor += 6.5
            continue
        w, glyph = GLYPHS[ch]
        for pts in glyph:
            strokes.append([(x + (cursor + px) * k, y + py * k) for px, py in pts])
        cursor += w + spacing
    return strokes, (cursor - spacing) * k


def draw_text(canvas, text, cx, top, size, fill_top, fill_bottom, stroke=2.4, outline=(30, 14, 8)):
    _, width = text_strokes(text, 0, 0, size)
    strokes, _ = text_strokes(text, cx - width / 2, top, size)
    w, h = canvas.w, canvas.h
    shadow = coverage_of_strokes([[(px + 2, py + 2.5) for px, py in s] for s in strokes], stroke + 2.5, w, h)
    for i, c in shadow.items():
        canvas.blend(i % w, i // w, (10, 5, 2), c * 0.7)
    edge = coverage_of_strokes(strokes, stroke + 2.2, w, h)
    for i, c in edge.items():
        canvas.blend(i % w, i // w, outline, c)
    core = coverage_of_strokes(strokes, stroke, w, h)
    for i, c in core.items():
        y = i // w
        t = clamp((y - top) / size)
        colour = mix(fill_top, fill_bottom, t)
        canvas.blend(i % w, y, colour, c)


# ---------------------------------------------------------------- the window face

def stone_colour(noise, x, y):
    n = noise(x, y)
    base = mix((58, 52, 47), (128, 117, 100), smooth(n * 1.25 - 0.12))
    return base


def paint_face():
    w, h = WIDTH, HEIGHT
    print("shape...", file=sys.stderr)
    mask = [window_shape(x, y) for y in range(h) for x in range(w)]
    dist = distance_inside(mask, w, h)
    c = Canvas(w, h)
    stone = fractal([(ValueNoise(1, 64), 4), (ValueNoise(2, 19), 2), (ValueNoise(3, 6), 1.2), (ValueNoise(4, 2), 0.6)])
    grain = fractal([(ValueNoise(5, 40), 2), (ValueNoise(6, 9), 1), (ValueNoise(7, 3), 0.7)])
    inner = (64, 122, 924, 656)
    print("stone and field...", file=sys.stderr)
    for y in range(h):
        for x in range(w):
            i = y * w + x
            if not mask[i]:
                continue
            if in_round_rect(x + 0.5, y + 0.5, *inner, 18):
                # the dark, leather-like field inside the frame
                n = grain(x, y)
                v = 0.75 + 0.5 * n
                vign = 1 - 0.35 * (((x - 494) / 470) ** 2 + ((y - 390) / 300) ** 2)
                col = (36 * v * vign, 26 * v * vign, 20 * v * vign)
            else:
                col = stone_colour(stone, x, y)
                # blocks of masonry: faint mortar lines
                row = (y - 64) // 29
                off = 37 if row % 2 else 0
                if (y - 64) % 29 in (0, 1) or (x + off) % 74 in (0, 1):
                    col = mix(col, (40, 35, 31), 0.45)
            c.px[i] = list(col)
    print("bevels...", file=sys.stderr)
    # outer bevel from the distance field: light from the top left
    for y in range(1, h - 1):
        for x in range(1, w - 1):
            i = y * w + x
            if not mask[i]:
                continue
            d = dist[i]
            if d < 9:
                gx = dist[i + 1] - dist[i - 1]
                gy = dist[i + w] - dist[i - w]
                light = (gx * 0.7 + gy * 0.7) * 0.5  # inward normal dotted with light dir
                f = 1 + 0.55 * light * (1 - d / 9)
                c.shade(x, y, clamp(f, 0.35, 1.8))
            if d < 2.5:
                c.blend(x, y, (20, 14, 10), 0.85)
            elif d < 4.5:
                c.blend(x, y, GOLD_DARK, 0.6)
    return c, mask


def frame_ring(canvas, rect, rad, colour_outer, colour_inner, widthpx=3):
    """A gilt line around a rounded rectangle, just outside rect."""
    l, t, r, b = rect
    for y in range(int(t) - widthpx - 2, int(b) + widthpx + 2):
        for x in range(int(l) - widthpx - 2, int(r) + widthpx + 2):
            xc, yc = x + 0.5, y + 0.5
            cx = l + rad if xc < l + rad else r - rad if xc > r - rad else xc
            cy = t + rad if yc < t + rad else b - rad if yc > b - rad else yc
            if l + rad <= xc <= r - rad or t + rad <= yc <= b - rad:
                d = max(l - xc, xc - r, t - yc, yc - b)
            else:
                d = math.hypot(xc - cx, yc - cy) - rad
            if -0.5 < d < widthpx + 0.5:
                cov = clamp(min(d + 0.5, widthpx + 0.5 - d))
                tt = d / widthpx
                canvas.blend(x, y, mix(colour_inner, colour_outer, tt), cov)


def inner_frame(c):
    # gilt edge around the dark field, and a shadow cast into it
    inner = (64, 122, 924, 656)
    for y in range(inner[1], inner[3]):
        for x in range(inner[0], inner[2]):
            dl = min(x - inner[0], y - inner[1])
            if dl < 12:
                c.shade(x, y, 0.55 + 0.45 * dl / 12)
    frame_ring(c, inner, 18, GOLD_DARK, GOLD_LIGHT, 4)


def panel(c):
    # the plain panel for every text: smooth, dark, bordered by a thin gilt line
    l, t, r, b = 300, 230, 740, 540
    for y in range(t - 10, b + 10):
        for x in range(l - 10, r + 10):
            inside = l <= x < r and t <= y < b
            if inside:
                v = 1 - 0.18 * ((y - t) / (b - t))
                c.px[y * c.w + x] = [27 * v, 20 * v, 15 * v]
            else:
                # soft shadow around the inset
                d = max(l - x, x - (r - 1), t - y, y - (b - 1))
                c.shade(x, y, 0.6 + 0.04 * d)
    frame_ring(c, (l - 1, t - 1, r + 1, b + 1), 6, GOLD_DARK, GOLD, 2)
    frame_ring(c, (l - 7, t - 7, r + 7, b + 7), 10, (60, 40, 18), GOLD_DARK, 1)
    # corner flourishes of the panel
    for cx, cy, sx, sy in [(l - 7, t - 7, 1, 1), (r + 7, t - 7, -1, 1), (l - 7, b + 7, 1, -1), (r + 7, b + 7, -1, -1)]:
        pts = catmull([(cx + sx * 2, cy + sy * 26), (cx + sx * 10, cy + sy * 10), (cx + sx * 26, cy + sy * 2)])
        for i, v in coverage_of_strokes([pts], 2.2, c.w, c.h).items():
            c.blend(i % c.w, i // c.w, GOLD, v)
        gem(c, cx, cy, 4.5, (150, 30, 26))


def button_row(c):
    # a recessed slot that the push buttons sit in
    l, t, r, b = 440, 571, 738, 615
    for y in range(t, b):
        for x in range(l, r):
            d = min(x - l, r - 1 - x, y - t, b - 1 - y)
            c.shade(x, y, 0.45 + 0.05 * min(d, 8))
    frame_ring(c, (l, t, r, b), 8, GOLD_DARK, (150, 108, 48), 2)


def gem(c, cx, cy, radius, colour):
    for y in range(int(cy - radius - 3), int(cy + radius + 4)):
        for x in range(int(cx - radius - 3), int(cx + radius + 4)):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            rim = clamp(radius + 2.2 - d)
            if rim > 0:
                c.blend(x, y, mix(GOLD_DARK, GOLD_LIGHT, clamp((cy - y) / radius * 0.5 + 0.5)), rim)
            core = clamp(radius - d)
            if core > 0:
                # light from the top left: a bright spot and a dark rim
                hx, hy = cx - radius * 0.35, cy - radius * 0.4
                spot = clamp(1 - math.hypot(x + 0.5 - hx, y + 0.5 - hy) / (radius * 0.55))
                col = mix(colour, (0, 0, 0), clamp(d / radius) * 0.5)
                col = mix(col, (255, 235, 220), spot * 0.8)
                c.blend(x, y, col, core)


def rivets(c):
    for x in range(120, 880, 76):
        if 214 < x < 778:
            continue
        gem(c, x + 0.5, 97.5, 3.2, (92, 84, 74))
    for x in range(120, 880, 76):
        if 410 < x < 580:
            continue
        gem(c, x + 0.5, 682.5, 3.2, (92, 84, 74))
    for y in range(170, 640, 60):
        gem(c, 48.5, y + 0.5, 3.2, (92, 84, 74))
        gem(c, 940.5, y + 0.5, 3.2, (92, 84, 74))


def bastions(c):
    for cx, cy in CORNERS:
        for y in range(cy - CORNER_R, cy + CORNER_R):
            for x in range(cx - CORNER_R, cx + CORNER_R):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d < 30:
                    c.shade(x, y, 0.85 + 0.3 * ((cy - y) + (cx - x)) / 60 * (d / 30))
        frame_ring_circle(c, cx, cy, 30, 4)
        gem(c, cx, cy, 13, (40, 92, 150))


def frame_ring_circle(c, cx, cy, radius, widthpx):
    for y in range(int(cy - radius - widthpx - 2), int(cy + radius + widthpx + 2)):
        for x in range(int(cx - radius - widthpx - 2), int(cx + radius + widthpx + 2)):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) - radius
            if -0.5 < d < widthpx + 0.5:
                cov = clamp(min(d + 0.5, widthpx + 0.5 - d))
                light = clamp(0.5 + ((cy - y) + (cx - x)) / (2.8 * radius))
                c.blend(x, y, mix(GOLD_DARK, GOLD_LIGHT, light), cov)


def banner(c):
    # the title ribbon over the top edge
    red_top, red_bottom = (146, 34, 28), (84, 16, 14)
    tabs_dark = (70, 14, 12)
    for end in RIBBON_ENDS:
        for y in range(34, 102):
            for x in range(200, 790):
                if in_polygon(x + 0.5, y + 0.5, end):
                    c.px[y * c.w + x] = list(mix(tabs_dark, (40, 8, 7), (y - 36) / 64))
        edge = coverage_of_strokes([end + [end[0]]], 1.4, c.w, c.h)
        for i, v in edge.items():
            c.blend(i % c.w, i // c.w, GOLD_DARK, v)
    for y in range(10, 92):
        for x in range(230, 760):
            if in_polygon(x + 0.5, y + 0.5, BANNER):
                t = (y - 14) / 72
                col = mix(red_top, red_bottom, t)
                fold = 1 + 0.08 * math.sin((x - 236) / 516 * math.pi * 3)
                c.px[y * c.w + x] = [v * fold for v in col]
    # gilt borders along the ribbon's long edges
    for y0 in (19, 80):
        pts = [(262, y0), (726, y0)]
        for i, v in coverage_of_strokes([pts], 2.0, c.w, c.h).items():
            c.blend(i % c.w, i // c.w, GOLD, v)
    draw_text(c, "THE ANNALS OF QUELLMARK", 494, 38, 23, GOLD_LIGHT, (196, 138, 58), 2.8)
    gem(c, 236 + 34, 50, 4.5, (40, 92, 150))
    gem(c, 752 - 34, 50, 4.5, (40, 92, 150))


def chrome_plate(c, x0, y0, w, h, state, glyph):
    """One title-bar button as drawn on the skin (normal) and in the strips."""
    base = {"normal": (48, 36, 28), "hover": (118, 70, 34), "pressed": (30, 20, 14)}[state]
    rim_hi = {"normal": GOLD, "hover": GOLD_LIGHT, "pressed": GOLD_DARK}[state]
    rim_lo = {"normal": GOLD_DARK, "hover": GOLD, "pressed": GOLD}[state]
    for y in range(h):
        for x in range(w):
            t = y / max(1, h - 1)
            col = mix(mix(base, (255, 230, 180), 0.08), mix(base, (0, 0, 0), 0.3), t)
            if state == "pressed":
                col = mix(mix(base, (0, 0, 0), 0.3), base, t)
            edge = min(x, y, w - 1 - x, h - 1 - y)
            if edge == 0:
                col = (24, 14, 8)
            elif edge == 1:
                col = rim_hi if (x < w / 2 and y < h / 2) or y == 1 or x == 1 else rim_lo
                if state == "pressed":
                    col = rim_lo if y == 1 or x == 1 else rim_hi
            c.px[(y0 + y) * c.w + x0 + x] = list(col)
    off = 1 if state == "pressed" else 0
    cx, cy = x0 + w / 2 + off, y0 + h / 2 + off
    ink = {"normal": (236, 204, 140), "hover": (255, 244, 214), "pressed": (214, 176, 108)}[state]
    if glyph == "minimize":
        strokes = [[(cx - 7, cy + 3.5), (cx + 7, cy + 3.5)]]
    else:
        strokes = [[(cx - 5.5, cy - 5), (cx + 5.5, cy + 5)], [(cx + 5.5, cy - 5), (cx - 5.5, cy + 5)]]
    shadow = coverage_of_strokes([[(px + 1, py + 1) for px, py in s] for s in strokes], 2.6, c.w, c.h)
    for i, v in shadow.items():
        c.blend(i % c.w, i // c.w, (10, 5, 2), v * 0.8)
    for i, v in coverage_of_strokes(strokes, 2.6, c.w, c.h).items():
        c.blend(i % c.w, i // c.w, ink, v)


def title_bar(c):
    # a dark socket behind the two buttons, then the buttons in their normal state
    for y in range(88, 121):
        for x in range(789, 886):
            c.shade(x, y, 0.55)
    frame_ring(c, (789, 88, 885, 120), 4, (60, 40, 18), GOLD_DARK, 1)
    chrome_plate(c, 793, 92, 42, 24, "normal", "minimize")
    chrome_plate(c, 839, 92, 42, 24, "normal", "close")


def crest(c):
    """The game's emblem on the left: a shield with a compass star and a quill."""
    cx, top, wd, ht = 180, 260, 170, 210
    def shield(x, y, grow=0):
        l, r = cx - wd / 2 - grow, cx + wd / 2 + grow
        t = top - grow
        if x < l or x > r or y < t:
            return False
        mid = top + ht * 0.45
        if y <= mid:
            return True
        # the lower half narrows to a point
        k = (y - mid) / (ht * 0.55 + grow)
        if k > 1:
            return False
        half = (wd / 2 + grow) * math.sqrt(max(0.0, 1 - k * k))
        return abs(x - cx) <= half
    for y in range(top - 12, top + ht + 14):
        for x in range(cx - wd // 2 - 12, cx + wd // 2 + 12):
            xc, yc = x + 0.5, y + 0.5
            if shield(xc, yc, 0):
                t = (yc - top) / ht
                left = xc < cx
                col = mix((28, 52, 96), (14, 26, 52), t) if left else mix((120, 26, 22), (62, 12, 10), t)
                c.px[y * c.w + x] = list(col)
            elif shield(xc, yc, 6):
                light = clamp(0.5 + ((cx - xc) * 0.4 + (top + ht / 2 - yc) * 0.6) / 120)
                c.px[y * c.w + x] = list(mix(GOLD_DARK, GOLD_LIGHT, light))
            elif shield(xc, yc, 8):
                c.px[y * c.w + x] = [26, 16, 8]
    # compass star
    sx, sy = cx, top + 92
    star = []
    for k in range(16):
        a = math.radians(k * 22.5 - 90)
        rr = 62 if k % 4 == 0 else 26 if k % 2 == 0 else 14
        star.append((sx + rr * math.cos(a), sy + rr * math.sin(a)))
    for y in range(sy - 64, sy + 64):
        for x in range(sx - 64, sx + 64):
            xc, yc = x + 0.5, y + 0.5
            if in_polygon(xc, yc, star):
                a = math.atan2(yc - sy, xc - sx)
                facet = 0.5 + 0.5 * math.sin(a * 8)
                c.px[y * c.w + x] = list(mix((170, 120, 52), GOLD_LIGHT, facet))
    outline = coverage_of_strokes([star + [star[0]]], 1.2, c.w, c.h)
    for i, v in outline.items():
        c.blend(i % c.w, i // c.w, (60, 34, 12), v)
    gem(c, sx, sy, 8, (190, 40, 32))
    # the quill crossing the lower shield
    quill = catmull([(cx - 46, top + 196), (cx - 10, top + 166), (cx + 30, top + 140), (cx + 62, top + 112)])
    for i, v in coverage_of_strokes([quill], 3.0, c.w, c.h).items():
        c.blend(i % c.w, i // c.w, (230, 222, 200), v)
    vane = []
    for k in range(1, 14):
        t = k / 14
        px, py = cx - 10 + 72 * t, top + 166 - 54 * t
        ln = 14 * math.sin(t * math.pi) + 2
        vane.append([(px, py), (px - ln * 0.6, py - ln * 0.9)])
        vane.append([(px, py), (px + ln * 0.8, py + ln * 0.5)])
    for i, v in coverage_of_strokes(vane, 1.6, c.w, c.h).items():
        c.blend(i % c.w, i // c.w, (238, 232, 214), v * 0.9)
    # the motto ribbon under the shield
    ry = top + ht + 26
    ribbon = [(cx - 78, ry), (cx + 78, ry), (cx + 70, ry + 15), (cx + 78, ry + 30), (cx - 78, ry + 30),
              (cx - 70, ry + 15)]
    for y in range(ry, ry + 31):
        for x in range(cx - 80, cx + 80):
            if in_polygon(x + 0.5, y + 0.5, ribbon):
                c.px[y * c.w + x] = list(mix((140, 32, 26), (80, 15, 12), (y - ry) / 30))
    for i, v in coverage_of_strokes([ribbon + [ribbon[0]]], 1.4, c.w, c.h).items():
        c.blend(i % c.w, i // c.w, GOLD, v)
    draw_text(c, "ANNALS", cx, ry + 8, 14, GOLD_LIGHT, GOLD, 1.8)


def right_column(c):
    """Runic pillar ornaments on the right of the panel."""
    x = 836
    for y in range(170, 620):
        for dx in range(-3, 4):
            c.blend(x + dx, y, mix(GOLD_DARK, GOLD, 1 - abs(dx) / 3), 0.55)
    for k, y in enumerate(range(190, 610, 42)):
        diamond = [(x, y - 12), (x + 10, y), (x, y + 12), (x - 10, y)]
        for yy in range(y - 13, y + 14):
            for xx in range(x - 11, x + 12):
                if in_polygon(xx + 0.5, yy + 0.5, diamond):
                    c.px[yy * c.w + xx] = list(mix((24, 18, 14), (60, 44, 30), (yy - y + 13) / 26))
        for i, v in coverage_of_strokes([diamond + [diamond[0]]], 1.6, c.w, c.h).items():
            c.blend(i % c.w, i // c.w, GOLD, v)
        gem(c, x, y, 3.2, (40, 92, 150) if k % 2 else (170, 36, 30))


def keystone(c):
    cx = 494
    gem(c, cx, 712, 9, (170, 36, 30))


# ---------------------------------------------------------------- buttons

def push_face(state):
    w, h = 134, 30
    c = Canvas(w, h)
    top, bottom = {"normal": ((150, 54, 38), (86, 24, 18)),
                   "hover": ((196, 88, 56), (126, 44, 30)),
                   "pressed": ((70, 20, 15), (116, 40, 28))}[state]
    rim = {"normal": (GOLD_LIGHT, GOLD_DARK), "hover": ((255, 236, 170), GOLD),
           "pressed": (GOLD_DARK, GOLD)}[state]
    for y in range(h):
        for x in range(w):
            t = y / (h - 1)
            col = mix(top, bottom, t)
            if state != "pressed" and y < h / 2:
                col = mix(col, (255, 220, 180), 0.10 * (1 - y / (h / 2)))
            edge = min(x, y, w - 1 - x, h - 1 - y)
            if edge == 0:
                col = (28, 14, 8)
            elif edge == 1:
                col = rim[0] if (y == 1 or x == 1) else rim[1]
            elif edge == 2:
                col = mix(col, rim[0] if (y == 2 or x == 2) else rim[1], 0.45)
            c.px[y * w + x] = list(col)
    # small gilt diamonds at both ends
    for gx in (9, w - 10):
        for y in range(h):
            for x in range(gx - 5, gx + 6):
                if abs(x - gx) + abs(y - h / 2 + 0.5) <= 4.5:
                    c.blend(x, y, GOLD_LIGHT if state == "hover" else GOLD, 0.9)
    return c


def chrome_strip(lit, state):
    c = Canvas(89, 21, (24, 14, 8))
    chrome_plate(c, 0, 0, 44, 21, state if lit == "minimize" else "normal", "minimize")
    chrome_plate(c, 45, 0, 44, 21, state if lit == "close" else "normal", "close")
    return c


# ---------------------------------------------------------------- icon

def icon_pixel(u, v):
    """RGBA of the emblem at (u, v) in the unit square; a shield with a star."""
    x, y = (u - 0.5) * 2, (v - 0.5) * 2
    def shield_d(x, y, grow):
        if y < -0.86 - grow:
            return False
        if abs(x) > 0.80 + grow:
            return False
        if y <= 0.05:
            return True
        k = (y - 0.05) / (0.86 + grow)
        return k <= 1 and abs(x) <= (0.80 + grow) * math.sqrt(max(0.0, 1 - k * k))
    if not shield_d(x, y, 0.10):
        return None
    if not shield_d(x, y, 0.0):
        light = clamp(0.5 - x * 0.3 - y * 0.4)
        return mix(GOLD_DARK, GOLD_LIGHT, light)
    col = mix((28, 52, 96), (14, 26, 52), (y + 1) / 2) if x < 0 else mix((140, 30, 24), (70, 14, 12), (y + 1) / 2)
    star = []
    for k in range(16):
        a = math.radians(k * 22.5 - 90)
        rr = 0.66 if k % 4 == 0 else 0.3 if k % 2 == 0 else 0.16
        star.append((rr * math.cos(a), -0.1 + rr * math.sin(a)))
    r = math.hypot(x, y + 0.1)
    if in_polygon(x, y, star):
        facet = 0.5 + 0.5 * math.sin(math.atan2(y + 0.1, x) * 8)
        col = mix((170, 120, 52), GOLD_LIGHT, facet)
    if r < 0.12:
        col = (200, 44, 36)
    return col


def render_icon(size):
    """RGBA rows (top-down) with 4x4 supersampling."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(4):
                for sx in range(4):
                    p = icon_pixel((x + (sx + 0.5) / 4) / size, (y + (sy + 0.5) / 4) / size)
                    if p is not None:
                        hits += 1
                        for k in range(3):
                            acc[k] += p[k]
            if hits:
                row.append((acc[0] / hits, acc[1] / hits, acc[2] / hits, hits / 16))
            else:
                row.append((0, 0, 0, 0.0))
        rows.append(row)
    return rows


def icon_palette():
    # 6x6x6 colour cube, a ramp of golds and reds, and greys
    pal = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    for k in range(13):
        t = k / 12
        pal.append(tuple(int(v) for v in mix(GOLD_DARK, GOLD_LIGHT, t)))
    for k in range(13):
        t = k / 12
        pal.append(tuple(int(v) for v in mix((60, 10, 8), (200, 50, 40), t)))
    while len(pal) < 256:
        t = (len(pal) - 242) / 13
        pal.append(tuple(int(v) for v in mix((10, 20, 44), (40, 72, 130), t)))
    return pal[:256]


def icon_image(size, bpp):
    rows = render_icon(size)
    pal = icon_palette() if bpp == 8 else None
    row_bytes = (size * bpp // 8 + 3) & ~3
    mask_row = ((size + 31) // 32) * 4
    xor = bytearray()
    andm = bytearray()
    for row in reversed(rows):
        line = bytearray()
        bits = bytearray(mask_row)
        for x, (r, g, b, a) in enumerate(row):
            opaque = a >= 0.5 if bpp != 32 else a > 0
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
            if bpp == 8:
                if not opaque:
                    line.append(0)
                    continue
                best = min(range(256), key=lambda i: (pal[i][0] - r) ** 2 + (pal[i][1] - g) ** 2 + (pal[i][2] - b) ** 2)
                line.append(best)
            elif bpp == 24:
                line += bytes((int(b), int(g), int(r))) if opaque else b"\0\0\0"
            else:
                line += bytes((int(b), int(g), int(r), int(round(a * 255))))
        line += b"\0" * (row_bytes - len(line))
        xor += line
        andm += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(andm), 0, 0,
                         256 if bpp == 8 else 0, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in pal) if pal else b""
    return header + palette + bytes(xor) + bytes(andm)


def write_icon(path):
    images = [(64, 8), (48, 8), (32, 8), (16, 8), (32, 24), (64, 32), (48, 32), (16, 32)]
    blobs = [icon_image(s, b) for s, b in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


# ---------------------------------------------------------------- main

def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources")
    face, mask = paint_face()
    print("ornaments...", file=sys.stderr)
    inner_frame(face)
    bastions(face)
    rivets(face)
    crest(face)
    right_column(face)
    panel(face)
    button_row(face)
    banner(face)
    title_bar(face)
    keystone(face)
    write_bmp(os.path.join(out, "skin_background.bmp"), face, mask)
    for state in ("normal", "hover", "pressed"):
        write_bmp(os.path.join(out, "button_%s.bmp" % state), push_face(state))
    for lit in ("close", "minimize"):
        for state in ("hover", "pressed"):
            write_bmp(os.path.join(out, "%s_%s.bmp" % (lit, state)), chrome_strip(lit, state))
    write_icon(os.path.join(out, "quellmark.ico"))
    print("written to", out, file=sys.stderr)


if __name__ == "__main__":
    main()
