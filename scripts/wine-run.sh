#!/usr/bin/env bash
# Runs a Windows program under Wine the way the Windows tests do: quiet, no
# display (a message box fails at once, as on a machine with no desktop), no
# sound drivers (the silent pacer plays), in the prefix WINEPREFIX names
# (default: build-windows/wine-prefix, made on first use).
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build-windows/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# (mscoree and mshtml off: a new prefix would offer to fetch Mono and Gecko.)
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winealsa.drv,winepulse.drv=d;mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
exec wine "$@"
