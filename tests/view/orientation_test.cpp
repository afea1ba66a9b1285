// The view's orientation against pictures turned and flipped by hand: a grid of distinct pixels
// rotated and mirrored literally, one step at a time, and the copy of a picture as shown.
#include "orientation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using lumenor::Orientation;
using lumenor::Pixel;

// A picture laid out plainly, row after row.
struct Grid {
  int width = 0, height = 0;
  std::vector<Pixel> pixels;

  Pixel at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  bool operator==(const Grid&) const = default;
};

// Distinct pixels, each naming its place.
Grid Numbered(int width, int height) {
  Grid grid{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) grid.pixels.push_back(Pixel(0xFF000000u | y << 12 | x));
  return grid;
}

// The steps done literally. A quarter turn clockwise: the top row becomes the right-hand column,
// read top down.
template <typename Source>
Grid Made(int width, int height, Source source) {
  Grid out{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.pixels.push_back(source(x, y));
  return out;
}
Grid TurnedRight(const Grid& g) {
  return Made(g.height, g.width, [&](int x, int y) { return g.at(y, g.height - 1 - x); });
}
Grid TurnedLeft(const Grid& g) {
  return Made(g.height, g.width, [&](int x, int y) { return g.at(g.width - 1 - y, x); });
}
Grid FlippedLeftRight(const Grid& g) {
  return Made(g.width, g.height, [&](int x, int y) { return g.at(g.width - 1 - x, y); });
}
Grid FlippedTopBottom(const Grid& g) {
  return Made(g.width, g.height, [&](int x, int y) { return g.at(x, g.height - 1 - y); });
}

// A step of the view's items, and the same done by hand.
struct Step {
  char name;
  Orientation (Orientation::*item)() const;
  Grid (*byHand)(const Grid&);
};
const Step kSteps[] = {{'R', &Orientation::RotatedRight, TurnedRight},
                       {'L', &Orientation::RotatedLeft, TurnedLeft},
                       {'H', &Orientation::MirroredHorizontally, FlippedLeftRight},
                       {'V', &Orientation::MirroredVertically, FlippedTopBottom}};

// The whole picture as OrientRows shows it.
Grid Oriented(const Grid& picture, Orientation o) {
  const auto shown = o.Shown({picture.width, picture.height});
  Grid out{shown.width, shown.height, std::vector<Pixel>(picture.pixels.size(), 0)};
  lumenor::OrientRows(picture.pixels.data(), picture.width, picture.height,
                      std::size_t(picture.width), o, 0, picture.height - 1, out.pixels.data(),
                      std::size_t(out.width));
  return out;
}

std::string Describe(Orientation o) {
  return "turns " + std::to_string(o.Turns()) + (o.Mirrored() ? ", mirrored" : "");
}

// Every sequence of up to four steps: the view shows what doing the steps by hand gives, and
// the eight ways a rectangle lies are all reached, each a different picture.
TEST(Orientation, StepsDoWhatTheyDoByHand) {
  const Grid picture = Numbered(3, 2);
  std::vector<std::pair<Orientation, Grid>> reached;
  std::vector<std::vector<Step>> sequences = {{}};
  for (std::size_t i = 0; i < sequences.size(); ++i) {
    const std::vector<Step> steps = sequences[i];
    Orientation o;
    Grid byHand = picture;
    std::string names;
    for (const Step& step : steps) {
      o = (o.*step.item)();
      byHand = step.byHand(byHand);
      names += step.name;
    }
    ASSERT_EQ(Oriented(picture, o), byHand) << "steps " << names << ": " << Describe(o);
    ASSERT_EQ(o.IsIdentity(), byHand == picture) << names;
    ASSERT_EQ(o.SwapsAxes(), byHand.width != picture.width) << names;
    reached.emplace_back(o, byHand);
    if (steps.size() < 4)
      for (const Step& step : kSteps) {
        sequences.push_back(steps);
        sequences.back().push_back(step);
      }
  }
  std::set<std::pair<int, bool>> ways;
  for (const auto& [o, grid] : reached) {
    ways.insert({o.Turns(), o.Mirrored()});
    for (const auto& [other, otherGrid] : reached)
      ASSERT_EQ(o == other, grid == otherGrid) << Describe(o) << " against " << Describe(other);
  }
  EXPECT_EQ(ways.size(), 8u);
}

std::vector<Orientation> AllEight() {
  std::vector<Orientation> all;
  for (Orientation o; all.size() < 4; o = o.RotatedRight()) all.push_back(o);
  for (int i = 0; i < 4; ++i) all.push_back(all[i].MirroredHorizontally());
  return all;
}

// The coordinate maps agree with the pictures shown and undo each other, on sizes where width
// and height differ.
TEST(Orientation, CoordinatesMapBothWays) {
  for (const auto& [width, height] : {std::pair{3, 2}, std::pair{5, 7}, std::pair{1, 4}})
    for (const Orientation o : AllEight()) {
      const Grid picture = Numbered(width, height);
      const Grid shown = Oriented(picture, o);
      const Orientation::Size size{width, height};
      ASSERT_EQ(o.Shown(size), (Orientation::Size{shown.width, shown.height})) << Describe(o);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const Orientation::Point at = o.ShownAt({x, y}, size);
          ASSERT_EQ(shown.at(at.x, at.y), picture.at(x, y))
              << Describe(o) << ": (" << x << ", " << y << ") shown at (" << at.x << ", " << at.y
              << ")";
          ASSERT_EQ(o.PictureAt(at, size), (Orientation::Point{x, y})) << Describe(o);
        }
      for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
          const Orientation::Point p = o.PictureAt({x, y}, size);
          ASSERT_EQ(o.ShownAt(p, size), (Orientation::Point{x, y})) << Describe(o);
        }
    }
}

// Bands of picture rows, as a load delivers them from the bottom up, each copied to its place
// alone: rows longer than the picture on both sides, sizes on and off the tiles and blocks the
// copy works in. Nothing outside the band is written.
TEST(Orientation, BandsOfRowsGoWhereTheyAreShown) {
  constexpr Pixel kUntouched = 0x12345678u;
  for (const auto& [width, height] :
       {std::pair{1, 1}, std::pair{1, 9}, std::pair{7, 1}, std::pair{4, 4}, std::pair{5, 3},
        std::pair{64, 64}, std::pair{65, 67}, std::pair{150, 77}})
    for (const Orientation o : AllEight()) {
      const std::size_t stride = std::size_t(width) + 3;
      std::vector<Pixel> picture(stride * height, 0);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture[y * stride + x] = Pixel(y << 12 | x);
      const auto size = o.Shown({width, height});
      const std::size_t outStride = std::size_t(size.width) + 5;
      std::vector<Pixel> out(outStride * size.height, kUntouched);
      const int bands[] = {1, 3, 16, 5, 70};
      for (int bottom = height - 1, band = 0; bottom >= 0; ++band) {
        const int top = std::max(0, bottom - bands[band % 5] + 1);
        lumenor::OrientRows(picture.data(), width, height, stride, o, top, bottom, out.data(),
                            outStride);
        // Rows done so far are where they are shown; everything else is as it was.
        for (int y = 0; y < size.height; ++y)
          for (int x = 0; x < int(outStride); ++x) {
            Pixel want = kUntouched;
            if (x < size.width) {
              const auto p = o.PictureAt({x, y}, {width, height});
              if (p.y >= top) want = Pixel(p.y << 12 | p.x);
            }
            ASSERT_EQ(out[y * outStride + x], want)
                << Describe(o) << ", " << width << " x " << height << ", rows " << top << ".."
                << bottom << ", at (" << x << ", " << y << ")";
          }
        bottom = top - 1;
      }
      // And the whole is the picture mirrored and turned by hand.
      Grid byHand{width, height, {}};
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) byHand.pixels.push_back(picture[y * stride + x]);
      if (o.Mirrored()) byHand = FlippedLeftRight(byHand);
      for (int t = 0; t < o.Turns(); ++t) byHand = TurnedRight(byHand);
      Grid whole{size.width, size.height, {}};
      for (int y = 0; y < size.height; ++y)
        whole.pixels.insert(whole.pixels.end(), out.begin() + y * outStride,
                            out.begin() + y * outStride + size.width);
      EXPECT_EQ(whole, byHand) << Describe(o) << ", " << width << " x " << height;
    }
}

}  // namespace
