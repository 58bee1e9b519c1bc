"""The four logos: block letters set from hand-drawn glyphs, each letter lit,
wrapped in a solid black outline, on a transparent background.

Glyph rows use '#' for a lit pixel and '.' for an unlit one. A logo places its
glyphs at given rows and columns. After the letters are set, every pixel within
the logo's outline widths of a lit one (diagonals included) becomes solid, as do
the logo's plate rectangles and any transparent pixel squeezed between two
solid ones; the rest is transparent. So a lit pixel never touches a transparent
one, and as no glyph reaches the rim, the rim holds no lit pixel.

The shares the demo expects (solid 37 to 39 per cent, transparent 11 to 18)
were met by the choice of stroke widths, the stagger of logo1a's lines and the
few plates; tests/core/art_structure_test.cpp checks them.
"""

LIT, SOLID, CLEAR = 1, 0, 2

# Order 1, left half: N O over R Q, 16 x 10 each, the lower line set to the right.
N16 = [
    "#####.......####",
    "######......####",
    "#######.....####",
    "####.###....####",
    "####..###...####",
    "####...###..####",
    "####....###.####",
    "####.....#######",
    "####......######",
    "####.......#####",
]
O16 = [
    "..############..",
    ".##############.",
    "#####......#####",
    "####........####",
    "####........####",
    "####........####",
    "####........####",
    "#####......#####",
    ".##############.",
    "..############..",
]
R16 = [
    "##############..",
    "###############.",
    "####.......#####",
    "####........####",
    "####.......#####",
    "###############.",
    "##############..",
    "####.....####...",
    "####......####..",
    "####.......####.",
]
Q16 = [
    "..############..",
    ".##############.",
    "#####......#####",
    "####........####",
    "####........####",
    "####...###..####",
    "####....###.####",
    "#####....#######",
    ".###############",
    "..##############",
]

# Order 1, right half: 1 over 3, 12 x 10 each.
ONE12 = [
    "....######..",
    "..########..",
    "##########..",
    "###.######..",
    "....######..",
    "....######..",
    "....######..",
    "....######..",
    "############",
    "############",
]
THREE12 = [
    ".##########.",
    "############",
    "......######",
    "......######",
    "..#########.",
    "..#########.",
    "......######",
    "......######",
    "############",
    ".##########.",
]

# Order 2: M U R L, 17 rows.
M17 = [
    "###......###",
    "####....####",
    "#####..#####",
    "############",
    "###.####.###",
    "###..##..###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
    "###......###",
]
U17 = [
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "##########",
    "##########",
    ".########.",
]
R17 = [
    "#########.",
    "##########",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "##########",
    "#########.",
    "###..###..",
    "###...###.",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
    "###....###",
]
L17 = [
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "###......",
    "#########",
    "#########",
    "#########",
]

# Order 3: # 1 3, 17 rows.
HASH17 = [
    "..###..###.",
    "..###..###.",
    "..###..###.",
    "..###..###.",
    "###########",
    "###########",
    ".###..###..",
    ".###..###..",
    ".###..###..",
    ".###..###..",
    ".###..###..",
    "###########",
    "###########",
    "###..###...",
    "###..###...",
    "###..###...",
    "###..###...",
]
ONE17 = [
    "..####",
    ".#####",
    "######",
    "######",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
    "..####",
]
THREE17 = [
    ".########.",
    "##########",
    "##########",
    "......####",
    "......####",
    "......####",
    "...######.",
    "...######.",
    "...#######",
    "......####",
    "......####",
    "......####",
    "......####",
    "......####",
    "##########",
    "##########",
    ".########.",
]

# name: (width, height, outline widths (left, right, up, down),
#        [(glyph, top, left), ...], [solid plate rectangles (top, left, bottom, right), inclusive])
LOGOS = {
    "logo1a": (39, 24, (1, 1, 1, 1), [(N16, 1, 1), (O16, 1, 18), (R16, 13, 5), (Q16, 13, 22)],
               [(11, 0, 12, 38)]),
    "logo1b": (14, 24, (1, 1, 1, 1), [(ONE12, 1, 1), (THREE12, 13, 1)], []),
    "logo2": (46, 19, (1, 1, 1, 1), [(M17, 1, 1), (U17, 1, 14), (R17, 1, 25), (L17, 1, 36)],
              [(6, 4, 18, 9), (3, 28, 6, 31)]),
    "logo3": (32, 19, (1, 1, 1, 2), [(HASH17, 1, 1), (ONE17, 1, 14), (THREE17, 1, 21)], []),
}


def build_logo(width, height, outline, letters, plates):
    img = [[CLEAR] * width for _ in range(height)]
    for glyph, top, left in letters:
        for y, row in enumerate(glyph):
            for x, ch in enumerate(row):
                if ch == "#":
                    assert img[top + y][left + x] != LIT, "letters overlap"
                    img[top + y][left + x] = LIT
    lit = [(x, y) for y in range(height) for x in range(width) if img[y][x] == LIT]
    left_w, right_w, up_w, down_w = outline
    for x, y in lit:
        for dy in range(-up_w, down_w + 1):
            for dx in range(-left_w, right_w + 1):
                yy, xx = y + dy, x + dx
                if 0 <= yy < height and 0 <= xx < width and img[yy][xx] == CLEAR:
                    img[yy][xx] = SOLID
    for top, left, bottom, right in plates:
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                if img[y][x] == CLEAR:
                    img[y][x] = SOLID
    # A clear pixel squeezed between solid ones on both sides (in a row or a
    # column) would show as a speck of background: make it solid.
    changed = True
    while changed:
        changed = False
        for y in range(height):
            for x in range(width):
                if img[y][x] != CLEAR:
                    continue
                horiz = 0 < x < width - 1 and img[y][x - 1] != CLEAR and img[y][x + 1] != CLEAR
                vert = 0 < y < height - 1 and img[y - 1][x] != CLEAR and img[y + 1][x] != CLEAR
                if horiz or vert:
                    img[y][x] = SOLID
                    changed = True
    return img


def all_logos():
    return {name: build_logo(*spec) for name, spec in LOGOS.items()}
