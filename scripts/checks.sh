# checks.sh: the check of the package and release tests, sourced by them. `check DESCRIPTION COMMAND...` runs the
# command and reports "NAME: ok   DESCRIPTION" or "NAME: FAIL DESCRIPTION" (NAME: the script's own name), counting
# the failures in $failures for the script's verdict.
failures=0
check() {
  local what=$1 name
  name=$(basename "$0" .sh)
  shift
  if "$@"; then
    echo "$name: ok   $what"
  else
    echo "$name: FAIL $what"
    failures=$((failures + 1))
  fi
}
