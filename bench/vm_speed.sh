#!/usr/bin/env bash
# Usage: bash bench/vm_speed.sh [ROUNDS]
# Measures the script engine against Lua 5.4 (lua5.4 and luac5.4 on the PATH), from the
# optimised native-release preset, which it builds first:
#  - compile speed: a generated script of 100,000 lines (bench/twin_scripts.cpp) compiled by
#    `dk2 check`, beside `luac5.4 -p` on its Lua twin;
#  - run speed and peak memory: each pair bench/programs/NAME.dk2 and NAME.lua, run ROUNDS times
#    (default 5) by `dk2 run` and lua5.4 in turn, so that a change in the machine's load hits both
#    alike. Their outputs must agree. A new pair does the same work idiomatically in each
#    language and is sized so that lua5.4 takes 0.5 to 2 seconds;
#  - where this machine runs 32-bit Windows programs under Wine, the same programs by the 32-bit
#    `dk2.exe` of the windows preset (built too), beside the native times.
# Both sides are timed as whole commands, by the processor time they use. Prints the median
# time of each side, the ratio dk2 / lua5.4, the peak memory of each side and its ratio (and the
# Wine time and its ratio to the native one), and as its last line the geometric mean of the
# run-speed ratios. Exits 1 when a program fails or the two outputs of a pair differ.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh

rounds=${1:-5}
if ! [[ $rounds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: bench/vm_speed.sh [ROUNDS]" >&2
  exit 2
fi
compile_lines=100000
build=build/native-release
dk2=$build/src/dk2/dk2
work=$(mktemp -d)
trap 'rm -rf "$work"; stop_wine_prefix' EXIT

cmake --preset native-release >/dev/null
cmake --build --preset native-release --target dk2 twin_scripts >/dev/null

wine_dk2=
if can_run_32bit_wine; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target dk2 >/dev/null
  wine_dk2=build/windows/src/dk2/dk2.exe
  start_wine_prefix
  wineserver -p || true  # stays up, so that no run pays for its start
fi

# measure OUT COMMAND...: runs COMMAND with its standard output in OUT and prints the processor
# time it used (user + system, in seconds) and its peak resident memory (KiB). Processor time
# rather than wall clock: on a machine shared with other work, waiting for a core is not the
# engine's cost. A failing COMMAND stops the benchmark.
measure() {
  local out=$1
  shift
  if ! /usr/bin/time -o "$work/time" -f '%U %S %M' "$@" >"$out" 2>"$work/stderr"; then
    echo "FAILED: $*" >&2
    cat "$out" "$work/stderr" >&2
    return 1
  fi
  awk '{ print $1 + $2, $3 }' "$work/time"
}

# median NUMBERS...: the middle value (the mean of the two middle ones for an even count).
median() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# same_output A B WHAT: fails loudly when the two output files differ (line ends aside).
same_output() {
  if ! cmp -s <(tr -d '\r' <"$1") <(tr -d '\r' <"$2"); then
    echo "OUTPUTS DIFFER for $3 (< dk2, > other):" >&2
    diff <(tr -d '\r' <"$1") <(tr -d '\r' <"$2") >&2 || true
    return 1
  fi
}

compile_speed() {
  local lines
  lines=$("$build/bench/twin_scripts" "$compile_lines" "$work/big.dk2" "$work/big.lua")
  local dk2_times=() lua_times=() m
  for ((round = 1; round <= rounds; round++)); do
    m=$(measure "$work/check.out" "$dk2" check "$work/big.dk2")
    dk2_times+=("${m% *}")
    m=$(measure "$work/luac.out" luac5.4 -p "$work/big.lua")
    lua_times+=("${m% *}")
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

# run_pair NAME: prints NAME, the two medians in seconds and their ratio, the peak memory of
# each in MiB and its ratio, and the Wine time and its ratio to the native time.
run_pair() {
  local name=$1
  local dk2_times=() lua_times=() wine_times=() dk2_memory=() lua_memory=() m
  for ((round = 1; round <= rounds; round++)); do
    m=$(measure "$work/dk2.out" "$dk2" run "bench/programs/$name.dk2")
    dk2_times+=("${m% *}") dk2_memory+=("${m#* }")
    m=$(measure "$work/lua.out" lua5.4 "bench/programs/$name.lua")
    lua_times+=("${m% *}") lua_memory+=("${m#* }")
    same_output "$work/dk2.out" "$work/lua.out" "$name"
    if [ -n "$wine_dk2" ]; then
      m=$(measure "$work/wine.out" "$(wine_loader)" "$wine_dk2" run "bench/programs/$name.dk2")
      wine_times+=("${m% *}")
      same_output "$work/dk2.out" "$work/wine.out" "$name under Wine"
    fi
  done
  awk -v name="$name" -v d="$(median "${dk2_times[@]}")" -v l="$(median "${lua_times[@]}")" \
    -v dm="$(median "${dk2_memory[@]}")" -v lm="$(median "${lua_memory[@]}")" \
    -v w="$( [ -n "$wine_dk2" ] && median "${wine_times[@]}" || echo -)" \
    'BEGIN { printf "%-14s %10.3f %10.3f %9.2f %8.1f %8.1f %7.2f", name, d, l, d / l, dm / 1024, lm / 1024, dm / lm;
      if (w == "-") print ""; else printf " %10.3f %9.2f\n", w, w / d }'
}

compile_speed
echo "median of $rounds rounds, processor time (user + system), peak resident memory:"
printf '%-14s %10s %10s %9s %8s %8s %7s' program "dk2 (s)" "lua5.4 (s)" "dk2/lua" "dk2 MiB" "lua MiB" "memory"
if [ -n "$wine_dk2" ]; then printf ' %10s %9s\n' "wine (s)" "wine/dk2"; else echo; fi
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
