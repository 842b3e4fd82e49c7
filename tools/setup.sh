#!/usr/bin/env bash
# Installs every Debian package the builds and tests need. Idempotent; run as root on Debian 12.
set -euo pipefail

packages=(
  g++ cmake ninja-build googletest libgtest-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick lua5.4
  clang libclang-rt-14-dev
  nsis zip
)

missing() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

if [ -z "$(missing)" ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
# shellcheck disable=SC2046
apt-get install -y -qq --no-install-recommends $(missing) >/dev/null
