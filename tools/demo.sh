#!/usr/bin/env bash
# Sets up, builds and runs the program under Wine next to a sample split-pane
# code window. On a machine with a display it stays until the program is
# closed; without one it runs on a virtual display, turns the wheel over the
# lower pane and saves screenshots before and after in build/demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

. "$root/tools/winenv.sh"
velmora_setup "$root"
build="${VELMORA_BUILD_DIR:-$(velmora_default_build "$root")}"
velmora_build "$root" "$build"
velmora_env "$build"
trap velmora_cleanup EXIT
velmora_display
velmora_prefix
bin="$build/bin"

wine "$bin/codewin.exe" /at:40,40,520,420 &
sleep 2
# On a real display the program starts as a user starts it, with its About
# box; the scripted run keeps the focus on the code window instead.
if [ -z "$VELMORA_XVFB_PID" ]; then
  wine "$bin/Velmora.exe" &
else
  wine "$bin/Velmora.exe" /background &
fi
program=$!
sleep 3

if [ -z "$VELMORA_XVFB_PID" ]; then
  echo "Running: Velmora is in the tray; turn the wheel over the sample code window."
  echo "Right-click the tray icon for its menu; its Exit item (or Ctrl+C here) stops it."
  wait "$program"
  exit 0
fi

out="$build/demo"
mkdir -p "$out"
xdotool mousemove 200 380
import -window root "$out/before.png"
xdotool click 5 click 5 click 5
sleep 1
import -window root "$out/after.png"
xdotool mousemove 12 32 click 3
sleep 1
import -window root "$out/traymenu.png"
xdotool key Escape
echo "Virtual display: three wheel notches down over the lower pane, then the tray menu."
echo "Screenshots: $out/before.png, $out/after.png and $out/traymenu.png"
