#!/usr/bin/env bash
# The real dravik.exe under Wine, driven by real mouse and keyboard input through X:
#
#   bash tests/wine/gui_scenarios.sh BUILD_DIR
#
# BUILD_DIR is a Windows build (build/windows-x64 where 32-bit code cannot run) with
# src/dravik/dravik.exe, its scripts folder and tests/wine/{fake_host,dravik_probe}.exe.
# Clicks, drags and keys go through xdotool on a virtual display, so the flat controls' own mouse
# and keyboard handling runs; the probe only reads back (registry, control texts) and prepares
# the registry. Screenshots of the settings, mount and About windows are checked at chosen
# pixels and kept in BUILD_DIR/gui-screenshots/.
# Prints "ok NAME" or "FAIL NAME: why" per scenario and a summary line; exits non-zero when any
# scenario fails. ONLY=NAME in the environment runs that one scenario.
set -uo pipefail

# The whole run, Wine's first start included.
readonly kRunSeconds=240

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
  echo "usage: gui_scenarios.sh BUILD_DIR" >&2
  exit 2
fi

if [ -z "${DRAVIK_GUI_DISPLAY:-}" ]; then
  DRAVIK_GUI_DISPLAY=1 exec timeout -k 5 "$kRunSeconds" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../../tools/common.sh
source "$repo/tools/common.sh"

readonly dravik_exe=$build/src/dravik/dravik.exe
readonly shipped_scripts=$build/src/dravik/scripts
readonly host_exe=$build/tests/wine/fake_host.exe
readonly probe_exe=$build/tests/wine/dravik_probe.exe
for file in "$dravik_exe" "$shipped_scripts/mount.dk2" "$host_exe" "$probe_exe"; do
  [ -f "$file" ] || { echo "missing $file" >&2; exit 2; }
done
readonly shots=$build/gui-screenshots

export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
loader=$(wine_loader)

# Limits, in seconds.
readonly kWineSeconds=60
readonly kWindowSeconds=45
readonly kEndSeconds=30
readonly kHostSeconds=20
readonly kXSeconds=10
readonly kInputSeconds=5
# Input has been handled and the result painted.
readonly kSettle=0.4

readonly kProgramFolder='C:\Program Files\Dravik'
readonly kProgram="$kProgramFolder\\dravik.exe"
readonly kHostFolder='C:\Fake Host'
readonly kHost="$kHostFolder\\fake_host.exe"
readonly kImage='C:\Images\disc.iso'
readonly kSettingsKey='HKLM\Software\Varnholt\Dravik'

# Colours as ImageMagick prints them.
readonly kInk='srgb(0,64,128)'
readonly kBackground='srgb(168,186,215)'
readonly kField='srgb(238,240,247)'
readonly kInkHex='#004080'

# Client points of the main window's controls (the window has no frame: client = window).
# Settings mode: the settings panel at 5,50; its types panel at 20,115 within it.
readonly kTypes=(25 165)
readonly kIsoGlyph=($((25 + 16 + 14)) $((165 + 68 + 18)))
readonly kExtensionField=($((25 + 155 + 20)) $((165 + 265 + 9)))
readonly kFirstListEntry=($((25 + 20 + 30)) $((165 + 245 + 11 + 8)))
readonly kDeleteLink=($((25 + 155 + 20)) $((165 + 307 + 6)))
readonly kCheckBox=($((25 + 20)) $((165 + 375)) 15 17)
# The "Open" link's text box (it lies at 15,17 in the host panel at 20,35 of the settings panel).
readonly kOpenLink=($((25 + 15)) $((85 + 17)) 32 17)
readonly kClose=(456 27)
readonly kAbout=(435 27)
# Boxes are left, top, width, height; the title's box holds the start of its text.
readonly kTitle=(15 16 60 24)
readonly kFreeTitle=(250 25)
readonly kSettingsPanelFree=(300 62)
# Mount mode: the mount panel at 5,55; its inner panel at 20,35 within it.
readonly kMountInner=(25 90)
readonly kImageNumber=($((25 + 120 + 12)) $((90 + 35 + 10)))
# Its up and down buttons: the field's right 11 pixels, split in halves.
readonly kImageNumberUp=($((25 + 120 + 51 - 6)) $((90 + 35 + 5)))
readonly kImageNumberDown=($((25 + 120 + 51 - 6)) $((90 + 35 + 15)))
# The About window: its "X" at 450,6 in the title panel at 5,10.
readonly kAboutClose=(460 27)
readonly kAboutTitle=(15 16 130 24)

dravik_pid=
cleanup() {
  stop_dravik
  stop_wine_prefix
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# --- Wine, the program and the probe ---------------------------------------------------------

win() { timeout -k 5 "$kWineSeconds" "$loader" "$@"; }

probe() { win "$probe_exe" "$@" 2>/dev/null | iconv -f CP1252 -t UTF-8; }

unix_path() {
  local rest=${1#C:}
  printf '%s/drive_c%s' "$WINEPREFIX" "${rest//\\//}"
}

start_dravik() {
  win "$kProgram" "$@" >/dev/null 2>&1 &
  dravik_pid=$!
}

dravik_running() { [ -n "$dravik_pid" ] && kill -0 "$dravik_pid" 2>/dev/null; }

stop_dravik() {
  if dravik_running; then
    kill "$dravik_pid" 2>/dev/null
    wait "$dravik_pid" 2>/dev/null
  fi
  dravik_pid=
}

reset_state() {
  probe delete-keys 'HKLM\Software\Varnholt' 'HKCR\dravikfile' 'HKCR\.iso' 'HKCR\.img' ||
    return
  local folder
  for folder in "$kProgramFolder" "$kHostFolder" 'C:\Images'; do
    rm -rf "$(unix_path "$folder")"
    mkdir -p "$(unix_path "$folder")"
  done
  cp "$dravik_exe" "$(unix_path "$kProgramFolder")/"
  cp -r "$shipped_scripts" "$(unix_path "$kProgramFolder")/"
  cp "$host_exe" "$(unix_path "$kHostFolder")/"
}

# --- Checks: each answers 1 and sets `why` on the first difference -------------------------------

why=
fail() {
  why=$*
  return 1
}

expect_eq() { [ "$3" = "$2" ] || fail "$1: expected \"$2\", got \"$3\""; }

# expect_soon WHAT WANT COMMAND...: COMMAND prints WANT within a few seconds; input reaches the
# program through the X server and Wine and is handled some time after xdotool has sent it.
expect_soon() {
  local what=$1 want=$2 got tenths=0
  shift 2
  for (( ; ; )); do
    got=$("$@")
    [ "$got" = "$want" ] && return 0
    [ "$tenths" -ge $((kInputSeconds * 10)) ] && break
    sleep 0.1
    tenths=$((tenths + 1))
  done
  fail "$what: expected \"$want\", got \"$got\""
}

expect_reg() { expect_soon "$1 [$2]" "$3" probe reg "$1" "$2"; }

expect_dravik_ends() {
  local tenths=0
  while dravik_running && [ "$tenths" -lt $((kEndSeconds * 10)) ]; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  dravik_running && fail "dravik.exe did not end" && return 1
  wait "$dravik_pid" 2>/dev/null
  dravik_pid=
}

host_record_file() { printf '%s/host_record.txt' "$(unix_path "$kHostFolder")"; }

# expect_host_params PARAMS: the host has been started with exactly PARAMS after its path.
expect_host_params() {
  local tenths=0 file
  file=$(host_record_file)
  while [ ! -s "$file" ] && [ "$tenths" -lt $((kHostSeconds * 10)) ]; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  [ -s "$file" ] || fail "the host was not started" || return
  local line
  line=$(iconv -f CP1252 -t UTF-8 <"$file" | tr -d '\r' | sed -n 's/^command line: //p' | head -1)
  local rest=${line#"\"$kHost\""}
  expect_eq "host parameters" "$1" "${rest#"${rest%%[! ]*}"}"
}

# --- The X side ---------------------------------------------------------------------------------

x() { timeout -k 2 "$kXSeconds" xdotool "$@"; }

# visible_window NAME_PATTERN: prints the id of the shown window with that caption, waiting for it.
visible_window() {
  local tenths=0 id
  while [ "$tenths" -lt $((kWindowSeconds * 10)) ]; do
    id=$(x search --onlyvisible --name "$1" 2>/dev/null | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
    tenths=$((tenths + 1))
  done
  return 1
}

window_gone() {
  local tenths=0
  while [ "$tenths" -lt $((kWindowSeconds * 10)) ]; do
    [ -z "$(x search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
    sleep 0.1
    tenths=$((tenths + 1))
  done
  return 1
}

# The window's origin on the screen: sets wx and wy.
wx=0
wy=0
locate() {
  local X='' Y='' geometry
  geometry=$(x getwindowgeometry --shell "$1") || return
  eval "$(grep -E '^[XY]=[0-9-]+$' <<<"$geometry")"
  [ -n "$X" ] && [ -n "$Y" ] || return 1
  wx=$X
  wy=$Y
}

main_id=
# Waits for the main window ("Dravik") and notes where it is.
await_main() {
  probe wait-main "$kWindowSeconds" >/dev/null || fail "the main window is not there" || return
  main_id=$(visible_window '^Dravik$') || fail "no shown X window \"Dravik\"" || return
  await_still "$main_id" || fail "the main window does not keep still" || return
}

# Waits until the window has kept its place for a moment (it is centred after it shows), and
# notes that place.
await_still() {
  local tenths=0 lastx=-1 lasty=-1
  while [ "$tenths" -lt $((kWindowSeconds * 10)) ]; do
    sleep "$kSettle"
    locate "$1" || return
    [ "$wx" = "$lastx" ] && [ "$wy" = "$lasty" ] && return 0
    lastx=$wx
    lasty=$wy
    tenths=$((tenths + 4))
  done
  return 1
}

# point CX CY: moves the pointer to a client point of the located window.
# Not --sync: it would wait for ever when the pointer is already there.
point() { x mousemove $((wx + $1)) $((wy + $2)) && sleep 0.1; }

click_at() {
  point "$1" "$2" && x click 1 || return
  sleep "$kSettle"
}

keys() {
  x key --delay 50 "$@" || return
  sleep "$kSettle"
}

type_text() {
  x type --delay 50 "$1" || return
  sleep "$kSettle"
}

# Closes the main window by a click on its "X"; the program must then end.
close_by_x() {
  click_at "${kClose[@]}" || fail "cannot click the X" || return
  expect_dravik_ends
}

# shoot NAME WINDOW_ID: the window's picture in $shots/NAME.png.
shoot() {
  local file=$shots/$1.png X='' Y='' WIDTH='' HEIGHT='' geometry
  geometry=$(x getwindowgeometry --shell "$2") || return
  eval "$(grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9-]+$' <<<"$geometry")"
  timeout "$kXSeconds" import -silent -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
    "$file" || return
  echo "$file"
}

pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }

expect_pixel() { expect_eq "$4 at $2,$3 of $(basename "$1")" "$5" "$(pixel "$1" "$2" "$3")"; }

# ink_count PNG X Y W H: how many pixels of the rectangle are exactly ink.
ink_count() {
  convert "$1" -crop "${4}x${5}+${2}+${3}" +repage txt:- | grep -ci " $kInkHex "
}

# expect_chrome PNG TITLE_RECT...: the window's frame, background and title text.
expect_chrome() {
  expect_pixel "$1" 0 0 "frame" "$kInk" || return
  expect_pixel "$1" 2 2 "background" "$kBackground" || return
  local inked
  inked=$(ink_count "$1" "$2" "$3" "$4" "$5")
  [ "$inked" -gt 0 ] || fail "no ink in the title's box of $(basename "$1")"
}

# --- Scenarios -------------------------------------------------------------------------------

# A click on the .iso glyph associates .iso, a second one gives the former class back. The
# untouched settings window is the settings screenshot.
scenario_glyph_toggles_association() {
  probe set-sz 'HKCR\.iso' @ OldIso >/dev/null
  start_dravik
  await_main || return
  local file
  file=$(shoot settings "$main_id") || fail "no screenshot" || return
  echo "   screenshot $file"
  expect_chrome "$file" "${kTitle[@]}" || return
  expect_pixel "$file" $((kTypes[0] + 5)) $((kTypes[1] + 5)) "types panel" "$kField" || return
  local crossed
  crossed=$(probe text 102)
  click_at "${kIsoGlyph[@]}" || return
  [ "$(probe text 102)" != "$crossed" ] || fail "the .iso glyph still shows \"$crossed\"" || return
  expect_reg 'HKCR\.iso' @ "REG_SZ dravikfile" || return
  expect_reg 'HKCR\.iso' dravikoldfile "REG_SZ OldIso" || return
  click_at "${kIsoGlyph[@]}" || return
  expect_reg 'HKCR\.iso' @ "REG_SZ OldIso" || return
  expect_reg 'HKCR\.iso' dravikoldfile absent || return
  expect_soon ".iso glyph" "$crossed" probe text 102 || return
  close_by_x
}

# A link is underlined while the pointer is over it, and only then.
scenario_link_underlined_while_hovered() {
  start_dravik
  await_main || return
  local plain hovered left
  plain=$(ink_count "$(shoot link-plain "$main_id")" "${kOpenLink[@]}")
  point $((kOpenLink[0] + 8)) $((kOpenLink[1] + 6)) && sleep "$kSettle" || return
  hovered=$(ink_count "$(shoot link-hovered "$main_id")" "${kOpenLink[@]}")
  point "${kFreeTitle[@]}" && sleep "$kSettle" || return
  left=$(ink_count "$(shoot link-left "$main_id")" "${kOpenLink[@]}")
  [ "$hovered" -gt "$plain" ] ||
    fail "\"Open\" gains no underline under the pointer (ink pixels $plain, then $hovered)" || return
  expect_eq "ink pixels of \"Open\" once the pointer has left" "$plain" "$left" || return
  close_by_x
}

# Typed into the field and entered, an extension is added; a click on its list entry and one on
# the delete link take it away again.
scenario_extension_typed_and_deleted() {
  probe set-sz 'HKCR\.img' @ OldImg >/dev/null
  start_dravik
  await_main || return
  click_at "${kExtensionField[@]}" || return
  type_text img || return
  keys Return || return
  expect_soon "extension list" img probe list 111 || return
  expect_soon "extension field" "" probe text 110 || return
  expect_reg 'HKCR\.img' @ "REG_SZ dravikfile" || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ img" || return
  click_at "${kFirstListEntry[@]}" || return
  click_at "${kDeleteLink[@]}" || return
  expect_soon "extension list" "" probe list 111 || return
  expect_reg 'HKCR\.img' @ "REG_SZ OldImg" || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ " || return
  close_by_x
}

# Enter and Escape in the list and in the check box, which have the focus after a click, do
# nothing: no mount action, no closing.
scenario_keys_in_list_and_check_box() {
  start_dravik
  await_main || return
  click_at "${kExtensionField[@]}" || return
  type_text img || return
  keys Return || return
  expect_soon "extension list" img probe list 111 || return
  expect_keys_kept_at list "${kFirstListEntry[@]}" || return
  expect_keys_kept_at "check box" $((kCheckBox[0] + 5)) $((kCheckBox[1] + 8)) || return
  close_by_x
}

# expect_keys_kept_at WHAT CX CY: after a click there, Enter shows no box and Escape leaves the
# window open.
expect_keys_kept_at() {
  click_at "$2" "$3" || return
  keys Return || return
  probe no-box '*' 1 >/dev/null || fail "Enter in the $1 showed a box" || return
  keys Escape || return
  [ -n "$(x search --onlyvisible --name '^Dravik$' 2>/dev/null)" ] || fail "Escape in the $1 closed the window"
}

# The check box ticked by a click is saved by "X" and shows ticked at the next start.
scenario_option_saved_and_shown() {
  start_dravik
  await_main || return
  local before after file
  file=$(shoot option-off "$main_id") || fail "no screenshot" || return
  before=$(ink_count "$file" "${kCheckBox[@]}")
  click_at $((kCheckBox[0] + 5)) $((kCheckBox[1] + 8)) || return
  close_by_x || return
  expect_reg "$kSettingsKey" OneDrive "REG_DWORD 1" || return
  start_dravik
  await_main || return
  file=$(shoot option-on "$main_id") || fail "no screenshot" || return
  after=$(ink_count "$file" "${kCheckBox[@]}")
  [ "$after" -gt "$before" ] ||
    fail "the check box shows no tick after the restart (ink pixels $before, then $after)" || return
  close_by_x
}

# The image number field: typed text is limited to 0..3 only when the field loses the focus
# (the mount window has no other control that takes it, so the About window does), the arrow
# keys and the buttons step within the range, letters are refused, and Enter mounts with the
# typed number as it stands. The mount window is the mount screenshot.
scenario_image_number_field() {
  probe set-sz "$kSettingsKey" @ "$kHost" >/dev/null
  : >"$(unix_path "$kImage")"
  start_dravik "$kImage"
  await_main || return
  local file
  file=$(shoot mount "$main_id") || fail "no screenshot" || return
  echo "   screenshot $file"
  expect_chrome "$file" "${kTitle[@]}" || return
  expect_pixel "$file" $((kMountInner[0] + 5)) $((kMountInner[1] + 3)) "mount panel" "$kField" ||
    return
  click_at "${kImageNumber[@]}" || return
  keys End BackSpace BackSpace || return
  type_text 7 || return
  expect_soon "typed image number" 7 probe text 121 || return
  click_at "${kAbout[@]}" || return
  local about
  about=$(visible_window '^About Dravik 2$') || fail "no About window after \"?\"" || return
  locate "$about" || return
  click_at "${kAboutClose[@]}" || return
  window_gone '^About Dravik 2$' || fail "the About window stays" || return
  locate "$main_id" || return
  expect_soon "image number after leaving the field" 3 probe text 121 || return
  click_at "${kImageNumber[@]}" || return
  keys Up || return
  expect_soon "image number after Up at 3" 3 probe text 121 || return
  keys Down || return
  expect_soon "image number after Down" 2 probe text 121 || return
  click_at "${kImageNumberUp[@]}" || return
  expect_soon "image number after its up button" 3 probe text 121 || return
  click_at "${kImageNumberUp[@]}" || return
  expect_soon "image number after its up button at 3" 3 probe text 121 || return
  click_at "${kImageNumberDown[@]}" || return
  expect_soon "image number after its down button" 2 probe text 121 || return
  type_text a || return
  expect_soon "image number after typing a letter" 2 probe text 121 || return
  keys End BackSpace BackSpace || return
  type_text 7 || return
  keys Return || return
  expect_dravik_ends || return
  expect_host_params "-mount 7,\"$kImage\""
}

scenario_escape_closes() {
  start_dravik
  await_main || return
  click_at "${kFreeTitle[@]}" || return
  keys Escape || return
  expect_dravik_ends || return
  window_gone '^Dravik$' || fail "the window stays" || return
  expect_reg "$kSettingsKey" @ "REG_SZ " || return
  expect_reg "$kSettingsKey" OneDrive "REG_DWORD 0"
}

# "?" shows the About window with the version; its "X" closes it and the main window goes on.
scenario_about_window() {
  start_dravik
  await_main || return
  click_at "${kAbout[@]}" || fail "cannot click the ?" || return
  local about file
  about=$(visible_window '^About Dravik 2$') || fail "no About window after \"?\"" || return
  sleep "$kSettle"
  expect_eq "version label" "Dravik 2.0.2.101" "$(probe about-version "$kWindowSeconds")" ||
    return
  file=$(shoot about "$about") || fail "no screenshot" || return
  echo "   screenshot $file"
  expect_chrome "$file" "${kAboutTitle[@]}" || return
  locate "$about" || return
  click_at "${kAboutClose[@]}" || return
  window_gone '^About Dravik 2$' || fail "the About window stays after its X" || return
  locate "$main_id" || return
  close_by_x
}

# drag BUTTON CX CY: presses BUTTON at a client point, moves by +40,+30 in steps and releases;
# sets `moved` to the window's displacement, "DX,DY".
moved=
drag() {
  local button=$1 startx=$wx starty=$wy step
  moved=
  point "$2" "$3" && x mousedown "$button" || return
  for step in 1 2 3 4; do
    x mousemove $((startx + $2 + step * 10)) $((starty + $3 + step * 15 / 2)) || return
    sleep 0.1
  done
  x mouseup "$button" || return
  await_still "$main_id" || return
  moved="$((wx - startx)),$((wy - starty))"
}

# The title strip's free part drags the window with the left button only; a panel does not.
scenario_drag() {
  start_dravik
  await_main || return
  drag 1 "${kFreeTitle[@]}"
  expect_eq "left drag on the title strip" "40,30" "$moved" || return
  drag 1 "${kSettingsPanelFree[@]}"
  expect_eq "left drag on the settings panel" "0,0" "$moved" || return
  drag 3 "${kFreeTitle[@]}"
  expect_eq "right drag on the title strip" "0,0" "$moved" || return
  close_by_x
}

readonly kScenarios=(
  glyph_toggles_association
  link_underlined_while_hovered
  extension_typed_and_deleted
  keys_in_list_and_check_box
  option_saved_and_shown
  image_number_field
  escape_closes
  about_window
  drag
)

# --- The run -----------------------------------------------------------------------------------

if [ -n "${ONLY:-}" ] && [[ " ${kScenarios[*]} " != *" $ONLY "* ]]; then
  echo "no scenario $ONLY" >&2
  exit 2
fi
rm -rf "$shots"
mkdir -p "$shots"
start_wine_prefix || { echo "cannot start Wine" >&2; exit 1; }
wineserver -p

passed=0
failed=0
for name in "${kScenarios[@]}"; do
  [ -n "${ONLY:-}" ] && [ "$name" != "$ONLY" ] && continue
  why=
  if reset_state && "scenario_$name" && [ -z "$why" ]; then
    echo "ok $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name: ${why:-cannot reset the registry and the folders}"
    failed=$((failed + 1))
  fi
  stop_dravik
done

echo "gui scenarios: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
