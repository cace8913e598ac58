# Sourced by the run, test and benchmark scripts, after tools/install-deps.sh:
# chooses how this machine runs the Windows build under Wine, and says so.
#
# The shipped setup is a 32-bit image, run by Wine's 32-bit loader. Some
# machines execute no 32-bit code at all (their kernel answers "Exec format
# error"). There the same sources are built for 64-bit Windows (preset
# windows64) and run by the 64-bit loader in a 64-bit prefix; what only the
# 32-bit image has (its import stubs, its DLL search) cannot be run there.
#
# Sets QM_WINDOWS_PRESET (windows or windows64) and WINEARCH, and, for 64-bit,
# puts tools/wine64-bin first on PATH so that "wine" and the Wine tools that
# start programs through it use the 64-bit loader.
qm_wine_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  QM_WINDOWS_PRESET=windows
  export WINEARCH=win32
else
  QM_WINDOWS_PRESET=windows64
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  export PATH="$qm_wine_tools/wine64-bin:$PATH"
  echo "This machine cannot execute 32-bit programs: the Windows tests run on a 64-bit build" \
    "of the same sources under wine64 (build/windows64)." >&2
fi
export QM_WINDOWS_PRESET
