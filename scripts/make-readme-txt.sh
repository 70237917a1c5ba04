#!/usr/bin/env bash
# make-readme-txt.sh: writes README.txt for Windows pilots from resources/release/README.txt.in: the version, the
# key table of README.md, Windows line ends. Lines marked @ZIP@ are for the zip (setup.cmd), lines marked
# @INSTALLER@ for the installer; each keeps its own and drops the other's.
#
# Usage: scripts/make-readme-txt.sh zip|installer VERSION OUT
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 3 ] && { [ "$1" = zip ] || [ "$1" = installer ]; } ||
  { echo "usage: make-readme-txt.sh zip|installer VERSION OUT" >&2; exit 2; }
kind=$1 version=$2 out=$3
keys=$(mktemp)
trap 'rm -f "$keys"' EXIT
scripts/key-help.sh 110 >"$keys"
awk -v version="$version" -v keys="$keys" -v kind="$kind" '
  /^@ZIP@/ { if (kind != "zip") next; sub(/^@ZIP@/, "") }
  /^@INSTALLER@/ { if (kind != "installer") next; sub(/^@INSTALLER@/, "") }
  { gsub(/@VERSION@/, version) }
  NR == 1 { title = $0 }
  NR == 2 && /^=+$/ { $0 = title; gsub(/./, "=") }
  /^@KEYS@$/ { while ((getline line < keys) > 0) print line; next }
  { print }
' resources/release/README.txt.in | sed 's/\r*$/\r/' >"$out"
