#!/usr/bin/env bash
# Extraction benchmark (not a test). Builds a ~400 MB mixed package (2,000
# files, half random and stored, half text and deflated) and extracts it with
# extract_package (native release build, and the Windows build under Wine)
# and with Info-ZIP's `unzip -q -o`, reporting output throughput and peak
# resident memory side by side. Then compares the peak memory of a 10 MB and
# a 2 GB package. With --huge, also passes one stored Zip64 entry of 4.5 GiB
# through and checks its bytes (needs about 10 GB of free disk).
#
# usage: bash bench/bench-extract.sh [--huge] [--keep]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
huge=0 keep=0
for arg in "$@"; do
  case $arg in
    --huge) huge=1 ;;
    --keep) keep=1 ;;
    *) echo "usage: $0 [--huge] [--keep]" >&2; exit 2 ;;
  esac
done

data="$root/build/bench-data"
helper="python3 $root/bench/make_bench_package.py"
mkdir -p "$data"
[ "$keep" -eq 1 ] || trap 'rm -rf "$data"' EXIT

echo "== building (release, no sanitizers)"
cmake -S . -B build/bench-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUELLMARK_SANITIZE=OFF \
  >/dev/null
cmake --build build/bench-host --target bench_extract >/dev/null
host_bench="$root/build/bench-host/bench/bench_extract"
have_wine=0
if cmake --preset windows >/dev/null 2>&1 && cmake --build --preset windows --target bench_extract >/dev/null 2>&1; then
  have_wine=1
  export WINEPREFIX="$root/build/windows/wineprefix" WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  tools/prepare-prefix.sh >/dev/null 2>&1 || have_wine=0
fi
wine_bench="$root/build/windows/bench/bench_extract.exe"
winpath() { echo "Z:${1//\//\\}"; }

make_package() {  # name total_mb files
  local package="$data/$1.zip"
  [ -f "$package" ] || $helper mixed "$package" "$2" "$3"
  echo "$package"
}

field() { sed -nE "s/.*$1=([0-9.]+).*/\1/p" <<<"$2" | head -n1; }

# Best of two runs of each tool on one package, one row each. "wall" counts
# the whole process (Wine's start-up included); "in-process" only the
# extract_package call, as the bench driver times it.
compare() {
  local package=$1 bytes
  bytes=$($helper size "$package")
  echo "output: $bytes bytes"
  printf '%-6s %8s %9s %11s %11s %12s %12s\n' tool "wall s" "MB/s wall" "in-proc s" \
    "MB/s in-p" "peak RSS KiB" "in-proc KiB"
  for tool in unzip host wine; do
    [ "$tool" = wine ] && [ "$have_wine" -eq 0 ] && continue
    local best="" best_line=""
    for _ in 1 2; do
      local out="$data/out-$tool"
      rm -rf "$out" && mkdir -p "$out"
      local line
      case $tool in
        unzip) line=$($helper measure unzip -q -o "$package" -d "$out") ;;
        host) line=$($helper measure "$host_bench" "$package" "$out") ;;
        wine) line=$($helper measure wine "$wine_bench" "$(winpath "$package")" "$(winpath "$out")") ;;
      esac
      local seconds
      seconds=$(field wall_seconds "$line")
      if [ -z "$best" ] || awk "BEGIN{exit !($seconds < $best)}"; then best=$seconds best_line=$line; fi
    done
    local inner inner_rate inner_rss
    inner=$(field 'seconds' "$(grep -E '^files=' <<<"$best_line" || true)")
    inner_rss=$(field peak_after_kib "$best_line")
    inner_rate=-
    [ -n "$inner" ] && inner_rate=$(awk "BEGIN{printf \"%.1f\", $bytes/1e6/$inner}")
    printf '%-6s %8s %9s %11s %11s %12s %12s\n' "$tool" "$best" \
      "$(awk "BEGIN{printf \"%.1f\", $bytes/1e6/$best}")" "${inner:--}" "$inner_rate" \
      "$(field sampled_peak_rss_kib "$best_line")" "${inner_rss:--}"
  done
  rm -rf "$data"/out-*
}

echo "== 400 MB mixed package, 2,000 files"
compare "$(make_package mixed400 400 2000)"

echo
echo "== peak memory of extract_package: 10 MB vs 2 GB package"
for sizes in "small 10 50" "large 2000 2000"; do
  set -- $sizes
  package=$(make_package "$1" "$2" "$3")
  out="$data/out-$1"
  rm -rf "$out" && mkdir -p "$out"
  line=$("$host_bench" "$package" "$out")
  echo "host $1 ($2 MB): $line"
  if [ "$have_wine" -eq 1 ]; then
    rm -rf "$out" && mkdir -p "$out"
    line=$(wine "$wine_bench" "$(winpath "$package")" "$(winpath "$out")")
    echo "wine $1 ($2 MB): $line"
  fi
  rm -rf "$out"
done

if [ "$huge" -eq 1 ]; then
  echo
  echo "== one stored Zip64 entry of 4.5 GiB"
  package="$data/huge.zip"
  expected=$($helper huge "$package" 4.5)
  out="$data/out-huge"
  rm -rf "$out" && mkdir -p "$out"
  $helper measure "$host_bench" "$package" "$out"
  actual=$(sha256sum "$out/big/huge.bin" | cut -d' ' -f1)
  if [ "$actual" = "$expected" ]; then echo "huge entry: bytes match ($actual)"; else
    echo "huge entry: MISMATCH (expected $expected, got $actual)"; exit 1; fi
  rm -rf "$out" "$package"
fi
