#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "canvas.h"

namespace lumenor {

// Writes count grey values into a backing-image row.
void WriteGreyRow(Pixel* line, const std::uint8_t* grey, std::size_t count);

// Writes a row from its red, green and blue buffers (all of one width); with alpha, each pixel is
// blended over what the row already shows.
void WriteColourRow(Pixel* line, const std::array<std::vector<std::uint8_t>, 4>& channels,
                    bool withAlpha);

}  // namespace lumenor
