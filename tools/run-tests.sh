#!/usr/bin/env bash
# The whole test suite, from a fresh Debian 12 machine: installs what it needs,
# builds both presets, runs the host tests (sanitizers, fuzzing) and the
# Windows tests under Wine in a prefix of this run's own.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/install-deps.sh || exit 1

cmake --preset host >/dev/null && cmake --build --preset host || exit 1
cmake --preset windows >/dev/null && cmake --build --preset windows || exit 1

# A display for the windows and message boxes the tests open.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
fi

export WINEPREFIX="$root/build/windows/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  true
}
trap cleanup EXIT

# A fresh prefix for every run, booted once before any test uses it.
rm -rf "$WINEPREFIX"
tools/prepare-prefix.sh || exit 1
wineserver -p  # keep one server for the whole run: each test starts faster
# Start the prefix's own processes (services, desktop) now, detached from any
# pipe: started by the first test instead, they would hold its output pipe
# open for the whole run and ctest would wait on it until its timeout.
wine wineboot </dev/null >/dev/null 2>&1

status=0
: >"$root/build/test-summary.txt"
run_ctest() {
  local preset=$1
  shift
  ctest --preset "$preset" "$@" 2>&1 | tee "$root/build/ctest-$preset.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}
run_ctest host -j2
run_ctest windows -j2

passed=0
failed=0
for preset in host windows; do
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "build/ctest-$preset.log" | tail -n1)
  if [ -z "$line" ]; then status=1; continue; fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo
echo "all: $passed passed, $failed failed"
exit $status
