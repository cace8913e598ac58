#!/usr/bin/env bash
# The main job: builds QuellmarkSetup.exe and starts it under Wine in a prefix
# of its own (build/run/wineprefix).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows

export WINEPREFIX="$root/build/run/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
tools/prepare-prefix.sh
set +e
wine build/windows/QuellmarkSetup.exe
code=$?
set -e
wineserver -k || true
echo "QuellmarkSetup.exe exited with code $code"
