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

namespace {
void SortByTime(std::vector<StepTime>& steps) {
  std::stable_sort(steps.begin(), steps.end(), [](const StepTime& a, const StepTime& b) { return a.at < b.at; });
}
} // namespace

std::vector<StepSummary> SummarizeSteps(const std::vector<std::vector<StepTime>>& launches) {
  std::vector<std::string> names;
  std::vector<std::vector<double>> at, took;
  for (std::vector<StepTime> steps : launches) {
    SortByTime(steps);
    double previous = 0;
    for (const StepTime& step : steps) {
      const std::size_t k = static_cast<std::size_t>(std::find(names.begin(), names.end(), step.name) - names.begin());
      if (k == names.size()) {
        names.push_back(step.name);
        at.emplace_back();
        took.emplace_back();
      }
      at[k].push_back(step.at);
      took[k].push_back(step.at - previous);
      previous = step.at;
    }
  }
  std::vector<StepSummary> result;
  for (std::size_t k = 0; k < names.size(); ++k) {
    const Summary tookFigures = Summarize(took[k]);
    result.push_back(StepSummary{names[k], Summarize(at[k]).median, tookFigures.median, tookFigures.min, at[k].size()});
  }
  std::stable_sort(result.begin(), result.end(),
                   [](const StepSummary& a, const StepSummary& b) { return a.atMedian < b.atMedian; });
  return result;
}

double TimeOutside(std::vector<StepTime> launch, const std::vector<std::string>& platform) {
  if (launch.empty()) return 0;
  const double ready = launch.back().at;
  SortByTime(launch);
  const auto entry =
      std::find_if(launch.begin(), launch.end(), [](const StepTime& step) { return step.name == "entry"; });
  if (entry == launch.end()) return 0;
  double time = ready - entry->at;
  for (auto step = entry + 1; step != launch.end() && step->at <= ready; ++step) {
    if (std::find(platform.begin(), platform.end(), step->name) != platform.end()) time -= step->at - (step - 1)->at;
  }
  return time;
}

} // namespace bench
