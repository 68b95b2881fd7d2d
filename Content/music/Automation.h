// Automation: a parameter curve over track time, given as (seconds, value) breakpoints.
//
// Between breakpoints the value moves linearly, or geometrically for frequencies (so a filter
// sweep sounds even); before the first and after the last it holds. Built once by the
// arrangement, read once per render block.
#pragma once

#include <utility>
#include <vector>

namespace music {

class Automation {
 public:
  enum class Shape { Linear, Exponential };

  Automation(std::vector<std::pair<double, double>> points, Shape shape = Shape::Linear);
  double at(double seconds) const;

 private:
  std::vector<std::pair<double, double>> points_;
  Shape shape_;
};

}  // namespace music
