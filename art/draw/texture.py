"""The warp texture: the letters N O R Q, large, bevelled and overlapping, in
front of a dotted panel, lit from the top left.

Levels: 0 black, 1 dark, 2 light, 3 white. Each letter is a union of shapes
minus its counters, measured with a distance field: pixels near the edge form a
bevel whose brightness follows the angle between its outward slope and the
light; the flat face is dark. In-between brightnesses are checkerboard-dithered.
Each letter is cut out of what lies behind it by a black outline with a
heavier shadow to the bottom right, and a few white glints sit on the bright
bevels. Everything is deterministic: the scatter comes from a fixed generator.
"""

import math

WIDTH, HEIGHT = 320, 152
# The picture's box; everything outside it stays black, so the repetitions of
# the texture are separated by black bands.
TOP, BOTTOM, LEFT, RIGHT = 1, 126, 14, 300

BEVEL = 6.0          # bevel width, pixels
OUTLINE = 1.5        # black outline around a letter, pixels
SHADOW = (4, 3)      # extra shadow offset to the right and down, pixels
LIGHT = (-1 / math.sqrt(2), -1 / math.sqrt(2))  # towards the top left


class Random:
    """A small linear congruential generator, so the picture never changes."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) % (1 << 31)
        return self.state >> 8

    def below(self, n):
        return self.next() % n


# ---------------------------------------------------------------- shapes
# Each shape is a function (x, y) -> True inside, in letter-local pixels.

def round_box(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def inside(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0), max(qy, 0))
        return outside + min(max(qx, qy), 0) - r <= 0
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y):
                xc = xa + (y - ya) * (xb - xa) / (yb - ya)
                if x < xc:
                    result = not result
        return result
    return inside


def letter(solids, holes):
    def inside(x, y):
        return any(s(x, y) for s in solids) and not any(h(x, y) for h in holes)
    return inside


W, H, S = 78, 112, 24   # letter box and stroke width


def letter_n():
    return letter([round_box(0, 0, S, H, 3), round_box(W - S, 0, W, H, 3),
                   polygon([(0, 0), (S + 6, 0), (W, H - 2), (W - S - 6, H), (0, 2)])], [])


def letter_o():
    return letter([round_box(0, 0, W, H, 30)], [round_box(S, S * 0.8, W - S, H - S * 0.8, 10)])


def letter_r():
    bowl = 62
    return letter([round_box(0, 0, S, H, 3), round_box(0, 0, W, bowl, 24),
                   polygon([(W * 0.3, bowl - S), (W * 0.3 + S + 8, bowl - S), (W, H - 1),
                            (W - S - 6, H), (W * 0.3, bowl - 4)])],
                  [round_box(S, S * 0.75, W - S, bowl - S * 0.75, 6)])


def letter_q():
    ring = letter([round_box(0, 0, W, H - 10, 30)],
                  [round_box(S, S * 0.8, W - S, H - 10 - S * 0.8, 10)])
    tail = polygon([(W * 0.45, H * 0.6), (W * 0.45 + S * 0.9, H * 0.6 - 6),
                    (W + 8, H - 2), (W - S + 4, H + 2)])
    return letter([ring, tail], [])


# (shape, left, top) in texture pixels; later letters stand in front.
LETTERS = [
    (letter_n, LEFT, TOP),
    (letter_o, 84, TOP + 10),
    (letter_r, 152, TOP + 3),
    (letter_q, 214, TOP + 12),
]

PANEL = (TOP + 18, LEFT, TOP + 104, RIGHT)   # top, left, bottom, right
PANEL_DOTS = 9       # one pixel in this many of the panel is a black dot
# White specks on the bright bevels: stars of 9 pixels, crosses of 5, singles.
GLINT_STARS, GLINT_CROSSES, GLINT_SINGLES = 8, 22, 70


# ---------------------------------------------------------------- drawing

def distance_inside(mask):
    """Chamfer distance from each inside pixel to the nearest outside one."""
    big = 1e9
    d = [[0.0 if not mask[y][x] else big for x in range(WIDTH)] for y in range(HEIGHT)]
    a, b = 1.0, math.sqrt(2)
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if d[y][x] == 0:
                continue
            v = d[y][x]
            if x > 0: v = min(v, d[y][x - 1] + a)
            if y > 0:
                v = min(v, d[y - 1][x] + a)
                if x > 0: v = min(v, d[y - 1][x - 1] + b)
                if x < WIDTH - 1: v = min(v, d[y - 1][x + 1] + b)
            d[y][x] = v
    for y in range(HEIGHT - 1, -1, -1):
        for x in range(WIDTH - 1, -1, -1):
            if d[y][x] == 0:
                continue
            v = d[y][x]
            if x < WIDTH - 1: v = min(v, d[y][x + 1] + a)
            if y < HEIGHT - 1:
                v = min(v, d[y + 1][x] + a)
                if x < WIDTH - 1: v = min(v, d[y + 1][x + 1] + b)
                if x > 0: v = min(v, d[y + 1][x - 1] + b)
            d[y][x] = v
    return d


def dithered(brightness, x, y):
    """Brightness 0..2 to a level 0..2; the halves between levels become a
    checkerboard of the two."""
    base = int(brightness)
    frac = brightness - base
    if frac < 0.3:
        return base
    if frac > 0.7:
        return base + 1
    return base + ((x + y) & 1)


def draw_texture():
    img = [[0] * WIDTH for _ in range(HEIGHT)]
    rng = Random(1313)

    top, left, bottom, right = PANEL
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            img[y][x] = 1
    for y in range(top + 1, bottom):
        for x in range(left + 1, right):
            if rng.below(PANEL_DOTS) == 0 and img[y][x - 1] == 1 and img[y - 1][x] == 1 \
                    and img[y - 1][x - 1] == 1 and img[y - 1][x + 1] == 1:
                img[y][x] = 0

    bright_bevel = []
    for make, ox, oy in LETTERS:
        shape = make()
        mask = [[TOP <= y <= BOTTOM and LEFT <= x <= RIGHT and shape(x - ox + 0.5, y - oy + 0.5)
                 for x in range(WIDTH)] for y in range(HEIGHT)]
        # The outline and shadow, then the letter itself: the letter swept
        # towards the bottom right, grown by the outline width, goes black.
        sx, sy = SHADOW
        steps = max(sx, sy)
        swept = [[False] * WIDTH for _ in range(HEIGHT)]
        for t in range(steps + 1):
            dx, dy = round(sx * t / steps), round(sy * t / steps)
            for y in range(HEIGHT - dy):
                for x in range(WIDTH - dx):
                    if mask[y][x]:
                        swept[y + dy][x + dx] = True
        reach = distance_inside([[not v for v in row] for row in swept])
        for y in range(TOP, BOTTOM + 1):
            for x in range(LEFT, RIGHT + 1):
                if reach[y][x] <= OUTLINE:
                    img[y][x] = 0
        dist = distance_inside(mask)
        for y in range(HEIGHT):
            for x in range(WIDTH):
                if not mask[y][x]:
                    continue
                d = dist[y][x]
                if d > BEVEL:
                    img[y][x] = 1
                    continue
                gx = dist[y][min(x + 1, WIDTH - 1)] - dist[y][max(x - 1, 0)]
                gy = dist[min(y + 1, HEIGHT - 1)][x] - dist[max(y - 1, 0)][x]
                n = math.hypot(gx, gy)
                if n == 0:
                    img[y][x] = 1
                    continue
                # Outward slope: against the distance's growth.
                nx, ny = -gx / n, -gy / n
                light = nx * LIGHT[0] + ny * LIGHT[1]     # -1 .. 1
                brightness = 1 + light * 1.5
                brightness = max(0.0, min(2.0, brightness))
                level = dithered(brightness, x, y)
                if d <= 1.0 and level == 2:
                    level = 1    # a dark rim between a bright bevel and the outline
                img[y][x] = level
        for y in range(HEIGHT):
            for x in range(WIDTH):
                if mask[y][x] and img[y][x] == 2:
                    bright_bevel.append((x, y))

    # White glints on the bright bevels: mostly single pixels, some small
    # crosses and a few stars. A glint and its side neighbours must lie on light
    # pixels, and glints keep apart from one another.
    single = [(0, 0)]
    cross = [(0, 0), (1, 0), (-1, 0), (0, 1), (0, -1)]
    star = cross + [(2, 0), (-2, 0), (0, 2), (0, -2)]
    sides = [(0, 0), (1, 0), (-1, 0), (0, 1), (0, -1)]
    for shape, count in ((star, GLINT_STARS), (cross, GLINT_CROSSES), (single, GLINT_SINGLES)):
        placed = 0
        for _ in range(20000):
            if placed == count:
                break
            x, y = bright_bevel[rng.below(len(bright_bevel))]
            pts = [(x + dx, y + dy) for dx, dy in shape]
            if not all(img[py][px] == 2 and all(img[py + ry][px + rx] >= 2 for rx, ry in sides)
                       for px, py in pts):
                continue
            if any(img[py + ry][px + rx] == 3 for px, py in pts
                   for ry in range(-3, 4) for rx in range(-3, 4)):
                continue
            for px, py in pts:
                img[py][px] = 3
            placed += 1
    return img

