#!/usr/bin/env bash
# key-help.sh: prints the key table of README.md as plain text for a terminal or a text file: for each button its keys
# and what it does on each page. The demo shows it, and the Windows release's README.txt carries it, so that the one
# table in README.md (checked against the program by tests/portable/readme_keys_test.cpp) is the only one to keep.
#
# Usage: scripts/key-help.sh [WIDTH]   (lines are wrapped at WIDTH columns, default 100)
set -euo pipefail
cd "$(dirname "$0")/.."
width=${1:-100}

awk -v width="$width" '
  function trim(s) { gsub(/^ +| +$/, "", s); return s }
  # Prints text after a first-line prefix, wrapped at width, continuation lines indented to the prefix.
  function wrapped(prefix, text,   indent, line, n, words, i) {
    indent = sprintf("%" length(prefix) "s", "")
    line = prefix
    n = split(text, words, " ")
    for (i = 1; i <= n; i++) {
      if (length(line) + 1 + length(words[i]) > width && line != prefix && line != indent) {
        print line
        line = indent
      }
      line = (line == prefix || line == indent) ? line words[i] : line " " words[i]
    }
    print line
  }
  /<!-- keys:begin -->/ { inside = 1; next }
  /<!-- keys:end -->/ { inside = 0 }
  !inside || !/^\|/ { next }
  {
    n = split($0, cell, "|")
    if (trim(cell[2]) == "Button") {
      for (i = 4; i < n; i++) page[i] = trim(cell[i])
      next
    }
    if (cell[2] ~ /---/) next
    text = ""
    for (i = 4; i < n; i++) {
      what = trim(cell[i])
      if (what == "") continue
      gsub(/`/, "", what)
      text = text (text == "" ? "" : "; ") "[" page[i] "] " what
    }
    wrapped(sprintf("  %-11s button %-3s ", trim(cell[3]), trim(cell[2])), text)
  }
' README.md
