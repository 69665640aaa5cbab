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

PACKAGES=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 cmake make
  wine wine32:i386 wine64
  nsis zip unzip
  xvfb xdotool x11-utils imagemagick
  locales fonts-nanum
  googletest python3
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  libxrandr2:i386 libxinerama1:i386
  osslsigncode openssl
  wixl msitools faketime p7zip-full
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root "adding the i386 architecture" dpkg --add-architecture i386
  missing=("${PACKAGES[@]}")
else
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing what is missing: ${missing[*]}" >&2
  as_root "installing packages" apt-get update -q
  as_root "installing packages" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
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
