#include "rows.h"

#include <algorithm>

#include "blend.h"

namespace lumenor {

namespace {

// Blending works on a row in slices of this many pixels, one channel at a time, so that every
// loop below is a plain loop over bytes the compiler turns into vector instructions.
constexpr std::size_t kSlice = 256;

void SplitChannels(const Pixel* __restrict line, std::uint8_t* __restrict red,
                   std::uint8_t* __restrict green, std::uint8_t* __restrict blue,
                   std::size_t count) {
  for (std::size_t x = 0; x < count; ++x) {
    red[x] = static_cast<std::uint8_t>(RedOf(line[x]));
    green[x] = static_cast<std::uint8_t>(GreenOf(line[x]));
    blue[x] = static_cast<std::uint8_t>(BlueOf(line[x]));
  }
}

void JoinChannels(Pixel* __restrict line, const std::uint8_t* __restrict red,
                  const std::uint8_t* __restrict green, const std::uint8_t* __restrict blue,
                  std::size_t count) {
  for (std::size_t x = 0; x < count; ++x) line[x] = MakePixel(red[x], green[x], blue[x]);
}

// old[x] = BlendChannel(old[x], source[x], alpha[x]) in 16-bit arithmetic, which holds every
// intermediate value (at most 65407).
void BlendChannelRow(std::uint8_t* __restrict old, const std::uint8_t* __restrict source,
                     const std::uint8_t* __restrict alpha, std::size_t count) {
  for (std::size_t x = 0; x < count; ++x) {
    const std::uint16_t a = alpha[x];
    const auto n = static_cast<std::uint16_t>(old[x] * static_cast<std::uint16_t>(255 - a) +
                                              source[x] * a + 127);
    old[x] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(n + 1 + (n >> 8)) >> 8);
  }
}

// Lays the colour (red, green, blue) over the row with opacity alpha, as BlendPixel does.
void BlendRow(Pixel* line, const std::uint8_t* red, const std::uint8_t* green,
              const std::uint8_t* blue, const std::uint8_t* alpha, std::size_t width) {
  std::uint8_t oldRed[kSlice], oldGreen[kSlice], oldBlue[kSlice];
  for (std::size_t from = 0; from < width; from += kSlice) {
    const std::size_t count = std::min(kSlice, width - from);
    SplitChannels(line + from, oldRed, oldGreen, oldBlue, count);
    BlendChannelRow(oldRed, red + from, alpha + from, count);
    BlendChannelRow(oldGreen, green + from, alpha + from, count);
    BlendChannelRow(oldBlue, blue + from, alpha + from, count);
    JoinChannels(line + from, oldRed, oldGreen, oldBlue, count);
  }
}

}  // namespace

void WriteGreyRow(Pixel* line, const std::uint8_t* grey, std::size_t count) {
  for (std::size_t x = 0; x < count; ++x) line[x] = GreyPixel(grey[x]);
}

void WriteRow(Pixel* line, const ChannelRows& channels, unsigned channelCount) {
  const std::size_t width = channels[0].size();
  const std::uint8_t* first = channels[0].data();
  switch (channelCount) {
    case 1:
      return WriteGreyRow(line, first, width);
    case 2:  // grey and alpha
      return BlendRow(line, first, first, first, channels[1].data(), width);
    case 3:
      return JoinChannels(line, first, channels[1].data(), channels[2].data(), width);
    default:
      return BlendRow(line, first, channels[1].data(), channels[2].data(), channels[3].data(),
                      width);
  }
}

}  // namespace lumenor
