#ifndef QUILLO_BENCH_BENCH_TIMING_H
#define QUILLO_BENCH_BENCH_TIMING_H

// Timing helpers shared by the benchmarks: the clock, spans in the units
// they are reported in, median and 99th percentile of samples, and the
// line the chat benchmarks send.
#include <algorithm>
#include <chrono>
#include <string>
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

// Runs fn `rounds` times and sums up how long each took, in microseconds.
template <typename Fn>
Figures TimeEach(int rounds, Fn fn) {
  std::vector<double> samples;
  for (int i = 0; i < rounds; ++i) {
    const Clock::time_point start = Clock::now();
    fn();
    samples.push_back(Micros(start));
  }
  return Summarise(samples);
}

inline std::string TestLine(size_t length) {
  std::string line(length, 'x');
  for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);
  return line;
}

}  // namespace bench

#endif  // QUILLO_BENCH_BENCH_TIMING_H
