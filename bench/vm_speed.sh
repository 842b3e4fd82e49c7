#!/usr/bin/env bash
# Usage: bash bench/vm_speed.sh [ROUNDS]
# Measures the script engine against Lua 5.4 (lua5.4 and luac5.4 on the PATH), from the
# optimised native-release preset, which it builds first:
#  - compile speed: a generated script of 100,000 lines (bench/twin_scripts.cpp) compiled by
#    `dk2 check`, beside `luac5.4 -p` on its Lua twin;
#  - run speed: each pair bench/programs/NAME.dk2 and NAME.lua, run ROUNDS times (default 5) by
#    `dk2 run` and lua5.4 in turn, so that a change in the machine's load hits both alike. Their
#    outputs must agree. A new pair does the same work idiomatically in each language and is
#    sized so that lua5.4 takes 0.5 to 2 seconds.
# Both sides are timed as whole commands, by the processor time they use. Prints the median
# time of each side and the ratio dk2 / lua5.4, and as its last line the geometric mean of the
# run-speed ratios. Exits 1 when a program fails or the two outputs of a pair differ.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-5}
if ! [[ $rounds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: bench/vm_speed.sh [ROUNDS]" >&2
  exit 2
fi
compile_lines=100000
build=build/native-release
dk2=$build/src/dk2/dk2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --preset native-release >/dev/null
cmake --build --preset native-release --target dk2 twin_scripts >/dev/null

# cpu_seconds OUT COMMAND...: runs COMMAND with its standard output in OUT and prints the
# processor time it used (user + system, in seconds). Processor time rather than wall clock:
# on a machine shared with other work, waiting for a core is not the engine's cost. A failing
# COMMAND stops the benchmark.
cpu_seconds() {
  local out=$1
  shift
  local TIMEFORMAT='%3U %3S' times
  if ! times=$( { time "$@" >"$out" 2>"$work/stderr"; } 2>&1); then
    echo "FAILED: $*" >&2
    cat "$out" "$work/stderr" >&2
    return 1
  fi
  awk '{ print $1 + $2 }' <<<"$times"
}

# median NUMBERS...: the middle value (the mean of the two middle ones for an even count).
median() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# same_output A B WHAT: fails loudly when the two output files differ.
same_output() {
  if ! cmp -s "$1" "$2"; then
    echo "OUTPUTS DIFFER for $3 (< dk2, > lua5.4):" >&2
    diff "$1" "$2" >&2 || true
    return 1
  fi
}

compile_speed() {
  local lines
  lines=$("$build/bench/twin_scripts" "$compile_lines" "$work/big.dk2" "$work/big.lua")
  local dk2_times=() lua_times=()
  for ((round = 1; round <= rounds; round++)); do
    dk2_times+=("$(cpu_seconds "$work/check.out" "$dk2" check "$work/big.dk2")")
    lua_times+=("$(cpu_seconds "$work/luac.out" luac5.4 -p "$work/big.lua")")
  done
  if [ -s "$work/check.out" ]; then
    echo "dk2 check printed messages for the generated script:" >&2
    head "$work/check.out" >&2
    return 1
  fi
  awk -v lines="$lines" -v d="$(median "${dk2_times[@]}")" -v l="$(median "${lua_times[@]}")" \
    'BEGIN { split(lines, n, " ");
      printf "compile: dk2 check %d lines %.0f ms, luac5.4 -p %d lines %.0f ms, ratio %.2f\n",
        n[1], d * 1000, n[2], l * 1000, d / l }'
}

# run_pair NAME: prints NAME, the two medians in seconds and their ratio.
run_pair() {
  local name=$1
  local dk2_times=() lua_times=()
  for ((round = 1; round <= rounds; round++)); do
    dk2_times+=("$(cpu_seconds "$work/dk2.out" "$dk2" run "bench/programs/$name.dk2")")
    lua_times+=("$(cpu_seconds "$work/lua.out" lua5.4 "bench/programs/$name.lua")")
    same_output "$work/dk2.out" "$work/lua.out" "$name"
  done
  awk -v name="$name" -v d="$(median "${dk2_times[@]}")" -v l="$(median "${lua_times[@]}")" \
    'BEGIN { printf "%-14s %10.3f %10.3f %9.2f\n", name, d, l, d / l }'
}

compile_speed
echo "median of $rounds rounds, processor time (user + system):"
printf '%-14s %10s %10s %9s\n' program "dk2 (s)" "lua5.4 (s)" "dk2/lua"
for script in bench/programs/*.dk2; do
  name=$(basename "$script" .dk2)
  if [ ! -f "bench/programs/$name.lua" ]; then
    echo "bench/programs/$name.lua is missing" >&2
    exit 1
  fi
  run_pair "$name"
done | tee "$work/table"
awk '{ sum += log($4); n++ } END { printf "geometric mean dk2/lua5.4: %.2f (%d programs)\n", exp(sum / n), n }' \
  "$work/table"
