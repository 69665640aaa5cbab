#!/usr/bin/env bash
# Two builds of this commit in two folders give the same bytes: the
# deliverables in bin/, the packages and SHA256SUMS in dist/. The first takes
# the commit's time by itself, the second gets it as SOURCE_DATE_EPOCH.
#   reproducible_test.sh SOURCE_DIR WORK_DIR [TOOLCHAIN_FILE]
set -euo pipefail
src=$1 work=$2 toolchain=${3:-$1/cmake/mingw-i686.cmake}
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
one=$work/one two=$work/second-build-folder
epoch=$(git -C "$src" log -1 --format=%ct)
for dir in "$one" "$two"; do
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVELMORA_TESTS=OFF >/dev/null
  # Only the deliverables and the packages.
  if [ "$dir" = "$one" ]; then
    env -u SOURCE_DATE_EPOCH cmake --build "$dir" -j2 --target dist >/dev/null
  else
    SOURCE_DATE_EPOCH=$epoch cmake --build "$dir" -j2 --target dist >/dev/null
  fi
done

files=$(cd "$one" && ls bin/Velmora.exe bin/kestro.dll dist/*)
[ "$(echo $files)" = "$(cd "$two" && echo bin/Velmora.exe bin/kestro.dll dist/*)" ] || fail "different files: $files"
for file in $files; do
  cmp "$one/$file" "$two/$file" || fail "$file differs between the two builds"
  if grep -qaF "$src" "$one/$file"; then fail "$file holds the folder $src"; fi
done
(cd "$one/dist" && sha256sum -c --strict SHA256SUMS) || fail "SHA256SUMS does not match the packages"
[ "$(wc -l < "$one/dist/SHA256SUMS")" = 4 ] || fail "SHA256SUMS: not one line for each package"
rm -rf "$work"
echo "reproducible: $(echo $files)"
