#!/usr/bin/env bash
# The whole test suite, from a fresh Debian 12 machine: installs what it needs,
# builds both presets, runs the host tests (sanitizers, fuzzing) and the
# Windows tests under Wine in a prefix of this run's own.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/install-deps.sh || exit 1
source tools/wine-mode.sh

cmake --preset host >/dev/null && cmake --build --preset host || exit 1
# The shipped 32-bit setup is built and its image checked on every machine;
# the Windows tests run on the build that this machine's Wine can execute.
cmake --preset windows >/dev/null && cmake --build --preset windows || exit 1
if [ "$QM_WINDOWS_PRESET" != windows ]; then
  cmake --preset "$QM_WINDOWS_PRESET" >/dev/null && cmake --build --preset "$QM_WINDOWS_PRESET" || exit 1
fi

# A display for the windows and message boxes the tests open.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
  start_xvfb || exit 1
fi

export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all
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
# The first program of a server session also starts Wine's background services
# (explorer, device manager). Start them here, detached from any pipe: started
# by a test, they would hold CTest's output pipe open and the test would seem
# to hang until its timeout.
wine cmd /c exit 0 </dev/null >/dev/null 2>&1

status=0
: >"$root/build/test-summary.txt"
run_ctest() {
  local preset=$1
  shift
  ctest --preset "$preset" "$@" 2>&1 | tee "$root/build/ctest-$preset.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}
run_ctest host -j2
passed=0
failed=0
if [ "$QM_WINDOWS_PRESET" != windows ]; then
  # Without Wine's 32-bit loader, the shipped image is still checked where no
  # program has to run. CTest cannot even list the 32-bit build's tests here
  # (it runs each test program to find its cases), so the two checks run
  # directly.
  for check in "tools/check-image.sh build/windows/QuellmarkSetup.exe" \
               "tools/check-reproducible.sh build/windows/QuellmarkSetup.exe build/windows/repro"; do
    if $check; then
      echo "passed: $check"
      passed=$((passed + 1))
    else
      echo "FAILED: $check"
      failed=$((failed + 1))
      status=1
    fi
  done
  echo "Not run on this machine: the DLL-planting test of the 32-bit image (PlantedDlls), which needs Wine's 32-bit loader."
fi
run_ctest "$QM_WINDOWS_PRESET" -j2

for preset in host $QM_WINDOWS_PRESET; do
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
