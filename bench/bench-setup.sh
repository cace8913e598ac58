#!/usr/bin/env bash
# The end-to-end install benchmark: the real QuellmarkSetup.exe under Wine and
# Xvfb, clicked through, against the local package host behind the CONNECT
# proxy; beside it, in the same run, curl through the same proxy plus
# `unzip -q -o`, and a bare WinInet loop for the download alone.
#
#   bash bench/bench-setup.sh [--keep] [--rate MBPS] [--cuts N] [--against BUILD] [--split]
#                             [a] [b]               (both packages when none is named)
#
# --rate MBPS: the package host sends every body, to the setup and to curl
# alike, at no more than MBPS megabytes (10^6 bytes) a second, as a home line
# would. --cuts N: the host breaks the first N bodies that the setup fetches,
# each after a fifth of the package; the setup must pick them up again, and the
# bytes the host served to it are printed beside the package's size.
# --against BUILD: the QuellmarkSetup.exe of another build folder (of an
# earlier commit, say) installs the same package in the same run, and the two
# times are printed side by side. --split: a build of the same sources that
# times its phases (QUELLMARK_PHASE_CLOCK, in build/PRESET-phases) installs the
# package once more, and where its time went is printed: waiting, reading,
# checking, inflating, CRC-32, writing, the files, the list, the window and
# the rest.
#
# Packages (made once in build/bench-setup/packages, removed unless --keep):
#   a  about 400 MB out of 2,000 files, half random (stored), half text (deflated)
#   b  20,000 files of 1 to 4 KB in 200 folders
# Uses its own Wine prefix (build/bench-setup/wineprefix).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
keep=""
rate=0
cuts=0
against=""
split=""
names=()
usage() { echo "usage: bench-setup.sh [--keep] [--rate MBPS] [--cuts N] [--against BUILD] [--split] [a] [b]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --keep) keep=1; shift ;;
    --rate) [ $# -gt 1 ] || usage; rate=$2; shift 2 ;;
    --cuts) [ $# -gt 1 ] || usage; cuts=$2; shift 2 ;;
    --against) [ $# -gt 1 ] || usage; against=$(cd "$2" && pwd); shift 2 ;;
    --split) split=1; shift ;;
    a|b) names+=("$1"); shift ;;
    *) usage ;;
  esac
done
[ ${#names[@]} -gt 0 ] || names=(a b)
work=$root/build/bench-setup
state=$work/host

# The shipped 32-bit build where this machine runs 32-bit code, else the
# 64-bit build of the same sources (tools/wine-mode.sh).
source tools/wine-mode.sh
build=build/$QM_WINDOWS_PRESET
cmake --preset "$QM_WINDOWS_PRESET" >/dev/null
cmake --build --preset "$QM_WINDOWS_PRESET" --target QuellmarkSetup prefix_network window_probe \
  wininet_loop file_floor >/dev/null
base_url=$(sed -n 's/^QUELLMARK_PACKAGE_BASE_URL:STRING=//p' "$build/CMakeCache.txt")
split_build=""
if [ -n "$split" ]; then
  split_build=$root/build/$QM_WINDOWS_PRESET-phases
  toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$build/CMakeCache.txt")
  cmake -S . -B "$split_build" -G Ninja --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DQUELLMARK_TESTS=OFF -DQUELLMARK_PHASE_CLOCK=ON -DQUELLMARK_PACKAGE_BASE_URL="$base_url" \
    >/dev/null 2>&1
  cmake --build "$split_build" --target QuellmarkSetup >/dev/null
fi
url_path=$(python3 -c 'import sys, urllib.parse; p = urllib.parse.urlsplit(sys.argv[1]).path; print(p if p.endswith("/") else p + "/")' "$base_url")

export QUELLMARK_WINEPREFIX=$work/wineprefix WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  bash tests/tools/package-host.sh stop "$state" >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "$keep" ] || rm -rf "$work/packages"
  true
}
trap cleanup EXIT

mkdir -p "$work/packages" "$state/root$url_path"
[ -f "$work/packages/a.zip" ] || python3 bench/make_bench_package.py mixed "$work/packages/a.zip" 400 2000
[ -f "$work/packages/b.zip" ] || python3 bench/make_bench_package.py small "$work/packages/b.zip" 20000 200

if [ -z "${DISPLAY:-}" ]; then
  source tools/xvfb.sh
  start_xvfb
fi
tools/prepare-prefix.sh
wineserver -p
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Georgia /d 'Liberation Serif' /f \
  >/dev/null 2>&1 || true
bash tests/tools/package-host.sh start "$state" --base-url "$base_url" \
  --prefix-tool "$build/tests/tools/prefix_network.exe" --max-seconds 3600 --rate "$rate" >/dev/null

packages=()
for name in "${names[@]}"; do packages+=("$name=$work/packages/$name.zip"); done
QUELLMARK_BENCH_CUTS=$cuts QUELLMARK_BENCH_AGAINST=$against QUELLMARK_BENCH_SPLIT=$split_build \
  python3 bench/timed_install.py "$root/$build" "$work" "$state/host.env" "$url_path" "${packages[@]}"
