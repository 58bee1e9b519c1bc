#!/bin/sh
# The Debian package made by CPack: it holds the demo in /usr/games, the
# workbench in /usr/bin, the song, the desktop entry and its icons (the usual
# sizes, with transparency), the manual
# pages, the changelog and the copyright file, everything under /usr; it
# declares the shared libraries the programs load (libxmp above all, which a
# fresh system lacks); its programs are hardened and stripped; lintian (where
# installed) finds no error or warning; and, unpacked, the demo runs and the
# workbench captures the show from another folder, finding the packaged song.
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
for wanted in ./usr/games/murl13 ./usr/bin/murl13-tool ./usr/share/murl13/GLIMVEX.oXM \
    ./usr/share/applications/murl13.desktop \
    ./usr/share/man/man6/murl13.6.gz ./usr/share/man/man1/murl13-tool.1.gz \
    ./usr/share/doc/murl13/copyright ./usr/share/doc/murl13/changelog.gz; do
    printf '%s\n' "$files" | grep -qxF "$wanted" || { echo "missing: $wanted"; fail=1; }
done
outside=$(printf '%s\n' "$files" | grep -vE '^\./usr/' | grep -vxF './')
[ -z "$outside" ] || { echo "outside /usr: $outside"; fail=1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in 'libxmp4' 'libsdl2-2\.0-0' 'libpng16-16' 'libavformat[0-9]+' 'libavcodec[0-9]+' 'libc6'; do
    printf '%s\n' "$depends" | tr ',' '\n' | grep -qE "^ *$library( |\$)" || { echo "Depends lacks $library: $depends"; fail=1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = murl13 ] || { echo "package name: $(dpkg-deb -f "$deb" Package)"; fail=1; }
[ "$(dpkg-deb -f "$deb" Section)" = games ] || { echo "section: $(dpkg-deb -f "$deb" Section)"; fail=1; }
version=$(dpkg-deb -f "$deb" Version)

dpkg-deb -x "$deb" "$work/root"
root=$work/root
# The changelog's latest entry is this version, by the package's maintainer.
changelog=$(gzip -dc "$root/usr/share/doc/murl13/changelog.gz")
latest=$(printf '%s\n' "$changelog" | head -n 1)
case "$latest" in "murl13 ($version) "*) ;; *) echo "changelog's latest entry: $latest (package $version)"; fail=1 ;; esac
maintainer=$(dpkg-deb -f "$deb" Maintainer)
printf '%s\n' "$changelog" | grep -m 1 '^ -- ' | grep -qF -- " -- $maintainer  " ||
    { echo "the changelog's latest entry is not by the maintainer, $maintainer"; fail=1; }

# Hardened as Debian's own programs: read-only relocations bound at start,
# the checked string and memory functions; stripped, without the compiler's notes.
for program in "$root/usr/games/murl13" "$root/usr/bin/murl13-tool"; do
    name=$(basename "$program")
    readelf -lW "$program" | grep -q GNU_RELRO || { echo "$name: no RELRO"; fail=1; }
    readelf -dW "$program" | grep -qE 'BIND_NOW|FLAGS.*NOW' || { echo "$name: not bound at start"; fail=1; }
    readelf --dyn-syms -W "$program" | grep -qE '__[a-z]+_chk' || { echo "$name: no fortified functions"; fail=1; }
    sections=$(readelf -SW "$program")
    printf '%s\n' "$sections" | grep -qE ' \.(comment|symtab) ' && { echo "$name: not stripped of .symtab and .comment"; fail=1; }
done

for size in 16 22 24 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x$size/apps/murl13.png
    kind=$(file -b "$icon" 2>&1)
    case "$kind" in "PNG image data, $size x $size, 8-bit/color RGBA,"*) ;; *) echo "icon $size: $kind"; fail=1 ;; esac
done
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$root/usr/share/applications/murl13.desktop" || fail=1
fi
if command -v lintian >/dev/null 2>&1; then
    # No error or warning, and none of the notes a packager would fix.
    lintian -I --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
    if grep -E '^[EW]: |hardening-no-|binary-has-unneeded-section|desktop-entry-lacks-keywords|no-changelog' "$work/lintian.log"; then
        fail=1
    fi
fi

said=$("$root/usr/games/murl13" --version) || fail=1
case "$said" in "murl13 $version"*) ;; *) echo "packaged demo says: $said"; fail=1 ;; esac
# The packaged workbench finds the packaged song from any folder.
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && "$root/usr/bin/murl13-tool" capture clip.gif --seconds 0.2 --scale 1 >/dev/null 2>"$work/capture.log") ||
    { echo "the packaged workbench cannot capture from another folder:"; cat "$work/capture.log"; fail=1; }
[ "$(head -c 6 "$work/elsewhere/clip.gif" 2>/dev/null)" = GIF89a ] || { echo "no GIF from the packaged workbench"; fail=1; }
exit $fail
