#!/usr/bin/env bash
# Runs every script of the end-to-end suite through `dk2 run` and compares what it printed with
# what the script's author worked out beforehand.
#
#   bash tests/e2e/run_e2e.sh [--filter TEXT] COMMAND...
#
# COMMAND... starts dk2, e.g. build/native/src/dk2/dk2 or
# /usr/lib/wine/wine64 build/windows-x64/src/dk2/dk2.exe. Each tests/e2e/<area>/<name>.dk2 has
# <name>.out, its exact standard output, and, when it is expected to fail, <name>.status: the
# exit status on the first line, the exact standard error on the lines after it. Without a
# .status file the script must end with status 0 and print nothing on standard error.
# --filter runs only the scripts whose path below tests/e2e contains TEXT (an area, a prefix).
# CR is stripped from what dk2 prints, so Windows builds compare against the same files.
# Exits non-zero when any script fails; the last line is "e2e: N passed, M failed".
set -uo pipefail

suite_dir=$(cd "$(dirname "$0")" && pwd)
filter=""
if [ "${1:-}" = "--filter" ]; then
  filter=${2:?--filter needs a text}
  shift 2
fi
if [ $# -eq 0 ]; then
  echo "usage: run_e2e.sh [--filter TEXT] COMMAND..." >&2
  exit 2
fi
command=("$@")

# Wine's debug channels would otherwise write to standard error.
export WINEDEBUG=${WINEDEBUG:--all}
# A script that loops for ever must not stall the suite.
readonly kSecondsPerScript=30
# A runaway script's difference is cut to this many lines.
readonly kDiffLines=40
# Twice the cores: under Wine much of each run is waiting on the wine server.
jobs=${E2E_JOBS:-$((2 * $(nproc 2>/dev/null || echo 1)))}

scratch=$(mktemp -d -t dravik-e2e.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

mapfile -t scripts < <(cd "$suite_dir" && find . -name '*.dk2' -path "*${filter}*" | sed 's|^\./||' | LC_ALL=C sort)

# Scripts are named relative to the working directory: a Windows build under Wine reads
# relative paths with forward slashes the same way, whatever drive the prefix maps.
run_one() {
  local index=$1 script=$2
  local path
  path=$(realpath --relative-to=. "$suite_dir/$script")
  local rc attempt
  for attempt in 1 2; do
    timeout "$kSecondsPerScript" "${command[@]}" run "$path" >"$scratch/$index.out" 2>"$scratch/$index.err"
    rc=$?
    # dk2 never fails without a word; a run that ends with no output at all did not get to run
    # (under Wine the loader can fail to start a process). It is tried once more, and said so.
    if [ "$rc" -eq 0 ] || [ -s "$scratch/$index.out" ] || [ -s "$scratch/$index.err" ] || [ "$attempt" -eq 2 ]; then
      break
    fi
    echo "note: $script ended with status $rc and no output; running it again" >"$scratch/$index.note"
  done
  echo "$rc" >"$scratch/$index.rc"
  tr -d '\r' <"$scratch/$index.out" >"$scratch/$index.stdout"
  tr -d '\r' <"$scratch/$index.err" | sed -e '$a\' >"$scratch/$index.stderr"
}

running=0
for index in "${!scripts[@]}"; do
  run_one "$index" "${scripts[$index]}" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

# Prints the differences of one script and answers whether there were none.
check_one() {
  local index=$1 script=$2
  local base="$suite_dir/${script%.dk2}"
  local expected_status=0 ok=0
  : >"$scratch/expected.stderr"
  if [ ! -f "$base.out" ]; then
    echo "FAIL $script: no ${script%.dk2}.out"
    return 1
  fi
  if [ -f "$base.status" ]; then
    expected_status=$(head -n 1 "$base.status" | tr -d '\r ')
    tail -n +2 "$base.status" | sed -e '$a\' >"$scratch/expected.stderr"
  fi
  local actual_status
  actual_status=$(cat "$scratch/$index.rc")
  if [ "$actual_status" = 124 ]; then
    echo "FAIL $script: stopped after $kSecondsPerScript s"
    ok=1
  elif [ "$actual_status" != "$expected_status" ]; then
    echo "FAIL $script: exit status $actual_status, expected $expected_status"
    ok=1
  fi
  if ! cmp -s "$base.out" "$scratch/$index.stdout"; then
    echo "FAIL $script: standard output differs (- expected, + actual)"
    diff -u "$base.out" "$scratch/$index.stdout" | tail -n +3 | head -n "$kDiffLines"
    ok=1
  fi
  if ! cmp -s "$scratch/expected.stderr" "$scratch/$index.stderr"; then
    echo "FAIL $script: standard error differs (- expected, + actual)"
    diff -u "$scratch/expected.stderr" "$scratch/$index.stderr" | tail -n +3 | head -n "$kDiffLines"
    ok=1
  fi
  return "$ok"
}

passed=0
failed=0
for index in "${!scripts[@]}"; do
  [ -f "$scratch/$index.note" ] && cat "$scratch/$index.note"
  if check_one "$index" "${scripts[$index]}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
