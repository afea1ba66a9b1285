// Scaling for the window and thumbnails, against an area average worked out independently, in
// floating point from each scaled pixel's own stretch of the picture.
#include "scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
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

// Shrunk pixel (x, y) in whole numbers: picture pixel s spans [s * num, (s + 1) * num) and scaled
// pixel o spans [o * den, (o + 1) * den), in units of 1 / num of a picture pixel. Every byte
// weighs as much as the overlap of its pixel; the sum over the total, rounded half up; all four
// bytes.
Pixel ExactAverageOfBytes(const Picture& p, lumenor::Zoom zoom, int x, int y) {
  const std::int64_t num = zoom.num, den = zoom.den;
  const auto overlap = [&](std::int64_t s, std::int64_t o, std::int64_t length) {
    const std::int64_t from = std::max(s * num, o * den);
    const std::int64_t to = std::min({(s + 1) * num, (o + 1) * den, length * num});
    return std::max<std::int64_t>(0, to - from);
  };
  std::uint64_t sums[4] = {}, total = 0;
  for (std::int64_t py = y * den / num; py < p.height && py * num < (y + 1) * den; ++py)
    for (std::int64_t px = x * den / num; px < p.width && px * num < (x + 1) * den; ++px) {
      const auto weight = std::uint64_t(overlap(px, x, p.width) * overlap(py, y, p.height));
      total += weight;
      for (int c = 0; c < 4; ++c) sums[c] += weight * (p.at(int(px), int(py)) >> (8 * c) & 0xFF);
    }
  Pixel pixel = 0;
  for (int c = 0; c < 4; ++c) pixel |= Pixel((sums[c] + total / 2) / total) << (8 * c);
  return pixel;
}

// The same, opaque: what the window shows.
Pixel ExactAverage(const Picture& p, lumenor::Zoom zoom, int x, int y) {
  return ExactAverageOfBytes(p, zoom, x, y) | 0xFF000000u;
}

// Random bytes (alpha too, which the scaled pixels never show); bytes of 0 or 1, whose averages
// often fall on a half; all 255, the largest sums there are.
std::vector<Picture> PicturesOf(int width, int height) {
  std::vector<Picture> pictures(
      3, Picture{width, height, std::vector<Pixel>(std::size_t(width) * height)});
  std::mt19937 random(11);
  for (std::size_t i = 0; i < pictures[0].pixels.size(); ++i) {
    pictures[0].pixels[i] = Pixel(random());
    pictures[1].pixels[i] = Pixel(random()) & 0x01010101u;
    pictures[2].pixels[i] = 0xFFFFFFFFu;
  }
  return pictures;
}

struct ShrinkCase {
  lumenor::Zoom zoom;
  bool exact;  // den 16 or less: the exact average rounded half up; otherwise within 1 of it
};

// Zooms for each way through the scaler: weights of 1 (num 1) or not, columns over 2, 3, 4 or
// more picture columns, a den whose averages are rounded in floats for want of a 16-bit divisor
// (14), sums down in 16 bits (17 to 257) or more, weights of 2^15 and over (num 40000).
const ShrinkCase kShrinkCases[] = {{{1, 2}, true},     {{1, 3}, true},         {{1, 4}, true},
                                   {{1, 16}, true},    {{5, 6}, true},         {{2, 3}, true},
                                   {{5, 12}, true},    {{3, 16}, true},        {{13, 14}, true},
                                   {{1, 14}, true},    {{15, 16}, true},       {{25, 54}, false},
                                   {{75, 256}, false}, {{1, 32}, false},       {{533, 1280}, false},
                                   {{1, 300}, false},  {{40000, 65521}, false}};

TEST(PictureScaler, ShrinksToTheExactAverage) {
  // Sizes that leave the last scaled row and column cut short, and that do not.
  for (const auto& [width, height] : {std::pair{1201, 41}, std::pair{1680, 48}})
    for (const Picture& picture : PicturesOf(width, height))
      for (const ShrinkCase& c : kShrinkCases) {
        lumenor::PictureScaler scaler(width, height, c.zoom);
        const int scaledWidth = scaler.ScaledWidth(), scaledHeight = scaler.ScaledHeight();
        std::vector<Pixel> out(std::size_t(scaledWidth) * scaledHeight);
        scaler.Scale(picture.pixels.data(), std::size_t(width), 0, 0, scaledWidth, scaledHeight,
                     out.data(), std::size_t(scaledWidth));
        for (int y = 0; y < scaledHeight; ++y)
          for (int x = 0; x < scaledWidth; ++x) {
            const Pixel have = out[std::size_t(y) * scaledWidth + x];
            const Pixel want = ExactAverage(picture, c.zoom, x, y);
            int worst = 0;
            for (int shift = 0; shift < 32; shift += 8)
              worst =
                  std::max(worst, std::abs(int(have >> shift & 0xFF) - int(want >> shift & 0xFF)));
            ASSERT_LE(worst, c.exact ? 0 : 1)
                << "have " << std::hex << have << ", want " << want << std::dec << " at " << x
                << ", " << y << " of " << width << " x " << height << " at " << c.zoom.num << "/"
                << c.zoom.den;
          }
      }
}

// As a player scales a frame while it loads: bands of a few scaled rows, from the bottom up; and
// regions starting and ending anywhere, as the window scales what it shows.
TEST(PictureScaler, BandsAndRegionsAreThatPartOfTheWhole) {
  const Picture picture = PicturesOf(1201, 61)[0];
  for (const ShrinkCase& c : kShrinkCases) {
    lumenor::PictureScaler scaler(picture.width, picture.height, c.zoom);
    const int width = scaler.ScaledWidth(), height = scaler.ScaledHeight();
    std::vector<Pixel> whole(std::size_t(width) * height), bands(whole.size());
    scaler.Scale(picture.pixels.data(), std::size_t(picture.width), 0, 0, width, height,
                 whole.data(), std::size_t(width));
    const int heights[] = {1, 2, 3, 5};
    for (int bottom = height, band = 0; bottom > 0; ++band) {
      const int rows = std::min(heights[band % 4], bottom);
      bottom -= rows;
      scaler.Scale(picture.pixels.data(), std::size_t(picture.width), 0, bottom, width, rows,
                   bands.data() + std::size_t(bottom) * width, std::size_t(width));
    }
    EXPECT_EQ(bands, whole) << c.zoom.num << "/" << c.zoom.den;
    struct Region {
      int x, y, columns, rows;
    };
    for (Region r : {Region{1, 1, width - 2, height - 2}, Region{width / 3, height / 2, 1, 1},
                     Region{width - 1, 0, 1, height}, Region{3, 0, width / 2 + 1, 3}}) {
      r.columns = std::min(r.columns, width - r.x);
      r.rows = std::min(r.rows, height - r.y);
      if (r.columns <= 0 || r.rows <= 0) continue;
      // Rows a little longer than the region's, which the scaler must leave alone.
      const std::size_t stride = std::size_t(r.columns) + 3;
      std::vector<Pixel> region(stride * r.rows, 0x12345678u);
      scaler.Scale(picture.pixels.data(), std::size_t(picture.width), r.x, r.y, r.columns, r.rows,
                   region.data(), stride);
      for (int row = 0; row < r.rows; ++row)
        for (int column = 0; column < int(stride); ++column)
          ASSERT_EQ(region[row * stride + column],
                    column < r.columns ? whole[std::size_t(r.y + row) * width + r.x + column]
                                       : 0x12345678u)
              << c.zoom.num << "/" << c.zoom.den << " region at " << r.x << ", " << r.y << ": "
              << column << ", " << row;
    }
  }
}

// Kept averaged, the fourth byte is the average of the picture's fourth bytes, as exact as the
// colours; the colours are what the opaque scaler gives. A premultiplied picture (every colour at
// most its alpha) stays premultiplied. Enlarged, pixels are copied whole.
TEST(PictureScaler, KeepsTheAveragedAlphaWhenAsked) {
  struct Case {
    lumenor::Zoom zoom;
    int tolerance;  // 0 where the average is exact, 1 where floats may round a half either way
  };
  const Case cases[] = {{{1, 2}, 0},   {{2, 3}, 0},   {{1, 3}, 0}, {{5, 12}, 0}, {{1, 17}, 1},
                        {{3, 100}, 1}, {{1, 300}, 1}, {{2, 1}, 0}, {{3, 1}, 0}};
  std::vector<Picture> pictures = PicturesOf(203, 37);
  // Premultiplied: random alpha, each colour no more than it.
  Picture premultiplied = pictures[0];
  std::mt19937 random(5);
  for (Pixel& pixel : premultiplied.pixels) {
    const unsigned alpha = random() % 256;
    pixel = alpha << 24;
    for (int shift = 0; shift < 24; shift += 8) pixel |= Pixel(random() % (alpha + 1)) << shift;
  }
  pictures.push_back(premultiplied);
  for (const Case& c : cases)
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      const Picture& picture = pictures[i];
      lumenor::PictureScaler opaque(picture.width, picture.height, c.zoom);
      lumenor::PictureScaler averaged(picture.width, picture.height, c.zoom,
                                      lumenor::ScaledAlpha::kAveraged);
      ASSERT_EQ(opaque.Alpha(), lumenor::ScaledAlpha::kOpaque);
      ASSERT_EQ(averaged.Alpha(), lumenor::ScaledAlpha::kAveraged);
      const int width = averaged.ScaledWidth(), height = averaged.ScaledHeight();
      std::vector<Pixel> have(std::size_t(width) * height), shown(have.size());
      averaged.Scale(picture.pixels.data(), std::size_t(picture.width), 0, 0, width, height,
                     have.data(), std::size_t(width));
      opaque.Scale(picture.pixels.data(), std::size_t(picture.width), 0, 0, width, height,
                   shown.data(), std::size_t(width));
      const std::string where = std::to_string(c.zoom.num) + "/" + std::to_string(c.zoom.den) +
                                ", picture " + std::to_string(i);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const Pixel pixel = have[std::size_t(y) * width + x];
          ASSERT_EQ(pixel & 0xFFFFFFu, shown[std::size_t(y) * width + x] & 0xFFFFFFu)
              << "colours at " << x << ", " << y << " at " << where;
          const unsigned alpha = pixel >> 24;
          const unsigned want = c.zoom.Enlarges()
                                    ? picture.at(x / c.zoom.num, y / c.zoom.num) >> 24
                                    : ExactAverageOfBytes(picture, c.zoom, x, y) >> 24;
          ASSERT_LE(std::abs(int(alpha) - int(want)), c.tolerance)
              << "have alpha " << alpha << ", want " << want << " at " << x << ", " << y << " at "
              << where;
          if (i == pictures.size() - 1 && c.tolerance == 0) {
            for (int shift = 0; shift < 24; shift += 8)
              ASSERT_LE(pixel >> shift & 0xFF, alpha)
                  << "premultiplied, at " << x << ", " << y << " at " << where;
          }
        }
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
