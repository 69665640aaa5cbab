#!/usr/bin/env bash
# Figure 3: the footprint of the two deliverables, read from the files and
# their PE headers; needs no Wine. Called by bench/run.sh with the build's
# bin folder; prints "R key value" lines like velbench.exe.
#
# Measured: the size in bytes of kestro.dll and Velmora.exe, and the DLLs
#   each imports (objdump -p), lower case, sorted, comma-separated.
# Baseline: none; the targets are fixed budgets (bench/README.md).
# Reports: size_kestro, imports_kestro, size_velmora, imports_velmora.
set -euo pipefail
bin=$1
objdump=i686-w64-mingw32-objdump
imports() { "$objdump" -p "$1" | awk '/DLL Name:/ { print tolower($3) }' | sort -u | paste -sd, -; }
for file in kestro.dll Velmora.exe; do
  key=${file%%.*}
  key=${key,,}
  if [ -f "$bin/$file" ]; then
    echo "R size_${key} $(stat -c %s "$bin/$file")"
    echo "R imports_${key} $(imports "$bin/$file")"
  fi
done
