#!/usr/bin/env bash
# run-wine-tests.sh: runs the Windows tests under Wine, in a Wine prefix made fresh for this run and on a
# private virtual X display.
#
# A new prefix per run means the tests see a clean registry (no settings left by an earlier run) and no
# wineserver shared with anything else; making it costs about 8 seconds, so it is made once per run, not
# per test. Environment: KESTREL_WIN32_BUILD (default build/win32), KESTREL_WINEPREFIX (default
# build/wineprefix); extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${KESTREL_WIN32_BUILD:-build/win32}
prefix=${KESTREL_WINEPREFIX:-build/wineprefix}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No .NET or HTML engine: their absence would otherwise bring up install dialogs during wineboot.
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=
display_file=$(mktemp)
cleanup() {
  # Only what this run started: the prefix's own wineserver and our Xvfb.
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -f "$display_file"
}
trap cleanup EXIT

# Xvfb chooses a free display number itself and reports it on the given descriptor.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "run-wine-tests: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$display_file" ] || { echo "run-wine-tests: Xvfb reported no display" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$display_file")

rm -rf "$WINEPREFIX"
echo "run-wine-tests: new Wine prefix $WINEPREFIX on display $DISPLAY"
wineboot -i >/dev/null 2>&1
wineserver -w

ctest --test-dir "$build_dir" --output-on-failure "$@"
# The program itself on the same prefix and display, the native feed flying to it: map, ownship, route, bullseye,
# tag, squad mates and the databases counts in its screenshots.
scripts/wine-smoke.sh
# The web display of the Windows program in headless Chromium: the page shows the display, a tap on MODE turns it.
/usr/bin/python3 tests/web/browser_test.py --wine --program "$PWD/$build_dir/kestrel.exe"
# The release zip as a pilot unpacks it: setup.cmd, kestrel.exe started from its folder, LOAD GEORGIA, and its
# diagnostic lines in the debugger output.
scripts/wine-release-test.sh
# The Windows installer in a Wine prefix of its own, made fresh (it must meet a machine without KESTREL): silent
# install, the installed program showing GEORGIA, a reinstall that keeps the pilot's value, a silent uninstall.
scripts/wine-installer-test.sh
