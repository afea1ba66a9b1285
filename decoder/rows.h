#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "canvas.h"

namespace lumenor {

// One buffer per channel of a row: grey; grey and alpha; red, green and blue; or those and alpha.
using ChannelRows = std::array<std::vector<std::uint8_t>, 4>;

// Writes count grey values into a backing-image row.
void WriteGreyRow(Pixel* line, const std::uint8_t* grey, std::size_t count);

// Writes a row from its channel buffers (all of one width). With alpha (two or four channels) each
// pixel is blended over what the row already shows.
void WriteRow(Pixel* line, const ChannelRows& channels, unsigned channelCount);

}  // namespace lumenor
