#!/usr/bin/env bash
# run-fuzzers.sh: runs every libFuzzer harness of the fuzz build for a bounded time (seconds each, default 18), one
# after another.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-18}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in dispatch grid recipients bitmap settings; do
  fuzzer=build/fuzz/tests/fuzz/${name}_fuzzer
  corpus="$work/$name"
  mkdir -p "$corpus"
  cp tests/fuzz/corpus/$name/* "$corpus/"
  echo "fuzzing $name for ${seconds}s"
  status=0
  # Inputs as long as the thing fuzzed: eight datagrams of 576 bytes, a small image, a few hundred lines.
  case $name in
  dispatch) max_len=4700 ;;
  *) max_len=4096 ;;
  esac
  "$fuzzer" -max_total_time="$seconds" -max_len=$max_len -rss_limit_mb=3072 -print_final_stats=1 "$corpus" \
    >"$work/$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/$name.log" >&2
    echo "fuzzer $name failed (exit $status)" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/$name.log" || true
done
