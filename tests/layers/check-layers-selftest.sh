#!/usr/bin/env bash
# check-layers-selftest.sh: the layering check passes on the tree and fails on each kind of fault planted in a copy.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
check=$src/scripts/check-layers.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "check-layers-selftest: $*" >&2; exit 1; }

"$check" "$src" >/dev/null || fail "the tree itself does not pass"

# A fresh copy of the tree's code and its floor table for each planted fault.
copy() {
  rm -rf "$scratch/tree" && mkdir -p "$scratch/tree/docs"
  cp "$src/docs/ARCHITECTURE.md" "$scratch/tree/docs/"
  (cd "$src" && cp -r base wire status mfd map tactical display link app frontend platform resources "$scratch/tree/")
}
# Runs the check on the copy; it must fail with exit status 1 and print the expected text.
expect_fault() {
  local what=$1 expected=$2 out status=0
  out=$("$check" "$scratch/tree" 2>&1) || status=$?
  [ "$status" -eq 1 ] || fail "$what: exit status $status, not 1"
  grep -qF -- "$expected" <<<"$out" || fail "$what: no line with '$expected' in: $out"
}

copy
printf '#include "app/shell.h"\n' >>"$scratch/tree/base/wide_text.cpp"
line=$(wc -l <"$scratch/tree/base/wide_text.cpp")
expect_fault "an upward include" \
  "base/wide_text.cpp:$line: includes app/shell.h: floor 'base' includes floor 'app', which is above it"

copy
printf '#include "map/map_view.h"\n' >>"$scratch/tree/map/catalogue.cpp"
line=$(wc -l <"$scratch/tree/map/catalogue.cpp")
expect_fault "a circle within one floor" "map/catalogue.cpp:$line includes map/map_view.h"
expect_fault "a circle within one floor" "include circle among"

copy
printf '#include "tests/support/test_env.h"\n' >>"$scratch/tree/link/listener.cpp"
mkdir -p "$scratch/tree/tests/support" && touch "$scratch/tree/tests/support/test_env.h"
expect_fault "an include of a file on no floor" "includes tests/support/test_env.h, which is on no floor"

copy
sed -i '/<!-- floors:begin -->/,/<!-- floors:end -->/d' "$scratch/tree/docs/ARCHITECTURE.md"
status=0
"$check" "$scratch/tree" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "a document without its floor table: exit status $status, not 2"

echo "check-layers-selftest: passes on the tree; fails on an upward include, a circle, a file on no floor, no table"
