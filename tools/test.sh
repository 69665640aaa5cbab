#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine on a private virtual display.
# Extra arguments go to ctest (for example -R hooklib).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

. "$root/tools/winenv.sh"
velmora_setup "$root"
build="${VELMORA_BUILD_DIR:-$(velmora_default_build "$root")}"
velmora_build "$root" "$build"
velmora_env "$build"
agent_pid=""
finish() {
  [ -n "$agent_pid" ] && { kill "$agent_pid" 2>/dev/null || true; wait "$agent_pid" 2>/dev/null || true; }
  velmora_cleanup
}
trap finish EXIT
velmora_display virtual
velmora_prefix

export VELMORA_XDO_DIR="$build/xdo"
rm -rf "$VELMORA_XDO_DIR"
bash "$root/tools/xdo-agent.sh" "$VELMORA_XDO_DIR" &
agent_pid=$!

cd "$build"
ctest --output-on-failure --timeout 300 "$@"
