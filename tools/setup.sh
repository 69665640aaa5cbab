#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine lacks to build and run the
# project under Wine. Safe to run again: every step checks first.
# Runs as a normal user: only installing packages and generating the Korean
# locale need root, and for those it says so and asks through sudo. As root
# (CI) it needs no sudo.
set -euo pipefail

# as_root WHY COMMAND...: runs COMMAND as root, through sudo unless we are root.
as_root() {
  local why=$1
  shift
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
    return
  fi
  if ! command -v sudo >/dev/null 2>&1; then
    echo "setup: $why needs root, and sudo is not installed; run tools/setup.sh once as root" >&2
    exit 1
  fi
  if [ -z "${as_root_said:-}" ]; then
    echo "setup: asking for root through sudo, only to install packages and the Korean locale" >&2
    as_root_said=1
  fi
  sudo "$@"
}

# What every path needs: the 64-bit fallback builds and runs with these alone.
PACKAGES=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 cmake make
  wine wine64
  nsis zip unzip
  xvfb xdotool x11-utils imagemagick strace
  locales fonts-nanum
  googletest python3 python3-jsonschema python3-yaml
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  osslsigncode openssl
  wixl msitools faketime p7zip-full
)
# The 32-bit path's own: each must match its 64-bit twin's version, so a
# broken i386 index stops only these.
PACKAGES32=(wine32:i386 libxrandr2:i386 libxinerama1:i386)

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

# A mirror being synced fails an index now and then: try again, and let the
# install say whether what we need is there.
updated=""
apt_update() {
  [ -n "$updated" ] && return 0
  updated=1
  local try log why
  log=$(mktemp)
  for try in 1 2 3; do
    as_root "installing packages" apt-get update -q >"$log" 2>&1 && { rm -f "$log"; return 0; }
    [ "$try" = 3 ] || { echo "setup: apt-get update failed (try $try of 3); trying again" >&2; sleep "${VELMORA_APT_RETRY_SECONDS:-5}"; }
  done
  why=$(grep -m1 '^E: ' "$log" || true)
  rm -f "$log"
  echo "setup: apt-get update still fails (${why:-no reason given}); installing from the indexes that did download" >&2
}

apt_install() {
  as_root "installing packages" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "$@"
}

dpkg --print-foreign-architectures | grep -qx i386 ||
  as_root "adding the i386 architecture" dpkg --add-architecture i386

mapfile -t missing < <(missing_of "${PACKAGES[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing what is missing: ${missing[*]}" >&2
  apt_update
  apt_install "${missing[@]}" || { echo "setup: the packages that every path needs could not be installed (see apt's message above)" >&2; exit 1; }
fi

mapfile -t missing < <(missing_of "${PACKAGES32[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing Wine's 32-bit part: ${missing[*]}" >&2
  apt_update
  log=$(mktemp)
  if ! apt_install "${missing[@]}" >"$log" 2>&1; then
    why=$(grep -E '^E: ' "$log" | head -n1)
    echo "setup: Wine's 32-bit part could not be installed (${why:-apt-get install failed});" \
      "going on with the 64-bit programs, as on a kernel that cannot start 32-bit ones" >&2
  fi
  rm -f "$log"
fi

# Korean locale, so that Wine runs with the Korean ANSI code page.
if ! locale -a 2>/dev/null | grep -qix 'ko_KR.utf8'; then
  echo "setup: generating the Korean locale ko_KR.UTF-8" >&2
  as_root "generating the locale" sed -i 's/^# *\(ko_KR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen ||
    as_root "generating the locale" sh -c "echo 'ko_KR.UTF-8 UTF-8' >> /etc/locale.gen"
  as_root "generating the locale" locale-gen >/dev/null
fi

echo "setup: system packages ready"
