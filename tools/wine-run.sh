#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest. Wine's helper processes
# (explorer, services) outlive the program; they must not inherit CTest's
# output pipe, or CTest waits for them until its timeout.
out=$(mktemp)
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
