#!/usr/bin/env bash
# Quick start: installs what is missing, builds dk2 and prints the tokens of the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
install_packages
cmake --preset native >/dev/null
cmake --build --preset native --target dk2 >/dev/null
build/native/src/dk2/dk2 tokens examples/hello.dk2
