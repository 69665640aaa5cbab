#!/usr/bin/env bash
# Takes screenshots of the setup program's pages and of the uninstaller's
# question: builds the packages, installs interactively into the default
# folder of the build's private Wine prefix on a private virtual display,
# uninstalls again (keeping the settings) and cleans up after itself; first
# with a Korean interface, then with an English one.
# Writes build/setup-shots/{ko,en}/*.png and docs/setup.png, docs/setup-en.png
# (the options page).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELMORA_BUILD_DIR:-$root/build}"

. "$root/tools/winenv.sh"
bash "$root/tools/package.sh" >/dev/null
velmora_env "$build"
trap velmora_cleanup EXIT
velmora_display virtual
velmora_prefix
rm -rf "$build/setup-shots"
mkdir -p "$root/docs"
setup=$(ls "$build"/dist/Velmora-*-setup.exe)

# desktop PROGRAM: runs it in a Wine desktop window, so that it gets its frame,
# under $locale, which gives the interface language.
desktop() { env -u LC_ALL LANG=$locale wine explorer /desktop=setup,640x520 "$@" >/dev/null 2>&1 & }
# shot NAME [KEY]: saves the desktop, then presses KEY (default Return) and
# gives the next page time to appear.
shot() {
  import -window root -crop 640x520+0+0 +repage "$out/$1.png"
  xdotool key "${2:-Return}"
  sleep 2
}

# shots LANGUAGE LOCALE PICTURE: the whole round under one interface language.
shots() {
  out="$build/setup-shots/$1" locale=$2
  mkdir -p "$out"
  desktop "$(winepath -w "$setup")"
  sleep 6
  shot 1-welcome
  shot 2-folder
  shot 3-options
  sleep 2
  shot 4-progress
  shot 5-finish
  # Finishing starts the program with its About box; close it.
  sleep 3
  xdotool key Return
  sleep 1

  folder=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora5' /v InstallLocation |
    iconv -f CP949 -t UTF-8 | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  desktop "$folder\\uninstall.exe"
  sleep 5
  # The question comes from the process the user started, before the
  # removal's own pages.
  shot 6-uninstall-question n
  sleep 3
  shot 7-uninstall-confirm
  sleep 2
  shot 8-uninstall-done
  # The uninstaller runs from a copy in %TEMP%; wait for its entry to go.
  for _ in $(seq 1 30); do
    wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora5' >/dev/null 2>&1 || break
    sleep 1
  done

  # The options page, trimmed of the desktop around it, for the README.
  convert "$out/3-options.png" -bordercolor "$(convert "$out/3-options.png" -format '%[pixel:p{1,1}]' info:)" \
    -border 1 -fuzz 2% -trim +repage "$root/docs/$3"
}

shots ko ko_KR.UTF-8 setup.png
shots en C.UTF-8 setup-en.png
echo "screenshots: $build/setup-shots/*/*.png, $root/docs/setup.png, $root/docs/setup-en.png"
