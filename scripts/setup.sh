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

# Configures (once) and builds in build/: the build tool's progress lines and
# warnings on the terminal as they come, its whole output in build/build.log.
murl13_build() {
    if [ ! -f build/CMakeCache.txt ]; then
        echo "Configuring the build in build/"
        cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null || return 1
    fi
    echo "Building (the whole output in build/build.log)"
    cmake --build build -j "$(nproc)" 2>&1 | tee build/build.log |
        { grep --line-buffered -E '^\[ *[0-9]+%\]|warning:' || true; }
    if [ "${PIPESTATUS[0]}" -ne 0 ]; then
        grep -vE '^\[ *[0-9]+%\]' build/build.log >&2
        echo "error: the build failed (log: build/build.log)" >&2
        return 1
    fi
}
