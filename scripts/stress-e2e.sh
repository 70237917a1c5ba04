#!/usr/bin/env bash
# stress-e2e.sh N: both end-to-end suites N times each while both cores are kept busy, to show that their waits are
# for states and not for timing: the portable program's flight (tests/e2e, from build/native, and from build/tsan too
# when the ThreadSanitizer build of its test program is there) and the Windows build's flight under Wine
# (scripts/wine-smoke.sh, all N runs in one fresh Wine prefix on a private Xvfb that scripts/run-wine-tests.sh makes).
# Prints each run and a pass count per front end; exits 1 when any run failed, and keeps the logs of those.
#
# Not part of `make test`: it takes N times a few minutes. The load is one busy loop per core, started and ended here
# by process id; it also ends by itself after a bound, should this script be killed outright.
set -euo pipefail
cd "$(dirname "$0")/.."

n=${1:-}
if ! [[ "$n" =~ ^[1-9][0-9]{0,3}$ ]]; then
  echo "usage: scripts/stress-e2e.sh N  (runs of each suite, 1 to 9999)" >&2
  exit 2
fi

if [ -z "${KESTREL_STRESS_IN_WINE:-}" ]; then
  win32=${KESTREL_WIN32_BUILD:-build/win32}
  [ -f "$win32/kestrel.exe" ] || { echo "stress-e2e: $win32/kestrel.exe is not built (make win32)" >&2; exit 1; }
  [ -f build/native/build.ninja ] || { echo "stress-e2e: build/native is not configured (make native)" >&2; exit 1; }
  # Brought up to date before the load starts, so that no run builds anything.
  cmake --build build/native --target kestrel_e2e_tests >/dev/null
  if [ -f build/tsan/build.ninja ] && [ -x build/tsan/tests/e2e/kestrel_e2e_tests ]; then
    cmake --build build/tsan --target kestrel_e2e_tests >/dev/null
  fi
  # The Windows runs need the prefix and display of run-wine-tests.sh, which calls this script again inside them.
  exec env KESTREL_STRESS_IN_WINE=1 scripts/run-wine-tests.sh --run "$PWD/scripts/stress-e2e.sh" "$n"
fi

front_ends=("portable (native)")
[ -x build/tsan/tests/e2e/kestrel_e2e_tests ] && front_ends+=("portable (tsan)")
front_ends+=("Windows (Wine)")

run_once() { # run_once FRONT_END LOG: one end-to-end flight of that front end
  case $1 in
  "portable (native)") ctest --preset native -R '^e2e_portable_flight$' --output-on-failure >"$2" 2>&1 ;;
  "portable (tsan)") ctest --preset tsan -R '^e2e_portable_flight$' --output-on-failure >"$2" 2>&1 ;;
  "Windows (Wine)") scripts/wine-smoke.sh >"$2" 2>&1 ;;
  esac
}

logs=$(mktemp -d /tmp/kestrel-stress-e2e-XXXXXX)
load_pids=()
stop_load() {
  local pid
  for pid in "${load_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  load_pids=()
}
trap stop_load EXIT

cores=$(nproc)
bound=$((n * 1200 + 600)) # seconds: far beyond what N rounds take
for _ in $(seq "$cores"); do
  (
    end=$((SECONDS + bound))
    while [ "$SECONDS" -lt "$end" ]; do :; done
  ) &
  load_pids+=("$!")
done
echo "stress-e2e: $n runs of each of: ${front_ends[*]}; load: $cores busy loops (pids ${load_pids[*]})"
echo "stress-e2e: load before the runs:$(uptime | sed 's/.*load average//')"

declare -A passed=() seconds=() slowest=()
for fe in "${front_ends[@]}"; do passed[$fe]=0 seconds[$fe]=0 slowest[$fe]=0; done
failures=0
for i in $(seq "$n"); do
  for fe in "${front_ends[@]}"; do
    log="$logs/$(echo "$fe" | tr -cd 'a-zA-Z')-$i.log"
    start=$SECONDS
    if run_once "$fe" "$log"; then
      verdict=passed
      passed[$fe]=$((passed[$fe] + 1))
      rm -f "$log"
    else
      verdict="FAILED (log: $log)"
      failures=$((failures + 1))
      # A Windows run needs the display it shares with the others; say when that is what went.
      if [ "$fe" = "Windows (Wine)" ] && ! xdotool getdisplaygeometry >/dev/null 2>&1; then
        verdict="$verdict; the Wine display $DISPLAY no longer answers"
      fi
    fi
    took=$((SECONDS - start))
    seconds[$fe]=$((seconds[$fe] + took))
    [ "$took" -le "${slowest[$fe]}" ] || slowest[$fe]=$took
    echo "stress-e2e: run $i/$n, $fe: $verdict in $took s; load:$(uptime | sed 's/.*load average//')"
  done
done
stop_load

for fe in "${front_ends[@]}"; do
  echo "stress-e2e: $fe: ${passed[$fe]}/$n passed under load (mean $((seconds[$fe] / n)) s, slowest ${slowest[$fe]} s)"
done
if [ "$failures" -ne 0 ]; then
  echo "stress-e2e: $failures run(s) failed; their logs are in $logs" >&2
  exit 1
fi
rmdir "$logs"
