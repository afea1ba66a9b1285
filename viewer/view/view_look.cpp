#include "view_look.h"

#include <algorithm>
#include <cstring>

namespace lumenor {

namespace {

void LookRow(const Look& look, const Pixel* picture, const StoredPixel* stored, Pixel* out,
             std::size_t count) {
  if (look.Translucent(stored != nullptr))
    PremultiplyRow(stored, out, count);
  else if (look.channel == Channel::kColour)
    std::memcpy(out, picture, count * sizeof(Pixel));
  else
    ChannelRow(look.channel, picture, stored, out, count);
}

}  // namespace

void RowShower::Show(const Look& look, const Pixel* picture, std::size_t stride,
                     const StoredPixel* stored, std::size_t storedStride, int width, int height,
                     int top, int bottom, Pixel* out, std::size_t outStride) {
  const auto row = [&](int y) { return picture + static_cast<std::size_t>(y) * stride; };
  const auto storedRow = [&](int y) {
    return stored ? stored + static_cast<std::size_t>(y) * storedStride : nullptr;
  };
  const auto count = static_cast<std::size_t>(width);
  if (look.orientation.IsIdentity()) {
    for (int y = top; y <= bottom; ++y)
      LookRow(look, row(y), storedRow(y), out + static_cast<std::size_t>(y) * outStride, count);
    return;
  }
  if (look.channel == Channel::kColour && !look.Translucent(stored != nullptr))
    return OrientRows(picture, width, height, stride, look.orientation, top, bottom, out,
                      outStride);
  // A band of rows at a time made as the look shows them, then turned into place.
  constexpr int kBand = 64;
  band_.resize(count * kBand);
  for (int first = top; first <= bottom; first += kBand) {
    const int last = std::min(bottom, first + kBand - 1);
    for (int y = first; y <= last; ++y)
      LookRow(look, row(y), storedRow(y), band_.data() + static_cast<std::size_t>(y - first) * count,
              count);
    OrientBand(band_.data(), width, height, count, look.orientation, first, last, out, outStride);
  }
}

}  // namespace lumenor
