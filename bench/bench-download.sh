#!/usr/bin/env bash
# Download throughput: the production download code (download_package, via
# bench/download_bench.exe under Wine) against curl, both fetching the same
# 500 MB package from the local package host through the same CONNECT proxy,
# alternately, two rounds each. Prints every run and the best of each in MB/s
# (10^6 bytes per second), and their ratio.
#
# With --huge, also a body cut short after 4 GiB: a sparse 5 GiB package,
# announced whole and cut after 4.5 GiB, must end in "The download failed."
# (a length read in 32 bits would let it pass as complete). Needs 4.5 GB of
# free disk and a few minutes.
#
#   bash bench/bench-download.sh [--huge] [SIZE_MB]
#
# Uses a Wine prefix of its own (build/bench-download/wineprefix) and removes
# the downloaded copies afterwards; the served package is kept for the next run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
huge=0
if [ "${1:-}" = "--huge" ]; then
  huge=1
  shift
fi
size_mb=${1:-500}
work=$root/build/bench-download
state=$work/host

cmake --preset windows >/dev/null
cmake --build --preset windows --target download_bench prefix_network >/dev/null
base_url=$(sed -n 's/^QUELLMARK_PACKAGE_BASE_URL:STRING=//p' build/windows/CMakeCache.txt)
host=$(sed -E 's#^[a-zA-Z]+://([^/:]+).*#\1#' <<<"$base_url")

export QUELLMARK_WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all

package=$state/root/bench/QuellmarkFull.zip
bytes=$((size_mb * 1000000))
mkdir -p "$(dirname "$package")"
if [ "$(stat -c %s "$package" 2>/dev/null || echo 0)" != "$bytes" ]; then
  echo "making a $size_mb MB package ..."
  head -c "$bytes" /dev/urandom >"$package"
fi

cleanup() {
  bash tests/tools/package-host.sh stop "$state" >/dev/null 2>&1 || true
  rm -f "$work/curl.out" "$work/setup.out" "$state/root/bench/huge/QuellmarkFull.zip"
}
trap cleanup EXIT
bash tests/tools/package-host.sh start "$state" --base-url "$base_url" \
  --prefix-tool build/windows/tests/tools/prefix_network.exe --max-seconds 3600 >/dev/null
# shellcheck disable=SC1091
. "$state/host.env"
url="https://$host/bench/QuellmarkFull.zip"
windows_out="Z:${work//\//\\}\\setup.out"

run_curl() {
  curl -sS --fail --proxy "$PROXY" --cacert "$CA" -o "$work/curl.out" \
    -w '%{size_download} %{time_total}\n' "$url" |
    awk '{ printf "%.1f", $1 / 1e6 / $2 }'
}

run_setup() {
  tools/wine-run.sh build/windows/bench/download_bench.exe "$url" "$windows_out" |
    sed -n 's/.*MB\/s=\([0-9.]*\).*/\1/p' | tr -d '\r\n'
}

best_curl=0
best_setup=0
for round in 1 2; do
  c=$(run_curl)
  cmp -s "$work/curl.out" "$package" || { echo "curl's copy differs" >&2; exit 1; }
  s=$(run_setup)
  cmp -s "$work/setup.out" "$package" || { echo "download_package's copy differs" >&2; exit 1; }
  echo "round $round: curl $c MB/s, download_package $s MB/s"
  best_curl=$(awk -v a="$best_curl" -v b="$c" 'BEGIN { print (b > a ? b : a) }')
  best_setup=$(awk -v a="$best_setup" -v b="$s" 'BEGIN { print (b > a ? b : a) }')
done
echo "package: $size_mb MB from 127.0.0.1 through the CONNECT proxy"
echo "curl:             $best_curl MB/s (best of 2)"
echo "download_package: $best_setup MB/s (best of 2, under Wine)"
awk -v s="$best_setup" -v c="$best_curl" 'BEGIN { printf "ratio download_package / curl: %.2f\n", s / c }'

if [ "$huge" -eq 1 ]; then
  huge_bytes=$((5 << 30))
  cut_bytes=$((9 << 29))  # 4.5 GiB
  mkdir -p "$state/root/bench/huge"
  truncate -s "$huge_bytes" "$state/root/bench/huge/QuellmarkFull.zip"
  echo "body cut after 4.5 GiB of an announced 5 GiB ..."
  line=$(tools/wine-run.sh build/windows/bench/download_bench.exe \
    "https://$host/_cut/$cut_bytes/bench/huge/QuellmarkFull.zip" "$windows_out" | tr -d '\r' || true)
  echo "download_package: $line"
  rm -f "$work/setup.out"
  case $line in
    "The download failed."*) echo "cut body past 4 GiB: reported as failed (ok)" ;;
    *) echo "cut body past 4 GiB: NOT reported as failed" >&2; exit 1 ;;
  esac
fi
