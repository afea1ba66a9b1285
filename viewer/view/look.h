#pragma once

#include <cstddef>

#include "canvas.h"

namespace lumenor {

// What the view shows of each pixel: its colour, or one channel's stored value as grey.
enum class Channel { kColour, kRed, kGreen, kBlue, kAlpha, kLuminance };

// Luminance of stored values: round(0.2126 R + 0.7152 G + 0.0722 B), an exact half up.
constexpr unsigned Luminance(unsigned red, unsigned green, unsigned blue) {
  return (2126 * red + 7152 * green + 722 * blue + 5000) / 10000;
}

// The functions below may write their row over the one they read: out may be shown, stored or a.

// count pixels of a row as channel shows them, as opaque grey (kColour copies shown). shown is
// the row as blended over the background; stored is the row's stored values, or null for a
// picture without alpha, whose stored colours are those shown and whose alpha is 255.
void ChannelRow(Channel channel, const Pixel* shown, const StoredPixel* stored, Pixel* out,
                std::size_t count);

// count stored pixels premultiplied by their alpha, for laying over anything later:
// 0xAArrggbb with rr = round(R * A / 255) (what blending over black gives).
void PremultiplyRow(const StoredPixel* stored, Pixel* out, std::size_t count);

// count pixels of |a - b| in each colour, times gain, no more than 255; opaque.
void DifferenceRow(const Pixel* a, const Pixel* b, unsigned gain, Pixel* out, std::size_t count);

}  // namespace lumenor
