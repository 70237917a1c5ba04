#!/usr/bin/env bash
# wine-smoke.sh: the Windows program under Wine, end to end, by the same run and checks as the portable program's
# end-to-end test (tests/e2e): settings in Wine's registry, GEORGIA loaded with key presses, the native kestrel-feed
# flying to it over 127.0.0.1 with two squad peers, and the screen checked at each step for the map, the ownship, the
# route, the map moving, the bullseye, the squad mates, a tag, the DATABASES counts, and the datagrams it sends to its
# squad peer. Each step waits for the screen to show its outcome, never for a set time.
#
# Called by run-wine-tests.sh with WINEPREFIX and DISPLAY set (a fresh prefix and a private Xvfb). Needs
# build/win32/kestrel.exe; builds the native test program and kestrel-feed when they are missing or out of date.
# KESTREL_E2E_KEEP=1 keeps the screenshots of a run that passed.
set -euo pipefail
cd "$(dirname "$0")/.."

: "${WINEPREFIX:?wine-smoke: WINEPREFIX is not set (run scripts/run-wine-tests.sh)}"
: "${DISPLAY:?wine-smoke: DISPLAY is not set (run scripts/run-wine-tests.sh)}"
exe=$PWD/${KESTREL_WIN32_BUILD:-build/win32}/kestrel.exe
[ -f "$exe" ] || { echo "wine-smoke: $exe is not built" >&2; exit 1; }
[ -f build/native/build.ninja ] || cmake --preset native >/dev/null
cmake --build build/native --target kestrel_e2e_tests >/dev/null

KESTREL_E2E_WINDOWS_PROGRAM=$exe build/native/tests/e2e/kestrel_e2e_tests --gtest_brief=1
