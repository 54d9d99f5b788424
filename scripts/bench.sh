#!/usr/bin/env bash
# Builds the benchmark preset, runs the suite and prints one table: each
# operation's median, the median of its floor or peer timed interleaved with
# it, and their ratio. Also writes the growth plot.
#
#   scripts/bench.sh [--update-docs] [Google Benchmark flags...]
#
# --update-docs   put the table, the growth table and the plot into
#                 docs/performance.md and docs/performance-growth.png
#
# Environment:
#   SYSDATA_BENCH_REPETITIONS  runs of every benchmark (default 3); the table
#                              gives the median over the runs
#   SYSDATA_BENCH_SCALE        multiplies every benchmark's sample count
#                              (default 1; 0.1 for a quick look)
#   SYSDATA_BENCH_TMP          where the simulated units live (default
#                              build/bench/tmp; keep it on the disk the unit's
#                              files would be on)
#
# Ratios are what count: absolute times move with the disk and the load.
# Measure on a quiet machine; the script shows the load average before it
# starts.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

update_docs=0
args=()
for arg in "$@"; do
  case "$arg" in
    --update-docs) update_docs=1 ;;
    *) args+=("$arg") ;;
  esac
done

build=$root/build/bench
out=$build/results
mkdir -p "$out"
export SYSDATA_BENCH_TMP=${SYSDATA_BENCH_TMP:-$build/tmp}
mkdir -p "$SYSDATA_BENCH_TMP"
repetitions=${SYSDATA_BENCH_REPETITIONS:-3}

cmake --preset bench >"$out/configure.log"
cmake --build --preset bench --target sysdata_bench -j2 >"$out/build.log"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) (cores: $(nproc))"
echo "running the suite, $repetitions repetitions (console output: $out/console.txt)"
"$build/bench/sysdata_bench" \
  --benchmark_repetitions="$repetitions" \
  --benchmark_out="$out/benchmark.json" --benchmark_out_format=json \
  --table_out="$out/table.md" --growth_out="$out/growth.dat" \
  ${args[@]+"${args[@]}"} >"$out/console.txt" 2>&1 || {
  tail -20 "$out/console.txt"
  exit 1
}

echo
cat "$out/table.md"

if [ -s "$out/growth.dat" ] && command -v gnuplot >/dev/null; then
  gnuplot -e "data='$out/growth.dat'; out='$out/growth.png'" "$root/bench/growth.gp"
  echo
  echo "growth plot: $out/growth.png"
fi

if [ "$update_docs" = 1 ]; then
  doc=$root/docs/performance.md
  [ -f "$out/growth.png" ] && cp "$out/growth.png" "$root/docs/performance-growth.png"
  # Replace what stands between the markers with the new tables.
  awk -v table="$out/table.md" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
    -v when="$(date -u '+%Y-%m-%d %H:%M UTC')" -v reps="median of $repetitions repetitions" '
    /<!-- bench:results:begin -->/ {
      print
      print ""
      print "Run of " when ", load average " load " at the end, " reps "."
      print ""
      while ((getline line < table) > 0) print line
      print ""
      skip = 1
      next
    }
    /<!-- bench:results:end -->/ { skip = 0 }
    !skip { print }
  ' "$doc" >"$doc.new"
  mv "$doc.new" "$doc"
  echo "updated $doc and docs/performance-growth.png"
fi
