#!/usr/bin/env bash
# make-manual.sh: writes a program's manual page from its own --help with help2man, so the page lists exactly the
# options the program takes, plus the sections of an include file (what --help does not say: files, environment).
# The page is compressed as Debian wants it (gzip -9n: no name, no time stamp, so the same input gives the same bytes).
#
# Usage: scripts/make-manual.sh PROGRAM VERSION INCLUDE OUT.gz
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: make-manual.sh PROGRAM VERSION INCLUDE OUT.gz" >&2; exit 2; }
program=$1 version=$2 include=$3 out=$4
mkdir -p "$(dirname "$out")"
page=$(mktemp)
trap 'rm -f "$page"' EXIT
# The programs have no --version; help2man takes the version from here instead of asking them.
help2man --no-info --no-discard-stderr --section=1 --version-string="$version" --include="$include" \
  --output="$page" "$program"
gzip -9n -c "$page" >"$out"
