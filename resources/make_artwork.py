#!/usr/bin/env python3
"""Generates Velmora's artwork: the program icon and the navigation pictures.

Run from the repository root:

    python3 resources/make_artwork.py

Writes resources/velmora.ico, resources/navigation.bmp and PNG previews under
build/artwork-preview/.  Only the Python standard library is used, and the
output is byte-for-byte identical from run to run.

Everything is drawn procedurally by the small rasterizer below.  Shapes are
signed distance functions (negative inside, 1-Lipschitz), which makes unions,
cut-outs, rotation and "grow by d" trivial.  Each pixel is covered by a 4x4
grid of samples; pixels whose centre is clearly inside or outside a shape skip
the supersampling, which is exact because the distances never overestimate.
"""

import math
import os
import struct
import zlib

SUBSAMPLES = 4
HALF_DIAGONAL = 0.7072  # a pixel's half diagonal, rounded up


# ---------------------------------------------------------------------------
# Shapes
# ---------------------------------------------------------------------------

class Shape:
    """A signed distance function with a bounding box (x0, y0, x1, y1)."""

    __slots__ = ("sd", "bbox")

    def __init__(self, sd, bbox):
        self.sd = sd
        self.bbox = bbox

    def __or__(self, other):
        return union(self, other)

    def __sub__(self, other):
        return subtract(self, other)

    def __and__(self, other):
        return intersect(self, other)


def circle(cx, cy, r):
    def sd(x, y):
        return math.hypot(x - cx, y - cy) - r
    return Shape(sd, (cx - r, cy - r, cx + r, cy + r))


def ring(cx, cy, r, width, a0=None, a1=None):
    """A ring of radius r (to the middle of the stroke) and the given width.

    With a0/a1 (degrees, measured clockwise from +x because y points down) it
    becomes an arc from a0 to a1 with round caps."""
    hw = width / 2.0
    bbox = (cx - r - hw, cy - r - hw, cx + r + hw, cy + r + hw)
    if a0 is None:
        def sd(x, y):
            return abs(math.hypot(x - cx, y - cy) - r) - hw
        return Shape(sd, bbox)

    span = (a1 - a0) % 360.0
    start = math.radians(a0)
    end = math.radians(a0 + span)
    p0 = (cx + r * math.cos(start), cy + r * math.sin(start))
    p1 = (cx + r * math.cos(end), cy + r * math.sin(end))

    def sd(x, y):
        dx, dy = x - cx, y - cy
        ang = (math.degrees(math.atan2(dy, dx)) - a0) % 360.0
        if ang <= span:
            return abs(math.hypot(dx, dy) - r) - hw
        return min(math.hypot(x - p0[0], y - p0[1]),
                   math.hypot(x - p1[0], y - p1[1])) - hw
    return Shape(sd, bbox)


def rrect(x0, y0, x1, y1, r):
    """Rounded rectangle; r may be 0 for sharp corners."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def sd(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return Shape(sd, (x0, y0, x1, y1))


def segment(x0, y0, x1, y1, width):
    """Thick line segment with round caps."""
    hw = width / 2.0
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-12

    def sd(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
        return math.hypot(x - x0 - t * dx, y - y0 - t * dy) - hw
    return Shape(sd, (min(x0, x1) - hw, min(y0, y1) - hw,
                      max(x0, x1) + hw, max(y0, y1) + hw))


def polyline(points, width):
    return union(*[segment(a[0], a[1], b[0], b[1], width)
                   for a, b in zip(points, points[1:])])


def polygon(points):
    """Filled polygon using the even-odd rule."""
    pts = list(points)
    edges = list(zip(pts, pts[1:] + pts[:1]))

    def sd(x, y):
        best = float("inf")
        inside = False
        for (ax, ay), (bx, by) in edges:
            ex, ey = bx - ax, by - ay
            ll = ex * ex + ey * ey or 1e-12
            t = ((x - ax) * ex + (y - ay) * ey) / ll
            t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
            d = math.hypot(x - ax - t * ex, y - ay - t * ey)
            if d < best:
                best = d
            if (ay > y) != (by > y):
                if x < ax + (y - ay) * ex / ey:
                    inside = not inside
        return -best if inside else best
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(sd, (min(xs), min(ys), max(xs), max(ys)))


def regular_polygon(cx, cy, r, n, rotation_deg=0.0):
    return polygon([(cx + r * math.cos(math.radians(rotation_deg + i * 360.0 / n)),
                     cy + r * math.sin(math.radians(rotation_deg + i * 360.0 / n)))
                    for i in range(n)])


def union(*shapes):
    fns = [s.sd for s in shapes]

    def sd(x, y):
        return min(f(x, y) for f in fns)
    return Shape(sd, (min(s.bbox[0] for s in shapes), min(s.bbox[1] for s in shapes),
                      max(s.bbox[2] for s in shapes), max(s.bbox[3] for s in shapes)))


def subtract(a, b):
    fa, fb = a.sd, b.sd

    def sd(x, y):
        return max(fa(x, y), -fb(x, y))
    return Shape(sd, a.bbox)


def intersect(a, b):
    fa, fb = a.sd, b.sd

    def sd(x, y):
        return max(fa(x, y), fb(x, y))
    return Shape(sd, (max(a.bbox[0], b.bbox[0]), max(a.bbox[1], b.bbox[1]),
                      min(a.bbox[2], b.bbox[2]), min(a.bbox[3], b.bbox[3])))


def grow(shape, d):
    """Dilates a shape by d (or erodes it for negative d)."""
    f = shape.sd
    x0, y0, x1, y1 = shape.bbox

    def sd(x, y):
        return f(x, y) - d
    return Shape(sd, (x0 - d, y0 - d, x1 + d, y1 + d))


def rotate(shape, cx, cy, degrees):
    """Rotates a shape clockwise (on screen) around (cx, cy)."""
    f = shape.sd
    c = math.cos(math.radians(degrees))
    s = math.sin(math.radians(degrees))

    def sd(x, y):
        dx, dy = x - cx, y - cy
        return f(cx + dx * c + dy * s, cy - dx * s + dy * c)
    x0, y0, x1, y1 = shape.bbox
    corners = []
    for px, py in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
        dx, dy = px - cx, py - cy
        corners.append((cx + dx * c - dy * s, cy + dx * s + dy * c))
    return Shape(sd, (min(p[0] for p in corners), min(p[1] for p in corners),
                      max(p[0] for p in corners), max(p[1] for p in corners)))


def transform(shape, scale, ox, oy):
    """Maps design coordinates to pixels: p' = p * scale + (ox, oy)."""
    f = shape.sd

    def sd(x, y):
        return f((x - ox) / scale, (y - oy) / scale) * scale
    x0, y0, x1, y1 = shape.bbox
    return Shape(sd, (x0 * scale + ox, y0 * scale + oy, x1 * scale + ox, y1 * scale + oy))


# ---------------------------------------------------------------------------
# Colours and paints
# ---------------------------------------------------------------------------

def rgb(hex_colour, alpha=1.0):
    h = hex_colour.lstrip("#")
    return (int(h[0:2], 16) / 255.0, int(h[2:4], 16) / 255.0,
            int(h[4:6], 16) / 255.0, alpha)


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def linear(x0, y0, x1, y1, c0, c1):
    """Linear gradient paint from (x0, y0) in c0 to (x1, y1) in c1."""
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-12

    def paint(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
        return mix(c0, c1, t)
    return paint


# ---------------------------------------------------------------------------
# Canvas
# ---------------------------------------------------------------------------

class Canvas:
    """Premultiplied RGBA floats, row-major, top row first."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.px = [0.0] * (width * height * 4)
        n = SUBSAMPLES
        self.offsets = [((i + 0.5) / n, (j + 0.5) / n) for j in range(n) for i in range(n)]

    def _coverage(self, sd, x, y):
        c = sd(x + 0.5, y + 0.5)
        if c <= -HALF_DIAGONAL:
            return 1.0
        if c >= HALF_DIAGONAL:
            return 0.0
        hits = 0
        for ox, oy in self.offsets:
            if sd(x + ox, y + oy) <= 0.0:
                hits += 1
        return hits / float(len(self.offsets))

    def _span(self, shape, clip):
        x0, y0, x1, y1 = shape.bbox
        cx0, cy0, cx1, cy1 = clip if clip else (0, 0, self.width, self.height)
        ix0 = max(int(math.floor(x0)) - 1, cx0, 0)
        iy0 = max(int(math.floor(y0)) - 1, cy0, 0)
        ix1 = min(int(math.ceil(x1)) + 1, cx1, self.width)
        iy1 = min(int(math.ceil(y1)) + 1, cy1, self.height)
        return ix0, iy0, ix1, iy1

    def fill(self, shape, paint, clip=None, opacity=1.0):
        """Composites paint (a colour tuple or a function of x, y) over the
        canvas wherever the shape covers it."""
        ix0, iy0, ix1, iy1 = self._span(shape, clip)
        sd = shape.sd
        px = self.px
        for y in range(iy0, iy1):
            for x in range(ix0, ix1):
                cov = self._coverage(sd, x, y)
                if cov <= 0.0:
                    continue
                r, g, b, a = paint(x + 0.5, y + 0.5) if callable(paint) else paint
                a *= cov * opacity
                k = (y * self.width + x) * 4
                inv = 1.0 - a
                px[k] = r * a + px[k] * inv
                px[k + 1] = g * a + px[k + 1] * inv
                px[k + 2] = b * a + px[k + 2] * inv
                px[k + 3] = a + px[k + 3] * inv

    def erase(self, shape, clip=None):
        """Punches the shape out of whatever has been drawn so far."""
        ix0, iy0, ix1, iy1 = self._span(shape, clip)
        sd = shape.sd
        px = self.px
        for y in range(iy0, iy1):
            for x in range(ix0, ix1):
                cov = self._coverage(sd, x, y)
                if cov <= 0.0:
                    continue
                k = (y * self.width + x) * 4
                inv = 1.0 - cov
                for i in range(4):
                    px[k + i] *= inv

    def straight_rgba(self):
        """Returns rows (top first) of straight-alpha 8-bit RGBA tuples."""
        rows = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                k = (y * self.width + x) * 4
                a = self.px[k + 3]
                a8 = int(round(min(max(a, 0.0), 1.0) * 255))
                if a8 == 0:
                    row.append((0, 0, 0, 0))
                    continue
                row.append(tuple(int(round(min(max(self.px[k + i] / a, 0.0), 1.0) * 255))
                                 for i in range(3)) + (a8,))
            rows.append(row)
        return rows


# ---------------------------------------------------------------------------
# Palette shared by all pictures
# ---------------------------------------------------------------------------

WHITE = rgb("#FFFFFF")
BLUE_LIGHT, BLUE_DARK = rgb("#4DA3F5"), rgb("#1F6ED4")
TEAL_LIGHT, TEAL_DARK = rgb("#3CCFC0"), rgb("#12958F")
ORANGE_LIGHT, ORANGE_DARK = rgb("#FFB547"), rgb("#EE7F1B")
GREEN_LIGHT, GREEN_DARK = rgb("#5CD68A"), rgb("#22A45A")
SLATE_LIGHT, SLATE_DARK = rgb("#9AA9BA"), rgb("#6A7B8F")
RED = rgb("#E8454B")
INK = rgb("#26374D")


def vgrad(top, bottom, c_top, c_bottom):
    return linear(0, top, 0, bottom, c_top, c_bottom)


# ---------------------------------------------------------------------------
# Program icon
# ---------------------------------------------------------------------------

def draw_icon(size):
    """Rounded tile in a blue-to-teal gradient carrying three linked nodes.

    Designed on a 64-unit grid; the 16 px version gets relatively heavier
    strokes and nodes so that it stays legible."""
    cv = Canvas(size, size)
    s = size / 64.0

    def T(shape):
        return transform(shape, s, 0.0, 0.0)

    margin = {16: 0.0, 32: 1.0, 48: 1.5, 64: 2.0}.get(size, 2.0 * s) / s
    radius = {16: 3.5}.get(size, 14.0 * s) / s
    tile = rrect(margin, margin, 64 - margin, 64 - margin, radius)
    tile_paint = linear(6 * s, 4 * s, 56 * s, 62 * s, rgb("#1C4FA8"), rgb("#0FA39C"))
    cv.fill(T(tile), tile_paint)
    # Soft light fading out towards the middle of the tile.
    cv.fill(T(tile), vgrad(0, 34 * s, rgb("#FFFFFF", 0.14), rgb("#FFFFFF", 0.0)))

    if size <= 16:
        line_w, node_r, hub_r = 1.45 / s, 2.35 / s, 2.35 / s
    elif size <= 32:
        line_w, node_r, hub_r = 2.2 / s, 3.6 / s, 3.6 / s
    else:
        line_w, node_r, hub_r = 3.6, 6.2, 6.2

    top = (32.0, 17.5)
    left = (16.5, 45.0)
    right = (47.5, 45.0)
    if size <= 16:
        top, left, right = (32.0, 16.0), (14.5, 47.0), (49.5, 47.0)
    links = union(segment(*top, *left, line_w),
                  segment(*top, *right, line_w),
                  segment(*left, *right, line_w))
    nodes = union(circle(*top, hub_r), circle(*left, node_r), circle(*right, node_r))
    cv.fill(T(links), rgb("#FFFFFF", 0.92))
    cv.fill(T(nodes), WHITE)
    if size >= 48:
        # Hollow cores on the nodes at the larger sizes.
        cores = union(circle(*top, hub_r - 3.0), circle(*left, node_r - 3.0),
                      circle(*right, node_r - 3.0))
        cv.erase(T(cores))
        cv.fill(T(cores), tile_paint)
        cv.fill(T(cores), vgrad(0, 34 * s, rgb("#FFFFFF", 0.14), rgb("#FFFFFF", 0.0)))
    return cv


# ---------------------------------------------------------------------------
# Navigation pictures (48 x 48 each)
# ---------------------------------------------------------------------------

NAV_SIZE = 48
NAV_COUNT = 13


def nav_profiles(cv, ox):
    """Network profiles: a house with wireless arcs, a profile card behind."""
    def at(shape):
        return transform(shape, 1.0, ox + 1.0, 0.0)
    clip = (ox, 0, ox + NAV_SIZE, NAV_SIZE)

    # Card peeking out behind the house: stands for the stored profiles.
    card = rrect(24, 4, 45, 30, 3.5)
    cv.fill(at(card), vgrad(5, 31, TEAL_LIGHT, TEAL_DARK), clip)
    cv.fill(at(union(segment(30, 10.5, 40, 10.5, 2.4), segment(30, 16, 40, 16, 2.4))),
            rgb("#FFFFFF", 0.9), clip)

    roof = polygon([(2.5, 24.5), (20, 8.5), (37.5, 24.5)])
    body = rrect(7, 21, 33, 44, 2.5)
    house = union(grow(roof, 1.6), body)
    cv.erase(at(grow(house, 2.2)), clip)
    cv.fill(at(house), vgrad(8, 44, BLUE_LIGHT, BLUE_DARK), clip)

    # Wireless symbol in the wall.
    cx, cy = 20.0, 39.0
    cv.fill(at(circle(cx, cy, 2.4)), WHITE, clip)
    cv.fill(at(ring(cx, cy, 6.5, 2.6, -135, -45)), WHITE, clip)
    cv.fill(at(ring(cx, cy, 11.5, 2.6, -135, -45)), WHITE, clip)


def gear_shape(cx, cy, r_outer, r_inner, r_hole, teeth, tooth_frac=0.5, g=0.0):
    """A gear with trapezoid teeth, built from a polygon minus a hole."""
    pts = []
    step = 2.0 * math.pi / teeth
    half_top = step * tooth_frac * 0.38
    half_base = step * tooth_frac * 0.62
    for i in range(teeth):
        a = i * step
        pts.append((cx + r_inner * math.cos(a - half_base), cy + r_inner * math.sin(a - half_base)))
        pts.append((cx + r_outer * math.cos(a - half_top), cy + r_outer * math.sin(a - half_top)))
        pts.append((cx + r_outer * math.cos(a + half_top), cy + r_outer * math.sin(a + half_top)))
        pts.append((cx + r_inner * math.cos(a + half_base), cy + r_inner * math.sin(a + half_base)))
    body = union(polygon(pts), circle(cx, cy, r_inner))
    return subtract(grow(body, g), circle(cx, cy, r_hole))


def wrench_shape(g=0.0):
    """A wrench lying along the x axis, head at the left, centred on (24, 24)."""
    handle = segment(17, 24, 42, 24, 6.0 + 2 * g)
    head = circle(13, 24, 9.0 + g)
    jaw = union(rrect(1, 20.6, 14.5, 27.4, 1.6),
                circle(14.2, 24, 3.4))
    return subtract(union(head, handle), grow(jaw, -g))


def nav_commands(cv, ox):
    """Useful commands / repair: an orange wrench across a slate gear."""
    def at(shape):
        return transform(shape, 1.0, ox, 0.0)
    clip = (ox, 0, ox + NAV_SIZE, NAV_SIZE)

    gear = gear_shape(29, 19, 17.5, 12.5, 5.2, 8, tooth_frac=0.55)
    cv.fill(at(gear), vgrad(2, 37, SLATE_LIGHT, SLATE_DARK), clip)

    angle = 135.0  # head up and to the right, on top of the gear
    wrench = rotate(wrench_shape(), 24, 24, angle)
    wrench_gap = rotate(wrench_shape(2.2), 24, 24, angle)
    wrench = transform(wrench, 1.0, -1.0, 3.0)
    wrench_gap = transform(wrench_gap, 1.0, -1.0, 3.0)
    cv.erase(at(wrench_gap), clip)
    cv.fill(at(wrench), linear(10, 10, 38, 40, ORANGE_LIGHT, ORANGE_DARK), clip)


def nav_adapter(cv, ox):
    """Adapter and proxy settings: a globe with a network plug."""
    def at(shape):
        return transform(shape, 1.0, ox, 0.0)
    clip = (ox, 0, ox + NAV_SIZE, NAV_SIZE)

    cx, cy, r = 20.0, 20.0, 17.0
    globe = circle(cx, cy, r)
    cv.fill(at(globe), linear(8, 4, 32, 38, BLUE_LIGHT, BLUE_DARK), clip)
    lw = 2.0
    inner = grow(globe, -0.5)
    lines = [segment(cx, cy - r, cx, cy + r, lw), segment(cx - r, cy, cx + r, cy, lw)]
    # Meridians: arcs of large circles through both poles, bulging 8 units.
    bulge = 8.0
    big = (r * r + bulge * bulge) / (2.0 * bulge)
    lines.append(ring(cx + bulge - big, cy, big, lw))
    lines.append(ring(cx - bulge + big, cy, big, lw))
    # Parallels, curved slightly as if seen from above the equator.
    lines.append(ring(cx, cy + 22.0, 32.0, lw))
    lines.append(ring(cx, cy - 22.0, 32.0, lw))
    cv.fill(at(intersect(union(*lines), inner)), rgb("#FFFFFF", 0.88), clip)

    # Plug with its cable, separated from the globe by a transparent gap.
    plug_body = rrect(26, 27, 42, 40, 2.5)
    prongs = union(rrect(29, 23, 32, 28, 0.6), rrect(36, 23, 39, 28, 0.6))
    cable = polyline([(34, 39), (34, 44.5), (22, 44.5)], 3.4)
    plug = union(plug_body, prongs, cable)
    cv.erase(at(grow(plug, 2.2)), clip)
    paint = vgrad(23, 45, GREEN_LIGHT, GREEN_DARK)
    cv.fill(at(plug), paint, clip)
    cv.fill(at(segment(30.5, 33.5, 37.5, 33.5, 2.2)), rgb("#FFFFFF", 0.9), clip)


def nav_dns_test(cv, ox):
    """DNS test: a stopwatch with an elapsed wedge and a red hand."""
    def at(shape):
        return transform(shape, 1.0, ox, 0.0)
    clip = (ox, 0, ox + NAV_SIZE, NAV_SIZE)

    cx, cy, r = 24.0, 27.0, 18.5
    crown = union(rrect(20, 2.5, 28, 6.5, 1.2), rrect(22.2, 5, 25.8, 10, 0.5))
    side = rotate(rrect(22, 4, 26, 9.5, 1.0), cx, cy, 45)
    ring_paint = vgrad(2, 46, GREEN_LIGHT, GREEN_DARK)
    cv.fill(at(union(crown, side)), ring_paint, clip)
    cv.fill(at(circle(cx, cy, r)), ring_paint, clip)
    face_r = r - 3.6
    cv.fill(at(circle(cx, cy, face_r)), rgb("#FBFDFF"), clip)

    # Elapsed time wedge from 12 o'clock to the hand.
    hand_deg = 50.0
    wedge = intersect(circle(cx, cy, face_r - 2.0),
                      polygon([(cx, cy), (cx, cy - 30),
                               (cx + 30, cy - 30),
                               (cx + 30 * math.cos(math.radians(hand_deg - 90)) * 1.6,
                                cy + 30 * math.sin(math.radians(hand_deg - 90)) * 1.6)]))
    cv.fill(at(wedge), GREEN_LIGHT[:3] + (0.35,), clip)

    ticks = []
    for i in range(12):
        a = math.radians(i * 30 - 90)
        inner = face_r - (4.2 if i % 3 == 0 else 3.0)
        outer = face_r - 1.6
        ticks.append(segment(cx + inner * math.cos(a), cy + inner * math.sin(a),
                             cx + outer * math.cos(a), cy + outer * math.sin(a),
                             1.7 if i % 3 == 0 else 1.2))
    cv.fill(at(union(*ticks)), rgb("#5B6B7F"), clip)

    a = math.radians(hand_deg - 90)
    hand = segment(cx, cy, cx + (face_r - 3.2) * math.cos(a), cy + (face_r - 3.2) * math.sin(a), 2.4)
    cv.fill(at(hand), RED, clip)
    cv.fill(at(circle(cx, cy, 2.6)), INK, clip)


def draw_navigation():
    cv = Canvas(NAV_SIZE * NAV_COUNT, NAV_SIZE)
    nav_profiles(cv, 9 * NAV_SIZE)
    nav_commands(cv, 10 * NAV_SIZE)
    nav_adapter(cv, 11 * NAV_SIZE)
    nav_dns_test(cv, 12 * NAV_SIZE)
    return cv


# ---------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------

def bgra_bottom_up(rows):
    out = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            out += bytes((b, g, r, a))
    return bytes(out)


def bitmap_info_header(width, height, image_size):
    # biSize, biWidth, biHeight, biPlanes, biBitCount, biCompression (BI_RGB),
    # biSizeImage, biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, image_size, 0, 0, 0, 0)


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    pixels = bgra_bottom_up(rows)
    info = bitmap_info_header(width, height, len(pixels))
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def ico_image(rows):
    size = len(rows)
    xor = bgra_bottom_up(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    # The header's height covers both the colour image and the mask.
    return bitmap_info_header(size, size * 2, len(xor) + len(mask)) + xor + bytes(mask)


def write_ico(path, images):
    """images: list of (size, rows) pairs."""
    blobs = [(size, ico_image(rows)) for size, rows in images]
    directory = struct.pack("<HHH", 0, 1, len(blobs))
    offset = len(directory) + 16 * len(blobs)
    entries = b""
    for size, blob in blobs:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(directory + entries + b"".join(blob for _, blob in blobs))


def write_png(path, rows):
    """Writes 8-bit RGBA rows as a PNG."""
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def over_background(rows, bg_hex, scale=1):
    br, bgc, bb, _ = (int(round(c * 255)) for c in rgb(bg_hex))
    out = []
    for row in rows:
        line = []
        for r, g, b, a in row:
            px = (int(round((r * a + br * (255 - a)) / 255.0)),
                  int(round((g * a + bgc * (255 - a)) / 255.0)),
                  int(round((b * a + bb * (255 - a)) / 255.0)), 255)
            line.extend([px] * scale)
        out.extend([line] * scale)
    return out


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    resources = os.path.join(root, "resources")
    preview = os.path.join(root, "build", "artwork-preview")
    os.makedirs(preview, exist_ok=True)

    icons = [(size, draw_icon(size).straight_rgba()) for size in (16, 32, 48, 64)]
    write_ico(os.path.join(resources, "velmora.ico"), icons)
    write_png(os.path.join(preview, "icon64.png"), icons[-1][1])

    nav = draw_navigation().straight_rgba()
    write_bmp(os.path.join(resources, "navigation.bmp"), nav)
    write_png(os.path.join(preview, "nav.png"),
              over_background(nav, "#F0F0F0", 2) + over_background(nav, "#2B2B2B", 2))


if __name__ == "__main__":
    main()
