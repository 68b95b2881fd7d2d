// BenchClock: the clocks and the summary statistic the bench programs share.
//
// threadCpuSeconds() is the CPU time of the calling thread alone (the figure that holds
// while other work shares the machine); median() takes its values by copy and returns NaN
// for none. Bench programs only.
#pragma once

#include <time.h>

#include <algorithm>
#include <cmath>
#include <vector>

inline double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

inline double median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
