#!/usr/bin/env bash
# Builds Dravik's setup program from a Windows build with makensis (installer/dravik.nsi):
#
#   bash installer/build_installer.sh BUILD_DIR OUT_FILE [MOUNT_SCRIPT VERSION]
#
# BUILD_DIR holds src/dravik/dravik.exe and src/dk2/dk2.exe. The version and the publisher are
# read from dravik.exe's version record (src/dravik/dravik.rc), the mount script is the shipped
# src/dravik/scripts/mount.dk2; the tests give another script and version to make an older setup
# program to upgrade from.
set -euo pipefail

if [ $# -ne 2 ] && [ $# -ne 4 ]; then
  echo "usage: build_installer.sh BUILD_DIR OUT_FILE [MOUNT_SCRIPT VERSION]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=$(cd "$1" && pwd)
out=$(realpath -m "$2")
# shellcheck source=../tools/common.sh
source "$top/tools/common.sh"

version=$(product_version)
publisher=$(product_publisher)
script=$top/src/dravik/scripts/mount.dk2
if [ $# -eq 4 ]; then
  script=$(realpath "$3")
  version=$4
fi
[ -n "$version" ] && [ -n "$publisher" ] || { echo "no version record in src/dravik/dravik.rc" >&2; exit 1; }

mkdir -p "$(dirname "$out")"
makensis -V2 -NOCD \
  "-DVERSION=$version" "-DPUBLISHER=$publisher" "-DICON=$top/src/dravik/dravik.ico" \
  "-DBUILD_DIR=$build" "-DMOUNT_SCRIPT=$script" "-DOUT_FILE=$out" \
  "$here/dravik.nsi" >&2
echo "$out"
