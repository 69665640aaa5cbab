#!/usr/bin/env bash
# Sets up, builds and runs the program under Wine next to a sample split-pane
# code window. On a machine with a display it stays until the program is
# closed; without one it runs on a virtual display, turns the wheel over the
# lower pane and saves screenshots before and after in build/demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELMORA_BUILD_DIR:-$root/build}"

bash "$root/tools/setup.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j2

. "$root/tools/winenv.sh"
velmora_env "$build"
trap velmora_cleanup EXIT
velmora_display
velmora_prefix
bin="$build/bin"

wine "$bin/codewin.exe" /at:40,40,520,420 &
sleep 2
wine "$bin/hookhost.exe" &
program=$!
sleep 2

if [ -z "$VELMORA_XVFB_PID" ]; then
  echo "Running: turn the wheel over the sample code window. Close this terminal (Ctrl+C) to stop."
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
echo "Virtual display: three wheel notches down over the lower pane."
echo "Screenshots: $out/before.png and $out/after.png"
