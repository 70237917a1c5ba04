#!/usr/bin/env bash
# run-fuzzers.sh: runs every libFuzzer harness of the fuzz build for a bounded time each; any sanitizer report fails.
#
# Usage: scripts/run-fuzzers.sh [SECONDS]   (seconds per harness, default 30; KESTREL_FUZZ_BUILD picks the build folder)
#
# A harness is found by its name alone: every build/fuzz/tests/fuzz/NAME_fuzzer runs over a copy of its seed corpus
# tests/fuzz/corpus/NAME/, so a new harness needs no edit here. Beside the corpus, tests/fuzz/NAME.dict is passed as
# the harness's dictionary and tests/fuzz/NAME.options adds libFuzzer flags (one a line, e.g. -max_len=700).
# A harness without a corpus, a corpus without a harness, or a build with no harness at all is an error.
#
# The fuzz build makes every sanitizer report fatal (-fno-sanitize-recover=all); the options below say so again at run
# time, and the log is searched for reports as well, so that a report that did not end the run still fails it.
# A failing input is kept in build/fuzz/artifacts/ for `NAME_fuzzer FILE` to replay.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "run-fuzzers: the seconds per harness must be a whole number above 0, not '$seconds'" >&2
  exit 2
fi
build=${KESTREL_FUZZ_BUILD:-build/fuzz}
harness_dir=$build/tests/fuzz
artifacts=$build/artifacts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:abort_on_error=1:print_stacktrace=1

shopt -s nullglob
harnesses=("$harness_dir"/*_fuzzer)
corpora=(tests/fuzz/corpus/*/)
if [ ${#harnesses[@]} -eq 0 ]; then
  echo "run-fuzzers: no harness (*_fuzzer) in $harness_dir; build the fuzz preset first (make fuzz)" >&2
  exit 1
fi
problems=0
for corpus in "${corpora[@]}"; do
  name=$(basename "$corpus")
  if [ ! -x "$harness_dir/${name}_fuzzer" ]; then
    echo "run-fuzzers: tests/fuzz/corpus/$name has no harness $harness_dir/${name}_fuzzer" >&2
    problems=$((problems + 1))
  fi
done

# Lines that only a sanitizer or libFuzzer writes when it found something.
reports='runtime error:|ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer|==[0-9]+== ?ERROR:'

for fuzzer in "${harnesses[@]}"; do
  name=$(basename "$fuzzer" _fuzzer)
  if [ ! -d "tests/fuzz/corpus/$name" ]; then
    echo "run-fuzzers: harness $fuzzer has no seed corpus tests/fuzz/corpus/$name/" >&2
    problems=$((problems + 1))
    continue
  fi
  corpus=$work/corpus-$name
  mkdir -p "$corpus"
  cp -r "tests/fuzz/corpus/$name/." "$corpus/"
  flags=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/$name-")
  [ -f "tests/fuzz/$name.dict" ] && flags+=(-dict="tests/fuzz/$name.dict")
  if [ -f "tests/fuzz/$name.options" ]; then
    while read -r flag; do
      [[ -z $flag || $flag == \#* ]] || flags+=("$flag")
    done <"tests/fuzz/$name.options"
  fi
  echo "fuzzing $name for ${seconds}s"
  log=$work/$name.log
  status=0
  "$fuzzer" "${flags[@]}" "$corpus" >"$log" 2>&1 || status=$?
  found=$(grep -E -m 5 "$reports" "$log" || true)
  if [ "$status" -ne 0 ] || [ -n "$found" ]; then
    tail -n 60 "$log" >&2
    mkdir -p "$artifacts"
    kept=
    for input in "$work/$name-"*; do
      cp "$input" "$artifacts/"
      kept="$kept $artifacts/$(basename "$input")"
    done
    echo "run-fuzzers: FAIL $name (exit $status)${found:+; reports:}" >&2
    [ -z "$found" ] || sed 's/^/  /' <<<"$found" >&2
    [ -z "$kept" ] || echo "run-fuzzers: failing input kept:$kept (replay: $fuzzer FILE)" >&2
    problems=$((problems + 1))
    continue
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
done

if [ "$problems" -ne 0 ]; then
  echo "run-fuzzers: $problems problem(s)" >&2
  exit 1
fi
echo "run-fuzzers: ${#harnesses[@]} harness(es) passed, ${seconds}s each"
