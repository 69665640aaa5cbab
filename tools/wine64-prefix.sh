#!/usr/bin/env bash
# The 64-bit Wine prefix of the 64-bit regression test, for CTest's fixture:
#   wine64-prefix.sh start BUILD_DIR   create and configure BUILD_DIR/wineprefix64
#                                      once (WINEARCH=win64), start its server
#   wine64-prefix.sh end BUILD_DIR     end that prefix's wineserver
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/winenv.sh"
velmora_env "$2"
case "$1" in
  start) velmora_prefix64 ;;
  end) velmora_end_prefix64 ;;
  *) echo "usage: $0 start|end BUILD_DIR" >&2; exit 2 ;;
esac
