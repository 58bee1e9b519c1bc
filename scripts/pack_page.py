#!/usr/bin/env python3
"""Packs the page into one self-contained index.html: the page's scripts, the
program (murl13.js), its WebAssembly and the song inside it, so that it plays
from any static host and from a folder on disk alike (a browser refuses a
page opened from disk the fetches of its files). The program, the WebAssembly
and the song go in gzip (the page undoes it with the browser's DecompressionStream) and
base64, in parts of PART_CHARS characters each: the page counts the parts
that have arrived to show its loading progress. Compressed first, they cost
a server that compresses what it sends no more than the files would, and one
that does not less.

    pack_page.py TEMPLATE OUTPUT --scripts DIR [DIR...] --part NAME=FILE [...]

for instance --part program=murl13.js --part wasm=murl13.wasm --part song=GLIMVEX.oXM.

Each <script src="NAME" ...></script> of the template is replaced by the
script of that name from the first DIR that has it, inline; the parts go where
the template says <!-- parts -->, and their count into its murl13-parts meta.
"""

import argparse
import base64
import gzip
import os
import re
import sys

PART_CHARS = 8192


def inline_script(text, name):
    # Inside a script element the HTML parser ends the element at "</script"
    # and changes state at "<!--"; neither may appear in the script's text.
    text = text.replace("</script", "<\\/script")
    if "<!--" in text:
        sys.exit("pack_page.py: %s holds '<!--', which an inline script cannot" % name)
    return text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("template")
    parser.add_argument("output")
    parser.add_argument("--scripts", nargs="+", required=True)
    parser.add_argument("--part", action="append", default=[])
    args = parser.parse_args()
    with open(args.template) as f:
        page = f.read()

    def script(match):
        name, attributes = match.group(1), match.group(2)
        for folder in args.scripts:
            path = os.path.join(folder, name)
            if os.path.exists(path):
                with open(path) as f:
                    return "<script%s>%s</script>" % (attributes, inline_script(f.read(), name))
        sys.exit("pack_page.py: no script %s in %s" % (name, ", ".join(args.scripts)))

    page = re.sub(r'<script src="([^"]+)"([^>]*)></script>', script, page)
    parts = []
    for part in args.part:
        name, path = part.split("=", 1)
        with open(path, "rb") as f:
            text = base64.b64encode(gzip.compress(f.read(), 9, mtime=0)).decode("ascii")
        for start in range(0, len(text), PART_CHARS):
            parts.append('<script type="application/octet-stream" class="part" data-name="%s">%s</script>'
                         % (name, text[start:start + PART_CHARS]))
    if "<!-- parts -->" not in page:
        sys.exit("pack_page.py: the template has no <!-- parts -->")
    page = page.replace("<!-- parts -->", "\n".join(parts))
    page = page.replace('<meta name="murl13-parts" content="0">', '<meta name="murl13-parts" content="%d">' % len(parts))
    with open(args.output, "w") as f:
        f.write(page)


if __name__ == "__main__":
    main()
