#!/usr/bin/env bash
# End-to-end scenarios of the real dravik.exe under Wine, on a virtual X display:
#
#   bash tests/wine/run_scenarios.sh BUILD_DIR [SETUP_EXE]
#
# BUILD_DIR is a Windows build (build/windows-x64 where 32-bit code cannot run); it holds
# src/dravik/dravik.exe with its scripts folder and tests/wine/{fake_host,dravik_probe}.exe.
# SETUP_EXE, the setup program that tools/dist.sh builds, adds the scenarios of installing,
# upgrading and uninstalling; they write what the registry and the list of installed programs
# held before, between and after into BUILD_DIR/install-report.txt. The setup program is 32-bit:
# where 32-bit code cannot run, those scenarios are reported as skipped.
# Every scenario starts from a reset registry and a fresh copy of the program in a folder whose
# name has blanks and a letter beyond ASCII; it drives the program through dravik_probe.exe and
# checks the registry, dravik.log and the record that fake_host.exe, standing in for the
# virtual-drive program, writes of each start.
# Prints "ok NAME" or "FAIL NAME: why" per scenario and a summary line; exits non-zero when any
# scenario fails. ONLY=NAME in the environment runs that one scenario.
set -uo pipefail

# The whole run, Wine's first start included, must not take longer than this.
readonly kRunSeconds=900

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -d "$1" ] || { [ $# -eq 2 ] && [ ! -f "$2" ]; }; then
  echo "usage: run_scenarios.sh BUILD_DIR [SETUP_EXE]" >&2
  exit 2
fi

# One virtual display for the whole run.
if [ -z "${DRAVIK_SCENARIO_DISPLAY:-}" ]; then
  DRAVIK_SCENARIO_DISPLAY=1 exec timeout -k 5 "$kRunSeconds" xvfb-run -a bash "$0" "$@"
fi

build=$(cd "$1" && pwd)
setup_exe=${2:+$(realpath "$2")}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../tools/common.sh
source "$here/../../tools/common.sh"

readonly dravik_exe=$build/src/dravik/dravik.exe
readonly shipped_scripts=$build/src/dravik/scripts
readonly host_exe=$build/tests/wine/fake_host.exe
readonly probe_exe=$build/tests/wine/dravik_probe.exe
readonly data=$here/data  # scripts the scenarios run as they are
for file in "$dravik_exe" "$shipped_scripts/mount.dk2" "$host_exe" "$probe_exe"; do
  [ -f "$file" ] || { echo "missing $file" >&2; exit 2; }
done

# Wine turns the UTF-8 of file names and arguments into the program's code page 1252.
export LC_ALL=C.UTF-8
# No first-start offers to install Wine's .NET and HTML engines: they would wait for a click.
export WINEDLLOVERRIDES="mscoree,mshtml="
loader=$(wine_loader)

# Limits, in seconds.
readonly kWineSeconds=60      # any one Wine start
readonly kEndSeconds=45       # dravik.exe ending by itself
readonly kHostSeconds=30      # the host's starts to show in its record
readonly kQuietSeconds=2      # a start that must not happen has had time to happen
readonly kUninstallSeconds=60 # the uninstaller, which runs on from a copy of itself, to finish
# A window to appear or go; Wine may take over ten seconds for a first start on a busy machine.
readonly kWindowSeconds=45

readonly kProgramFolder='C:\Program Files\Dravik Prüfung'
readonly kProgram="$kProgramFolder\\dravik.exe"
readonly kHostFolder='C:\Fake Host'
readonly kHost="$kHostFolder\\fake_host.exe"
readonly kImageFolder='C:\My Images ü'
readonly kImage="$kImageFolder\\disc one.iso"
readonly kScriptFolder='C:\Scripts ü'
readonly kSettingsKey='HKLM\Software\Varnholt\Dravik'
readonly kPlayerKey='HKLM\SOFTWARE\CyberLink\PowerDVD'
readonly kFixedExtensions=(cue iso ccd bwt mds cdi bin nrg)
# Where the setup program installs, and its entry in the list of installed programs.
readonly kInstallFolder='C:\Program Files\Dravik'
readonly kUninstallKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Dravik'
readonly kCapabilitiesKey="$kSettingsKey\\Capabilities"
readonly kExtraExtensions=(img)
readonly kLogHeaderStart='Only the last file mounted will be listed here. If you experience any '\
'problems send this file to '
# Day 0 of the log's day count is 30 December 1899, 25569 days before 1 January 1970.
readonly kDaysBefore1970=25569
# Longer than the 255 characters a registry key name may have: the key of such an extension
# cannot be created, so writing into it is refused.
kTooLongExtension=$(printf 'x%.0s' {1..300})
readonly kTooLongExtension

scratch=$(mktemp -d -t dravik-scenarios.XXXXXX)
cleanup() {
  stop_dravik
  stop_wine_prefix
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# --- Wine, the program and the probe ---------------------------------------------------------

win() { timeout -k 5 "$kWineSeconds" "$loader" "$@"; }

# Runs the probe; its texts come back in UTF-8. The probe itself answers 0, 1 or 2; any other
# status with no output means that Wine did not get it to run, and it is started once more.
probe() {
  local rc
  for _ in 1 2; do
    win "$probe_exe" "$@" >"$scratch/probe.out"
    rc=$?
    if [ "$rc" -le 2 ] || [ -s "$scratch/probe.out" ]; then break; fi
  done
  iconv -f CP1252 -t UTF-8 <"$scratch/probe.out"
  return "$rc"
}

# The Unix path of a path on drive C:.
unix_path() {
  local rest=${1#C:}
  printf '%s/drive_c%s' "$WINEPREFIX" "${rest//\\//}"
}

# write_script WINDOWS_PATH LINE...: a script file with CR LF line ends in code page 1252.
write_script() {
  local path=$1
  shift
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP1252 >"$(unix_path "$path")"
}

dravik_pid=
dravik_status=  # the exit status of the last dravik.exe that ended by itself
# start_program PROGRAM ARGS...: dravik.exe from PROGRAM; start_dravik: the scenarios' copy.
start_program() {
  win "$@" >/dev/null 2>&1 &
  dravik_pid=$!
}
start_dravik() { start_program "$kProgram" "$@"; }

dravik_running() { [ -n "$dravik_pid" ] && kill -0 "$dravik_pid" 2>/dev/null; }

stop_dravik() {
  if dravik_running; then
    kill "$dravik_pid" 2>/dev/null
    wait "$dravik_pid" 2>/dev/null
  fi
  dravik_pid=
}

# --- Checks: each answers 1 and sets `why` on the first difference -------------------------------

why=
fail() {
  why=$*
  return 1
}

# expect_eq WHAT WANT GOT
expect_eq() { [ "$3" = "$2" ] || fail "$1: expected \"$2\", got \"$3\""; }

# expect_reg KEY NAME WANT: WANT as the probe prints it ("REG_SZ text", "absent", ...).
expect_reg() { expect_eq "$1 [$2]" "$3" "$(probe reg "$1" "$2")"; }

expect_main_window() { probe wait-main "$kWindowSeconds" >/dev/null || fail "the main window is not there"; }

# expect_box CAPTION WANT: a box with that caption shows WANT (its last line break dropped).
expect_box() {
  local text
  text=$(probe box "$1") || fail "no \"$1\" box" || return
  expect_eq "\"$1\" box" "$2" "$text"
}

# Closes the main window with its "X"; the program must then end.
close_dravik() {
  probe close >/dev/null || fail "cannot click the X" || return
  probe gone "$kWindowSeconds" >/dev/null || fail "the main window stays after X" || return
  expect_dravik_ends
}

# dravik.exe ends by itself; a box that holds it up is named in the failure.
expect_dravik_ends() {
  local tenths=0
  while dravik_running && [ "$tenths" -lt $((kEndSeconds * 10)) ]; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  if ! dravik_running; then
    wait "$dravik_pid" 2>/dev/null
    dravik_status=$?
    dravik_pid=
    return 0
  fi
  local box
  box=$(probe box '*' 1 | tr '\n' ' ')
  fail "dravik.exe did not end by itself${box:+ (box: $box)}"
}

host_record_file() { printf '%s/host_record.txt' "$(unix_path "$kHostFolder")"; }

host_starts() {
  local file
  file=$(host_record_file)
  if [ -f "$file" ]; then grep -c '^command line: ' "$file"; else echo 0; fi
}

# Waits until the host has been started COUNT times.
await_host_starts() {
  local count=$1 tenths=0
  while [ "$(host_starts)" -lt "$count" ] && [ "$tenths" -lt $((kHostSeconds * 10)) ]; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  [ "$(host_starts)" -ge "$count" ] || fail "the host was started $(host_starts) times, not $count"
}

expect_no_host_start() {
  sleep "$kQuietSeconds"
  [ "$(host_starts)" -eq 0 ] || fail "the host was started: $(record_summary)"
}

record_summary() { iconv -f CP1252 -t UTF-8 <"$(host_record_file)" | tr -d '\r' | paste -sd '|'; }

# expect_host_start PROGRAM PARAMS FOLDER: one start ran the quoted PROGRAM with exactly PARAMS
# after the blanks that follow it, in the working folder FOLDER.
expect_host_start() {
  local program=$1 params=$2 folder=$3 lines i
  mapfile -t lines < <(iconv -f CP1252 -t UTF-8 <"$(host_record_file)" | tr -d '\r')
  for ((i = 0; i + 1 < ${#lines[@]}; i += 2)); do
    local command=${lines[i]#command line: } in=${lines[i + 1]#working folder: }
    [[ $command == "\"$program\" "* ]] || continue
    local rest=${command#"\"$program\""}
    [ "${rest#"${rest%%[! ]*}"}" = "$params" ] && [ "$in" = "$folder" ] && return 0
  done
  fail "no start of \"$program\" with \"$params\" in \"$folder\"; record: $(record_summary)"
}

# log_file [PROGRAM_FOLDER]: the log beside the scenarios' copy of the program, or beside another.
log_file() { printf '%s/dravik.log' "$(unix_path "${1:-$kProgramFolder}")"; }

# expect_mount_log ENTRY [PROGRAM_FOLDER]: dravik.log is the header line and today's day count,
# ">>Mounting>>" and ENTRY, each line ended by CR LF.
expect_mount_log() {
  local entry=$1 file content
  file=$(log_file "${2:-}")
  [ -f "$file" ] || fail "no dravik.log" || return
  content=$(iconv -f CP1252 -t UTF-8 <"$file" && printf x)
  content=${content%x}
  local header=${content%%$'\r\n'*} rest=${content#*$'\r\n'}
  [[ $header == "$kLogHeaderStart"?* ]] || fail "log header: \"$header\"" || return
  [[ $rest == *$'\r\n' ]] || fail "the log's second line does not end with CR LF" || return
  local line=${rest%$'\r\n'}
  [[ $line != *[$'\r\n']* ]] || fail "the log has more than two lines" || return
  local days=${line%%'>>'*} today=$(($(date +%s) / 86400 + kDaysBefore1970))
  [[ $days =~ ^([0-9]+)(\.[0-9]+)?$ ]] || fail "log day count: \"$days\"" || return
  local whole=${BASH_REMATCH[1]}
  ((whole >= today - 1 && whole <= today + 1)) || fail "log day count $days, today $today" || return
  expect_eq "log entry" "Mounting>>$entry" "${line#*'>>'}"
}

expect_no_log() { [ ! -e "$(log_file)" ] || fail "dravik.log was written"; }

# --- State between scenarios -------------------------------------------------------------------

reset_state() {
  # '.' and '.a' are the keys an empty entry and the entry a\b make.
  local keys=('HKLM\Software\Varnholt' 'HKCR\dravikfile' 'HKLM\SOFTWARE\CyberLink' "$kUninstallKey"
    'HKLM\Software\RegisteredApplications' 'HKCR\.' 'HKCR\.a') extension
  for extension in "${kFixedExtensions[@]}" "${kExtraExtensions[@]}"; do
    keys+=("HKCR\\.$extension")
  done
  probe delete-keys "${keys[@]}" || return
  local folder
  for folder in "$kProgramFolder" "$kHostFolder" "$kImageFolder" "$kScriptFolder"; do
    rm -rf "$(unix_path "$folder")"
    mkdir -p "$(unix_path "$folder")"
  done
  cp "$dravik_exe" "$(unix_path "$kProgramFolder")/"
  cp -r "$shipped_scripts" "$(unix_path "$kProgramFolder")/"
  cp "$host_exe" "$(unix_path "$kHostFolder")/"
  rm -rf "$(unix_path "$kInstallFolder")"
  start_menu_entries | xargs -r -d '\n' rm -f
}

choose_host() { probe set-sz "$kSettingsKey" @ "$kHost" >/dev/null; }
mount_at_once() { probe set-dword "$kSettingsKey" OneDrive 1 >/dev/null; }
make_image() { : >"$(unix_path "$kImage")"; }
mount_script() { write_script "$kProgramFolder\\scripts\\mount.dk2" "$@"; }

# --- Scenarios -------------------------------------------------------------------------------

# Script mode (the extension in any letter case) on a clean registry: the start writes the file
# class, the empty keys of the fixed extensions and the extension list, and nothing else of the
# settings.
scenario_first_start() {
  write_script "$kScriptFolder\\nothing.Dk2" 'begin end.'
  start_dravik "$kScriptFolder\\nothing.Dk2"
  expect_dravik_ends || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ " || return
  expect_reg "$kSettingsKey" @ absent || return
  expect_reg "$kSettingsKey" OneDrive absent || return
  expect_reg 'HKCR\dravikfile' @ "REG_SZ Dravik File" || return
  expect_reg 'HKCR\dravikfile\DefaultIcon' @ "REG_SZ \"$kProgram\"" || return
  expect_reg 'HKCR\dravikfile\shell\open\command' @ "REG_SZ \"$kProgram\" \"%1\"" || return
  local extension
  for extension in "${kFixedExtensions[@]}"; do
    expect_reg "HKCR\\.$extension" @ absent || return
  done
}

scenario_settings_close_writes_settings() {
  start_dravik
  expect_main_window || return
  probe no-box '*' 1 >/dev/null || fail "a box showed at the start" || return
  close_dravik || return
  expect_reg "$kSettingsKey" @ "REG_SZ " || return
  expect_reg "$kSettingsKey" OneDrive "REG_DWORD 0"
}

# The option on: the image, given with blanks around it, is mounted at once, then the mount
# script runs and the program ends.
scenario_immediate_mount() {
  choose_host && mount_at_once && make_image
  mount_script 'begin' \
    "  ExecuteFile('\"$kHost\"', 'script {scriptfilepath}', '{scriptfilepath}');" \
    'end.'
  start_dravik " $kImage   "
  expect_dravik_ends || return
  await_host_starts 2 || return
  expect_host_start "$kHost" "-mount 0,\"$kImage\"" "$kImageFolder" || return
  expect_host_start "$kHost" "script $kImageFolder" "$kImageFolder" || return
  expect_mount_log "\"$kHost\" -mount 0,\"$kImage\""
}

# script_mode PLAYER_FOLDER EXPECTED_PLAYER_PATH: a started script mounts and starts programs
# with both placeholders; an empty PLAYER_FOLDER leaves the player's key out.
script_mode() {
  local player=$1 expanded=$2
  choose_host
  [ -z "$player" ] || probe set-sz "$kPlayerKey" InstallDir "$player" >/dev/null
  mount_script 'begin end.'
  write_script "$kScriptFolder\\run me.dk2" \
    'begin' \
    "  MountFile('{scriptfilepath}\\a.iso', 2);" \
    "  ExecuteFile('\"$kHost\"', 'player {POWERDVDPATH}play.exe', '{scriptfilepath}');" \
    "  ExecuteFile('\"$kHost\"', 'mounted ' + getMountedFile + ' ' + CutExt(getMountedFile)," \
    "    '{scriptfilepath}');" \
    'end.'
  start_dravik "$kScriptFolder\\run me.dk2"
  expect_dravik_ends || return
  await_host_starts 3 || return
  expect_host_start "$kHost" "-mount 2,\"$kScriptFolder\\a.iso\"" "$kScriptFolder" || return
  expect_host_start "$kHost" "player ${expanded}play.exe" "$kScriptFolder" || return
  expect_host_start "$kHost" "mounted $kScriptFolder\\a.iso ISO" "$kScriptFolder" || return
  expect_mount_log "\"$kHost\" -mount 2,\"$kScriptFolder\\a.iso\""
}

scenario_script_mode_with_player() { script_mode 'C:\DVD Player' 'C:\DVD Player\'; }
scenario_script_mode_without_player() { script_mode '' '\'; }

# The window's own mount: only the first argument counts, the image number is typed into the
# field, the mount button mounts, and the mount script as shipped compiles and runs.
scenario_mount_window() {
  choose_host && make_image
  start_dravik "$kImage  " "C:\\second argument.iso"
  expect_main_window || return
  expect_eq "file label" "$kImage  " "$(probe text 120)" || return
  probe set-text 121 3 >/dev/null || fail "no image number field" || return
  probe click 122 >/dev/null || fail "no mount button" || return
  expect_dravik_ends || return
  await_host_starts 1 || return
  expect_host_start "$kHost" "-mount 3,\"$kImage\"" "$kImageFolder" || return
  expect_mount_log "\"$kHost\" -mount 3,\"$kImage\""
}

# The mount has been requested before the mount script is compiled: the box lists every message.
scenario_mount_script_compile_error() {
  choose_host && mount_at_once && make_image
  mount_script 'procedure Unused;' 'var A: Integer;' 'begin' 'end;' 'begin' '  x := 1;' 'end.'
  start_dravik "$kImage"
  expect_box Error "Error while compiling script
[Hint] (2:15): Variable 'A' never used
[Error] (6:3): Unknown identifier 'x'" || return
  expect_dravik_ends || return
  await_host_starts 1 || return
  expect_host_start "$kHost" "-mount 0,\"$kImage\"" "$kImageFolder" || return
  expect_mount_log "\"$kHost\" -mount 0,\"$kImage\""
}

scenario_missing_mount_script() {
  choose_host && mount_at_once && make_image
  rm -f "$(unix_path "$kProgramFolder")/scripts/mount.dk2"
  start_dravik "$kImage"
  local text want="Cannot open file \"$kProgramFolder\\scripts\\mount.dk2\". "
  text=$(probe box Dravik2) || fail "no \"Dravik2\" box" || return
  [[ $text == "$want"?* ]] || fail "box: expected \"$want<reason>\", got \"$text\"" || return
  expect_main_window || return
  await_host_starts 1 || return
  expect_host_start "$kHost" "-mount 0,\"$kImage\"" "$kImageFolder" || return
  expect_mount_log "\"$kHost\" -mount 0,\"$kImage\"" || return
  close_dravik
}

# Any non-zero "OneDrive" means on, and is written back as 1.
scenario_option_without_host() {
  probe set-dword "$kSettingsKey" OneDrive 5 >/dev/null && make_image
  start_dravik "$kImage"
  expect_box Error "Cannot find Daemon Tools" || return
  expect_main_window || return
  expect_no_log || return
  close_dravik || return
  expect_reg "$kSettingsKey" OneDrive "REG_DWORD 1"
}

scenario_missing_image() {
  choose_host && mount_at_once
  start_dravik "$kImage"
  expect_box Error "Cannot find file" || return
  expect_main_window || return
  expect_no_log || return
  close_dravik || return
  expect_no_host_start
}

# Ticking and unticking a fixed extension gives it back its former class.
scenario_fixed_association() {
  probe set-sz 'HKCR\.iso' @ OldIso >/dev/null
  start_dravik
  expect_main_window || return
  local crossed
  crossed=$(probe text 102)
  probe click 102 >/dev/null || fail "no .iso glyph" || return
  expect_reg 'HKCR\.iso' @ "REG_SZ dravikfile" || return
  expect_reg 'HKCR\.iso' dravikoldfile "REG_SZ OldIso" || return
  [ "$(probe text 102)" != "$crossed" ] || fail "the .iso glyph still shows \"$crossed\"" || return
  probe click 102 >/dev/null || return
  expect_reg 'HKCR\.iso' @ "REG_SZ OldIso" || return
  expect_reg 'HKCR\.iso' dravikoldfile absent || return
  expect_eq ".iso glyph" "$crossed" "$(probe text 102)" || return
  close_dravik
}

# An extra extension is associated, kept across a restart and given back when deleted.
scenario_extra_extension() {
  probe set-sz 'HKCR\.img' @ OldImg >/dev/null
  start_dravik
  expect_main_window || return
  probe enter-text 110 img >/dev/null || fail "no extension field" || return
  expect_reg 'HKCR\.img' @ "REG_SZ dravikfile" || return
  expect_reg 'HKCR\.img' dravikoldfile "REG_SZ OldImg" || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ img" || return
  expect_eq "extension field" "" "$(probe text 110)" || return
  close_dravik || return
  start_dravik
  expect_main_window || return
  expect_eq "extension list" img "$(probe list 111)" || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ img" || return
  expect_reg 'HKCR\.img' dravikoldfile "REG_SZ OldImg" || return
  probe select 111 0 >/dev/null || fail "no extension list" || return
  probe click 112 >/dev/null || fail "no delete button" || return
  expect_reg 'HKCR\.img' @ "REG_SZ OldImg" || return
  expect_reg 'HKCR\.img' dravikoldfile absent || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ " || return
  expect_eq "extension list" "" "$(probe list 111)" || return
  close_dravik
}

scenario_value_of_wrong_type() {
  probe set-dword "$kSettingsKey" "Additional Extensions" 5 >/dev/null
  start_dravik
  expect_box Dravik2 "Invalid data type for 'Additional Extensions'" || return
  expect_main_window || return
  close_dravik
}

# A log that cannot be created stops the mount before the host is started.
scenario_log_not_writable() {
  choose_host && mount_at_once && make_image
  mkdir "$(log_file)"
  start_dravik "$kImage"
  local text
  text=$(probe box Dravik2) || fail "no \"Dravik2\" box" || return
  [[ $text =~ ^I/O\ error\ [0-9]+$ ]] || fail "box: expected \"I/O error N\", got \"$text\"" ||
    return
  expect_main_window || return
  expect_no_host_start || return
  close_dravik
}

# A refused registry write ends the operation: the extension list is not stored, what was
# written before stays, and the window goes on.
scenario_refused_registry_write() {
  start_dravik
  expect_main_window || return
  probe enter-text 110 "$kTooLongExtension" >/dev/null || fail "no extension field" || return
  expect_box Dravik2 "Failed to set data for 'dravikoldfile'" || return
  expect_eq "extension field" "$kTooLongExtension" "$(probe text 110)" || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ " || return
  expect_reg 'HKCR\dravikfile\shell\open\command' @ "REG_SZ \"$kProgram\" \"%1\"" || return
  expect_main_window || return
  close_dravik || return
  expect_reg "$kSettingsKey" OneDrive "REG_DWORD 0"
}

# The program file carries its version record; "?" shows the About window with the version read
# from it, its "X" hides it again and the main window goes on working.
scenario_about_window() {
  expect_eq "version record" $'2.0.2.101\nMounter for Virtual Drive Applications' \
    "$(probe version "$kProgram")" || return
  start_dravik
  expect_main_window || return
  probe click 131 >/dev/null || fail "cannot click the ?" || return
  expect_eq "version label" "Dravik 2.0.2.101" "$(probe about-version "$kWindowSeconds")" || return
  probe about-close >/dev/null || fail "cannot close the About window" || return
  close_dravik
}

# --- Installing and uninstalling --------------------------------------------------------------

readonly report=$build/install-report.txt
readonly kInstalledFiles=(dravik.exe dk2.exe uninstall.exe 'scripts\mount.dk2' 'scripts\mount.dk2.default')
readonly kUninstallValues=(DisplayName DisplayVersion Publisher DisplayIcon InstallLocation UninstallString
  QuietUninstallString EstimatedSize NoModify NoRepair)

installed() { printf '%s\\%s' "$kInstallFolder" "$1"; }

start_menu_entries() { find "$WINEPREFIX/drive_c" -iname 'Dravik.lnk' 2>/dev/null; }

# run_setup EXE: a silent install; the setup program ends when it is done.
run_setup() { win "$1" /S >/dev/null 2>&1 || fail "$(basename "$1") /S ended with status $?"; }

# Runs the uninstall command the entry names, silently, as the system's settings would. The
# uninstaller goes on from a copy of itself and ends before that copy has finished: wait for its
# entry and its folder to go.
run_uninstall() {
  local command program
  command=$(probe reg "$kUninstallKey" QuietUninstallString)
  [[ $command == 'REG_SZ "'*'" /S' ]] || fail "QuietUninstallString: $command" || return
  program=${command#REG_SZ \"}
  program=${program%\" /S}
  win "$program" /S >/dev/null 2>&1
  local tenths=0
  while [ "$tenths" -lt $((kUninstallSeconds * 10)) ]; do
    [ "$(probe reg "$kUninstallKey" DisplayName)" = "no key" ] && [ ! -e "$(unix_path "$kInstallFolder")" ] &&
      return 0
    sleep 0.5
    tenths=$((tenths + 5))
  done
  fail "the uninstaller did not finish within $kUninstallSeconds s"
}

# report TITLE: what the registry holds of Dravik and of .iso and .cue, the entry in the list of
# installed programs, and the installed files, as a section of the report.
report() {
  local lines=() name value
  for name in @ dravikoldfile; do lines+=("HKCR\\.iso [$name] $(probe reg 'HKCR\.iso' "$name")"); done
  lines+=("HKCR\\.iso\\OpenWithProgids [dravikfile] $(probe reg 'HKCR\.iso\OpenWithProgids' dravikfile)")
  lines+=("HKCR\\.cue [@] $(probe reg 'HKCR\.cue' @)")
  lines+=("HKCR\\dravikfile [@] $(probe reg 'HKCR\dravikfile' @)")
  lines+=("HKCR\\dravikfile\\shell\\open\\command [@] $(probe reg 'HKCR\dravikfile\shell\open\command' @)")
  for name in @ OneDrive "Additional Extensions"; do lines+=("$kSettingsKey [$name] $(probe reg "$kSettingsKey" "$name")"); done
  for name in ApplicationName ApplicationDescription; do
    lines+=("$kCapabilitiesKey [$name] $(probe reg "$kCapabilitiesKey" "$name")")
  done
  lines+=("$kCapabilitiesKey\\FileAssociations [.iso] $(probe reg "$kCapabilitiesKey\\FileAssociations" .iso)")
  lines+=("HKLM\\Software\\RegisteredApplications [Dravik] $(probe reg 'HKLM\Software\RegisteredApplications' Dravik)")
  for name in "${kUninstallValues[@]}"; do lines+=("$kUninstallKey [$name] $(probe reg "$kUninstallKey" "$name")"); done
  for name in "${kInstalledFiles[@]}"; do
    value=absent
    [ -f "$(unix_path "$(installed "$name")")" ] && value="$(stat -c %s "$(unix_path "$(installed "$name")")") bytes"
    lines+=("$(installed "$name"): $value")
  done
  lines+=("Start-menu entries: $(start_menu_entries | sed "s|^$WINEPREFIX/drive_c|C:|" | paste -sd ' ')")
  { printf '== %s\n' "$1"; printf '%s\n' "${lines[@]}"; echo; } >>"$report"
}

expect_installed_files() {
  local name
  for name in "${kInstalledFiles[@]}"; do
    [ -f "$(unix_path "$(installed "$name")")" ] || fail "not installed: $(installed "$name")" || return
  done
  [ -n "$(start_menu_entries)" ] || fail "no Start-menu entry"
}

expect_uninstall_entry() {
  local version=$1 size
  expect_reg "$kUninstallKey" DisplayName "REG_SZ Dravik" || return
  expect_reg "$kUninstallKey" DisplayVersion "REG_SZ $version" || return
  expect_reg "$kUninstallKey" Publisher "REG_SZ $(product_publisher)" || return
  expect_reg "$kUninstallKey" DisplayIcon "REG_SZ $(installed dravik.exe),0" || return
  expect_reg "$kUninstallKey" InstallLocation "REG_SZ $kInstallFolder" || return
  expect_reg "$kUninstallKey" UninstallString "REG_SZ \"$(installed uninstall.exe)\"" || return
  size=$(probe reg "$kUninstallKey" EstimatedSize)
  # In KiB: the two programs alone take more than one.
  [[ $size =~ ^REG_DWORD\ ([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 1 ] || fail "EstimatedSize: $size"
}

# expect_file_is WINDOWS_PATH FILE: the file holds exactly FILE's bytes.
expect_file_is() { cmp -s "$(unix_path "$1")" "$2" || fail "$1 differs from $2"; }

# A prefix whose .iso belongs to another program: a silent install, the user ticks .iso in the
# installed program, a double-click on an image mounts it through the registered open command,
# and a silent uninstall gives .iso back and leaves nothing of Dravik.
scenario_install_and_uninstall() {
  : >"$report"
  probe set-sz 'HKCR\.iso' @ OldIso >/dev/null
  report "before the install"
  run_setup "$setup_exe" || return
  report "after the install"
  expect_installed_files || return
  expect_uninstall_entry "$(product_version)" || return
  expect_file_is "$(installed 'scripts\mount.dk2')" "$here/../../src/dravik/scripts/mount.dk2" || return
  expect_reg 'HKCR\dravikfile' @ "no key" || return

  choose_host && mount_at_once && make_image
  start_program "$(installed dravik.exe)"
  expect_main_window || return
  probe click 102 >/dev/null || fail "no .iso glyph" || return
  close_dravik || return
  expect_reg 'HKCR\.iso' @ "REG_SZ dravikfile" || return
  expect_reg 'HKCR\.iso\OpenWithProgids' dravikfile "REG_SZ " || return
  expect_reg "$kCapabilitiesKey" ApplicationName "REG_SZ Dravik" || return
  expect_reg "$kCapabilitiesKey\\FileAssociations" .iso "REG_SZ dravikfile" || return
  expect_reg 'HKLM\Software\RegisteredApplications' Dravik "REG_SZ Software\\Varnholt\\Dravik\\Capabilities" ||
    return
  expect_reg 'HKCR\dravikfile\shell\open\command' @ "REG_SZ \"$(installed dravik.exe)\" \"%1\"" || return

  # The shell opens the image with the class's open command, as a double-click does.
  win start "$kImage" >/dev/null 2>&1
  await_host_starts 1 || return
  expect_host_start "$kHost" "-mount 0,\"$kImage\"" "$kImageFolder" || return
  expect_mount_log "\"$kHost\" -mount 0,\"$kImage\"" "$kInstallFolder" || return
  report "after choosing .iso in Dravik and mounting an image by the shell"

  run_uninstall || return
  report "after the uninstall"
  expect_reg 'HKCR\.iso' @ "REG_SZ OldIso" || return
  expect_reg 'HKCR\.iso' dravikoldfile absent || return
  expect_reg 'HKCR\.iso\OpenWithProgids' dravikfile "no key" || return
  expect_reg 'HKCR\.cue' @ "no key" || return
  expect_reg 'HKCR\dravikfile' @ "no key" || return
  expect_reg "$kSettingsKey" @ "no key" || return
  expect_reg 'HKLM\Software\Varnholt' @ "no key" || return
  expect_reg 'HKLM\Software\RegisteredApplications' Dravik absent || return
  expect_reg "$kUninstallKey" DisplayName "no key" || return
  [ -z "$(start_menu_entries)" ] || fail "the Start-menu entry stays: $(start_menu_entries)"
}

# An upgrade replaces the mount script that the earlier install shipped, but keeps one that the
# user changed.
scenario_upgrade_keeps_a_changed_mount_script() {
  local old_script=$scratch/old-mount.dk2 old_setup=$scratch/old-setup.exe
  local shipped=$here/../../src/dravik/scripts/mount.dk2 mine=$scratch/my-mount.dk2
  printf '(* The mount script of an earlier version *)\r\nbegin\r\nend.\r\n' >"$old_script"
  bash "$here/../../installer/build_installer.sh" "$build" "$old_setup" "$old_script" 2.0.1.0 >/dev/null ||
    fail "cannot build the earlier setup program" || return
  run_setup "$old_setup" || return
  expect_uninstall_entry 2.0.1.0 || return
  expect_file_is "$(installed 'scripts\mount.dk2')" "$old_script" || return

  run_setup "$setup_exe" || return
  expect_uninstall_entry "$(product_version)" || return
  expect_file_is "$(installed 'scripts\mount.dk2')" "$shipped" || return

  { cat "$shipped"; printf "  ExecuteFile('notepad.exe', '', '');\r\n"; } >"$mine"
  cp "$mine" "$(unix_path "$(installed 'scripts\mount.dk2')")"
  run_setup "$setup_exe" || return
  expect_file_is "$(installed 'scripts\mount.dk2')" "$mine" || return
  expect_file_is "$(installed 'scripts\mount.dk2.default')" "$shipped" || return
  run_uninstall
}

# Enter and Escape belong to the window itself, the image number field and the extension field;
# in the list and the check box they do nothing.
scenario_keys_in_list_and_check_box() {
  start_dravik
  expect_main_window || return
  local id key
  for id in 111 113; do
    for key in return escape; do
      probe key "$id" "$key" >/dev/null || fail "no control $id" || return
    done
  done
  probe no-box '*' 1 >/dev/null || fail "a key in the list or the check box showed a box" || return
  expect_main_window || return
  probe key 0 return >/dev/null || return
  expect_box Error "Cannot find Daemon Tools" || return
  probe key 0 escape >/dev/null || return
  probe gone "$kWindowSeconds" >/dev/null || fail "Escape in the window does not close it" || return
  expect_dravik_ends
}

# What cannot be an extension is not added: its box shows, the text stays, nothing is written.
scenario_extension_field_refuses() {
  start_dravik
  expect_main_window || return
  probe enter-text 110 "" >/dev/null || fail "no extension field" || return
  expect_box Dravik2 "Type the extension to add, for example: bin" || return
  probe enter-text 110 'a\b' >/dev/null || return
  expect_box Dravik2 'Cannot add "a\b": an extension cannot hold control characters nor any of \ / : * ? " < > |' ||
    return
  expect_eq "extension field" 'a\b' "$(probe text 110)" || return
  expect_eq "extension list" "" "$(probe list 111)" || return
  expect_reg "$kSettingsKey" "Additional Extensions" "REG_SZ " || return
  expect_reg 'HKCR\.' @ "no key" || return
  expect_reg 'HKCR\.a' @ "no key" || return
  close_dravik
}

# A list an earlier version stored with such entries still loads; the empty entry can be given back.
scenario_stored_odd_extensions_load() {
  probe set-sz "$kSettingsKey" "Additional Extensions" 'img||a\b' >/dev/null
  start_dravik
  expect_main_window || return
  expect_eq "extension list" $'\na\\b\nimg' "$(probe list 111)" || return
  expect_reg 'HKCR\.' @ "REG_SZ dravikfile" || return
  probe select 111 0 >/dev/null && probe click 112 >/dev/null || fail "cannot delete the empty entry" || return
  expect_reg 'HKCR\.' @ "REG_SZ " || return
  expect_reg "$kSettingsKey" "Additional Extensions" 'REG_SZ a\b|img' || return
  close_dravik
}

# The task bar shows the application title; the window keeps its own caption.
scenario_taskbar_title() {
  start_dravik
  expect_main_window || return
  expect_eq "task-bar entries" "Dravik2" "$(probe taskbar)" || return
  expect_eq "caption" "Dravik" "$(probe caption)" || return
  close_dravik
}

# A mount from the window while the mount script waits ends the program once the script is done;
# the waiting script keeps the window answering meanwhile.
scenario_window_answers_after_nested_mount() {
  choose_host && make_image
  mount_script 'begin' '  Wait(10000);' 'end.'
  start_dravik "$kImage"
  expect_main_window || return
  probe click 122 >/dev/null || fail "no mount button" || return
  # The host starts before the mount script runs; the window answers again only once the script
  # waits. Only then may the script file change, or a slow machine would run the new one first.
  await_host_starts 1 || return
  probe wait-main 10 >/dev/null || fail "the window does not answer while the script waits" || return
  mount_script 'begin end.'
  probe click 122 >/dev/null || return
  await_host_starts 2 || return
  local check
  for check in 1 2 3; do
    probe wait-main 3 >/dev/null || fail "the window does not answer while the script waits on" || return
    sleep 1
  done
  expect_dravik_ends || return
  expect_eq "exit status" 0 "$dravik_status"
}

# A run that ends after a mount writes back neither the host nor the option: stored as an
# expandable string and as 5, a write would show as a plain string and as 1 (or 0).
scenario_mount_writes_no_settings() {
  probe set-expand-sz "$kSettingsKey" @ "$kHost" >/dev/null && make_image
  start_dravik "$kImage"
  expect_main_window || return
  probe click 122 >/dev/null || fail "no mount button" || return
  expect_dravik_ends || return
  expect_reg "$kSettingsKey" @ "REG_EXPAND_SZ $kHost" || return
  expect_reg "$kSettingsKey" OneDrive absent || return
  probe set-dword "$kSettingsKey" OneDrive 5 >/dev/null
  start_dravik "$kImage"
  expect_dravik_ends || return
  await_host_starts 2 || return
  expect_reg "$kSettingsKey" @ "REG_EXPAND_SZ $kHost" || return
  expect_reg "$kSettingsKey" OneDrive "REG_DWORD 5"
}

# A script whose image does not load (a variable larger than any value may be) ends without a
# word, but with a failure status.
scenario_script_not_loaded_reports_nothing() {
  write_script "$kScriptFolder\\big.dk2" 'var a: array[0..10000000] of Int64;' 'begin end.'
  start_dravik "$kScriptFolder\\big.dk2"
  expect_dravik_ends || return
  expect_eq "exit status" 1 "$dravik_status"
}

# A runtime error is shown with the script, the error and its line and column; script mode then
# ends with a failure status.
scenario_runtime_error_shown() {
  cp "$data/runtime_error_silent.dk2" "$(unix_path "$kScriptFolder")/"
  start_dravik "$kScriptFolder\\runtime_error_silent.dk2"
  expect_box Error "Error while running script \"$kScriptFolder\\runtime_error_silent.dk2\"
[Runtime Error] (4:3): divide by Zero" || return
  expect_dravik_ends || return
  expect_eq "exit status" 1 "$dravik_status"
}

# A script that never waits: after a few seconds the offer to stop it shows; Stop ends it as a
# failed script, without a box.
scenario_busy_script_stopped() {
  cp "$data/busy_loop.dk2" "$(unix_path "$kScriptFolder")/"
  start_dravik "$kScriptFolder\\busy_loop.dk2"
  expect_eq "offer to stop" "The script \"$kScriptFolder\\busy_loop.dk2\" is still running." \
    "$(probe stop-script "$kWindowSeconds")" || return
  expect_dravik_ends || return
  expect_eq "exit status" 1 "$dravik_status" || return
  probe no-box '*' 1 >/dev/null || fail "a box showed after the stop"
}

# The same as the mount script of a mount from the window, which has frozen: Stop ends the
# script and the mount ends the program.
scenario_busy_mount_script_stopped() {
  choose_host && make_image
  cp "$data/busy_loop.dk2" "$(unix_path "$kProgramFolder")/scripts/mount.dk2"
  start_dravik "$kImage"
  expect_main_window || return
  probe click 122 >/dev/null || fail "no mount button" || return
  expect_eq "offer to stop" "The script \"$kProgramFolder\\scripts\\mount.dk2\" is still running." \
    "$(probe stop-script "$kWindowSeconds")" || return
  expect_dravik_ends || return
  await_host_starts 1
}

# A mount script that waits for ever: "X" or Escape on the window ends it and the program.
scenario_waiting_mount_script_closed() {
  choose_host && make_image
  cp "$data/wait_loop_mount_script.dk2" "$(unix_path "$kProgramFolder")/scripts/mount.dk2"
  start_dravik "$kImage"
  expect_main_window || return
  probe click 122 >/dev/null || fail "no mount button" || return
  close_dravik || return
  start_dravik "$kImage"
  expect_main_window || return
  probe click 122 >/dev/null || return
  probe key 121 escape >/dev/null || fail "no image number field" || return
  probe gone "$kWindowSeconds" >/dev/null || fail "the main window stays after Escape" || return
  expect_dravik_ends
}

# A host that cannot be started (a text file) is reported with the system's reason, after the log
# was written; as the target of a script's ExecuteFile it is the script's runtime error.
scenario_host_cannot_start() {
  local broken="$kHostFolder\\broken.exe"
  echo "not a program" >"$(unix_path "$broken")"
  probe set-sz "$kSettingsKey" @ "$broken" >/dev/null && mount_at_once && make_image
  start_dravik "$kImage"
  local text want="Cannot start \"$broken\". "
  text=$(probe box Dravik2) || fail "no \"Dravik2\" box" || return
  [[ $text == "$want"?* ]] || fail "box: expected \"$want<reason>\", got \"$text\"" || return
  expect_main_window || return
  expect_mount_log "\"$broken\" -mount 0,\"$kImage\"" || return
  close_dravik || return
  write_script "$kScriptFolder\\start.dk2" 'begin' "  ExecuteFile('$broken', '', '');" 'end.'
  start_dravik "$kScriptFolder\\start.dk2"
  want="Error while running script \"$kScriptFolder\\start.dk2\""$'\n'"[Runtime Error] (2:3): Exception: $want"
  text=$(probe box Error) || fail "no \"Error\" box" || return
  [[ $text == "$want"?* ]] || fail "box: expected \"$want<reason>\", got \"$text\"" || return
  expect_dravik_ends || return
  expect_eq "exit status" 1 "$dravik_status"
}

readonly kScenarios=(
  first_start
  settings_close_writes_settings
  immediate_mount
  script_mode_with_player
  script_mode_without_player
  mount_window
  mount_script_compile_error
  missing_mount_script
  option_without_host
  missing_image
  fixed_association
  extra_extension
  value_of_wrong_type
  log_not_writable
  refused_registry_write
  about_window
  keys_in_list_and_check_box
  extension_field_refuses
  stored_odd_extensions_load
  taskbar_title
  window_answers_after_nested_mount
  mount_writes_no_settings
  script_not_loaded_reports_nothing
  runtime_error_shown
  busy_script_stopped
  busy_mount_script_stopped
  waiting_mount_script_closed
  host_cannot_start
)
readonly kInstallScenarios=(
  install_and_uninstall
  upgrade_keeps_a_changed_mount_script
)

# --- The run -----------------------------------------------------------------------------------

if [ -n "${ONLY:-}" ] && [[ " ${kScenarios[*]} ${kInstallScenarios[*]} " != *" $ONLY "* ]]; then
  echo "no scenario $ONLY" >&2
  exit 2
fi
start_wine_prefix || { echo "cannot start Wine" >&2; exit 1; }
# The server stays up between the scenarios' starts instead of starting again for each.
wineserver -p

rm -f "$report"
passed=0
failed=0
skipped=0
scenarios=("${kScenarios[@]}")
if [ -z "$setup_exe" ]; then
  echo "skip ${kInstallScenarios[*]}: no setup program given"
  skipped=${#kInstallScenarios[@]}
elif ! can_run_32bit_wine; then
  echo "skip ${kInstallScenarios[*]}: the setup program is 32-bit, and 32-bit code cannot run here"
  skipped=${#kInstallScenarios[@]}
else
  scenarios+=("${kInstallScenarios[@]}")
fi
for name in "${scenarios[@]}"; do
  [ -z "${ONLY:-}" ] || [ "$name" = "$ONLY" ] || continue
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
[ ! -s "$report" ] || echo "what the install scenario saw: $report"
echo "wine scenarios: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
