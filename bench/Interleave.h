// Interleaved timing: an operation and the bounds it is judged by (its floor,
// its peer) run in the same benchmark iteration, one after the other in
// rotating order, each timed on its own. Durable writes have heavy tails and
// the machine's speed drifts; timing them sample by sample in one run and
// comparing medians gives a ratio that holds.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

namespace sysdata_bench {

struct Bound {
  std::string name;
  std::function<void(int round)> run;
  // Largest acceptable operation/bound ratio; 0 when only reported.
  double goal;
};

struct Interleaved {
  std::string operation;
  std::function<void(int round)> op;
  std::vector<Bound> bounds;
  // Untimed work before each round (restoring the state the round needs).
  std::function<void(int round)> prepare;
};

// Runs plan for every iteration of state (manual time: the operation's own),
// then reports the medians as counters ("op_us", "<i>_us", "ratio<i>") and
// adds a row per bound to the result table.
// Returns the medians in microseconds: the operation first, then each bound.
std::vector<double> runInterleaved(benchmark::State& state, const Interleaved& plan);

// Scale of the iteration counts: SYSDATA_BENCH_SCALE (default 1) times n,
// at least 3.
benchmark::IterationCount scaled(benchmark::IterationCount n);

// Microseconds since an arbitrary origin (steady clock).
double nowUs();

}  // namespace sysdata_bench
