#!/usr/bin/env bash
# deb-package-test.sh: the Debian package as a Linux pilot meets it, without installing it into this machine.
#
# The package is made with scripts/make-deb.sh, checked with lintian (no error), unpacked into a scratch root with
# dpkg -x, and its control data and files checked. Then the installed kestrel runs in a private mount namespace in
# which a read-only overlay lays the package's /usr over the machine's (so /usr/bin/kestrel and /usr/share/kestrel
# are where the package puts them, and nothing of the machine changes), started from another folder with an empty
# XDG_CONFIG_HOME and XDG_CONFIG_DIRS at the package's /etc/xdg: it must find its click, show GEORGIA after
# DATABASES -> LOAD GEORGIA -> MODE, and leave the theatre paths out of the pilot's file. The bad cases: a system
# settings file that cannot be read is named and passed over, and a pilot's empty theatre value wins.
#
# Usage: scripts/deb-package-test.sh   (CTest runs it in the native build; needs root for the mount namespace and
# exits 77, a skip, without it). KESTREL_E2E_KEEP=1 keeps the screenshots of a run that passed.
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$PWD
deadline=$((SECONDS + 240)) # only ends a run that hangs; every wait below is for a state

if ! unshare -m true 2>/dev/null; then
  echo "deb-package-test: SKIPPED: a private mount namespace (unshare -m) needs root" >&2
  exit 77
fi
[ -s build/theatres/kestrel-georgia.bmp ] || tools/theatres/make-theatres.sh build/theatres >/dev/null

work=$(mktemp -d /tmp/kestrel-deb-test-XXXXXX)
program_pid=
finish() {
  if [ -n "$program_pid" ]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
}
trap finish EXIT

. scripts/checks.sh # the scripts run from the checkout's root
until_true() { # polls the command until it succeeds; false when the run's deadline passes first
  while ! "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

deb=$(scripts/make-deb.sh "$work/out")
echo "deb-package-test: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# lintian: every error fails the test; warnings and notes are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 && lint=0 || lint=$?
sed 's/^/deb-package-test: lintian: /' "$work/lintian.txt"
check "lintian reports no error" [ "$lint" -eq 0 ]

field() { dpkg-deb -f "$deb" "$1"; }
check "dependencies computed from the binaries (SDL2, Cairo, Pango, libc)" \
  bash -c '[[ "$1" == *libsdl2-2.0-0* && "$1" == *libcairo2* && "$1" == *libpango* && "$1" == *"libc6 (>="* ]]' _ \
  "$(field Depends)"
dpkg-deb -e "$deb" "$work/control"
check "the system settings file is a conffile" grep -qx /etc/xdg/kestrel/settings.ini "$work/control/conffiles"

pkg=$work/root
dpkg -x "$deb" "$pkg"
has() { [ -s "$pkg/$1" ]; }
for f in usr/bin/kestrel usr/bin/kestrel-feed usr/share/kestrel/button.wav etc/xdg/kestrel/settings.ini \
  usr/share/applications/kestrel.desktop usr/share/icons/hicolor/32x32/apps/kestrel.png \
  usr/share/man/man1/kestrel.1.gz usr/share/man/man1/kestrel-feed.1.gz usr/share/doc/kestrel/copyright \
  usr/share/kestrel/flightgear/addon/addon-metadata.xml usr/share/kestrel/flightgear/addon/addon-main.nas \
  usr/share/kestrel/flightgear/data/Protocol/kestrel-monitor.xml usr/share/doc/kestrel/export-scripts.md; do
  check "the package holds /$f" has "$f"
done
for t in krasnodar caucasus georgia; do
  check "the package holds the $t theatre" bash -c '[ -s "$1.bmp" ] && [ -s "$1.grid" ]' _ \
    "$pkg/usr/share/kestrel/theatres/kestrel-$t"
done
check "the system settings file names the installed GEORGIA map" \
  grep -qx 'GEORGIA map=/usr/share/kestrel/theatres/kestrel-georgia.bmp' "$pkg/etc/xdg/kestrel/settings.ini"

# Every option --help lists is in the man page (roff writes a dash as \-).
manual_lists_help() { # manual_lists_help PROGRAM
  local options missing=0
  options=$("$pkg/usr/bin/$1" --help | grep -oE '^ +(-[a-zA-Z], )?--[a-z][a-z-]*' | grep -oE -- '--?[a-z][a-z-]*')
  [ -n "$options" ] || { echo "deb-package-test: no option found in $1 --help" >&2; return 1; }
  for o in $options; do
    zcat "$pkg/usr/share/man/man1/$1.1.gz" | sed 's/\\-/-/g' | grep -qF -- "$o" ||
      { echo "deb-package-test: $1.1 lacks $o" >&2; missing=1; }
  done
  return "$missing"
}
check "kestrel.1 lists every option of kestrel --help" manual_lists_help kestrel
check "kestrel-feed.1 lists every option of kestrel-feed --help" manual_lists_help kestrel-feed

# run_installed NAME XDG_CONFIG_DIRS KEYS: starts the package's /usr/bin/kestrel from $work/NAME with its own empty
# XDG_CONFIG_HOME, screenshots in $work/NAME/shots.
run_installed() {
  local name=$1 dirs=$2 keys=$3 run=$work/$1
  mkdir -p "$run/config" "$run/state" "$run/shots"
  (
    cd "$run"
    exec env XDG_CONFIG_HOME="$run/config" XDG_STATE_HOME="$run/state" XDG_CONFIG_DIRS="$dirs" \
      SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 \
      unshare -m sh -c 'mount -t overlay kestrel-package -o "lowerdir=$1/usr:/usr" /usr && shift && exec "$@"' \
      sh "$pkg" /usr/bin/kestrel --screenshot-dir "$run/shots" --keys "$keys"
  ) >"$run/stdout" 2>"$run/stderr" &
  program_pid=$!
}
stop_installed() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}
told() { grep -qF -- "$2" "$work/$1/stderr"; }
land() { # pixels of the sample theatres' land colour in the newest screenshot of run $1
  local shot
  shot=$(find "$work/$1/shots" -name 'kestrel-*.png' | sort | tail -n 1)
  [ -n "$shot" ] && convert "$shot" -fill black +opaque '#181C16' -fill white -opaque '#181C16' \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
map_shown() { local n; n=$(land "$1") && [ "${n:-0}" -gt 20000 ]; }
pilot_file=config/kestrel/settings.ini

# The first start: DATABASES (M four times), LOAD GEORGIA (3), MODE back to MONITORING.
run_installed first "$pkg/etc/xdg" M,M,M,M,3,M
check "the click is found in the installed data folder" \
  until_true told first "sound: the click is /usr/bin/../share/kestrel/button.wav"
check "the start-up line names both settings files" until_true told first \
  "settings: kept in $work/first/$pilot_file; a setting missing there is taken from $pkg/etc/xdg/kestrel/settings.ini"
check "LOAD GEORGIA shows the installed map" until_true map_shown first
stop_installed
shot=$(find "$work/first/shots" -name 'kestrel-*.png' | sort | tail -n 1)
no_theatre_paths() { [ -f "$1" ] && ! grep -qiE 'map=|grid=|/usr/share/kestrel' "$1"; }
check "the pilot's file got its defaults but no theatre path" no_theatre_paths "$work/first/$pilot_file"

# The bad cases, in one run: a system settings file that cannot be read (a folder in its place) comes first in
# XDG_CONFIG_DIRS and is named, then passed over; the pilot's own empty "GEORGIA map" wins over the package's.
mkdir -p "$work/bad/config/kestrel" "$work/unreadable/kestrel/settings.ini"
printf 'GEORGIA map=\n' >"$work/bad/$pilot_file"
run_installed bad "$work/unreadable:$pkg/etc/xdg" M,M,M,M,3
check "an unreadable system settings file is named" until_true told bad \
  "settings: the system's settings file \"$work/unreadable/kestrel/settings.ini\" cannot be read"
check "the pilot's empty GEORGIA map wins, and the line says why" until_true told bad \
  'map: "GEORGIA map" is not set, so there is no map file to load'
stop_installed

if [ "$failures" -ne 0 ]; then
  echo "deb-package-test: $failures check(s) failed; files in $work" >&2
  for run in first bad; do sed "s/^/deb-package-test: $run stderr: /" "$work/$run/stderr" 2>/dev/null >&2 || true; done
  exit 1
fi
if [ "${KESTREL_E2E_KEEP:-0}" = 1 ]; then
  mkdir -p build/package-tests
  cp "$shot" build/package-tests/linux-installed-georgia.png
  echo "deb-package-test: screenshot kept: $root_dir/build/package-tests/linux-installed-georgia.png"
fi
rm -rf "$work"
echo "deb-package-test: passed"
