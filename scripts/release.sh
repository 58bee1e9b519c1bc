#!/usr/bin/env bash
# Makes every artefact of a release in dist/ (emptied first):
#   murl13_VERSION_amd64.deb             the Debian package
#   murl13-VERSION-windows-x86_64.zip    the Windows programs, the song, README.txt
#   murl13-VERSION-web.zip               the page, in a folder murl13-VERSION-web/
#   murl13-VERSION-source.tar.gz         the committed source (git archive HEAD)
#   murl13-VERSION-preview.gif           eight seconds of the show
#   murl13.nfo                           the information file, code page 437
#   SHA256SUMS                           over all of them (sha256sum -c SHA256SUMS)
# VERSION is the CMake project's; the programs' --version adds the commit.
# Installs what is missing and builds the three builds (build/, build-windows/,
# build-web/) as ./run, scripts/build-windows.sh and scripts/build-web.sh do;
# a package with an error or a warning from lintian is not released.
#
#   scripts/release.sh
set -eu
cd "$(dirname "$0")/.."
ROOT=$PWD
case "${1:-}" in
"") ;;
-h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
*) echo "usage: scripts/release.sh" >&2; exit 2 ;;
esac
. scripts/setup.sh
DIST=$ROOT/dist

murl13_install_missing
murl13_install_missing git zip lintian
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    echo "warning: uncommitted changes: the programs are built from the working tree, the source archive from HEAD" >&2
fi
murl13_build
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/CPackConfig.cmake)
[ -n "$version" ] || { echo "error: no version in build/CPackConfig.cmake" >&2; exit 1; }
echo "Releasing murl13 $version into dist/"

echo "Building the Windows programs"
scripts/build-windows.sh
echo "Building the page"
scripts/build-web.sh

rm -rf "$DIST"
mkdir -p "$DIST"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd build && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log" >&2; exit 1; }
cp "$scratch/package/murl13_${version}_"*.deb "$DIST/"
# A package lintian finds an error or a warning in is not released.
lintian --tag-display-limit 0 "$DIST"/*.deb 2>/dev/null | tee "$scratch/lintian.log"
if grep -qE '^[EW]: ' "$scratch/lintian.log"; then echo "error: lintian finds fault with the package" >&2; exit 1; fi

cp build-windows/murl13-windows-x86_64.zip "$DIST/murl13-$version-windows-x86_64.zip"

web=murl13-$version-web
mkdir "$scratch/web"
cp -R build-web/site "$scratch/web/$web"
(cd "$scratch/web" && zip -qrX "$DIST/$web.zip" "$web")

git archive --format=tar.gz --prefix="murl13-$version/" -o "$DIST/murl13-$version-source.tar.gz" HEAD

echo "Capturing the preview"
# As docs/make_pictures.sh makes the README's: the "#13" logo over the warped
# texture, then the spinning cubes; 640 by 400 in the 16 VGA colours.
build/murl13-tool capture "$DIST/murl13-$version-preview.gif" --start 22 --seconds 8 --fps 25 --scale 1 \
    --song build/GLIMVEX.oXM >/dev/null

scripts/make_nfo.sh build/murl13-tool "$version" >"$DIST/murl13.nfo"

(cd "$DIST" && sha256sum -- *.deb *.zip *.tar.gz *.gif *.nfo >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
echo "dist/:"
ls -l "$DIST"
