#!/usr/bin/env bash
# Readies PE files in place for Authenticode, and signs them when
# tools/package.sh asks for it (VELMORA_SIGNING). Run by pack.sh, and by
# makensis for the uninstaller.
#   sign.sh FILE...
# Readied: padded to 8 bytes and with their PE checksum, as a signature's
# removal leaves them, so that a signed file without its signature
# (osslsigncode remove-signature) is the unsigned build's file.
# Signed: SHA-256, description "Velmora", with the PKCS#12 file
# VELMORA_SIGN_PFX, time-stamped by VELMORA_TIMESTAMP_URL when set; the
# password is read from VELMORA_SIGNING/password, in package.sh's private
# folder, and never shows on a command line. A failure: one line on stderr
# and in VELMORA_SIGNING/error, exit status 2.
set -euo pipefail

ready() {
  python3 - "$1" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
data += bytes(-len(data) % 8)
at = struct.unpack_from('<I', data, 0x3c)[0] + 88
struct.pack_into('<I', data, at, 0)
total = 0
for (word,) in struct.iter_unpack('<H', data):
    total += word
    total = (total & 0xffff) + (total >> 16)
struct.pack_into('<I', data, at, total + len(data))
open(sys.argv[1], 'wb').write(data)
EOF
}

# An MSI is signed as it is.
for file; do
  if [ "$(head -c 2 "$file")" = MZ ]; then ready "$file"; fi
done
[ -n "${VELMORA_SIGNING:-}" ] || exit 0
keys=$VELMORA_SIGNING pfx=$VELMORA_SIGN_PFX url=${VELMORA_TIMESTAMP_URL:-}

fail() { printf '%s\n' "$1" > "$keys/error"; printf '%s\n' "$1" >&2; exit 2; }
# FILE OUT [osslsigncode options]; bounded, so that a silent server cannot hang the build.
sign() {
  local file=$1 signed=$2
  shift 2
  rm -f "$signed"
  timeout 300 osslsigncode sign -pkcs12 "$pfx" -readpass "$keys/password" -h sha256 -n Velmora "$@" \
    -in "$file" -out "$signed" >"$keys/log" 2>&1 || { rm -f "$signed"; return 1; }
}

for file; do
  [ -f "$pfx" ] && [ -r "$pfx" ] || fail "cannot read the PKCS#12 file $pfx (VELMORA_SIGN_PFX)"
  signed=$keys/signed
  if ! sign "$file" "$signed" ${url:+-ts "$url"}; then
    if [ -n "$url" ] && sign "$file" "$signed"; then
      rm -f "$signed"
      fail "the time-stamp server $url did not answer (VELMORA_TIMESTAMP_URL)"
    fi
    fail "cannot sign with $pfx: wrong password (VELMORA_SIGN_PASSWORD) or not a PKCS#12 file with a key and certificate"
  fi
  cat "$signed" > "$file"
  rm -f "$signed"
done
