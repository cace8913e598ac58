#!/usr/bin/env bash
# Checks that the build is reproducible: builds QuellmarkSetup.exe once more,
# from a copy of this source tree in WORK_DIR/source (another absolute path, a
# fresh build folder, the same package host as BUILT_EXE's build), and
# compares it with BUILT_EXE byte for byte. WORK_DIR is removed when they
# match and kept for a look when they do not.
#
#   check-reproducible.sh BUILT_EXE WORK_DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: check-reproducible.sh BUILT_EXE WORK_DIR" >&2; exit 2; }
built=$(realpath "$1")
work=$(realpath -m "$2")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
url=$(sed -n 's/^QUELLMARK_PACKAGE_BASE_URL:[A-Z]*=//p' "$(dirname "$built")/CMakeCache.txt")

rm -rf "$work"
mkdir -p "$work/source"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/source" -xf -
cd "$work/source"
cmake --preset windows -DQUELLMARK_TESTS=OFF -DQUELLMARK_PACKAGE_BASE_URL="$url" \
  >"$work/build.log" 2>&1 &&
  cmake --build --preset windows --target QuellmarkSetup >>"$work/build.log" 2>&1 || {
  tail -n 30 "$work/build.log"
  echo "the second build failed; its log is $work/build.log"
  exit 1
}
again=$work/source/build/windows/QuellmarkSetup.exe
if cmp -s "$built" "$again"; then
  echo "reproducible: $(sha256sum "$built" | cut -d' ' -f1)  QuellmarkSetup.exe"
  rm -rf "$work"
  exit 0
fi
echo "NOT reproducible: $built and $again differ ($(cmp -l "$built" "$again" | wc -l) bytes)"
cmp -l "$built" "$again" | head -n 10
exit 1
