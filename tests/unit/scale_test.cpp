// Scaling for the window and thumbnails, against an area average worked out independently, in
// floating point from each scaled pixel's own stretch of the picture.
#include "scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "area_average.h"

namespace {

using lumenor::Pixel;

struct Picture {
  int width, height;
  std::vector<Pixel> pixels;
  Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Picture RandomPicture(int width, int height) {
  Picture p{width, height, std::vector<Pixel>(std::size_t(width) * height)};
  std::mt19937 random(7);
  for (auto& pixel : p.pixels) pixel = 0xFF000000u | (random() & 0xFFFFFFu);
  return p;
}

// Scaled pixel (x, y): the picture averaged over what it covers; enlarged, the picture pixel it
// lies in.
Pixel Reference(const Picture& p, lumenor::Zoom zoom, int x, int y) {
  const double span = double(zoom.den) / zoom.num;
  if (span <= 1) return p.at(int(x * span), int(y * span));
  const auto average = testing_support::AreaAverage(p.pixels, p.width, p.height, x * span, y * span,
                                                    (x + 1) * span, (y + 1) * span);
  const auto channel = [&](int c) { return unsigned(std::lround(average[c])); };
  return 0xFF000000u | channel(2) << 16 | channel(1) << 8 | channel(0);
}

TEST(PictureScaler, MatchesTheAreaAverageAndEnlargesIntoSquares) {
  const Picture picture = RandomPicture(97, 61);
  for (const lumenor::Zoom zoom :
       {lumenor::Zoom{1, 2}, lumenor::Zoom{1, 3}, lumenor::Zoom{2, 3}, lumenor::Zoom{75, 256},
        lumenor::Zoom{449, 1000}, lumenor::Zoom{1, 32}, lumenor::Zoom{1, 300}, lumenor::Zoom{2, 1},
        lumenor::Zoom{3, 1}}) {
    lumenor::PictureScaler scaler(picture.width, picture.height, zoom);
    const int width = scaler.ScaledWidth(), height = scaler.ScaledHeight();
    ASSERT_EQ(width, int(std::ceil(picture.width * zoom.Factor() - 1e-9)));
    std::vector<Pixel> out(std::size_t(width) * height);
    scaler.Scale(picture.pixels.data(), picture.width, 0, 0, width, height, out.data(), width);
    int worst = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const Pixel have = out[std::size_t(y) * width + x], want = Reference(picture, zoom, x, y);
        for (int c = 0; c < 32; c += 8)
          worst = std::max(worst, std::abs(int(have >> c & 0xFF) - int(want >> c & 0xFF)));
      }
    // Exact but for rounding at a tie.
    EXPECT_LE(worst, 1) << zoom.num << "/" << zoom.den;

    // Any region of it is the same as that part of the whole.
    const int x = width / 3, y = height / 4, w = width - x - width / 5, h = height / 2;
    std::vector<Pixel> region(std::size_t(w) * h);
    scaler.Scale(picture.pixels.data(), picture.width, x, y, w, h, region.data(), w);
    for (int row = 0; row < h; ++row)
      for (int column = 0; column < w; ++column)
        ASSERT_EQ(region[std::size_t(row) * w + column],
                  out[std::size_t(y + row) * width + x + column])
            << zoom.num << "/" << zoom.den << " at " << column << ", " << row;
  }
}

TEST(PictureScaler, RowsMapBothWays) {
  for (const lumenor::Zoom zoom :
       {lumenor::Zoom{75, 256}, lumenor::Zoom{1, 32}, lumenor::Zoom{3, 1}}) {
    const lumenor::PictureScaler scaler(100, 1000, zoom);
    for (int o = 0; o < scaler.ScaledHeight(); ++o)
      for (int row = scaler.FirstPictureRow(o); row <= scaler.LastPictureRow(o); ++row) {
        ASSERT_LE(scaler.FirstScaledRow(row), o) << row;
        ASSERT_GE(scaler.LastScaledRow(row), o) << row;
      }
  }
}

}  // namespace
