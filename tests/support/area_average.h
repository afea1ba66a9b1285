#pragma once

#include <algorithm>
#include <array>
#include <vector>

#include "canvas.h"

namespace testing_support {

// The picture (width pixels to a row) averaged over the rectangle [x0, x1) x [y0, y1) of its
// pixel coordinates, each pixel weighted by how much of it the rectangle covers; worked out in
// floating point, independently of the scaler. Blue, green and red, not rounded.
inline std::array<double, 3> AreaAverage(const std::vector<lumenor::Pixel>& picture, int width,
                                         int height, double x0, double y0, double x1, double y1) {
  x1 = std::min(x1, double(width));
  y1 = std::min(y1, double(height));
  std::array<double, 3> sums{};
  double total = 0;
  for (int py = int(y0); py < y1; ++py)
    for (int px = int(x0); px < x1; ++px) {
      const double weight = (std::min(px + 1.0, x1) - std::max(double(px), x0)) *
                            (std::min(py + 1.0, y1) - std::max(double(py), y0));
      const lumenor::Pixel p = picture[std::size_t(py) * width + px];
      for (int c = 0; c < 3; ++c) sums[c] += weight * (p >> (8 * c) & 0xFF);
      total += weight;
    }
  for (double& sum : sums) sum /= total;
  return sums;
}

}  // namespace testing_support
