// Summary figures of a series of measurements: minimum, quartiles, median, maximum.
#ifndef KCC_TOOLS_BENCH_STATS_H
#define KCC_TOOLS_BENCH_STATS_H

#include <vector>

namespace bench {

struct Summary {
  std::size_t count = 0;
  double min = 0, q1 = 0, median = 0, q3 = 0, max = 0;
};

// Quantile p (0..1) of sorted values, interpolated linearly between neighbours (the usual
// "type 7" definition: the median of an even count is the mean of the two middle values).
// An empty series gives 0.
double Quantile(const std::vector<double>& sorted, double p);

// The figures of an unsorted series; an empty series gives all zeros.
Summary Summarize(std::vector<double> values);

} // namespace bench

#endif
