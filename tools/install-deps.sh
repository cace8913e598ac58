#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the run need.
# Idempotent: a second run finds everything present and only refreshes lists.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# A mirror in the middle of a sync answers with lists of the wrong size for a
# while. Try again a few times; if one list stays broken, go on with the lists
# that did arrive: the install below fails by name if a package is missing.
for try in 1 2 3; do
  apt-get update -qq && break
  sleep $((try * 10))
done

apt-get install -y -qq --no-install-recommends \
  cmake ninja-build make pkg-config \
  g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  mingw-w64-x86-64-dev \
  libz-mingw-w64-dev \
  g++ clang libclang-rt-14-dev llvm \
  googletest zlib1g-dev \
  wine wine64 fonts-wine fonts-liberation \
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core \
  python3 openssl ca-certificates curl osslsigncode \
  zip unzip libarchive-tools \
  >/dev/null

# Wine's 32-bit half runs the shipped image itself. While a mirror's i386
# lists lag behind its amd64 ones the two cannot be installed together; the
# tests then run on the 64-bit build (tools/wine-mode.sh), as on a machine
# that runs no 32-bit code.
if ! apt-get install -y -qq --no-install-recommends \
  wine32:i386 libgnutls30:i386 \
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxinerama1:i386 \
  libxcomposite1:i386 libxfixes3:i386 libxext6:i386 \
  >/dev/null; then
  echo "install-deps: Wine's 32-bit packages are not installable from these lists;" \
    "the Windows tests run on the 64-bit build." >&2
fi
