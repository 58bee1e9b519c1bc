#!/bin/sh
# The release's information file, as demo releases carry one: code page 437
# text with DOS line ends, at most 78 columns, the group's title art drawn
# from the demo's own logos by the workbench, then what the release is, its
# credits, what it needs, how to start each version and the keys.
#
#   scripts/make_nfo.sh MURL13_TOOL VERSION > murl13.nfo
set -eu
[ $# -eq 2 ] || { echo "usage: scripts/make_nfo.sh MURL13_TOOL VERSION" >&2; exit 2; }
tool=$1 version=$2
WIDTH=78
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# UTF-8 text to code page 437 bytes (one byte a column from here on).
cp437() { iconv -f UTF-8 -t CP437; }
centre() { LC_ALL=C awk -v width=$WIDTH '{ printf "%*s%s\n", int((width - length($0)) / 2), "", $0 }'; }
# A heading: the title in a horizontal line the width of the page.
heading() {
    printf '\n'
    printf '%s\n' "$1" | LC_ALL=C awk -v width=$WIDTH '{
        title = "\264 " $0 " \303"; left = 4; right = width - left - length(title)
        line = ""; for (i = 0; i < left; i++) line = line "\304"; line = line title
        for (i = 0; i < right; i++) line = line "\304"; print line }'
    printf '\n'
}
art() { "$tool" art "$1" --format blocks | cp437; }

art logo1a >"$work/group"
art logo2 >"$work/murl"
art logo3 >"$work/number"
[ -s "$work/group" ] && [ -s "$work/murl" ] && [ -s "$work/number" ] || { echo "make_nfo.sh: no art from $tool" >&2; exit 1; }

{
    printf '\n'
    centre <"$work/group"
    printf '\n'
    printf 'p r e s e n t s\n' | centre
    printf '\n'
    paste -d '' "$work/murl" "$work/number" | centre
    printf '\n'
    printf 'a real-time text-mode demo with its own music  \372  version %s\n' "$version" | centre

    heading "what it is"
    cp437 <<'EOF'
  Murl #13 plays its own tracker module and, in step with it, draws
  ray-marched scenes, a plasma, a warped texture and logos into 80 by 50
  coloured code-page-437 character cells: in a terminal, in a desktop window
  with the VGA font and palette, in the Windows console or in a browser. The
  show lasts a little over four minutes and ends by itself.
EOF

    heading "credits"
    cp437 <<'EOF'
  code, music, logos, texture .. the murl13 developers of Norq
  the song GLIMVEX.oXM ......... composed by the demo's own generator
  the 8 by 8 font .............. Debian's Uni2-VGA8 (public domain)
  libraries .................... libxmp, SDL2, FFmpeg, libpng, zlib
EOF

    heading "what it needs"
    cp437 <<'EOF'
  Linux .... Debian 12 or Ubuntu on x86-64; a terminal of 80 by 50 cells with
             a UTF-8 locale, or a desktop for the window
  Windows .. Windows 10 or later on x86-64, Windows Terminal or the console
  browser .. a current browser with WebAssembly SIMD, a phone's too
  all ...... two processor cores or more; sound is optional
EOF

    heading "how to start it"
    sed "s/@VERSION@/$version/g" <<'EOF' | cp437
  Debian ... sudo apt install ./murl13_@VERSION@_amd64.deb
             murl13              in this terminal
             murl13 --window     in a window (also from the desktop menu)
  Windows .. unzip murl13-@VERSION@-windows-x86_64.zip, then run murl13.exe
             (murl13.exe --window for the window)
  browser .. unzip murl13-@VERSION@-web.zip, open index.html in the folder
             murl13-@VERSION@-web (or publish the folder on any web host),
             then click or tap to start
  source ... tar xzf murl13-@VERSION@-source.tar.gz
             cd murl13-@VERSION@ && ./run     (./test runs the tests)
EOF

    heading "keys"
    cp437 <<'EOF'
  Escape ............... ends the show (so do Ctrl-C and closing the window)
  F11, Alt+Enter ....... full screen in the window (F in the browser)
  Enter ................ closes the box that says the song did not load
  Ctrl-Z, then fg ...... suspends and resumes it in a terminal
EOF
    printf '\n'
} >"$work/nfo"
# Trailing blanks dropped, DOS line ends.
sed -e 's/ *$//' -e 's/$/\r/' "$work/nfo"
