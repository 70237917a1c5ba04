#!/usr/bin/env bash
# wine-installer-test.sh: the Windows installer as a pilot meets it, under Wine, in a Wine prefix made fresh for it
# (the installer must see a machine that never had KESTREL): a silent install puts the files, the Start-menu shortcut,
# the Add/Remove entry and the six theatre settings in place; kestrel.exe started from the install folder shows
# GEORGIA after DATABASES -> LOAD GEORGIA -> MODE; a second install keeps a "GEORGIA map" the pilot changed and
# writes only a value the pilot lacks; a silent uninstall removes the files, the shortcut and the entry and keeps the
# settings key.
#
# Called by run-wine-tests.sh with DISPLAY set (its Xvfb); makes and removes its own prefix (KESTREL_INSTALLER_PREFIX,
# default build/wineprefix-installer). Builds the installer with scripts/make-installer.sh. KESTREL_E2E_KEEP=1 keeps
# the screenshot of the installed program.
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$PWD
: "${DISPLAY:?wine-installer-test: DISPLAY is not set (run scripts/run-wine-tests.sh)}"
deadline=$((SECONDS + 180)) # only ends a run that hangs; every wait below is for a state

[ -s build/theatres/kestrel-georgia.bmp ] || tools/theatres/make-theatres.sh build/theatres >/dev/null
work=$(mktemp -d /tmp/kestrel-wine-installer-XXXXXX)
setup=$(scripts/make-installer.sh "$work")
echo "wine-installer-test: $(basename "$setup"), $(stat -c %s "$setup") bytes"

prefix=${KESTREL_INSTALLER_PREFIX:-build/wineprefix-installer}
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEARCH=win64 WINEDEBUG=-all
# No .NET or HTML engine (their install dialogs), and no menu entries of the installed shortcuts on this machine's
# own desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

program_pid=
finish() {
  if [ -n "$program_pid" ]; then
    wine taskkill /im kestrel.exe >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$program_pid" 2>/dev/null || true
  fi
  wineserver -k 2>/dev/null || true # this prefix's own server only
  rm -rf "$WINEPREFIX"
}
trap finish EXIT

. scripts/checks.sh # the scripts run from the checkout's root
until_true() { # polls the command until it succeeds; false when the run's deadline passes first
  while ! "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w

settings='HKLM\Software\Orvel\KESTREL'
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KESTREL'
folder="$WINEPREFIX/drive_c/Program Files/KESTREL"
windows_folder='C:\Program Files\KESTREL'
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KESTREL.lnk"
value() { # value KEY NAME: the REG_SZ text of a value; fails when the value is missing
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_[A-Z_]*    \(.*\)$/\1/p" | grep .
}
value_is() { [ "$(value "$1" "$2")" = "$3" ]; }
installed_files() {
  local f
  for f in kestrel.exe button.wav README.txt Uninstall.exe theatres/kestrel-{krasnodar,caucasus,georgia}.{bmp,grid} \
    export-scripts.md flightgear/addon/addon-metadata.xml flightgear/data/Protocol/kestrel-monitor.xml; do
    [ -s "$folder/$f" ] || { echo "wine-installer-test: $f is not installed" >&2; return 1; }
  done
}
theatre_values() {
  local t name
  for t in "KRASNODAR_KRAI MAP:krasnodar.bmp" "KRASNODAR_KRAI GRID:krasnodar.grid" "CAUCASUS_MOUNTAINS map:caucasus.bmp" \
    "CAUCASUS_MOUNTAINS grid:caucasus.grid" "GEORGIA map:georgia.bmp" "GEORGIA grid:georgia.grid"; do
    name=${t%%:*}
    value_is "$settings" "$name" "$windows_folder\\theatres\\kestrel-${t#*:}" ||
      { echo "wine-installer-test: \"$name\" is \"$(value "$settings" "$name" || true)\"" >&2; return 1; }
  done
}

wine "$setup" /S && installed=0 || installed=$?
check "the silent install ends with 0" [ "$installed" -eq 0 ]
check "the files are in Program Files\\KESTREL" installed_files
check "the Start-menu shortcut is there" [ -s "$shortcut" ]
check "the Add/Remove entry names KESTREL" value_is "$entry" DisplayName KESTREL
check "the Add/Remove entry's uninstaller is the installed one" \
  value_is "$entry" UninstallString "\"$windows_folder\\Uninstall.exe\""
check "the six theatre settings name the installed theatres" theatre_values
[ "$failures" -eq 0 ] || { echo "wine-installer-test: the install failed; files in $work" >&2; exit 1; }

# The installed program, started from its folder as the shortcut starts it, at the screen's corner.
wine reg add "$settings" /v "MFD Mode" /d 1 /f >/dev/null 2>&1
wine reg add "$settings" /v OffsetX /d 0 /f >/dev/null 2>&1
wine reg add "$settings" /v OffsetY /d 0 /f >/dev/null 2>&1
(cd "$folder" && exec wine kestrel.exe) >"$work/program.out" 2>&1 &
program_pid=$!
land() {
  import -window root -crop 425x425+0+0 +repage "$work/screen.png" 2>/dev/null &&
    convert "$work/screen.png" -fill black +opaque '#181C16' -fill white -opaque '#181C16' \
      -format '%[fx:round(mean*w*h)]' info:
}
window=
find_window() { window=$(xdotool search --name 'v[0-9]' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
until_true find_window || { echo "wine-installer-test: the installed program's window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || true
# MODE to DATABASES, LOAD GEORGIA, MODE back to MONITORING; between two presses of one button goes a key of no action
# on that page, so every key acts whatever the bezel poll's timing (as wine-release-test.sh does).
xdotool key --window "$window" m 7 m F1 m F1 m 3 m
map_shown() { [ "$(land)" -gt 20000 ]; }
check "the installed program shows GEORGIA after LOAD GEORGIA" until_true map_shown
cp "$work/screen.png" "$work/installed-georgia.png" 2>/dev/null || true
wine taskkill /im kestrel.exe >/dev/null 2>&1 || true
until_true bash -c '! kill -0 "$1" 2>/dev/null' _ "$program_pid" || kill -KILL "$program_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true
program_pid=

# The pilot points GEORGIA at a map of their own and has lost the GEORGIA grid; installing again keeps the one and
# puts back the other.
pilot_map='D:\maps\my-georgia.bmp'
wine reg add "$settings" /v "GEORGIA map" /d "$pilot_map" /f >/dev/null 2>&1
wine reg delete "$settings" /v "GEORGIA grid" /f >/dev/null 2>&1
wine "$setup" /S && installed=0 || installed=$?
check "the second silent install ends with 0" [ "$installed" -eq 0 ]
check "the second install keeps the pilot's GEORGIA map" value_is "$settings" "GEORGIA map" "$pilot_map"
check "the second install writes the GEORGIA grid the pilot lacked" \
  value_is "$settings" "GEORGIA grid" "$windows_folder\\theatres\\kestrel-georgia.grid"

# The uninstaller copies itself away and runs from there, so Wine returns before it is done: wait for its outcome.
wine "$folder/Uninstall.exe" /S >/dev/null 2>&1 || true
uninstalled() { [ ! -e "$folder" ] && ! value "$entry" DisplayName >/dev/null; }
check "the silent uninstall removes the install folder and the Add/Remove entry" until_true uninstalled
check "the uninstall removes the shortcut" [ ! -e "$shortcut" ]
check "the settings key stays, with the pilot's GEORGIA map" value_is "$settings" "GEORGIA map" "$pilot_map"

if [ "$failures" -ne 0 ]; then
  echo "wine-installer-test: $failures check(s) failed; files in $work" >&2
  exit 1
fi
if [ "${KESTREL_E2E_KEEP:-0}" = 1 ]; then
  mkdir -p build/package-tests
  cp "$work/installed-georgia.png" build/package-tests/wine-installed-georgia.png
  echo "wine-installer-test: screenshot kept: $root_dir/build/package-tests/wine-installed-georgia.png"
fi
rm -rf "$work"
echo "wine-installer-test: passed"
