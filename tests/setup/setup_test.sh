#!/usr/bin/env bash
# Set-up on a mirror being synced: stand-in apt-get, dpkg and friends on PATH.
#   setup_test.sh SETUP_SH
set -euo pipefail
setup=$1 dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$dir/$1"; chmod +x "$dir/$1"; }
stub apt-get 'echo "$*" >>"$STATE.calls"
case "$1 $*" in
  update*) [ -z "$FAIL_UPDATE" ] || { echo "E: Some index files failed to download."; exit 100; } ;;
  *:i386*) [ -z "$FAIL_I386" ] || { echo "E: Unable to correct problems, you have held broken packages."; exit 100; } ;;
  *) [ -z "$FAIL_BASE" ] || { echo "E: Unable to locate package wixl"; exit 100; } ;;
esac
for p; do echo "$p"; done >>"$STATE"'
stub dpkg-query 'for p; do :; done; grep -qx "$p" "$STATE" 2>/dev/null && echo "install ok installed"'
stub dpkg 'echo i386'
stub locale 'echo ko_KR.utf8'
stub sudo 'exec "$@"'
# FAIL_UPDATE FAIL_I386 FAIL_BASE | exit code, updates tried, what it says
while IFS='|' read -r update i386 base code tries said; do
  : >"$dir/state"; : >"$dir/state.calls"
  status=0
  out=$(PATH="$dir:$PATH" STATE="$dir/state" FAIL_UPDATE=$update FAIL_I386=$i386 FAIL_BASE=$base \
    VELMORA_APT_RETRY_SECONDS=0 bash "$setup" 2>&1) || status=$?
  case="update=$update i386=$i386 base=$base"
  [ "$status" = "$code" ] || fail "$case: exit $status, not $code: $out"
  [ "$(grep -c '^update' "$dir/state.calls")" = "$tries" ] || fail "$case: apt-get update not tried $tries times"
  grep -qF -- "$said" <<<"$out" || fail "$case: does not say '$said': $out"
  grep -qx wine64 "$dir/state" || [ "$code" != 0 ] || fail "$case: the 64-bit path was not installed"
done <<'CASES'
|||0|1|system packages ready
1|||0|3|apt-get update failed (try 1 of 3)
1|1||0|3|32-bit part could not be installed (E: Unable to correct problems
||1|1|1|the packages that every path needs could not be installed
CASES
echo "setup: all cases passed"
