#!/usr/bin/env bash
# Set-up on a mirror being synced, with stand-in apt-get, dpkg and friends.
set -euo pipefail
setup=$1 dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$dir/$1"; chmod +x "$dir/$1"; }
stub apt-get 'echo "$1" >>"$STATE.calls"
case "$1 $*" in update*) step=update ;; *:i386*) step=i386 ;; *) step=base ;; esac
case " $FAIL " in *" $step "*) echo "E: the mirror failed the $step step"; exit 100 ;; esac
for p; do echo "$p"; done >>"$STATE"'
stub dpkg-query 'for p; do :; done; grep -qx "$p" "$STATE" && echo "install ok installed"'
stub dpkg 'echo i386'; stub locale 'echo ko_KR.utf8'; stub sudo 'exec "$@"'
# steps that fail | exit code, updates tried, what it says
while IFS='|' read -r fail code tries said; do
  : >"$dir/state"; : >"$dir/state.calls"; status=0
  out=$(PATH="$dir:$PATH" STATE="$dir/state" FAIL=$fail VELMORA_APT_RETRY_SECONDS=0 bash "$setup" 2>&1) || status=$?
  got="exit $status, $(grep -c update "$dir/state.calls") updates, wine64 $(grep -cx wine64 "$dir/state" || true)"
  [ "$got" = "exit $code, $tries updates, wine64 $((1 - code))" ] && grep -qF -- "$said" <<<"$out" ||
    { echo "FAIL: '$fail' failing: $got; wanted '$said' in: $out" >&2; exit 1; }
done <<'CASES'
|0|1|system packages ready
update|0|3|apt-get update failed (try 1 of 3)
update i386|0|3|32-bit part could not be installed (E: the mirror failed the i386 step)
base|1|1|the packages that every path needs could not be installed
CASES
echo "setup: all cases passed"
