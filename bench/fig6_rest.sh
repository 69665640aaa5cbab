#!/usr/bin/env bash
# Figure 6, wake-ups at rest: how often Velmora.exe /background wakes while nothing
# moves. It runs under Wine with no input for a minute while strace, attached
# to every thread of its process, records what they do. A thread of a Wine
# program that waits (GetMessage, MsgWaitForMultipleObjects, a timer) blocks
# reading its wake-up pipe from the wineserver, 16 bytes at a time; each such
# read that returns is one return from a wait. Returns from futex waits and
# sleeps count too. Afterwards two mouse moves over a window must wake it:
# otherwise the trace did not see the program, and the figure fails.
# Usage: bench/fig6_rest.sh BUILD_DIR [BIN_DIR]; prints "R key value" lines, exits
# non-zero, with the reason on stderr, when it could not watch the program.
# VELMORA_REST_SECONDS changes the minute.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
bin=$(cd "${2:-$build/bin}" && pwd)
seconds=${VELMORA_REST_SECONDS:-60}

fail() { echo "rest: $*" >&2; exit 1; }
command -v strace >/dev/null || fail "strace is not installed (tools/setup.sh installs it)"
[ -f "$bin/Velmora.exe" ] || fail "no Velmora.exe in $bin"

. "$root/tools/winenv.sh"
velmora_choose_arch 2>/dev/null
velmora_env "$build"
velmora_prefix
# A copy of its own, so that nothing else running in the build's prefix
# (and no server started for another display) wakes the program.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
work=$(mktemp -d)
velmora_prefix_copy "$WINEPREFIX" "$work/prefix"
export WINEPREFIX="$work/prefix"
tracer=""
finish() {
  [ -z "$tracer" ] || { kill -INT "$tracer" 2>/dev/null || true; wait "$tracer" 2>/dev/null || true; }
  velmora_cleanup >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT
velmora_display virtual
wineserver -p >/dev/null 2>&1 || true

# A window for the closing moves, away from the pointer (the screen's middle).
(cd "$bin" && exec wine codewin.exe /at:20,20,240,180 </dev/null >"$work/codewin.log" 2>&1) &
(cd "$bin" && exec wine Velmora.exe /background </dev/null >"$work/velmora.log" 2>&1) &

# The program's own process: its command line names it and its environment
# names this prefix. One, no more, no less.
pid=""
for _ in $(seq 1 300); do
  found=()
  for dir in /proc/[0-9]*; do
    { tr '\0' '\n' <"$dir/cmdline" | head -n1 | grep -q 'Velmora\.exe$'; } 2>/dev/null || continue
    { tr '\0' '\n' <"$dir/environ" | grep -qx "WINEPREFIX=$WINEPREFIX"; } 2>/dev/null || continue
    grep -q 'kestro\.dll' "$dir/maps" 2>/dev/null || continue
    found+=("${dir#/proc/}")
  done
  [ ${#found[@]} -gt 1 ] && fail "more than one Velmora.exe in the prefix: ${found[*]}"
  [ ${#found[@]} -eq 1 ] && { pid=${found[0]}; break; }
  sleep 0.1
done
[ -n "$pid" ] || fail "Velmora.exe did not start (see $work/velmora.log)"
# Start-up, and whatever the program does in its first seconds, is not rest.
sleep 10
kill -0 "$pid" 2>/dev/null || fail "Velmora.exe (process $pid) ended by itself"

threads=$(ls "/proc/$pid/task" | wc -l)
strace -f -p "$pid" -o "$work/trace" 2>"$work/strace.log" &
tracer=$!
for _ in $(seq 1 100); do
  [ "$(grep -c ' attached$' "$work/strace.log" || true)" -ge "$threads" ] && break
  kill -0 "$tracer" 2>/dev/null || break
  sleep 0.1
done
attached=$(grep -c ' attached$' "$work/strace.log" || true)
[ "$attached" -ge "$threads" ] ||
  fail "strace attached to $attached of the $threads threads of process $pid: $(cat "$work/strace.log")"

sleep "$seconds"
cp "$work/trace" "$work/rest"
kill -0 "$pid" 2>/dev/null || fail "Velmora.exe (process $pid) ended while it was watched"
[ "$(ls "/proc/$pid/task" | wc -l)" -le "$threads" ] || echo "rest: a thread started while watched; -f traced it" >&2

# Returns from waits: the wake-up pipe's 16-byte reads, futex waits, sleeps.
wakeups() {
  grep -cE ' read\([0-9]+, .*, 16\) += 16$| futex\([^,]+, FUTEX_WAIT[A-Z_]*, .*\) += 0$| (clock_)?nanosleep\(.*\) += 0$' "$1" || true
}
rest=$(wakeups "$work/rest")

# The check that the trace sees the program: moves over the window wake it.
xdotool mousemove 60 60 && sleep 1 && xdotool mousemove 90 80 && sleep 2
total=$(wakeups "$work/trace")
control=$((total - rest))
kill -INT "$tracer" 2>/dev/null || true
wait "$tracer" 2>/dev/null || true
tracer=""
[ "$control" -gt 0 ] || fail "two mouse moves woke Velmora.exe (process $pid) not once: the trace does not see it"

echo "R rest_seconds $seconds"
echo "R rest_threads $threads"
echo "R rest_wakeups $rest"
echo "R rest_wakeups_per_min $(python3 -c "print(round($rest * 60 / $seconds, 1))")"
echo "R rest_control_wakeups $control"
