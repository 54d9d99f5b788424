#include "bench/Interleave.h"

#include <chrono>
#include <cstdlib>

#include "bench/ResultTable.h"

namespace sysdata_bench {

double nowUs() {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<double> runInterleaved(benchmark::State& state, const Interleaved& plan) {
  const std::size_t contenders = plan.bounds.size() + 1;
  std::vector<std::vector<double>> samples(contenders);
  std::vector<double> pairRatios;
  auto runOne = [&](std::size_t which, int round) {
    if (which == 0) {
      plan.op(round);
    } else {
      plan.bounds[which - 1].run(round);
    }
  };

  // Warm the caches and the file system's state; not recorded.
  int round = 0;
  for (int warm = 0; warm < 2; ++warm, ++round) {
    if (plan.prepare) plan.prepare(round);
    for (std::size_t c = 0; c < contenders; ++c) runOne(c, round);
  }

  for (auto _ : state) {
    if (plan.prepare) plan.prepare(round);
    std::vector<double> took(contenders, 0.0);
    for (std::size_t k = 0; k < contenders; ++k) {
      const std::size_t which = (k + static_cast<std::size_t>(round)) % contenders;
      const double start = nowUs();
      runOne(which, round);
      took[which] = nowUs() - start;
    }
    for (std::size_t c = 0; c < contenders; ++c) samples[c].push_back(took[c]);
    if (contenders > 1 && took[1] > 0) pairRatios.push_back(took[0] / took[1]);
    state.SetIterationTime(took[0] / 1e6);
    ++round;
  }

  const double opUs = median(samples[0]);
  state.counters["op_us"] = opUs;
  for (std::size_t b = 0; b < plan.bounds.size(); ++b) {
    const double boundUs = median(samples[b + 1]);
    const std::string index = std::to_string(b);
    state.counters["bound" + index + "_us"] = boundUs;
    state.counters["ratio" + index] = boundUs > 0 ? opUs / boundUs : 0.0;
    ResultTable::instance().addRatio(RatioRow{plan.operation, opUs, plan.bounds[b].name, boundUs, plan.bounds[b].goal});
  }
  if (!pairRatios.empty()) state.counters["pair_ratio0"] = median(pairRatios);
  std::string label;
  for (std::size_t b = 0; b < plan.bounds.size(); ++b) {
    label += (b == 0 ? "" : "; ") + std::string("bound") + std::to_string(b) + ": " + plan.bounds[b].name;
  }
  state.SetLabel(label);
  std::vector<double> medians;
  for (const auto& s : samples) medians.push_back(median(s));
  return medians;
}

benchmark::IterationCount scaled(benchmark::IterationCount n) {
  const char* env = std::getenv("SYSDATA_BENCH_SCALE");
  const double scale = env != nullptr ? std::atof(env) : 1.0;
  const double wanted = static_cast<double>(n) * (scale > 0 ? scale : 1.0);
  return wanted < 3 ? 3 : static_cast<benchmark::IterationCount>(wanted);
}

}  // namespace sysdata_bench
