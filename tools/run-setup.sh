#!/usr/bin/env bash
# The main job: builds QuellmarkSetup.exe and runs the real setup under Wine,
# unchanged, against a local package host. A generated sample package is
# served over HTTPS on 127.0.0.1, for the production host name, through a
# local CONNECT proxy; the setup's Wine prefix (build/run/wineprefix) trusts
# the host's test CA and uses the proxy, and nothing else does.
#
# With a DISPLAY, the person clicks through the setup. Without one, Xvfb is
# started and one install is driven with real clicks (Install, then OK on the
# final box); screenshots of the ready page, the installing page and the
# final state are left in build/run/. Either way the script prints where the
# game was installed and the exit code, and stops every server it started.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/install-deps.sh
source tools/wine-mode.sh
cmake --preset "$QM_WINDOWS_PRESET" >/dev/null
# Only what this script runs: the setup, the tool that points the prefix at the
# local host, and the probe the unattended run reads the window with. The tests
# and benchmarks are for tools/run-tests.sh to build.
cmake --build --preset "$QM_WINDOWS_PRESET" --target QuellmarkSetup prefix_network window_probe

run=$root/build/run
export QUELLMARK_WINEPREFIX="$run/wineprefix" WINEPREFIX="$run/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
setup_exe=$root/build/$QM_WINDOWS_PRESET/QuellmarkSetup.exe
helpers=$root/build/$QM_WINDOWS_PRESET/tests/tools
base_url=$(sed -n 's/^QUELLMARK_PACKAGE_BASE_URL:[A-Z]*=//p' "build/$QM_WINDOWS_PRESET/CMakeCache.txt")

xvfb_pid=""
host_started=""
cleanup() {
  [ -n "$host_started" ] && tests/tools/package-host.sh stop "$run/host" >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  true
}
trap cleanup EXIT

# The sample package, where the package URL's path points on the local host.
package_dir=$run/host/root$(python3 -c 'import sys, urllib.parse; print(urllib.parse.urlsplit(sys.argv[1]).path.rstrip("/"))' "$base_url")
mkdir -p "$package_dir"
python3 tests/tools/make_sample_package.py "$package_dir/QuellmarkFull.zip"
bash tools/sign-package.sh "$package_dir/QuellmarkFull.zip"

unattended=""
if [ -z "${DISPLAY:-}" ]; then
  unattended=1
  source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
  start_xvfb || exit 1
fi

tools/prepare-prefix.sh
# The window's font; Wine carries no Georgia of its own.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Georgia /d 'Liberation Serif' /f \
  >/dev/null 2>&1 || true
host_started=1
tests/tools/package-host.sh start "$run/host" --base-url "$base_url" \
  --prefix-tool "$helpers/prefix_network.exe" --max-seconds 3600

set +e
if [ -n "$unattended" ]; then
  python3 tests/tools/drive_setup.py "$setup_exe" "$helpers/window_probe.exe" "$run"
  code=$?
else
  tools/wine-run.sh "$setup_exe"
  code=$?
fi
set -e

folder=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\The Annals of Quellmark' \
  /v InstallLocation 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p' || true)
if [ -n "$folder" ]; then
  echo "The game was installed in $folder (Wine prefix $WINEPREFIX)."
else
  echo "No installation was recorded."
fi
echo "Requests served: $(grep -c . "$run/host/host.log" 2>/dev/null || echo 0) (log: $run/host/host.log)"
echo "QuellmarkSetup.exe exited with code $code"
exit "$code"
