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

// Writes the first count pixels of a row from its channel buffers. With alpha (two or four
// channels) each pixel is blended over what the row already shows.
void WriteRow(Pixel* line, const ChannelRows& channels, unsigned channelCount, std::size_t count);

// The first count pixels of a row as stored values: channelCount bytes a pixel, interleaved.
void InterleaveRow(std::uint8_t* out, const ChannelRows& channels, unsigned channelCount,
                   std::size_t count);

}  // namespace lumenor
