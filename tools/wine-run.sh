#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix.
# The prefix is created once (wineboot -i) and shared by every test of the run.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export WINEPREFIX="${QUELLMARK_WINEPREFIX:-$root/build/windows/wineprefix}"
export WINEARCH="${WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
"$here/prepare-prefix.sh" >&2
exec wine "$@"
