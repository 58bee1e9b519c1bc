#!/usr/bin/env bash
# Builds the page into build-web/site/: index.html, which holds its scripts,
# the program (murl13.js and murl13.wasm, from build-web/cmake/) and the song
# (scripts/pack_page.py packs them), and the icon.
# Installs what is missing (Emscripten; Chromium for the tests), compiles
# libxmp from Debian's source package into WebAssembly once and keeps it under
# ${MURL13_CACHE:-build-web/deps}/web. Needs no network but Debian's archive.
#
#   scripts/build-web.sh          build the site
#   scripts/build-web.sh --test   build it, then run the page's tests
set -eu
cd "$(dirname "$0")/.."
ROOT=$PWD
. scripts/setup.sh
. scripts/debian_source.sh

WEB_PACKAGES="emscripten chromium nodejs python3"
CACHE=${MURL13_CACHE:-$ROOT/build-web/deps}/web
SITE=$ROOT/build-web/site
# Debian's emcc needs its node modules (acorn) on node's path.
export NODE_PATH=/usr/share/nodejs
JOBS=${MURL13_JOBS:-2}

# libxmp for WebAssembly: its player and loaders, without the depackers and
# ProWizard (the song's gate admits only XM). Prints the folder with libxmp.a.
build_xmp() {
    local source version out objects
    source=$(murl13_debian_source libxmp "$CACHE/src") || return 1
    version=$(basename "$source")
    out=$CACHE/$version-wasm
    if [ -f "$out/libxmp.a" ]; then echo "$out"; return 0; fi
    echo "Compiling $version for WebAssembly" >&2
    rm -rf "$out.tmp" && mkdir -p "$out.tmp/obj" "$out.tmp/include"
    (cd "$source" && ls src/*.c src/loaders/*.c) |
        xargs -P "$JOBS" -I{} sh -c 'emcc -c -O2 -DLIBXMP_NO_PROWIZARD -DLIBXMP_NO_DEPACKERS -DBUILDING_STATIC \
            -D_REENTRANT -I"$1/include" -I"$1/src" "$1/{}" -o "$2/obj/$(echo {} | tr / _).o"' _ "$source" "$out.tmp" >&2 ||
        return 1
    emar rcs "$out.tmp/libxmp.a" "$out.tmp"/obj/*.o >&2 || return 1
    cp "$source/include/xmp.h" "$out.tmp/include/"
    rm -rf "$out.tmp/obj" "$out" && mv "$out.tmp" "$out"
    echo "$out"
}

murl13_install_missing
# Emscripten without its recommends (a second compiler, documentation).
MURL13_APT_OPTIONS=--no-install-recommends murl13_install_missing $WEB_PACKAGES
# The song and the icon come from the native build's tools.
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
mkdir -p build-web
cmake --build build -j "$JOBS" --target song icon murl13-tool web_song_samples >build-web/native.log 2>&1 ||
    { cat build-web/native.log >&2; exit 1; }

XMP=$(build_xmp)
if [ ! -f build-web/cmake/CMakeCache.txt ]; then
    # emcmake's emulator setting is refused by node 20: node itself runs the tests' module.
    emcmake cmake -S . -B build-web/cmake -DCMAKE_BUILD_TYPE=Release -DMURL13_XMP_WASM="$XMP" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node)" >/dev/null
fi
cmake --build build-web/cmake -j "$JOBS"

rm -rf "$SITE" && mkdir -p "$SITE"
python3 scripts/pack_page.py hosts/web/index.html "$SITE/index.html" --scripts hosts/web \
    --part program=build-web/cmake/murl13.js --part wasm=build-web/cmake/murl13.wasm --part song=build/GLIMVEX.oXM
cp build/murl13.png "$SITE/icon.png"
echo "Built $SITE"

if [ "${1:-}" = "--test" ]; then
    cd build
    ctest --output-on-failure -L web --timeout 600
fi
