#!/usr/bin/env bash
# The portable zip holds exactly the build's two binaries and a readme that
# Notepad on Korean Windows (9x included) reads: CP949 with CR LF.
#   zip_test.sh ZIP BIN_DIR VERSION
set -euo pipefail
zip=$1 bin=$2 version=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -f "$zip" ] || fail "$zip is missing (zip and makensis come from tools/setup.sh)"
names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "Velmora.exe kestro.dll readme.txt " ] || fail "entries: $names"
for binary in Velmora.exe kestro.dll; do
  unzip -p "$zip" "$binary" | cmp -s - "$bin/$binary" || fail "$binary differs from $bin/$binary"
done

readme=$(unzip -p "$zip" readme.txt)
text=$(printf '%s' "$readme" | iconv -f CP949 -t UTF-8) || fail "readme.txt is not CP949 text"
printf '%s' "$readme" | grep -qv $'\r$' && fail "readme.txt has lines without CR LF"
grep -q "^Velmora $version " <<<"$text" || fail "readme.txt does not name version $version"
grep -q "Windows 95, 98, Me" <<<"$text" || fail "readme.txt does not tell 9x users to use it"
echo "portable zip: $names"
