#!/usr/bin/env bash
# Sets up, builds and writes the setup program and the portable zip:
#   build/dist/Velmora-<version>-setup.exe
#   build/dist/Velmora-<version>-portable.zip
# The version comes from common/version.h.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELMORA_BUILD_DIR:-$root/build}"

. "$root/tools/winenv.sh"
velmora_check_owner "$build" || exit 1
bash "$root/tools/setup.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
# Only the deliverables and the packages, not the tests.
cmake --build "$build" -j2 --target dist
ls -l "$build"/dist/Velmora-*-setup.exe "$build"/dist/Velmora-*-portable.zip
