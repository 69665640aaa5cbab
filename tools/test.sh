#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine. Each test runs in a prefix
# and on a virtual display of its own (tools/isolate.sh), copied from one
# template prefix made once, so CTest runs several side by side.
# Extra arguments go to ctest (for example -R hooklib). VELMORA_TEST_JOBS sets
# how many run at once (default 4: the tests mostly wait on Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

. "$root/tools/winenv.sh"
velmora_setup "$root"
build="${VELMORA_BUILD_DIR:-$(velmora_default_build "$root")}"
velmora_build "$root" "$build"
velmora_env "$build"
trap velmora_cleanup EXIT
velmora_display virtual
velmora_template
velmora_cleanup
rm -rf "$WINEPREFIX"-run.*  # what an interrupted run left

cd "$build"
# The deliverables' scrolling gets this budget per notch instead of 200 ms, so
# that four tests on two cores cannot cut short a sequence a test expects
# whole; the tests of the budget itself set the shipped one in-process.
export VELMORA_TEST_NOTCH_BUDGET_MS=5000
ctest --output-on-failure --timeout 300 -j"${VELMORA_TEST_JOBS:-4}" "$@"
