// Summary figures of a series of measurements: minimum, quartiles, median, maximum.
#include "tools/bench/stats.h"

#include <algorithm>
#include <cmath>

namespace bench {

double Quantile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  if (p <= 0) return sorted.front();
  if (p >= 1) return sorted.back();
  const double position = p * static_cast<double>(sorted.size() - 1);
  const std::size_t below = static_cast<std::size_t>(std::floor(position));
  const double fraction = position - static_cast<double>(below);
  if (below + 1 >= sorted.size()) return sorted.back();
  return sorted[below] + (sorted[below + 1] - sorted[below]) * fraction;
}

Summary Summarize(std::vector<double> values) {
  Summary s;
  s.count = values.size();
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  s.min = values.front();
  s.max = values.back();
  s.q1 = Quantile(values, 0.25);
  s.median = Quantile(values, 0.5);
  s.q3 = Quantile(values, 0.75);
  return s;
}

} // namespace bench
