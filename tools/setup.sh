#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine lacks to build and run the
# project under Wine. Safe to run again: every step checks first.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "run as root (or via sudo)" >&2; exit 1; fi; }

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
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root
  dpkg --add-architecture i386
  missing=("${PACKAGES[@]}")
else
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi

if [ "${#missing[@]}" -gt 0 ]; then
  need_root
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Korean locale, so that Wine runs with the Korean ANSI code page.
if ! locale -a 2>/dev/null | grep -qix 'ko_KR.utf8'; then
  need_root
  sed -i 's/^# *\(ko_KR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen || echo 'ko_KR.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

echo "setup: system packages ready"
