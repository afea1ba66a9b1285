#pragma once

#include <cstddef>
#include <vector>

#include "canvas.h"
#include "look.h"
#include "orientation.h"

namespace lumenor {

// How the view shows every picture: a channel or the colour, alpha over a checkerboard or the
// background, and the way the picture is turned. Someone who never chooses one sees the
// pictures as they are loaded.
struct Look {
  Channel channel = Channel::kColour;
  bool checkerboard = false;
  Orientation orientation;

  bool operator==(const Look&) const = default;
  // Pictures are shown as they are loaded, without anything made from them.
  bool Plain() const { return channel == Channel::kColour && !checkerboard && orientation.IsIdentity(); }
  // A picture with alpha is shown from its stored values.
  bool NeedsStored() const { return channel != Channel::kColour || checkerboard; }
  // Shown over the checkerboard: the colour of a picture with alpha, premultiplied.
  bool Translucent(bool hasAlpha) const {
    return hasAlpha && checkerboard && channel == Channel::kColour;
  }
};

// Picture rows top..bottom as look shows them, written where they are shown in out (the picture
// as shown: look.orientation.Shown() of width x height, its rows outStride pixels apart).
// picture is the picture as loaded, rows stride pixels apart; stored its stored values, or null
// for a picture without alpha. Translucent looks write premultiplied pixels.
class RowShower {
 public:
  void Show(const Look& look, const Pixel* picture, std::size_t stride, const StoredPixel* stored,
            std::size_t storedStride, int width, int height, int top, int bottom, Pixel* out,
            std::size_t outStride);

 private:
  std::vector<Pixel> band_;  // rows on their way to being turned
};

}  // namespace lumenor
