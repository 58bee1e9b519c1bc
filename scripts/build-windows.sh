#!/usr/bin/env bash
# The Windows build: cross-compiles murl13.exe and murl13-tool.exe with
# mingw-w64, statically linked, into build-windows/, and packs them with the
# song into build-windows/murl13-windows-x86_64.zip.
#
#   scripts/build-windows.sh          install what is missing, build, pack
#   scripts/build-windows.sh --test   the same, then run the Windows tests
#                                     under Wine (ctest in build-windows/)
#
# libxmp and SDL2 have no Windows package in Debian: they are built from
# Debian's own source packages as static libraries, once, into
# ${MURL13_CACHE:-build-windows/deps}/windows/, keyed on the package version,
# the compiler and the flags, so that a change to any of them builds anew.
# Each is built in a scratch folder and renamed into place when complete, so
# an interrupted build leaves nothing that looks finished.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-windows
CACHE=${MURL13_CACHE:-$BUILD/deps}/windows
MINGW=x86_64-w64-mingw32
TOOLCHAIN=$ROOT/cmake/mingw-w64.cmake
JOBS=${MURL13_JOBS:-2}
# Flags of the two libraries; part of their cache key.
DEP_CFLAGS="-O2"
# Bump when the recipes below change what they build.
RECIPE=1

run_tests=false
for arg in "$@"; do
    case $arg in
    --test) run_tests=true ;;
    -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "usage: scripts/build-windows.sh [--test]" >&2; exit 2 ;;
    esac
done

. "$ROOT/scripts/debian_source.sh"

install_missing() {
    local packages="mingw-w64 g++-mingw-w64-x86-64-posix wine64 wine g++ cmake make pkg-config zip dpkg-dev googletest zlib1g-dev"
    local missing=() pkg
    for pkg in $packages; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    murl13_sudo apt-get update
    murl13_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# The version apt would install of a binary package built from the source.
archive_version() {
    apt-cache show --no-all-versions "$1" 2>/dev/null | sed -n 's/^Version: //p' | head -n 1
}

# A short hash of everything that shapes a library's build.
cache_key() {
    printf '%s\n' "$@" "$("$MINGW-gcc-posix" --version | head -n 1)" "$DEP_CFLAGS" "$RECIPE" | sha1sum | cut -c1-12
}

# build_dependency NAME SOURCE-PACKAGE BINARY-PACKAGE RECIPE: prints the
# finished install prefix, building it first when the cache has none.
build_dependency() {
    local name=$1 source=$2 binary=$3 recipe=$4 version key prefix scratch dir
    version=$(archive_version "$binary")
    [ -n "$version" ] || { echo "error: apt knows no version of $binary" >&2; return 1; }
    key=$(cache_key "$version")
    prefix=$CACHE/$name-$version-$key
    if [ -f "$prefix/.complete" ]; then
        echo "$prefix"
        return 0
    fi
    echo "Building $name $version for Windows (once; cached in $prefix)" >&2
    # (Command substitutions run without set -e: each step says when it failed.)
    dir=$(murl13_debian_source "$source" "$CACHE/src/$source-$version") || return 1
    scratch=$(mktemp -d "$CACHE/.build-$name.XXXXXX") || return 1
    if ! "$recipe" "$dir" "$scratch" >"$scratch.log" 2>&1; then
        tail -n 40 "$scratch.log" >&2
        echo "error: building $name failed (log: $scratch.log)" >&2
        rm -rf "$scratch"
        return 1
    fi
    touch "$scratch/prefix/.complete" && rm -rf "$prefix" && mv "$scratch/prefix" "$prefix" || return 1
    rm -rf "$scratch" "$scratch.log"
    echo "$prefix"
}

recipe_libxmp() {
    local source=$1 scratch=$2
    cp -a "$source" "$scratch/src" && cd "$scratch/src" &&
        ./configure --host=$MINGW --prefix="$scratch/prefix" --enable-static --disable-shared \
            CC=$MINGW-gcc-posix CFLAGS="$DEP_CFLAGS" &&
        make -j"$JOBS" && make install
}

recipe_sdl2() {
    local source=$1 scratch=$2
    # Video and audio are what the demo uses; the input devices it never reads
    # are left out.
    cmake -S "$source" -B "$scratch/build" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$DEP_CFLAGS" \
        -DCMAKE_INSTALL_PREFIX="$scratch/prefix" \
        -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF \
        -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF &&
        cmake --build "$scratch/build" -j"$JOBS" && cmake --install "$scratch/build"
}

# The song is composed by the same generator as on Linux, built for this
# machine with the flags of the Linux build, so that its bytes are the same.
compose_song() {
    local generator=$BUILD/host/murl13-songgen
    mkdir -p "$BUILD/host"
    if [ ! -x "$generator" ] || [ -n "$(find "$ROOT/song" -newer "$generator" -name '*.*' | head -n 1)" ]; then
        echo "Building the song generator for this machine"
        g++ -std=c++20 -O2 -ffp-contract=off -fno-tree-slp-vectorize -I"$ROOT" \
            $(find "$ROOT/song" -name '*.cpp' | sort) -o "$generator.new"
        mv "$generator.new" "$generator"
    fi
    "$generator" "$BUILD/GLIMVEX.oXM.new" >/dev/null
    if cmp -s "$BUILD/GLIMVEX.oXM.new" "$BUILD/GLIMVEX.oXM"; then
        rm "$BUILD/GLIMVEX.oXM.new"
    else
        mv "$BUILD/GLIMVEX.oXM.new" "$BUILD/GLIMVEX.oXM"
    fi
}

# The programs' icon: the logo drawn at each size by the core's icon drawing,
# packed by a small program built for this machine.
draw_icon() {
    local maker=$BUILD/host/murl13-icon
    mkdir -p "$BUILD/host"
    if [ ! -x "$maker" ] || [ -n "$(find "$ROOT/art" "$ROOT/raster" "$ROOT/scripts/make_icon.cpp" -newer "$maker" -name '*.*' | head -n 1)" ]; then
        echo "Building the icon maker for this machine"
        g++ -std=c++20 -O2 -ffp-contract=off -I"$ROOT" $(find "$ROOT/art" "$ROOT/raster" -name '*.cpp' | sort) \
            "$ROOT/scripts/make_icon.cpp" -lz -o "$maker.new"
        mv "$maker.new" "$maker"
    fi
    "$maker" "$BUILD/murl13.ico.new"
    if cmp -s "$BUILD/murl13.ico.new" "$BUILD/murl13.ico"; then
        rm "$BUILD/murl13.ico.new"
    else
        mv "$BUILD/murl13.ico.new" "$BUILD/murl13.ico"
    fi
}

pack_zip() {
    local stage=$BUILD/zip/murl13
    rm -rf "$BUILD/zip" "$BUILD/murl13-windows-x86_64.zip"
    mkdir -p "$stage"
    cp "$BUILD/murl13.exe" "$BUILD/murl13-tool.exe" "$BUILD/GLIMVEX.oXM" "$stage/"
    # Windows users read text with CR LF line ends.
    sed 's/$/\r/' "$ROOT/LICENSE" >"$stage/LICENSE.txt"
    sed 's/$/\r/' "$ROOT/hosts/wincon/README.txt" >"$stage/README.txt"
    (cd "$BUILD/zip" && zip -q -r -X "$BUILD/murl13-windows-x86_64.zip" murl13)
    rm -rf "$BUILD/zip"
    echo "Packed $BUILD/murl13-windows-x86_64.zip"
}

install_missing
mkdir -p "$CACHE"
XMP_PREFIX=$(build_dependency libxmp libxmp libxmp-dev recipe_libxmp)
SDL2_PREFIX=$(build_dependency sdl2 libsdl2 libsdl2-dev recipe_sdl2)

mkdir -p "$BUILD"
compose_song
draw_icon
export WINEPREFIX=${WINEPREFIX:-$CACHE/wine-prefix}
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DMURL13_XMP_PREFIX="$XMP_PREFIX" -DMURL13_SDL2_PREFIX="$SDL2_PREFIX" -DMURL13_ICON="$BUILD/murl13.ico" \
    -DMURL13_WINEPREFIX="$WINEPREFIX" -DMURL13_LINUX_SONG="$BUILD/GLIMVEX.oXM" >/dev/null
cmake --build "$BUILD" -j"$JOBS"
pack_zip

if $run_tests; then
    # The cells are compared with the Linux tool's.
    if [ ! -x "$ROOT/build/murl13-tool" ]; then
        echo "Building the Linux tree for the Linux murl13-tool"
        (cd "$ROOT" && . scripts/setup.sh && murl13_install_missing && murl13_build)
    fi
    # A fresh prefix takes a while to make; made here, not inside a timed test.
    "$ROOT/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
    cd "$BUILD"
    ctest --output-on-failure -j "$JOBS" --timeout 600
fi
