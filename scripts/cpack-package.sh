# cpack-package.sh: sourced by make-deb.sh and make-installer.sh. `cpack_package BUILD GENERATOR PATTERN OUTDIR` runs
# CPack's generator on the build in a scratch folder, moves the one package whose name matches PATTERN into OUTDIR
# and prints its path; on failure it shows CPack's log (and the generator's own, where it writes one) and exits 1.
cpack_package() {
  local build=$1 generator=$2 pattern=$3 out=$4 name work made
  name=$(basename "$0" .sh)
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  work=$(mktemp -d)
  # shellcheck disable=SC2064 # the folder is known now and must go however the script ends
  trap "rm -rf '$work'" EXIT
  cpack --config "$build/CPackConfig.cmake" -G "$generator" -B "$work" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" "$work"/_CPack_Packages/*/"$generator"/*Output.log >&2 2>/dev/null || true
    echo "$name: CPack failed" >&2
    exit 1
  }
  made=$(find "$work" -maxdepth 1 -name "$pattern" | head -n 1)
  [ -n "$made" ] || { cat "$work/cpack.log" >&2; echo "$name: CPack made no package" >&2; exit 1; }
  mv "$made" "$out/"
  echo "$out/$(basename "$made")"
}
