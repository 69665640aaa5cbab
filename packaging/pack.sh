#!/usr/bin/env bash
# Writes the portable zip, the setup program, the MSI, the Group Policy
# template's zip and SHA256SUMS into DIST, all five or none. Run by packaging/CMakeLists.txt:
#   pack.sh DIST VERSION VELMORA_EXE KESTRO_DLL README ICON WORK [ARCH]
# ARCH is x86 (the default, shipped) or x64: the 64-bit stand-in for tests
# where 32-bit programs cannot start, from the same scripts.
# Reproducible: every file inside carries one time, SOURCE_DATE_EPOCH or else
# the commit's, and nothing depends on the folders' paths. WORK holds the
# staged files. sign.sh readies every PE file for Authenticode and, when
# tools/package.sh signs (VELMORA_SIGNING), signs the binaries before they
# go in, the NSIS plug-ins that the setup program carries, the uninstaller
# through makensis, the setup program and the MSI last. Only an unsigned run
# leaves WORK/unsigned.stamp, so that the next ordinary build packs its
# unsigned binaries again; a signed run leaves WORK/signed.stamp, and its
# packages stay until tools/package.sh makes new ones.
set -euo pipefail
dist=$1 version=$2 exe=$3 dll=$4 readme=$5 icon=$6 work=$7 arch=${8:-x86}
case $arch in
  x86) target=x86-unicode ;;
  x64) target=amd64-unicode ;;
  *) echo "pack: ARCH is x86 or x64, not $arch" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
setup=Velmora-$version-setup.exe portable=Velmora-$version-portable.zip msi=Velmora-$version.msi
policy=Velmora-$version-policy.zip
stage=$work/stage out=$work/out plugins=$work/plugins msistage=$work/msi

if [ -z "${VELMORA_SIGNING:-}" ] && [ -f "$work/signed.stamp" ] && [ -f "$dist/$setup" ]; then
  echo "pack: $dist holds signed packages from tools/package.sh; left alone (run tools/package.sh for new ones)" >&2
  exit 0
fi
rm -f "$dist/$setup" "$dist/$portable" "$dist/$msi" "$dist/$policy" "$dist/SHA256SUMS" "$work/unsigned.stamp" "$work/signed.stamp"
# Manifests of the last packages (tools/package.sh --release-url) would name their hashes.
rm -rf "$stage" "$out" "$plugins" "$msistage" "$dist/winget" "$dist/scoop"
trap 'rm -rf "$out"' EXIT
mkdir -p "$dist" "$stage" "$out" "$plugins" "$msistage"

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
# The setup program unpacks its plug-ins into %TEMP%, where Smart App
# Control, WDAC and AppLocker check them: copies, signed when signing.
cp "${NSISDIR:-/usr/share/nsis}"/Plugins/$target/*.dll "$plugins/"
bash "$here/sign.sh" "$plugins"/*.dll
chmod 0644 "$plugins"/*
touch -d "@$epoch" "$plugins"/*
makensis -V2 -INPUTCHARSET UTF8 -DTARGET=$target -DVERSION="$version" -DBINDIR="$stage" -DICON="$icon" -DOUTFILE="$out/$setup" \
    -DSIGNSCRIPT="$here/sign.sh" -DPLUGINDIR="$plugins" "$here/velmora.nsi"
bash "$here/sign.sh" "$out/$setup"

# The MSI: codes from the version, times from the commit (wixl writes the
# current time and a random package code into its summary). The clock stands
# still there: a running one stamps a later second when wixl is slow.
cp "$stage/Velmora.exe" "$stage/kestro.dll" "$msistage/"
cp "$icon" "$msistage/velmora.ico"
touch -d "@$epoch" "$msistage"/*
code() { python3 -c 'import sys, uuid; print("{%s}" % str(uuid.uuid5(uuid.UUID("2431f988-fff1-4bc6-816d-9b6acbe9ce2d"), sys.argv[1])).upper())' "$1"; }
frozen=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
# Windows Installer compares three fields: a.b.c.d becomes a.b.(c*256+d).
IFS=. read -r major minor build revision <<<"$version"
if [ "$major" -gt 255 ] || [ "$minor" -gt 255 ] || [ "$build" -gt 255 ] || [ "$revision" -gt 255 ]; then
  echo "pack: $version does not map to an MSI ProductVersion: each field at most 255" >&2; exit 2
fi
msiversion=$major.$minor.$((build * 256 + revision))
(cd "$msistage" && TZ=UTC faketime -f "$frozen" wixl -a "$arch" -D Platform="$arch" -D Version="$msiversion" -D ProductCode="$(code "product $version")" \
    -o "$out/$msi" "$here/velmora.wxs")
TZ=UTC faketime -f "$frozen" msibuild "$out/$msi" -s Velmora Quor "$([ "$arch" = x64 ] && echo x64 || echo Intel);1033" "$(code "package $version")"
bash "$here/sign.sh" "$out/$msi"

# The Group Policy template, laid out as a PolicyDefinitions folder.
rm -rf "$work/policy" && cp -R "$here/policy" "$work/policy"
find "$work/policy" -type d -exec chmod 0755 {} + -o -type f -exec chmod 0644 {} +
find "$work/policy" -exec touch -d "@$epoch" {} +
(cd "$work/policy" && TZ=UTC zip -q -X "$out/$policy" velmora.admx en-US/velmora.adml ko-KR/velmora.adml)

(cd "$out" && sha256sum "$portable" "$setup" "$msi" "$policy" > SHA256SUMS)

mv "$out/$portable" "$out/$setup" "$out/$msi" "$out/$policy" "$dist/"
mv "$out/SHA256SUMS" "$dist/"
if [ -z "${VELMORA_SIGNING:-}" ]; then touch "$work/unsigned.stamp"; else touch "$work/signed.stamp"; fi
