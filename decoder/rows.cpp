#include "rows.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

void WriteRow(Pixel* line, const ChannelRows& channels, unsigned channelCount, std::size_t count) {
  const std::uint8_t* first = channels[0].data();
  switch (channelCount) {
    case 1:
      return WriteGreyRow(line, first, count);
    case 2:  // grey and alpha
      return BlendRow(line, first, first, first, channels[1].data(), count);
    case 3:
      return JoinChannels(line, first, channels[1].data(), channels[2].data(), count);
    default:
      return BlendRow(line, first, channels[1].data(), channels[2].data(), channels[3].data(),
                      count);
  }
}

void WriteStoredRow(std::uint32_t* __restrict line, const ChannelRows& channels,
                    unsigned channelCount, std::size_t count) {
  const std::uint8_t* __restrict first = channels[0].data();
  if (channelCount == 2) {
    const std::uint8_t* __restrict alpha = channels[1].data();
    for (std::size_t x = 0; x < count; ++x)
      line[x] = std::uint32_t{alpha[x]} << 24 | std::uint32_t{first[x]} * 0x010101u;
    return;
  }
  const std::uint8_t* __restrict green = channels[1].data();
  const std::uint8_t* __restrict blue = channels[2].data();
  const std::uint8_t* __restrict alpha = channels[3].data();
  for (std::size_t x = 0; x < count; ++x)
    line[x] = std::uint32_t{alpha[x]} << 24 | std::uint32_t{first[x]} << 16 |
              std::uint32_t{green[x]} << 8 | blue[x];
}

// round(v / 257) from v's two bytes alone. With v = 256 high + low, v / 257 = high + (low - high)
// / 257, and (low - high) / 257 lies strictly between -1 and 1: it rounds to 1 when low - high >=
// 129, to -1 when high - low >= 129, else to 0 (never half-way, 257 being odd; checked for every
// v). Byte arithmetic only, no division and no widening, so the loop vectorises to a few
// instructions a value: the differences are taken from the larger byte, so they never wrap, and
// d > 128 is the signed test (d - 128) > 0 on a byte.
void NarrowRow(const std::uint8_t* __restrict wide, std::uint8_t* __restrict narrow,
               std::size_t count) {
  for (std::size_t x = 0; x < count; ++x) {
    const std::uint8_t high = wide[2 * x], low = wide[2 * x + 1];
    const std::uint8_t larger = std::max(high, low);
    const auto up = static_cast<std::int8_t>((larger - high) ^ 0x80);
    const auto down = static_cast<std::int8_t>((larger - low) ^ 0x80);
    narrow[x] = static_cast<std::uint8_t>(high + (up > 0) - (down > 0));
  }
}

namespace {

void InterleaveWideRow(std::uint8_t* __restrict out, const ChannelRows& channels,
                       unsigned channelCount, std::size_t count) {
  for (unsigned c = 0; c < channelCount; ++c) {
    const std::uint8_t* __restrict in = channels[c].data();
    std::uint8_t* __restrict at = out + 2 * c;
    const std::size_t step = 2 * std::size_t{channelCount};
    for (std::size_t x = 0; x < count; ++x) std::memcpy(at + step * x, in + 2 * x, 2);
  }
}

}  // namespace

void InterleaveRow(std::uint8_t* __restrict out, const ChannelRows& channels, unsigned channelCount,
                   std::size_t count, unsigned bytesPerValue) {
  if (bytesPerValue == 2) return InterleaveWideRow(out, channels, channelCount, count);
  const std::uint8_t* __restrict first = channels[0].data();
  const std::uint8_t* __restrict second = channels[std::min(1u, channelCount - 1)].data();
  const std::uint8_t* __restrict third = channels[std::min(2u, channelCount - 1)].data();
  const std::uint8_t* __restrict fourth = channels[std::min(3u, channelCount - 1)].data();
  // One loop per channel count, so that each is a plain loop the compiler can vectorise. Two and
  // four channels build whole pixels in a register and store them at once, lowest byte first.
  constexpr bool kLittleEndian = std::endian::native == std::endian::little;
  switch (channelCount) {
    case 1:
      std::copy_n(first, count, out);
      return;
    case 2:
      if constexpr (kLittleEndian) {
        for (std::size_t x = 0; x < count; ++x) {
          const auto pixel = static_cast<std::uint16_t>(first[x] | second[x] << 8);
          std::memcpy(out + 2 * x, &pixel, 2);
        }
        return;
      }
      break;
    case 3:
      for (std::size_t x = 0; x < count; ++x) {
        out[3 * x] = first[x];
        out[3 * x + 1] = second[x];
        out[3 * x + 2] = third[x];
      }
      return;
    default:
      if constexpr (kLittleEndian) {
        for (std::size_t x = 0; x < count; ++x) {
          const std::uint32_t pixel = std::uint32_t{first[x]} | std::uint32_t{second[x]} << 8 |
                                      std::uint32_t{third[x]} << 16 |
                                      std::uint32_t{fourth[x]} << 24;
          std::memcpy(out + 4 * x, &pixel, 4);
        }
        return;
      }
      break;
  }
  const std::uint8_t* const sources[] = {first, second, third, fourth};
  for (std::size_t x = 0; x < count; ++x)
    for (unsigned c = 0; c < channelCount; ++c) out[channelCount * x + c] = sources[c][x];
}

}  // namespace lumenor
