# Shared by ./run and ./test: install the Debian packages that are missing,
# then configure and build in build/ (Release). Sourced, not run.

MURL13_PACKAGES="g++ cmake make pkg-config libgtest-dev libxmp-dev libsdl2-dev libvterm-dev libpng-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libx11-dev xvfb dpkg-dev file man-db"

# murl13_install_missing [PACKAGE...]: those of the packages (by default the
# build's) that are not installed; MURL13_APT_OPTIONS adds options to the install.
murl13_install_missing() {
    local missing=() pkg
    for pkg in ${*:-$MURL13_PACKAGES}; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y ${MURL13_APT_OPTIONS:-} "${missing[@]}"
    elif command -v sudo >/dev/null 2>&1; then
        sudo apt-get update && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y ${MURL13_APT_OPTIONS:-} "${missing[@]}"
    else
        echo "error: neither root nor sudo; install the packages first:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        return 1
    fi
}

murl13_build() {
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null || return 1
    fi
    if ! cmake --build build -j "$(nproc)" >build/build.log 2>&1; then
        cat build/build.log >&2
        echo "error: the build failed (log: build/build.log)" >&2
        return 1
    fi
    grep -E 'warning:' build/build.log || true
}
