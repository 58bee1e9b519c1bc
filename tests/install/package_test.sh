#!/bin/sh
# The Debian package made by CPack: it holds the programs, the song, the
# desktop entry and icon, the manual pages and the licence, everything under
# /usr; it declares the shared libraries the programs load (libxmp above all,
# which a fresh system lacks); and its demo runs from the unpacked tree.
#
#   package_test.sh BUILD_FOLDER
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/murl13_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "no package made"; cat "$work/cpack.log"; exit 1; }

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for wanted in ./usr/bin/murl13 ./usr/bin/murl13-tool ./usr/share/murl13/GLIMVEX.oXM \
    ./usr/share/applications/murl13.desktop ./usr/share/icons/hicolor/256x256/apps/murl13.png \
    ./usr/share/man/man6/murl13.6.gz ./usr/share/man/man6/murl13-tool.6.gz ./usr/share/doc/murl13/copyright; do
    printf '%s\n' "$files" | grep -qxF "$wanted" || { echo "missing: $wanted"; fail=1; }
done
outside=$(printf '%s\n' "$files" | grep -vE '^\./usr/' | grep -vxF './')
[ -z "$outside" ] || { echo "outside /usr: $outside"; fail=1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in 'libxmp4' 'libsdl2-2\.0-0' 'libpng16-16' 'libavformat[0-9]+' 'libavcodec[0-9]+' 'libc6'; do
    printf '%s\n' "$depends" | tr ',' '\n' | grep -qE "^ *$library( |\$)" || { echo "Depends lacks $library: $depends"; fail=1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = murl13 ] || { echo "package name: $(dpkg-deb -f "$deb" Package)"; fail=1; }

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/murl13" --version) || fail=1
case "$version" in "murl13 $(dpkg-deb -f "$deb" Version)"*) ;; *) echo "packaged demo says: $version"; fail=1 ;; esac
exit $fail
