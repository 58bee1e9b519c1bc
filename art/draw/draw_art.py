#!/usr/bin/env python3
"""Draws the four logos and the warp texture and writes them as rows of text
into art/logo_rows.h and art/texture_rows.h, which art/images.cpp turns into
pixel arrays at compile time.

    python3 art/draw/draw_art.py          rewrite the two headers
    python3 art/draw/draw_art.py --check  exit 1 if they differ from a fresh drawing
"""

import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean

import logos  # noqa: E402
import texture  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

LOGO_HEADER = """\
// The logos as text, one string per pixel row: '#' lit (a white square), '.'
// solid (an empty black cell), ' ' transparent. Drawn by art/draw/draw_art.py;
// edit the glyphs there and run it again rather than editing these rows.
#pragma once

#include <string_view>

// A logo pixel's value is the position of its character in this string.
inline constexpr std::string_view LOGO_CHARACTERS = ".# ";
"""

TEXTURE_HEADER = """\
// The warp texture as text, one string per pixel row, one character per
// pixel: ' ' level 0 (black), '.' level 1 (dark), '+' level 2 (light), '@'
// level 3 (white). Drawn by art/draw/draw_art.py; change the drawing there and
// run it again rather than editing these rows.
#pragma once

#include <string_view>

// A texture pixel's level is the position of its character in this string.
inline constexpr std::string_view TEXTURE_CHARACTERS = " .+@";
"""

LOGO_CHARACTERS = {logos.SOLID: ".", logos.LIT: "#", logos.CLEAR: " "}
TEXTURE_CHARACTERS = " .+@"


def rows_block(name, rows):
    lines = ["", "inline constexpr std::string_view %s[] = {" % name]
    lines += ['    "%s",' % row for row in rows]
    lines.append("};")
    return "\n".join(lines) + "\n"


def logo_text():
    text = LOGO_HEADER
    for name, img in logos.all_logos().items():
        rows = ["".join(LOGO_CHARACTERS[v] for v in row) for row in img]
        text += rows_block(name.upper() + "_ROWS", rows)
    return text


def texture_text():
    img = texture.draw_texture()
    rows = ["".join(TEXTURE_CHARACTERS[v] for v in row) for row in img]
    return TEXTURE_HEADER + rows_block("TEXTURE_ROWS", rows)


def main():
    outputs = {
        os.path.join(ROOT, "art", "logo_rows.h"): logo_text(),
        os.path.join(ROOT, "art", "texture_rows.h"): texture_text(),
    }
    if sys.argv[1:] == ["--check"]:
        stale = []
        for path, text in outputs.items():
            try:
                with open(path) as f:
                    if f.read() != text:
                        stale.append(path)
            except FileNotFoundError:
                stale.append(path)
        for path in stale:
            print("differs from the drawing: " + path)
        return 1 if stale else 0
    if sys.argv[1:]:
        print(__doc__)
        return 2
    for path, text in outputs.items():
        with open(path, "w") as f:
            f.write(text)
        print("wrote " + path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
