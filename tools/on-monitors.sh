#!/usr/bin/env bash
# Runs one test program under Wine on a desktop of three monitors (see
# velmora_display monitors). Wine takes its monitors from the X server that
# its first program met, so this desktop has a prefix and an xdotool agent
# of its own: a copy of tools/test.sh's template where there is one. Exits 77
# (skipped) when a normal user may not start Xorg.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$(dirname "$1")" && pwd)
. "$root/tools/winenv.sh"
velmora_env "$bin/.."
export WINEPREFIX="$WINEPREFIX-monitors" VELMORA_XDO_DIR="$bin/../xdo-monitors"
unset VELMORA_PREFIX64
agent=""
finish() {
  [ -n "$agent" ] && { kill "$agent" 2>/dev/null || true; wait "$agent" 2>/dev/null || true; }
  velmora_cleanup
  [ -z "${VELMORA_TEMPLATE:-}" ] || rm -rf "$WINEPREFIX"
}
trap finish EXIT
if ! velmora_display monitors; then
  [ "$(id -u)" -ne 0 ] && exit 77
  exit 1
fi
if [ -n "${VELMORA_TEMPLATE:-}" ]; then
  rm -rf "$WINEPREFIX"
  velmora_prefix_copy "$VELMORA_TEMPLATE" "$WINEPREFIX" || { echo "on-monitors: cannot copy the Wine prefix" >&2; exit 1; }
  wineserver -p
else
  velmora_prefix
fi
rm -rf "$VELMORA_XDO_DIR"
bash "$root/tools/xdo-agent.sh" "$VELMORA_XDO_DIR" &
agent=$!
cd "$bin"
"$root/tools/wine-run.sh" "$@"
