#!/usr/bin/env bash
# Creates the Wine prefix named by WINEPREFIX once; later calls return at once.
# A lock makes parallel first calls wait for the one that boots it.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEARCH="${WINEARCH:-win32}" WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
[ -f "$WINEPREFIX/.quellmark-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.quellmark-ready" ] && exit 0
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.quellmark-ready"
