#include "deep_canvas.h"

#include <algorithm>
#include <new>

namespace {

unsigned Wide(const std::uint8_t* values, std::size_t i) {
  return unsigned{values[2 * i]} << 8 | values[2 * i + 1];
}

// old + round((value - old) * alpha / 65535), in whole numbers: the exact quotient is never
// half-way, since 65535 is odd.
std::uint16_t Blend(unsigned old, unsigned value, unsigned alpha) {
  const std::uint64_t n = std::uint64_t{old} * (65535 - alpha) + std::uint64_t{value} * alpha;
  return static_cast<std::uint16_t>((n + 32767) / 65535);
}

}  // namespace

DeepCanvas::DeepCanvas(lumenor::Pixel background)
    : background_{static_cast<std::uint16_t>(lumenor::RedOf(background) * 257),
                  static_cast<std::uint16_t>(lumenor::GreenOf(background) * 257),
                  static_cast<std::uint16_t>(lumenor::BlueOf(background) * 257)} {}

bool DeepCanvas::Allocate(const lumenor::ImageHeader& header) {
  const std::size_t count = static_cast<std::size_t>(header.width) * header.height;
  try {
    pixels_.resize(count * 3);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t i = 0; i < count; ++i) std::copy_n(background_, 3, &pixels_[3 * i]);
  width_ = header.width;
  height_ = header.height;
  channels_ = header.channels;
  return true;
}

void DeepCanvas::GreyRow(int y, const std::uint8_t* values, std::size_t count) {
  std::uint16_t* out = RowAt(y);
  for (std::size_t x = 0; x < count; ++x)
    std::fill_n(out + 3 * x, 3, static_cast<std::uint16_t>(Wide(values, x)));
}

void DeepCanvas::ChannelRow(int y, const lumenor::ChannelRows& rows, std::size_t extent) {
  std::uint16_t* out = RowAt(y);
  const bool grey = channels_ <= 2;
  const std::uint8_t* colour[3] = {rows[0].data(), rows[grey ? 0 : 1].data(),
                                   rows[grey ? 0 : 2].data()};
  const bool alpha = lumenor::HasAlpha(channels_);
  for (std::size_t x = 0; x < extent; ++x)
    for (int i = 0; i < 3; ++i) {
      const unsigned value = Wide(colour[i], x);
      out[3 * x + i] = alpha ? Blend(out[3 * x + i], value, Wide(rows[channels_ - 1].data(), x))
                             : static_cast<std::uint16_t>(value);
    }
  // Without alpha what a row does not reach is black, as on the window's canvas.
  if (!alpha) std::fill(out + 3 * extent, out + 3 * static_cast<std::size_t>(width_), 0);
}

void DeepCanvas::ZeroRows(int top, int bottom) {
  if (lumenor::HasAlpha(channels_)) return;  // clear: the canvas stays as it is
  std::fill(RowAt(top), RowAt(bottom) + 3 * static_cast<std::size_t>(width_), 0);
}
