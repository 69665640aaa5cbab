#!/usr/bin/env bash
# Runs one test command in a Wine prefix, a virtual display and an xdotool
# agent of its own, so that CTest can run tests side by side. The prefix is
# a copy of tools/test.sh's template (VELMORA_TEMPLATE), removed afterwards;
# a test that names a prefix of its own (WINEPREFIX set apart from the
# template) keeps it. Without a template it runs the command as it is.
#   isolate.sh COMMAND...
set -euo pipefail
[ -n "${VELMORA_TEMPLATE:-}" ] || exec "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/winenv.sh"
work=$(mktemp -d "$VELMORA_TEMPLATE-run.XXXXXX")
agent="" VELMORA_XVFB_PID=""
# Only this test's prefix is ended: another test may be using the 64-bit one.
unset VELMORA_PREFIX64
finish() {
  [ -z "$agent" ] || { kill "$agent" 2>/dev/null || true; wait "$agent" 2>/dev/null || true; }
  velmora_cleanup
  rm -rf "$work"
}
trap finish EXIT
if [ "${WINEPREFIX:-}" = "$VELMORA_TEMPLATE" ]; then
  velmora_prefix_copy "$VELMORA_TEMPLATE" "$work/prefix" ||
    { echo "isolate: cannot copy the Wine prefix $VELMORA_TEMPLATE to $work/prefix" >&2; exit 1; }
  export WINEPREFIX=$work/prefix
  wineserver -p >/dev/null 2>&1 || { echo "isolate: wineserver did not start for $WINEPREFIX" >&2; exit 1; }
fi
velmora_display virtual 2>/dev/null || { echo "isolate: Xvfb did not start a virtual display" >&2; exit 1; }
export VELMORA_XDO_DIR=$work/xdo
bash "$root/tools/xdo-agent.sh" "$VELMORA_XDO_DIR" &
agent=$!
status=0
"$@" || status=$?
exit $status
