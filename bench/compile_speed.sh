#!/usr/bin/env bash
# Builds the optimised native preset and times the compiler on a generated 10,000-line script.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target compile_speed >/dev/null
build/native-release/bench/compile_speed
