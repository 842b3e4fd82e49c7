#!/usr/bin/env bash
# The one test command: installs what is missing, builds the native and the Windows presets,
# runs the native suite with ctest and a short run of each fuzz target that runs scripts, then
# the Windows suite under Wine in a fresh prefix.
# Exits non-zero when anything fails; the output ends with the steps that failed, so the tail of
# a long log tells what to look at.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh

fuzz_seconds=60
step=""
failures=()
note() {
  step=$*
  printf '\n== %s\n' "$step"
}
# Records the current step as failed, with an optional detail.
fail() { failures+=("$step${1:+: $1}"); }

note "Installing packages"
install_packages || exit 1

note "Building"
for preset in native windows "$(windows_test_preset)"; do
  build_preset "$preset" || exit 1
done

note "dravik.exe is a GUI program that needs no DLL beyond the system's own"
headers=$(i686-w64-mingw32-objdump -p build/windows/src/dravik/dravik.exe)
foreign=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" |
  grep -viE '^(kernel32|user32|gdi32|advapi32|shell32|comdlg32|comctl32|msvcrt|version)\.dll$')
# Here-strings, not pipes: grep -q stops reading early, and pipefail would count that a failure.
if grep -q 'Subsystem.*Windows GUI' <<<"$headers" && [ -z "$foreign" ]; then
  echo "yes"
else
  echo "no: subsystem or DLLs wrong: ${foreign:-none foreign}"
  fail
fi

note "dk2.exe against the native dk2 on the bundled example"
start_wine_prefix || exit 1
trap stop_wine_prefix EXIT
native_tokens=$(build/native/src/dk2/dk2 tokens examples/hello.dk2)
windows_tokens=$(run_windows "build/$(windows_test_preset)/src/dk2/dk2.exe" tokens examples/hello.dk2 | tr -d '\r')
if [ "$native_tokens" = "$windows_tokens" ]; then
  echo "same $(printf '%s\n' "$native_tokens" | wc -l) lines on both builds"
else
  echo "dk2.exe differs from dk2:"
  diff <(printf '%s\n' "$native_tokens") <(printf '%s\n' "$windows_tokens") | head -20
  fail
fi

note "Native tests (ctest)"
ctest --preset native -j "$(nproc)" ||
  fail "$(tr '\n' ' ' <build/native/Testing/Temporary/LastTestsFailed.log 2>/dev/null)"

# Each run target compares the register form with the byte code on what it finds; a find fails
# the test command and is kept in build/fuzz/artifacts/TARGET/ (tools/fuzz.sh). A fixed seed
# makes a clean clone here walk the same inputs as CI does; long runs explore with the clock's.
for target in fuzz_compile_and_run fuzz_load_and_run fuzz_register_form; do
  note "Fuzzing $target for $fuzz_seconds seconds"
  log=build/fuzz-$target.log
  mkdir -p build
  if FUZZ_SEED=1 bash tools/fuzz.sh "$target" "$fuzz_seconds" >"$log" 2>&1; then
    tail -n 1 "$log"
  else
    tail -n 60 "$log"
    fail "$(sed -n 's/^found: //p' "$log" | tr '\n' ' ')$(tail -n 1 "$log")"
  fi
done

note "Windows tests under Wine ($(windows_test_preset) build)"
# The window tests need a display. Wine's desktop keeps the display of the server's first start,
# which had none: a fresh server starts it on the virtual one.
wineserver -k >/dev/null 2>&1
xvfb-run -a "$(wine_loader)" "build/$(windows_test_preset)/tests/dravik_tests.exe" || fail

note "The setup program and the portable zip (tools/dist.sh)"
bash tools/dist.sh || fail
setup=$(ls dist/dravik-*-setup.exe 2>/dev/null | head -n 1)

note "dravik.exe end to end under Wine and Xvfb ($(windows_test_preset) build), installed by ${setup:-no setup program}"
bash tests/wine/run_scenarios.sh "build/$(windows_test_preset)" ${setup:+"$setup"} || fail

note "dravik.exe under real mouse and keyboard input (Wine, Xvfb, xdotool)"
bash tests/wine/gui_scenarios.sh "build/$(windows_test_preset)" || fail

note "End-to-end scripts under Wine ($(windows_test_preset) build)"
bash tests/e2e/run_e2e.sh "$(wine_loader)" "build/$(windows_test_preset)/src/dk2/dk2.exe" || fail


if [ ${#failures[@]} -eq 0 ]; then
  note "Every step passed"
  exit 0
fi
note "Failed steps"
printf '%s\n' "${failures[@]}"
exit 1
