#!/usr/bin/env bash
# Fuzzes each libFuzzer target for a bounded time, from its seed corpus in
# fuzz/corpus/<target>/, in a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build/fuzz). Prints one line per target:
#   FUZZ <target> execs=N crashes=N
# and fails when any target crashed, hung or broke one of its properties.
# The artifacts and the inputs found are kept in build/fuzz/run/<target>/.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#   (FUZZ_SECONDS sets the default time, 60 s)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
seconds=${1:-${FUZZ_SECONDS:-60}}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(customize_validate customize_import customize_apply store_read)
fi
build=$src/build/fuzz
# Each input makes durable writes: keep the simulated units on a RAM disk
# when there is one, where a sync costs nothing.
scratch=$build/run
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/sysdata-fuzz.XXXXXX)
  trap 'rm -rf "$scratch"' EXIT
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DSYSDATA_BUILD_FUZZ=ON -DSYSDATA_BUILD_TESTS=OFF -DSYSDATA_BUILD_TOOLS=OFF \
  "-DSYSDATA_SANITIZE=address;undefined;fuzzer-no-link" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

failed=0
for t in "${targets[@]}"; do
  work=$build/run/$t
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts" "$scratch/$t"
  status=0
  # The first corpus directory receives what the run finds; the seeds in the
  # repository stay untouched.
  (cd "$work" && SYSDATA_TEST_TMP="$scratch/$t" \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$src/fuzz/corpus/$t") >"$work/log" 2>&1 || status=$?
  execs=$(awk '/stat::number_of_executed_units:/ {print $2}' "$work/log" | tail -n 1)
  crashes=$(find "$work/artifacts" -type f | wc -l)
  if ((status != 0)) && ((crashes == 0)); then
    crashes=1  # died without leaving an artifact
  fi
  echo "FUZZ $t execs=${execs:-0} crashes=$crashes seconds=$seconds"
  if ((crashes != 0)); then
    failed=1
    echo "---- $t: last lines of $work/log"
    tail -n 40 "$work/log"
  fi
done
exit $failed
