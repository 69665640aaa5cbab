#!/usr/bin/env bash
# Takes the README's screenshots of the settings dialog, the About box and
# the tray menu: builds, starts a private virtual display, runs each dialog in
# a Wine desktop window (so that it gets its frame and caption), and the
# program itself in one for its tray icon, and saves docs/settings.png,
# docs/about.png and docs/traymenu.png, the settings dialog under policies as
# docs/settings-policy.png, then the same with an English interface as
# docs/*-en.png. Cleans up after itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

. "$root/tools/winenv.sh"
velmora_setup "$root"
build="${VELMORA_BUILD_DIR:-$(velmora_default_build "$root")}"
velmora_build "$root" "$build"
velmora_env "$build"
trap velmora_cleanup EXIT
velmora_display virtual
velmora_prefix
bin="$build/bin"
work=$(mktemp -d)
trap 'rm -rf "$work"; velmora_cleanup' EXIT

# A list with a few classes, two with lines of their own, and the start-up
# box ticked, so the dialog shows them.
list='HKCU\SOFTWARE\Quor\Velmora5\WindowList'
lines='HKCU\SOFTWARE\Quor\Velmora5\WindowCount'
wine reg delete "$list" /f >/dev/null 2>&1 || true
wine reg delete "$lines" /f >/dev/null 2>&1 || true
velmora_reg "$list" /v Count /t REG_DWORD /d 3
velmora_reg "$list" /v 0 /t REG_SZ /d SampleEditor
velmora_reg "$list" /v 1 /t REG_SZ /d SampleGrid
velmora_reg "$list" /v 2 /t REG_SZ /d SampleLog
velmora_reg "$lines" /v SampleGrid /t REG_DWORD /d 10
velmora_reg "$lines" /v SampleLog /t REG_DWORD /d 0
velmora_reg 'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v Velmora5 /t REG_SZ /d 'C:\Velmora\Velmora.exe /background'

# desktop PROGRAM ARGUMENT: runs a program of the bin directory in a Wine
# desktop window of 640x720, whose taskbar has the tray in its bottom right
# corner. The locale gives the interface language: English for $suffix "-en".
suffix=""
desktop() {
  local locale=ko_KR.UTF-8
  [ "$suffix" = -en ] && locale=C.UTF-8
  env -u LC_ALL LANG=$locale wine explorer /desktop=shots,640x720 "$(winepath -w "$bin/$1")" "$2" >/dev/null 2>&1 &
  desktop_pid=$!
  sleep 6
}

end_desktop() {
  wineserver -k >/dev/null 2>&1 || true
  wait "$desktop_pid" 2>/dev/null || true
  wineserver -p >/dev/null 2>&1 || true
}

# shot NAME ARGUMENT: one dialog, cropped to its frame.
shot() {
  local name=$1 argument=$2
  desktop dialoghost.exe "$argument"
  xdotool mousemove 639 719
  sleep 1
  import -window root "$work/$name.png"
  # The dialog is centred on the desktop; trim the desktop around it.
  convert "$work/$name.png" -crop 640x720+0+0 +repage -bordercolor "$(convert "$work/$name.png" -format '%[pixel:p{1,1}]' info:)" \
    -border 1 -fuzz 2% -trim +repage "$root/docs/$name$suffix.png"
  end_desktop
}

# The tray menu: a right click on the program's tray icon, the last one in
# the tray; the menu opens above it.
menu_shot() {
  desktop Velmora.exe /background
  xdotool mousemove 629 709 click 3
  sleep 2
  import -window root "$work/traymenu.png"
  convert "$work/traymenu.png" -crop 200x96+440+624 +repage "$root/docs/traymenu$suffix.png"
  end_desktop
}

# Policies of both kinds: locked controls, a class that cannot be deleted and
# the line that says so.
policy='SOFTWARE\Policies\Quor\Velmora5'
set_policies() {
  velmora_reg "HKLM\\$policy" /v ScrollCount /t REG_DWORD /d 5
  velmora_reg "HKLM\\$policy" /v RunAtLogon /t REG_DWORD /d 1
  velmora_reg "HKLM\\$policy\WindowList" /v CorpViewer /t REG_SZ /d CorpViewer
  velmora_reg "HKCU\\$policy" /v ShiftScroll /t REG_DWORD /d 1
}
clear_policies() {
  wine reg delete 'HKLM\SOFTWARE\Policies\Quor' /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\SOFTWARE\Policies\Quor' /f >/dev/null 2>&1 || true
}

mkdir -p "$root/docs"
for suffix in "" -en; do
  shot settings /settings
  shot about /about
  menu_shot
  set_policies
  shot settings-policy /settings
  clear_policies
done
wine reg delete 'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v Velmora5 /f >/dev/null 2>&1 || true
echo "screenshots: $root/docs/{settings,settings-policy,about,traymenu}{,-en}.png"
