#!/usr/bin/env bash
# png-instructions.sh: the instructions one PNG frame of the web display costs, counted by callgrind, for the
# encoder of today beside the one before it (zlib), over the benchmark's heaviest 425 x 425 page on both of its
# maps. Unlike a time, the count does not move with the machine's load, so two runs on a busy machine compare.
#
# Usage: tools/web/png-instructions.sh [BENCH] (default build/native/bench/kestrel_bench; needs valgrind).
set -euo pipefail
cd "$(dirname "$0")/../.."
bench=${1:-build/native/bench/kestrel_bench}
[ -x "$bench" ] || { echo "png-instructions: $bench is not built (cmake --build --preset native --target kestrel_bench)" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "png-instructions: valgrind is not installed" >&2; exit 1; }
echo "png-instructions: load average $(cut -d' ' -f1-3 /proc/loadavg) (counts do not depend on it)"
printf '%-44s %14s %12s\n' "benchmark (425 x 425, map 1 flat, 0 busy)" "instructions" "PNG bytes"
for run in "BM_WebFramePng/425/425/1 PngWriter::Encode*" "BM_WebFramePngZlibBaseline/425/425/1 EncodePngZlibBaseline*" \
  "BM_WebFramePng/425/425/0 PngWriter::Encode*" "BM_WebFramePngZlibBaseline/425/425/0 EncodePngZlibBaseline*"; do
  read -r name function <<<"$run"
  # Only the encoder's own instructions are counted (the page's set-up is not), over every frame the run encodes.
  out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null --toggle-collect="$function" "$bench" \
    --benchmark_filter="^$name\$" --benchmark_min_time=0.05 --blast_seconds=0.01 2>&1)
  frames=$(awk -v n="$name" '$1 == n { print $6 }' <<<"$out") # name, time, unit, CPU time, unit, iterations
  bytes=$(grep -o 'png_bytes=[0-9.k]*' <<<"$out" | head -1 | cut -d= -f2)
  total=$(awk '/Collected :/ { print $4 }' <<<"$out")
  if [ -z "$frames" ] || [ -z "$total" ]; then
    echo "png-instructions: $name did not run" >&2
    echo "$out" >&2
    exit 1
  fi
  printf '%-44s %14s %12s\n' "$name" "$((total / frames)) a frame" "$bytes"
done
