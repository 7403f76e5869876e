// Summary figures of a series of measurements: minimum, quartiles, median, maximum.
#ifndef KCC_TOOLS_BENCH_STATS_H
#define KCC_TOOLS_BENCH_STATS_H

#include <string>
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

// One step of one launch: its name and when it was reached, in ms from the launch.
struct StepTime {
  std::string name;
  double at = 0;
};

// A step over many launches: the median time it was reached, and the median and least time it took
// from the step reached before it in the same launch (from the launch for the first). Steps are
// ordered by their median time; a step missing from some launches counts where it was reached.
struct StepSummary {
  std::string name;
  double atMedian = 0;
  double tookMedian = 0;
  double tookMin = 0;
  std::size_t count = 0;
};

std::vector<StepSummary> SummarizeSteps(const std::vector<std::vector<StepTime>>& launches);

// What one launch spent from its "entry" step to its ready step (the launcher's, last in `launch`), less
// the steps named in `platform` (each from the step before it): the time in the program's own code and in
// what a bare dialog does too. 0 without an entry step.
double TimeOutside(std::vector<StepTime> launch, const std::vector<std::string>& platform);

} // namespace bench

#endif
