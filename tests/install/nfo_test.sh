#!/bin/sh
# The release's information file: code page 437 bytes (no UTF-8 left in it),
# DOS line ends, at most 80 columns, the group's logo in block characters as
# the workbench draws it and headings in line characters, the version, how to
# start each version and the keys.
#
#   nfo_test.sh MAKE_NFO MURL13_TOOL VERSION
set -u
make_nfo=$1 tool=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
sh "$make_nfo" "$tool" "$version" >"$work/murl13.nfo" || { echo "make_nfo.sh failed"; exit 1; }
nfo=$work/murl13.nfo
export LC_ALL=C

# UTF-8's lead bytes of box drawing and blocks (E2 94, E2 95, E2 96) would
# mean text left unconverted.
if grep -q "$(printf '\342[\224\225\226]')" "$nfo"; then echo "UTF-8 box or block characters left"; fail=1; fi
iconv -f CP437 -t UTF-8 "$nfo" >/dev/null || { echo "not code page 437"; fail=1; }
lines=$(wc -l <"$nfo")
crlf=$(grep -c "$(printf '\r')\$" "$nfo")
[ "$lines" -gt 40 ] && [ "$crlf" -eq "$lines" ] || { echo "$crlf of $lines lines end in CR LF"; fail=1; }
widest=$(tr -d '\r' <"$nfo" | awk '{ if (length($0) > w) w = length($0) } END { print w + 0 }')
[ "$widest" -le 80 ] || { echo "a line of $widest columns"; fail=1; }

count() { tr -cd "$1" <"$nfo" | wc -c; }
blocks=$(count '\333\334\337')
lines_drawn=$(count '\304\264\303')
[ "$blocks" -ge 200 ] || { echo "only $blocks block characters"; fail=1; }
[ "$lines_drawn" -ge 100 ] || { echo "only $lines_drawn line characters"; fail=1; }

# The title art is the workbench's drawing of the logos, line for line.
for logo in logo1a logo2; do
    "$tool" art "$logo" --format blocks | iconv -f UTF-8 -t CP437 | sed 's/^ *//; s/ *$//' | grep -v '^$' >"$work/$logo"
    [ -s "$work/$logo" ] || { echo "no $logo from the workbench"; fail=1; }
    while IFS= read -r row; do
        grep -qF -- "$row" "$nfo" || { echo "$logo's row missing: $row"; fail=1; break; }
    done <"$work/$logo"
done

for wanted in "version $version" "murl13_${version}_amd64.deb" "murl13.exe" "murl13-$version-web.zip" \
    "murl13-$version-source.tar.gz" "Escape" "F11"; do
    grep -qF -- "$wanted" "$nfo" || { echo "does not say: $wanted"; fail=1; }
done
exit $fail
