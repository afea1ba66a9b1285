#pragma once

#include <cstdint>

#include "canvas.h"

namespace lumenor {

// old + round((source - old) * alpha / 255), worked out as
// floor((old * (255 - alpha) + source * alpha + 127) / 255): the two agree because the exact
// quotient is never half-way (2 * (source - old) * alpha is even, 255 is odd). The division is
// (n + 1 + (n >> 8)) >> 8, exact for every n up to 65534 (here n <= 65152). No branches and no
// division, so rows of pixels vectorise.
constexpr unsigned BlendChannel(unsigned oldValue, unsigned source, unsigned alpha) {
  const unsigned n = oldValue * (255 - alpha) + source * alpha + 127;
  return (n + 1 + (n >> 8)) >> 8;
}

// The colour (red, green, blue) laid over the pixel old with opacity alpha: 0 keeps old, 255
// gives the source colour exactly.
constexpr Pixel BlendPixel(Pixel old, unsigned red, unsigned green, unsigned blue, unsigned alpha) {
  return MakePixel(BlendChannel(RedOf(old), red, alpha), BlendChannel(GreenOf(old), green, alpha),
                   BlendChannel(BlueOf(old), blue, alpha));
}

}  // namespace lumenor
