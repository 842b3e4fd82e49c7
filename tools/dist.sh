#!/usr/bin/env bash
# Builds what a Windows user downloads, into dist/:
#
#   bash tools/dist.sh
#
#   dist/dravik-VERSION-setup.exe     the setup program (installer/dravik.nsi)
#   dist/dravik-VERSION-portable.zip  the same files in a Dravik folder, with README.txt
#
# Installs what is missing and builds the 32-bit product first (the windows preset; an existing
# build is reused). Prints the paths of both files.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
install_packages
cmake --preset windows >/dev/null
cmake --build --preset windows --target dravik dk2 >/dev/null

build=build/windows
version=$(product_version)
rm -rf dist
mkdir -p dist
bash installer/build_installer.sh "$build" "dist/dravik-$version-setup.exe" >/dev/null

staging=$(mktemp -d -t dravik-dist.XXXXXX)
trap 'rm -rf "$staging"' EXIT
mkdir -p "$staging/Dravik/scripts"
cp "$build/src/dravik/dravik.exe" "$build/src/dk2/dk2.exe" "$staging/Dravik/"
cp src/dravik/scripts/mount.dk2 "$staging/Dravik/scripts/"
# Windows' Notepad before 2018 shows a text with bare LF line ends as one line.
sed 's/$/\r/' installer/README.txt >"$staging/Dravik/README.txt"
(cd "$staging" && zip -q -X -r "$OLDPWD/dist/dravik-$version-portable.zip" Dravik)

ls -l dist/
