#ifndef QUILLO_BENCH_BENCH_TIMING_H
#define QUILLO_BENCH_BENCH_TIMING_H

// The clock the benchmarks share, spans in the units they report, and the
// median and 99th percentile of samples.
#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Micros(Clock::time_point from, Clock::time_point to = Clock::now()) {
  return std::chrono::duration<double, std::micro>(to - from).count();
}

inline double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

struct Figures {
  double median;
  double p99;
};

inline Figures Summarise(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

}  // namespace bench

#endif  // QUILLO_BENCH_BENCH_TIMING_H
