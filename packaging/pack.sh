#!/usr/bin/env bash
# Writes the portable zip, the setup program and SHA256SUMS into DIST, all
# three or none. Run by packaging/CMakeLists.txt:
#   pack.sh DIST VERSION VELMORA_EXE KESTRO_DLL README ICON WORK
# Reproducible: every file inside carries one time, SOURCE_DATE_EPOCH or else
# the commit's, and nothing depends on the folders' paths. WORK holds the
# staged files. sign.sh readies every PE file for Authenticode and, when
# tools/package.sh signs (VELMORA_SIGNING), signs the binaries before they
# go in, the uninstaller through makensis and the setup program last. Only an
# unsigned run leaves WORK/unsigned.stamp, so that the next ordinary build
# packs its unsigned binaries again.
set -euo pipefail
dist=$1 version=$2 exe=$3 dll=$4 readme=$5 icon=$6 work=$7
here=$(cd "$(dirname "$0")" && pwd)
setup=Velmora-$version-setup.exe portable=Velmora-$version-portable.zip
stage=$work/stage out=$work/out

rm -f "$dist/$setup" "$dist/$portable" "$dist/SHA256SUMS" "$work/unsigned.stamp"
rm -rf "$stage" "$out"
trap 'rm -rf "$out"' EXIT
mkdir -p "$dist" "$stage" "$out"

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || true)}
# Not a git checkout and no SOURCE_DATE_EPOCH: 1980-01-01, the zip format's first day.
epoch=${epoch:-315532800}
[[ $epoch =~ ^[0-9]+$ ]] || { echo "pack: SOURCE_DATE_EPOCH is not a number of seconds: $epoch" >&2; exit 2; }

cp "$exe" "$dll" "$readme" "$stage/"
bash "$here/sign.sh" "$stage/Velmora.exe" "$stage/kestro.dll"
chmod 0644 "$stage"/*
touch -d "@$epoch" "$stage"/*

# zip stores local times: UTC, so that the time zone does not matter.
(cd "$stage" && TZ=UTC zip -q -X "$out/$portable" Velmora.exe kestro.dll readme.txt)
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DBINDIR="$stage" -DICON="$icon" -DOUTFILE="$out/$setup" \
    -DSIGNSCRIPT="$here/sign.sh" "$here/velmora.nsi"
bash "$here/sign.sh" "$out/$setup"
(cd "$out" && sha256sum "$portable" "$setup" > SHA256SUMS)

mv "$out/$portable" "$out/$setup" "$dist/"
mv "$out/SHA256SUMS" "$dist/"
if [ -z "${VELMORA_SIGNING:-}" ]; then touch "$work/unsigned.stamp"; fi
