#!/usr/bin/env bash
# tools/package.sh signing, in a build folder of its own, with a throwaway
# certificate made here: each signed file verifies against it (the
# uninstaller that the setup program writes under Wine included) and without
# its signature is the unsigned build's file; a wrong password and a
# time-stamp server that does not answer fail with one line, exit status 2
# and no packages or manifests left in dist/. Runs under tools/test.sh's Wine prefix.
#   signing_test.sh SOURCE_DIR WORK_DIR UNSIGNED_BUILD_DIR
set -euo pipefail
src=$1 work=$2 unsigned=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/signed" "$work/unsigned"
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
TEST_PASSWORD="pass $RANDOM$RANDOM" # not exported: the signer's environment is checked too
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/key.pem" -out "$keys/cert.pem" -days 2 \
  -subj "/CN=Throwaway test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/test.pfx" -passout fd:3 3<<<"$TEST_PASSWORD"

build=$work/build dist=$work/build/dist
toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$unsigned/CMakeCache.txt") # the unsigned build's bits
# Every osslsigncode started leaves its arguments and environment in $work/started.
mkdir "$work/shims"
printf '#!/bin/sh\n{ printf "%%s\\n" "$*"; env; } >>"%s"\nexec %s "$@"\n' "$work/started" "$(command -v osslsigncode)" \
  >"$work/shims/osslsigncode"
chmod +x "$work/shims/osslsigncode"
# package PASSWORD [TIMESTAMP_URL]: output in $work/out and $work/err.
package() {
  (
    export PATH=$work/shims:$PATH VELMORA_BUILD_DIR=$build VELMORA_TEST_TOOLCHAIN=$toolchain VELMORA_SIGN_PFX=$keys/test.pfx VELMORA_SIGN_PASSWORD=$1
    [ -z "${2:-}" ] || export VELMORA_TIMESTAMP_URL=$2
    bash "$src/tools/package.sh" --release-url https://downloads.example.org/velmora >"$work/out" 2>"$work/err"
  )
}
package "$TEST_PASSWORD" || fail "signed packaging failed: $(cat "$work/err")"
(cd "$dist" && sha256sum -c --strict SHA256SUMS >/dev/null) || fail "SHA256SUMS does not match the signed packages"
[ "$(wc -l < "$dist/SHA256SUMS")" = 8 ] || fail "SHA256SUMS: not one line for each package and manifest"
if grep -rqF "$TEST_PASSWORD" "$build" "$work/out" "$work/err"; then fail "the password is in the build folder or the output"; fi
if grep -qF "$TEST_PASSWORD" "$work/started"; then fail "osslsigncode was started with the password"; fi
grep -q -- "-readpass" "$work/started" || fail "no osslsigncode was started with the password file"

setup=$(cd "$dist" && ls Velmora-*-setup.exe) msi=$(cd "$dist" && ls Velmora-*.msi)
grep -q "without a time stamp.*lapse" "$work/out" || fail "no word that the signatures lapse with the certificate"
cp "$dist/$setup" "$dist/$msi" "$work/signed/"
# The plug-ins that the setup program unpacks into %TEMP%.
7z e -o"$work/plugins" "$dist/$setup" '$PLUGINSDIR/*.dll' >/dev/null
plugins=$(cd "$work/plugins" && ls)
[ -f "$work/plugins/System.dll" ] && [ -f "$work/plugins/nsDialogs.dll" ] || fail "plug-ins in $setup: $plugins"
cp "$work/plugins"/* "$work/signed/"
# An ordinary build afterwards leaves the signed packages alone.
cmake --build "$build" --target dist >/dev/null 2>&1 || fail "an ordinary build after the signed one fails"
cmp -s "$dist/$setup" "$work/signed/$setup" && cmp -s "$dist/$msi" "$work/signed/$msi" || fail "an ordinary build replaced the signed packages"
unzip -q -d "$work/signed" "$dist"/Velmora-*-portable.zip Velmora.exe kestro.dll
cp "$unsigned/bin/Velmora.exe" "$unsigned/bin/kestro.dll" "$work/unsigned/"
# The uninstaller that each setup program writes, silently into a folder of
# the prefix; the uninstaller, run in place, ends the Velmora started.
uninstaller_of() { # SETUP TO
  local folder=$WINEPREFIX/drive_c/velmora-signing-test
  wine "$1" /S '/D=C:\velmora-signing-test' >/dev/null 2>&1 </dev/null || fail "$1 does not install"
  cp "$folder/uninstall.exe" "$2/"
  if [ "$2" = "$work/signed" ]; then
    cmp "$folder/Velmora.exe" "$2/Velmora.exe" && cmp "$folder/kestro.dll" "$2/kestro.dll" ||
      fail "the signed setup program installs other binaries than the signed zip holds"
  fi
  wine "$folder/uninstall.exe" /S '_?=C:\velmora-signing-test' >/dev/null 2>&1 </dev/null || fail "the uninstaller fails"
  wine reg delete 'HKCU\SOFTWARE\Quor' /f >/dev/null 2>&1 </dev/null || true
  rm -rf "$folder"
}
uninstaller_of "$work/signed/$setup" "$work/signed"
uninstaller_of "$unsigned/dist/$setup" "$work/unsigned"

for file in Velmora.exe kestro.dll uninstall.exe "$setup" "$msi" $plugins; do
  osslsigncode verify -CAfile "$keys/cert.pem" "$work/signed/$file" >"$work/verify" 2>&1 ||
    fail "$file: the signature does not verify: $(tail -n 3 "$work/verify")"
  grep -q "Text description: Velmora" "$work/verify" && grep -q "digest algorithm *: SHA256" "$work/verify" ||
    fail "$file: not signed SHA-256 with the description Velmora"
done
unsigned_of() { rm -f "$2"; osslsigncode remove-signature -in "$1" -out "$2" >/dev/null; }
for file in Velmora.exe kestro.dll; do
  unsigned_of "$work/signed/$file" "$work/stripped"
  cmp "$work/stripped" "$work/unsigned/$file" || fail "$file without its signature is not the unsigned build's"
done
# The uninstaller carries the signed plug-ins, so its packed data differs: its
# stub (the bytes before NSIS's header, less the PE checksum) and each plug-in,
# unsigned, must be the unsigned build's, and each plug-in the signed copy.
unsigned_of "$work/signed/uninstall.exe" "$work/stripped"
python3 -c 'import sys, struct
def stub(p):
    d = bytearray(open(p, "rb").read()); at = struct.unpack_from("<I", d, 0x3c)[0] + 88
    d[at:at + 4] = bytes(4); return d[:d.find(b"\xef\xbe\xad\xdeNullsoftInst") - 4]
sys.exit(stub(sys.argv[1]) != stub(sys.argv[2]))' "$work/stripped" "$work/unsigned/uninstall.exe" ||
  fail "uninstall.exe without its signature: its stub is not the unsigned build's"
7z x -o"$work/carried-signed" "$work/signed/uninstall.exe" >/dev/null && 7z x -o"$work/carried-unsigned" "$work/unsigned/uninstall.exe" >/dev/null
carried=$(cd "$work/carried-signed/\$PLUGINSDIR" && ls)
[ -n "$carried" ] && [ "$carried" = "$(cd "$work/carried-unsigned/\$PLUGINSDIR" && ls)" ] || fail "uninstall.exe carries other plug-ins unsigned: $carried"
for file in $carried; do
  cmp "$work/carried-signed/\$PLUGINSDIR/$file" "$work/signed/$file" || fail "uninstall.exe carries $file unsigned"
  unsigned_of "$work/signed/$file" "$work/stripped"
  cmp "$work/stripped" "$work/carried-unsigned/\$PLUGINSDIR/$file" || fail "$file without its signature is not the unsigned build's"
done

# Bad input: one line beside the set-up's notes, exit status 2, nothing in dist/.
refused() { # WHAT PATTERN STATUS
  [ "$3" = 2 ] || fail "$1: exit status $3, not 2"
  [ "$(grep -vc '^setup: ' "$work/err")" = 1 ] && grep -q "$2" "$work/err" || fail "$1: not one clear line: $(cat "$work/err")"
  [ -z "$(ls "$dist")" ] || fail "$1 leaves $(ls "$dist") in dist/"
}
status=0
package "not $TEST_PASSWORD" || status=$?
refused "a wrong password" "^package: cannot sign .*wrong password" $status
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
status=0
package "$TEST_PASSWORD" "http://127.0.0.1:$port/" || status=$?
refused "a time-stamp server that does not answer" "^package: the time-stamp server http://127.0.0.1:$port/ did not answer" $status
rm -rf "$work"
echo "signed: Velmora.exe kestro.dll uninstall.exe $setup verify; unsigned without their signatures"
