#!/usr/bin/env python3
"""Builds the 8 by 8 console font of the pictures, in code page 437 order, and
writes it to art/vga_font.cpp.

Its source is the public-domain console font Uni2-VGA8.psf.gz of Debian's
console-setup-linux package: each code's character (the table in
art/cp437.cpp) is looked up in the font's Unicode table. Codes 0x00, 0x20 and
0xFF are blank. Seven characters are missing from that font; they are drawn
below in the same style. Only this script needs the package, not the build.

    python3 art/draw/vga_font.py          rewrite art/vga_font.cpp
    python3 art/draw/vga_font.py --check  exit 1 if it differs from a fresh build
    --font PATH                           another copy of Uni2-VGA8.psf.gz
"""

import gzip
import os
import re
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FONT = "/usr/share/consolefonts/Uni2-VGA8.psf.gz"
OUTPUT = os.path.join(ROOT, "art", "vga_font.cpp")

BLANK_CODES = (0x00, 0x20, 0xFF)

# The characters the font lacks, drawn here: '#' is a lit pixel.
DRAWN = {
    0x10: [  # black right-pointing pointer
        "#.......",
        "###.....",
        "#####...",
        "#######.",
        "#####...",
        "###.....",
        "#.......",
        "........",
    ],
    0x11: [  # black left-pointing pointer
        "......#.",
        "....###.",
        "..#####.",
        "#######.",
        "..#####.",
        "....###.",
        "......#.",
        "........",
    ],
    0x9E: [  # peseta sign
        "#####...",
        "##..##..",
        "##..##..",
        "#####.#.",
        "##...##.",
        "##..####",
        "##...##.",
        "##...###",
    ],
    0xA9: [  # reversed not sign
        "........",
        "........",
        "........",
        "######..",
        "##......",
        "##......",
        "........",
        "........",
    ],
    0xEC: [  # infinity
        "........",
        "........",
        ".######.",
        "##.##.##",
        "##.##.##",
        ".######.",
        "........",
        "........",
    ],
    0xEF: [  # intersection
        "..####..",
        ".##..##.",
        "##....##",
        "##....##",
        "##....##",
        "##....##",
        "##....##",
        "........",
    ],
    0xF0: [  # identical to
        "........",
        "######..",
        "........",
        "######..",
        "........",
        "######..",
        "........",
        "........",
    ],
}

HEADER = """\
// The 8 by 8 console font of the pictures, one glyph per code page 437 code,
// eight bytes a glyph from the top row down, the leftmost pixel in bit 7.
// Made by art/draw/vga_font.py from the public-domain console font
// Uni2-VGA8 (Debian's console-setup-linux); run it again rather than editing
// these bytes.
#include "art/vga_font.h"

const uint8_t vgaFont[256][8] = {
"""


def cp437_characters():
    """The Unicode character of each code, from the demo's own table."""
    with open(os.path.join(ROOT, "art", "cp437.cpp")) as f:
        source = f.read()
    table = source[source.index("cp437Unicode[256]"):]
    table = table[table.index("{") + 1:table.index("}")]
    codes = [int(v, 16) for v in re.findall(r"0x([0-9A-Fa-f]+)", table)]
    if len(codes) != 256:
        sys.exit("vga_font.py: art/cp437.cpp does not hold 256 characters")
    return codes


def read_psf1(path):
    """The glyphs and the first glyph that each Unicode character names."""
    data = gzip.open(path).read()
    if data[:2] != b"\x36\x04":
        sys.exit("vga_font.py: %s is not a PSF1 font" % path)
    mode, height = data[2], data[3]
    if height != 8 or not mode & 2:
        sys.exit("vga_font.py: %s is not an 8-line font with a Unicode table" % path)
    count = 512 if mode & 1 else 256
    glyphs = [data[4 + i * 8:4 + i * 8 + 8] for i in range(count)]
    table = data[4 + count * 8:]
    lookup = {}
    glyph, in_sequence, offset = 0, False, 0
    while glyph < count and offset + 2 <= len(table):
        (value,) = struct.unpack_from("<H", table, offset)
        offset += 2
        if value == 0xFFFF:
            glyph, in_sequence = glyph + 1, False
        elif value == 0xFFFE:
            in_sequence = True  # combining sequences name no single character
        elif not in_sequence:
            lookup.setdefault(value, glyph)
    return glyphs, lookup


def drawn_bytes(rows):
    assert len(rows) == 8 and all(len(r) == 8 and set(r) <= {"#", "."} for r in rows)
    return bytes(int(r.replace("#", "1").replace(".", "0"), 2) for r in rows)


def build_font(font_path):
    glyphs, lookup = read_psf1(font_path)
    font = []
    for code, character in enumerate(cp437_characters()):
        if code in BLANK_CODES:
            font.append(bytes(8))
        elif code in DRAWN:
            if character in lookup:
                sys.exit("vga_font.py: the font has U+%04X now; drop the drawing of 0x%02X" % (character, code))
            font.append(drawn_bytes(DRAWN[code]))
        elif character in lookup:
            font.append(glyphs[lookup[character]])
        else:
            sys.exit("vga_font.py: the font lacks U+%04X (code 0x%02X)" % (character, code))
    return font


def font_source(font):
    lines = [HEADER]
    for code, glyph in enumerate(font):
        values = ", ".join("0x%02X" % b for b in glyph)
        lines.append("    {%s},  // 0x%02X\n" % (values, code))
    lines.append("};\n")
    return "".join(lines)


def main(argv):
    check = "--check" in argv
    font_path = FONT
    if "--font" in argv:
        font_path = argv[argv.index("--font") + 1]
    text = font_source(build_font(font_path))
    if check:
        with open(OUTPUT) as f:
            if f.read() != text:
                print("art/vga_font.cpp differs from what art/draw/vga_font.py makes", file=sys.stderr)
                return 1
        return 0
    with open(OUTPUT, "w") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
