#!/usr/bin/env bash
# Remakes the README's pictures from docs/pictures.txt, and its animated
# preview, with the workbench:
#   docs/make_pictures.sh [path/to/murl13-tool]   (default: build/murl13-tool)
# The preview plays the song beside the workbench (GLIMVEX.oXM in its folder).
set -eu
cd "$(dirname "$0")/.."
tool=${1:-build/murl13-tool}
while read -r name options; do
    case "$name" in ''|'#'*) continue ;; esac
    # shellcheck disable=SC2086  # the options are words
    "$tool" frame $options --format png > "docs/$name"
    echo "docs/$name"
done < docs/pictures.txt
# Eight seconds from 22 s: the "#13" logo over the warped texture, then the
# spinning cubes. 25 frames a second, 640 by 400, in the 16 VGA colours.
"$tool" capture docs/preview.gif --start 22 --seconds 8 --fps 25 --scale 1 --song "$(dirname "$tool")/GLIMVEX.oXM"
echo docs/preview.gif
