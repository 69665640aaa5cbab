# Sourced by the project's scripts: set-up and build, a private Wine prefix
# inside the build tree and a private Xvfb display when there is none to use.
#   velmora_setup ROOT         install what is missing, then choose VELMORA_ARCH
#   velmora_build ROOT BUILD_DIR  configure BUILD_DIR once for VELMORA_ARCH, and build
#   velmora_default_build ROOT print the build folder for VELMORA_ARCH
#   velmora_check_owner BUILD_DIR  refuse a build tree with another user's files
#   velmora_env BUILD_DIR      set WINEPREFIX and friends
#   velmora_display [virtual]  start Xvfb unless DISPLAY works (or "virtual" forces one)
#   velmora_display monitors   start Xorg with three monitors: the primary, one
#                              left of it and one above it (Windows sees x < 0, y < 0)
#   velmora_prefix             create and configure the prefix once
#   velmora_prefix64           the same for the 64-bit prefix VELMORA_PREFIX64 (WINEARCH=win64)
#   velmora_template           the prefix, made once and its server ended, as
#                              VELMORA_TEMPLATE for tools/isolate.sh's copies
#   velmora_prefix_copy FROM TO  a prefix of its own for one test, in a second or so
#   velmora_end_prefix64       end the 64-bit prefix's wineserver
#   velmora_cleanup            end the wineservers and the Xvfb we started
# Nothing is killed by name: the Xvfb by its PID, Wine by `wineserver -k` on our prefixes.
# Every command that touches the 64-bit prefix runs with WINEARCH=win64.

# A build tree is its user's: Wine refuses a prefix that another user owns
# ("is not owned by you"), and the build cannot write over their files. Such
# a tree is mostly left by a run with sudo; say what to do instead of failing
# half-way. A fresh tree (CI, as root) passes.
velmora_check_owner() {
  local dir=$1 found owner me
  [ -e "$dir" ] || return 0
  me=$(id -un)
  found=$(find "$dir" ! -user "$(id -u)" -print -quit 2>/dev/null || true)
  [ -n "$found" ] || return 0
  owner=$(stat -c %U "$found")
  {
    echo "The build tree $dir holds files of the user $owner, not $me"
    echo "(for example $found)."
    echo "Wine refuses a prefix that another user owns, and the build cannot write there."
    if [ "$owner" = root ]; then
      echo "It was most likely left by a run with sudo. None of the scripts needs sudo:"
      echo "tools/setup.sh asks for root itself, only to install packages."
    else
      echo "Run this as $owner, without sudo, or start afresh."
    fi
    echo "To start afresh, remove the tree; the next run builds it again and creates"
    echo "its Wine prefix anew (a few minutes):"
    echo "    sudo rm -rf '$dir'"
    echo "Or keep it and build elsewhere:"
    echo "    VELMORA_BUILD_DIR=/another/folder bash $0 ..."
  } >&2
  return 1
}

velmora_setup() {
  bash "$1/tools/setup.sh"
  velmora_choose_arch
}

velmora_build() {
  velmora_check_owner "$2" || exit 1
  [ -f "$2/CMakeCache.txt" ] ||
    cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-${VELMORA_ARCH:-i686}.cmake" >/dev/null
  cmake --build "$2" -j2
}

# The 64-bit stand-in builds apart, so neither tree is configured for the other.
velmora_default_build() {
  if [ "${VELMORA_ARCH:-i686}" = x86_64 ]; then echo "$1/build-x64"; else echo "$1/build"; fi
}

velmora_env() {
  local build_dir
  build_dir=$(cd "$1" && pwd)
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEARCH=win32
  [ "${VELMORA_ARCH:-i686}" = x86_64 ] && velmora_wine64_path "$build_dir"
  # For the 64-bit regression test: 64- and 32-bit programs side by side.
  export VELMORA_PREFIX64="$build_dir/wineprefix64"
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8
  VELMORA_XVFB_PID=""
}

velmora_display() {
  [ "${1:-}" = monitors ] && { velmora_monitors; return; }
  if [ "${1:-}" != virtual ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  # Xvfb picks a free display itself, so parallel runs never share one.
  local numfile
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  VELMORA_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    if [ -s "$numfile" ]; then
      export DISPLAY=":$(head -n1 "$numfile")"
      if xdpyinfo >/dev/null 2>&1; then rm -f "$numfile"; return 0; fi
    fi
    sleep 0.1
  done
  rm -f "$numfile"
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# Xvfb puts every screen at (0,0); a real X server with the dummy driver has
# RandR outputs that Wine places like Windows monitors. It may need root.
velmora_monitors() {
  local dir
  dir=$(mktemp -d)
  printf '%s\n' 'Section "Device"' 'Identifier "dummy"' 'Driver "dummy"' 'VideoRam 16384' 'EndSection' \
    'Section "Screen"' 'Identifier "screen"' 'Device "dummy"' 'SubSection "Display"' \
    'Virtual 1600 1200' 'EndSubSection' 'EndSection' >"$dir/xorg.conf"
  /usr/lib/xorg/Xorg -noreset -nolisten tcp -config "$dir/xorg.conf" -logfile "$dir/log" \
    -displayfd 3 3>"$dir/number" >/dev/null 2>&1 &
  VELMORA_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    if [ -s "$dir/number" ]; then
      export DISPLAY=":$(head -n1 "$dir/number")"
      # Primary 800x600 at X (800,600); the left one and the one above.
      if xrandr --addmode DUMMY1 800x600 && xrandr --addmode DUMMY2 800x600 &&
         xrandr --output DUMMY0 --mode 800x600 --pos 800x600 --primary \
                --output DUMMY1 --mode 800x600 --pos 0x600 \
                --output DUMMY2 --mode 800x600 --pos 800x0 &&
         xrandr --query >/dev/null; then  # a full poll, or the outputs read as unplugged
        rm -rf "$dir"; return 0
      fi
      break
    fi
    kill -0 "$VELMORA_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "Xorg with three monitors did not start (it may need root); log: $dir/log" >&2
  return 1
}

velmora_reg() { wine reg add "$@" /f >/dev/null 2>&1; }

# Wine runs 32-bit Windows programs through a 32-bit Linux loader. A kernel
# that cannot start 32-bit x86 programs (no IA-32 emulation, as under some
# hypervisors) fails every such Wine call, and Debian's Wine 8 has no WoW64
# that does without it. There the tests take the same sources built as 64-bit
# programs, and say so: the 32-bit deliverables are built but not run.
velmora_choose_arch() {
  local status=0
  [ -n "${VELMORA_ARCH:-}" ] && return 0
  export VELMORA_ARCH=i686
  /usr/lib/wine/wineserver32 --version >/dev/null 2>&1 || status=$?
  [ "$status" = 0 ] && return 0
  VELMORA_ARCH=x86_64
  {
    if [ "$status" = 126 ]; then
      echo "This machine's kernel cannot start 32-bit x86 programs (exec format error:"
      echo "$(uname -r), IA-32 emulation off or unsupported by its hypervisor), so Wine cannot"
    else
      echo "Wine's 32-bit part is not installed (the set-up above says why), so Wine cannot"
    fi
    echo "run the 32-bit Velmora.exe and kestro.dll here. The tests run the same sources"
    echo "built as 64-bit programs instead, under wine64."
    echo "What needs the 32-bit programs themselves (the 32-bit program beside a 64-bit"
    echo "code window) is left out: CTest lists it as disabled."
  } >&2
}

# `wine` and the tools that go through it (reg, wineboot) as wine64: Debian's
# wrapper takes the 32-bit loader whenever it is installed.
velmora_wine64_path() {
  local dir="$1/wine64-bin" name
  mkdir -p "$dir"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$dir/$name"
    chmod +x "$dir/$name"
  done
  case ":$PATH:" in *":$dir:"*) ;; *) export PATH="$dir:$PATH" ;; esac
  export WINEARCH=win64
}

# Creates and configures the prefix of WINEPREFIX and WINEARCH once.
velmora_prefix() {
  local stamp="$WINEPREFIX/.velmora-prefix-v1"
  if [ ! -e "$stamp" ]; then
    echo "preparing the Wine prefix in $WINEPREFIX (once)" >&2
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Korean dialog font; the "VbaWindow" demo and tests need no crash dialogs.
    velmora_reg 'HKCU\Software\Wine\Fonts\Replacements' /v '굴림' /t REG_SZ /d NanumGothic
    velmora_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Gulim' /t REG_SZ /d NanumGothic
    velmora_reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
    velmora_reg 'HKCU\Software\Wine\AppDefaults\hookhost98.exe' /v Version /t REG_SZ /d win98
    velmora_reg 'HKCU\Software\Wine\AppDefaults\Velmora98.exe' /v Version /t REG_SZ /d win98
    velmora_reg 'HKCU\Software\Wine\AppDefaults\bench98.exe' /v Version /t REG_SZ /d win98
    wineserver -w
    touch "$stamp"
  fi
  # A persistent server for the whole run, so test processes start quickly.
  wineserver -p >/dev/null 2>&1 || true
}

# Copies share the big system binaries, which Wine only reads, as hard
# links; the registry and every smaller file are each copy's own.
velmora_prefix_copy() {
  local from=$1 to=$2
  cp -al "$from" "$to" || return 1
  (cd "$to" && find . -type f ! \( -path './drive_c/windows/*' -size +63k \) -print0 |
    xargs -0 -r sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f" || exit 1; done' sh)
}

velmora_template() {
  velmora_prefix
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  export VELMORA_TEMPLATE=$WINEPREFIX
}

velmora_prefix64() {
  (export WINEPREFIX="$VELMORA_PREFIX64" WINEARCH=win64; velmora_prefix)
}

velmora_end_prefix64() {
  if [ -n "${VELMORA_PREFIX64:-}" ] && [ -d "$VELMORA_PREFIX64" ]; then
    WINEPREFIX="$VELMORA_PREFIX64" WINEARCH=win64 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$VELMORA_PREFIX64" WINEARCH=win64 wineserver -w >/dev/null 2>&1 || true
  fi
}

# Waits for the server to end: a prefix removed under a live one frees its
# folder's inode, by which the next copy would find that server.
velmora_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  velmora_end_prefix64
  if [ -n "${VELMORA_XVFB_PID:-}" ]; then
    kill "$VELMORA_XVFB_PID" 2>/dev/null || true
    wait "$VELMORA_XVFB_PID" 2>/dev/null || true
    VELMORA_XVFB_PID=""
  fi
}
