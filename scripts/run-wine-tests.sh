#!/usr/bin/env bash
# run-wine-tests.sh: runs the Windows tests under Wine, in a Wine prefix made fresh for this run and on a
# private virtual X display.
#
# A new prefix per run means the tests see a clean registry (no settings left by an earlier run) and no
# wineserver shared with anything else; making it costs about 8 seconds, so it is made once per run, not
# per test. Environment: KESTREL_WIN32_BUILD (default build/win32), KESTREL_WINEPREFIX (default
# build/wineprefix); extra arguments go to ctest.
#
# run-wine-tests.sh --run COMMAND [ARGS...] runs COMMAND in that prefix and on that display instead of the tests
# (scripts/stress-e2e.sh runs the Windows end-to-end flight so, many times over one prefix).
set -euo pipefail
cd "$(dirname "$0")/.."

run=()
if [ "${1:-}" = "--run" ]; then
  shift
  [ "$#" -gt 0 ] || { echo "run-wine-tests: --run needs a command" >&2; exit 2; }
  run=("$@")
  set --
fi

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
cleanup() {
  # Only what this run started: the prefix's own wineserver and our Xvfb.
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# Xvfb on a display number chosen here: left to itself (-displayfd alone) it takes the lowest number free in this
# network namespace, and a run in another namespace that shares /tmp does the same and replaces the socket file of that
# number (a server whose file was replaced so has been seen to leave new clients unanswered for minutes). So: a high
# number, apart for each run, past any number whose socket file is there. Xvfb writes the number to the FIFO once it
# accepts connections, or ends (the number is in use) and closes it; the read waits for either, however long a loaded
# machine takes, and its limit only ends a hung start.
number=
first=$(($$ % 800))
report=$(mktemp -d)/display
mkfifo "$report"
for i in $(seq 0 49); do
  candidate=$((100 + (first + i) % 800))
  [ ! -e "/tmp/.X11-unix/X$candidate" ] && [ ! -e "/tmp/.X$candidate-lock" ] || continue
  Xvfb ":$candidate" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$report" >/dev/null 2>&1 &
  xvfb_pid=$!
  reported=
  read -r -t 300 reported <"$report" || true
  if [ "$reported" = "$candidate" ]; then
    number=$candidate
    break
  fi
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
done
rm -r "$(dirname "$report")"
[ -n "$number" ] || { echo "run-wine-tests: Xvfb did not start on any of 50 display numbers" >&2; exit 1; }
export DISPLAY=:$number

rm -rf "$WINEPREFIX"
echo "run-wine-tests: new Wine prefix $WINEPREFIX on display $DISPLAY"
wineboot -i >/dev/null 2>&1
wineserver -w

if [ "${#run[@]}" -gt 0 ]; then
  "${run[@]}"
  exit
fi

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
