#!/usr/bin/env bash
# Usage: tools/fuzz.sh TARGET SECONDS
# Builds the "fuzz" preset (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs TARGET (fuzz_tokenizer, fuzz_disassembler, fuzz_compile, fuzz_compile_and_run,
# fuzz_load_and_run) for SECONDS seconds on its corpus build/fuzz/corpus/TARGET, which persists
# between runs. Script targets start from the example, golden and benchmark scripts and use the
# dictionary fuzz/script.dict; the image targets start from the images the native dk2 compiles
# from those scripts (when the native build exists).
# Crashing inputs land in build/fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2

cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target "$target"

corpus=build/fuzz/corpus/$target
artifacts=build/fuzz/artifacts/$target/
mkdir -p "$corpus" "$artifacts"

options=()
seed_scripts() {
  find examples tests/data bench/programs -name '*.dk2' -type f 2>/dev/null
}

case "$target" in
  fuzz_tokenizer | fuzz_compile | fuzz_compile_and_run)
    options+=(-dict=fuzz/script.dict)
    while IFS= read -r script; do
      cp "$script" "$corpus/seed-${script//\//_}"
    done < <(seed_scripts)
    ;;
  fuzz_disassembler | fuzz_load_and_run)
    dk2=build/native/src/dk2/dk2
    if [ -x "$dk2" ]; then
      while IFS= read -r script; do
        "$dk2" compile "$script" -o "$corpus/seed-${script//\//_}.img" >/dev/null 2>&1 || true
      done < <(seed_scripts)
    fi
    ;;
esac

"build/fuzz/fuzz/$target" "$corpus" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$artifacts" "${options[@]}"
