#!/usr/bin/env bash
# Sets up, builds and writes the setup program, the portable zip, the MSI, the
# Group Policy template and their checksums (sha256sum -c reads them), afresh
# every time:
#   build/dist/Velmora-<version>-setup.exe
#   build/dist/Velmora-<version>-portable.zip
#   build/dist/Velmora-<version>.msi
#   build/dist/Velmora-<version>-policy.zip  the Group Policy template (ADMX, ADML)
#   build/dist/SHA256SUMS
# The version comes from common/version.h. The same commit gives the same
# bytes in any folder (README, "Releasing"). Signs when VELMORA_SIGN_PFX is set:
#   VELMORA_SIGN_PFX       PKCS#12 file with the code-signing key and certificate
#   VELMORA_SIGN_PASSWORD  its password: must be set, may be empty
#   VELMORA_TIMESTAMP_URL  optional: an RFC 3161 time-stamping server
# Bad signing input: one line on stderr, exit status 2, no packages in dist/.
# With --release-url URL (or VELMORA_RELEASE_URL), the https:// folder the
# packages are published in, also the winget and Scoop manifests of these
# packages (packaging/manifests.py), listed in SHA256SUMS:
#   build/dist/winget/Quor.Velmora.yaml, .installer.yaml, .locale.en-US.yaml
#   build/dist/scoop/velmora.json
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELMORA_BUILD_DIR:-$root/build}"
dist=$build/dist

release_url=${VELMORA_RELEASE_URL:-}
while [ $# -gt 0 ]; do
  case $1 in
    --release-url) [ $# -ge 2 ] || { echo "package: --release-url needs the URL" >&2; exit 2; }; release_url=$2; shift 2 ;;
    --release-url=*) release_url=${1#*=}; shift ;;
    *) echo "package: unknown argument $1 (only --release-url URL)" >&2; exit 2 ;;
  esac
done
# A bad URL stops before the build, not after it.
[ -z "$release_url" ] || python3 "$root/packaging/manifests.py" --check-url "$release_url" || exit 2

keys=""
trap '[ -z "$keys" ] || rm -rf "$keys"' EXIT
trap 'exit 130' INT TERM HUP
clear_dist() {
  rm -f "$dist"/Velmora-*-setup.exe "$dist"/Velmora-*-portable.zip "$dist"/Velmora-*.msi "$dist"/Velmora-*-policy.zip "$dist/SHA256SUMS"
  rm -rf "$dist/winget" "$dist/scoop"
}
refuse() { clear_dist; echo "package: $*" >&2; exit 2; }

if [ -n "${VELMORA_SIGN_PFX:-}" ]; then
  [ -n "${VELMORA_SIGN_PASSWORD+set}" ] || refuse "VELMORA_SIGN_PASSWORD is not set (set it empty for a PKCS#12 file without a password)"
  [ -f "$VELMORA_SIGN_PFX" ] && [ -r "$VELMORA_SIGN_PFX" ] || refuse "cannot read the PKCS#12 file $VELMORA_SIGN_PFX (VELMORA_SIGN_PFX)"
  # The password goes to osslsigncode in a file of a private folder (mode
  # 0700) outside the build folder, removed on exit; printf is built in, so
  # the password is on no command line.
  keys=$(mktemp -d "${TMPDIR:-/tmp}/velmora-sign.XXXXXX")
  (umask 077 && printf '%s\n' "$VELMORA_SIGN_PASSWORD" > "$keys/password")
  unset VELMORA_SIGN_PASSWORD
  VELMORA_SIGN_PFX=$(cd "$(dirname "$VELMORA_SIGN_PFX")" && pwd)/$(basename "$VELMORA_SIGN_PFX")
  export VELMORA_SIGN_PFX VELMORA_SIGNING=$keys
fi

. "$root/tools/winenv.sh"
velmora_check_owner "$build" || exit 1
bash "$root/tools/setup.sh"
# What ships is 32-bit; only the tests, where 32-bit programs cannot start,
# pass the 64-bit toolchain, for a build folder of their own.
toolchain=${VELMORA_TEST_TOOLCHAIN:-$root/cmake/mingw-i686.cmake}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
# Only the deliverables and the packages, not the tests.
cmake --build "$build" -j2 --target Velmora kestro
clear_dist
if [ -z "$keys" ]; then
  cmake --build "$build" -j2 --target dist
  echo "package: the packages are unsigned (VELMORA_SIGN_PFX is not set)"
elif ! cmake --build "$build" -j2 --target dist >"$keys/build.log" 2>&1; then
  [ ! -s "$keys/error" ] || refuse "$(cat "$keys/error")"
  clear_dist
  cat "$keys/build.log" >&2
  exit 1
elif [ -n "${VELMORA_TIMESTAMP_URL:-}" ]; then
  echo "package: signed with $VELMORA_SIGN_PFX, time-stamped by $VELMORA_TIMESTAMP_URL"
else
  echo "package: signed with $VELMORA_SIGN_PFX, without a time stamp (VELMORA_TIMESTAMP_URL is not set):" \
    "the signatures lapse when the certificate expires, and Windows then treats the packages as unsigned"
fi
if [ -n "$release_url" ]; then
  # The packages' version as packaging/CMakeLists.txt has it.
  version=$(sed -n 's/^VELMORA_VERSION_OVERRIDE:[A-Z]*=//p' "$build/CMakeCache.txt")
  [ -n "$version" ] || version=$(sed -n 's/^#define VELMORA_VERSION_NUM *\([0-9]*\) *, *\([0-9]*\) *, *\([0-9]*\) *, *\([0-9]*\).*/\1.\2.\3.\4/p' "$root/common/version.h")
  python3 "$root/packaging/manifests.py" "$dist" "$version" "$release_url" || exit 2
else
  echo "package: no winget or Scoop manifests (no release URL: tools/package.sh --release-url https://<the release's folder>)"
fi
ls -l "$dist"/Velmora-*-setup.exe "$dist"/Velmora-*-portable.zip "$dist"/Velmora-*.msi "$dist"/Velmora-*-policy.zip "$dist/SHA256SUMS"
[ -z "$release_url" ] || ls -l "$dist/winget" "$dist/scoop"
