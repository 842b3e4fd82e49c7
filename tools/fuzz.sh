#!/usr/bin/env bash
# Usage: tools/fuzz.sh TARGET SECONDS
# Builds the "fuzz" preset (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs TARGET for SECONDS seconds. Targets:
#   fuzz_tokenizer, fuzz_compile    script text through the tokenizer, the compiler and disassembler
#   fuzz_disassembler               image bytes through the disassembler
#   fuzz_load_and_run               image bytes loaded and run both ways (register form, byte code)
#   fuzz_compile_and_run            script text compiled and run both ways
#   fuzz_register_form              generated well-typed scripts compiled and run both ways
# The run starts from the seeds in fuzz/corpus/TARGET and keeps what it finds in
# build/fuzz/corpus/TARGET, which persists between runs. Script targets use the dictionary
# fuzz/script.dict. Crashing, hanging and memory-hungry inputs land in build/fuzz/artifacts/TARGET/;
# after one the fuzzer starts again for the time that is left, so a long run goes on past a find.
# The last line sums up the run: seconds, runs, new corpus entries, crashes, timeouts and
# out-of-memory inputs. Exits 1 when the run found anything, 2 on a bad command line.
# FUZZ_SEED=N starts libFuzzer's random choices from N instead of from the clock, so that two
# runs from the same corpus walk the same inputs for as long as their speeds allow.
set -euo pipefail
cd "$(dirname "$0")/.."

targets="fuzz_tokenizer fuzz_disassembler fuzz_compile fuzz_load_and_run fuzz_compile_and_run fuzz_register_form"
if [ $# -ne 2 ] || ! grep -qw -- "$1" <<<"$targets" || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS   (TARGET one of: $targets)" >&2
  exit 2
fi
target=$1
seconds=$2

cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target "$target"

seeds=fuzz/corpus/$target
corpus=build/fuzz/corpus/$target
artifacts=build/fuzz/artifacts/$target
mkdir -p "$corpus" "$artifacts"

# Bounds per input: the run targets may loop (their tick budget ends that) and allocate up to
# the machine's per-value limit, so they get more time and memory than the parsers. The script
# generator's programs grow with its input, so its inputs take their full length from the start
# instead of growing slowly.
options=(-rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/")
case "$target" in
  fuzz_tokenizer | fuzz_compile) options+=(-dict=fuzz/script.dict -max_len=8192 -timeout=10) ;;
  fuzz_compile_and_run) options+=(-dict=fuzz/script.dict -max_len=4096 -timeout=30) ;;
  fuzz_disassembler) options+=(-max_len=16384 -timeout=10) ;;
  fuzz_load_and_run) options+=(-max_len=8192 -timeout=30) ;;
  fuzz_register_form) options+=(-max_len=1024 -len_control=0 -timeout=30) ;;
esac
[ -z "${FUZZ_SEED:-}" ] || options+=(-seed="$FUZZ_SEED")

count_files() { find "$1" -maxdepth 1 -type f | wc -l; }
corpus_before=$(count_files "$corpus")
marker=$(mktemp)
log=$(mktemp)
trap 'rm -f "$marker" "$log"' EXIT

runs=0
new_entries=0
restarts=0
start=$(date +%s)
while :; do
  left=$((seconds - ($(date +%s) - start)))
  [ "$left" -gt 0 ] || break
  status=0
  nice -n 10 "build/fuzz/fuzz/$target" "$corpus" "$seeds" -max_total_time="$left" "${options[@]}" \
    2>&1 | tee "$log" || status=$?
  runs=$((runs + $(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1 | grep . || echo 0)))
  new_entries=$((new_entries + $(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -n 1 | grep . || echo 0)))
  [ "$status" -ne 0 ] || break
  # A find: go on for the time left, unless the finds come at once (a seed that fails at start).
  restarts=$((restarts + 1))
  if [ "$restarts" -ge 20 ]; then
    echo "fuzz.sh: $restarts finds, stopping early" >&2
    break
  fi
done
elapsed=$(($(date +%s) - start))

found() { find "$artifacts" -maxdepth 1 -type f -name "$1-*" -newer "$marker" | wc -l; }
crashes=$(($(found crash) + $(found leak) + $(found deadly-signal)))
timeouts=$(found timeout)
ooms=$(found oom)
echo
find "$artifacts" -maxdepth 1 -type f -newer "$marker" | sort | sed 's/^/found: /'
echo "fuzz.sh $target: $elapsed seconds, $runs runs, $new_entries new corpus entries" \
  "(corpus $corpus_before -> $(count_files "$corpus") files, $(count_files "$seeds") seeds)," \
  "$crashes crashes, $timeouts timeouts, $ooms out-of-memory"
[ $((crashes + timeouts + ooms)) -eq 0 ]
