#pragma once

#include <cstdint>

#include "canvas.h"

namespace lumenor {

// old + round((source - old) * alpha / 255). The quotient is never exactly half-way
// (2 * d * alpha is even, 255 is odd), so rounding half away from zero is exact here.
constexpr unsigned BlendChannel(unsigned oldValue, unsigned source, unsigned alpha) {
  const int product = (static_cast<int>(source) - static_cast<int>(oldValue)) * static_cast<int>(alpha);
  const int step = product >= 0 ? (product + 127) / 255 : -((-product + 127) / 255);
  return static_cast<unsigned>(static_cast<int>(oldValue) + step);
}

// The colour (red, green, blue) laid over the pixel old with opacity alpha: 0 keeps old, 255
// gives the source colour exactly.
constexpr Pixel BlendPixel(Pixel old, unsigned red, unsigned green, unsigned blue, unsigned alpha) {
  if (alpha == 255) return MakePixel(red, green, blue);
  if (alpha == 0) return old;
  return MakePixel(BlendChannel(RedOf(old), red, alpha), BlendChannel(GreenOf(old), green, alpha),
                   BlendChannel(BlueOf(old), blue, alpha));
}

}  // namespace lumenor
