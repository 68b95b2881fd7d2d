#include "music/Automation.h"

#include <algorithm>
#include <cmath>

namespace music {

Automation::Automation(std::vector<std::pair<double, double>> points, Shape shape)
    : points_(std::move(points)), shape_(shape) {
  std::stable_sort(points_.begin(), points_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

double Automation::at(double seconds) const {
  if (points_.empty()) return 0.0;
  if (seconds <= points_.front().first) return points_.front().second;
  if (seconds >= points_.back().first) return points_.back().second;
  auto upper = std::upper_bound(points_.begin(), points_.end(), seconds,
                                [](double s, const std::pair<double, double>& p) { return s < p.first; });
  const auto& b = *upper;
  const auto& a = *(upper - 1);
  double x = (seconds - a.first) / (b.first - a.first);
  if (shape_ == Shape::Exponential && a.second > 0.0 && b.second > 0.0)
    return a.second * std::pow(b.second / a.second, x);
  return a.second + (b.second - a.second) * x;
}

}  // namespace music
