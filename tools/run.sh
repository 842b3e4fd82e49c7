#!/usr/bin/env bash
# Quick start: installs what is missing, builds Dravik for Windows and does its main job under
# Wine: a double-clicked image mounted at once. A stand-in virtual-drive program (it only records
# how it was started) is the host application; the "one single virtual drive" option is on, so
# Dravik mounts the bundled sample image without showing its window, writes its log, starts the
# host and runs the default mount script. Prints the log and what the host received.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
install_packages
preset=$(windows_test_preset)
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target dravik fake_host >/dev/null

start_wine_prefix
trap stop_wine_prefix EXIT
demo="$WINEPREFIX/drive_c/Dravik Demo"
mkdir -p "$demo/scripts" "$demo/Host" "$demo/Images"
cp "build/$preset/src/dravik/dravik.exe" "$demo/"
cp src/dravik/scripts/mount.dk2 "$demo/scripts/"
cp "build/$preset/tests/wine/fake_host.exe" "$demo/Host/"
cp "examples/Sample Disc.iso" "$demo/Images/"

wine_reg() { run_windows reg "$@" >/dev/null; }
wine_reg add 'HKLM\Software\Varnholt\Dravik' /ve /d 'C:\Dravik Demo\Host\fake_host.exe' /f
wine_reg add 'HKLM\Software\Varnholt\Dravik' /v OneDrive /t REG_DWORD /d 1 /f

echo "Starting Dravik as the shell does for a double-clicked image:"
echo '  dravik.exe "C:\Dravik Demo\Images\Sample Disc.iso"'
# The prefix was made without a display: end its processes, so that the next start brings
# Wine's desktop up on the virtual display. The host is started without waiting for it; wait for
# every process before the display goes.
wineserver -k
(cd "$demo" && timeout 120 xvfb-run -a bash -c '"$0" dravik.exe "$1" && wineserver -w' \
  "$(wine_loader)" 'C:\Dravik Demo\Images\Sample Disc.iso')

printf '\n== dravik.log\n'
tr -d '\r' <"$demo/dravik.log"
printf '\n== what the host application received\n'
tr -d '\r' <"$demo/Host/host_record.txt"
