#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "canvas.h"

namespace lumenor {

// One buffer per channel of a row: grey; grey and alpha; red, green and blue; or those and alpha.
// A value is a byte, or two bytes big-endian (the file's order) in pictures of 16 bits.
using ChannelRows = std::array<std::vector<std::uint8_t>, 4>;

// count 16-bit values (big-endian) as the screen shows them: round(v * 255 / 65535).
void NarrowRow(const std::uint8_t* wide, std::uint8_t* narrow, std::size_t count);

// Writes count grey values into a backing-image row.
void WriteGreyRow(Pixel* line, const std::uint8_t* grey, std::size_t count);

// Writes the first count pixels of a row from its channel buffers. With alpha (two or four
// channels) each pixel is blended over what the row already shows.
void WriteRow(Pixel* line, const ChannelRows& channels, unsigned channelCount, std::size_t count);

// Writes the first count pixels of a row of two or four channels (with alpha) as stored values,
// 0xAARRGGBB, grey as three equal colours; values of a byte each.
void WriteStoredRow(std::uint32_t* line, const ChannelRows& channels, unsigned channelCount,
                    std::size_t count);

// The first count pixels of a row as stored values: channelCount values a pixel, interleaved,
// each bytesPerValue bytes as the channel buffers hold it.
void InterleaveRow(std::uint8_t* out, const ChannelRows& channels, unsigned channelCount,
                   std::size_t count, unsigned bytesPerValue = 1);

}  // namespace lumenor
