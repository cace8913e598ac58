#!/usr/bin/env bash
# A small drive for the free-space tests: mounts a tmpfs of SIZE at FOLDER
# (inside the build tree) and maps it as drive LETTER in the Windows test
# prefix; "unmount" undoes both, and "mount" first clears what a run that was
# cut short may have left. Mounting needs root: without it, "mount" says so
# and succeeds, and the tests that need the drive skip themselves.
#
# usage: small-drive.sh mount FOLDER LETTER SIZE
#        small-drive.sh unmount FOLDER LETTER
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX="${QUELLMARK_WINEPREFIX:-$root/build/windows/wineprefix}"
action=${1:-} folder=${2:-} letter=${3:-}
if [ -z "$folder" ] || [ -z "$letter" ]; then
  echo "usage: $0 mount FOLDER LETTER SIZE | unmount FOLDER LETTER" >&2
  exit 2
fi
link="$WINEPREFIX/dosdevices/${letter,,}:"

release() {
  rm -f "$link"
  if mountpoint -q "$folder" 2>/dev/null; then
    umount "$folder" 2>/dev/null || umount -l "$folder" || return 1
  fi
  [ -d "$folder" ] && rmdir "$folder" 2>/dev/null
  return 0
}

case $action in
  mount)
    size=${4:?size, e.g. 20m}
    release || exit 1
    "$root/tools/prepare-prefix.sh" >&2 || exit 1
    mkdir -p "$folder"
    if ! mount -t tmpfs -o "size=$size" tmpfs "$folder" 2>/dev/null; then
      rmdir "$folder" 2>/dev/null
      echo "small drive: cannot mount a tmpfs here (needs root); the tests that need drive ${letter^^}: skip"
      exit 0
    fi
    ln -sfn "$folder" "$link"
    echo "small drive: ${letter^^}: is a $size tmpfs at $folder"
    ;;
  unmount)
    release
    ;;
  *)
    echo "usage: $0 mount FOLDER LETTER SIZE | unmount FOLDER LETTER" >&2
    exit 2
    ;;
esac
