#!/usr/bin/env bash
# Remakes the README's pictures from docs/pictures.txt with the workbench:
#   docs/make_pictures.sh [path/to/murl13-tool]   (default: build/murl13-tool)
set -eu
cd "$(dirname "$0")/.."
tool=${1:-build/murl13-tool}
while read -r name options; do
    case "$name" in ''|'#'*) continue ;; esac
    # shellcheck disable=SC2086  # the options are words
    "$tool" frame $options --format png > "docs/$name"
    echo "docs/$name"
done < docs/pictures.txt
