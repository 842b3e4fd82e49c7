#!/usr/bin/env bash
# Quick start: installs what is missing, builds dk2 and runs the bundled example script, which
# mounts an image the way Dravik does (the mount and the program start are shown, not done).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
install_packages
cmake --preset native >/dev/null
cmake --build --preset native --target dk2 >/dev/null
build/native/src/dk2/dk2 run examples/mount_sample.dk2
