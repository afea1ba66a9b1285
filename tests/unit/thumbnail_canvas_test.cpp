// The thumbnail canvas folds rows of one colour (filled by the load, or never painted) and rows
// like the one before without summing them pixel by pixel: each thumbnail pixel must still be
// the area average of the picture the load leaves, worked out independently, rounded.
#include "thumbnail_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "area_average.h"

namespace {

using lumenor::MakePixel;
using lumenor::Pixel;

constexpr Pixel kBackground = MakePixel(0x9F, 0x9F, 0x9F);
constexpr Pixel kRed = MakePixel(255, 0, 0);
constexpr Pixel kBlue = MakePixel(0, 0, 255);

Pixel PatternAt(int x, int y) {
  return MakePixel((x * 7 + y * 3) & 255, (x * y) & 255, (x + y * 5) & 255);
}

// What a load does to rows top..bottom: paints them (in one colour, or without one in a
// pattern), fills them, repeats the row below them one by one from the bottom up (offered to the
// canvas first, painted when it declines), or reaches a progress point.
struct Step {
  enum Kind { kPaint, kFill, kRepeat, kProgress } kind;
  int top, bottom;
  std::optional<Pixel> colour;
};

void Paint(ThumbnailCanvas& canvas, int y, std::optional<Pixel> colour) {
  Pixel* row = canvas.Scanline(y);
  for (int x = 0; x < canvas.Width(); ++x) row[x] = colour.value_or(PatternAt(x, y));
}

TEST(ThumbnailCanvas, RowsOfOneColourFoldAsIfPaintedOneByOne) {
  struct Case {
    std::string label;
    int width, height, size;
    std::vector<Step> steps;
  };
  using S = Step;
  const Case cases[] = {
      {"the top half filled",
       300,
       200,
       64,
       {{S::kPaint, 100, 199, {}}, {S::kFill, 0, 99, kRed}, {S::kProgress, 0, 199, {}}}},
      {"nothing painted: all background", 1000, 7, 100, {}},
      {"kept at its size",
       50,
       50,
       128,
       {{S::kPaint, 30, 49, {}},
        {S::kFill, 10, 20, MakePixel(1, 2, 3)},
        {S::kProgress, 0, 49, {}}}},
      {"two fills meeting",
       97,
       1001,
       32,
       {{S::kFill, 0, 500, MakePixel(9, 8, 7)}, {S::kFill, 501, 1000, MakePixel(200, 100, 50)}}},
      {"fills over rows painted but not yet folded",
       40,
       40,
       10,
       {{S::kPaint, 0, 39, {}},
        {S::kFill, 5, 8, kBlue},
        {S::kFill, 38, 39, MakePixel(0, 0, 0)},
        {S::kProgress, 0, 39, {}}}},
      {"rows alike, painted and folded one after another",
       300,
       90,
       64,
       {{S::kPaint, 60, 89, kRed},
        {S::kProgress, 60, 89, {}},
        {S::kPaint, 30, 59, kRed},
        {S::kPaint, 45, 45, {}},
        {S::kProgress, 30, 59, {}}}},
      {"a row like the last one folded, after a fill",
       300,
       90,
       64,
       {{S::kPaint, 89, 89, kRed},
        {S::kProgress, 89, 89, {}},
        {S::kFill, 0, 9, kBlue},
        {S::kPaint, 88, 88, kRed},
        {S::kProgress, 88, 88, {}}}},
      {"rows repeated from a row not yet folded, across progress points",
       300,
       90,
       64,
       {{S::kPaint, 70, 89, {}},
        {S::kRepeat, 40, 69, {}},
        {S::kProgress, 40, 89, {}},
        {S::kRepeat, 10, 39, {}},
        {S::kProgress, 0, 39, {}}}},
      {"repeats of a row never painted, of a filled row and of a repeated one",
       50,
       60,
       16,
       {{S::kRepeat, 50, 58, {}},
        {S::kFill, 40, 49, kBlue},
        {S::kRepeat, 30, 39, {}},
        {S::kPaint, 29, 29, {}},
        {S::kRepeat, 0, 28, {}},
        {S::kProgress, 0, 59, {}}}},
  };
  for (const auto& c : cases) {
    ThumbnailCanvas canvas(c.size, kBackground);
    canvas.Resize(c.width, c.height);
    // The picture as the steps leave it, for the independent average.
    std::vector<Pixel> picture(static_cast<std::size_t>(c.width) * c.height, kBackground);
    const auto row = [&](int y) { return picture.begin() + std::ptrdiff_t{y} * c.width; };
    for (const Step& step : c.steps) {
      for (int y = step.bottom; step.kind == Step::kRepeat && y >= step.top; --y) {
        std::copy_n(row(y + 1), c.width, row(y));
        if (!canvas.RepeatRow(y, y + 1)) std::copy_n(row(y), c.width, canvas.Scanline(y));
      }
      for (int y = step.top;
           y <= step.bottom && step.kind != Step::kProgress && step.kind != Step::kRepeat; ++y)
        for (int x = 0; x < c.width; ++x)
          picture[static_cast<std::size_t>(y) * c.width + x] =
              step.colour.value_or(PatternAt(x, y));
      if (step.kind == Step::kPaint)
        for (int y = step.top; y <= step.bottom; ++y) Paint(canvas, y, step.colour);
      if (step.kind == Step::kFill) canvas.FillRows(step.top, step.bottom, *step.colour);
      if (step.kind == Step::kProgress) canvas.Progress(step.top, step.bottom);
    }
    const std::vector<Pixel> thumbnail = canvas.Finish();

    // Each thumbnail pixel covers longer / size picture pixels a side, or one when it fits.
    const double scale = std::max({c.width, c.height, c.size}) / double(c.size);
    const int width = static_cast<int>(std::ceil(c.width / scale - 1e-9));
    const int height = static_cast<int>(std::ceil(c.height / scale - 1e-9));
    ASSERT_EQ(canvas.ThumbnailWidth(), width) << c.label;
    ASSERT_EQ(canvas.ThumbnailHeight(), height) << c.label;
    int wrong = 0;
    for (int o = 0; o < height; ++o)
      for (int t = 0; t < width; ++t) {
        const auto average = testing_support::AreaAverage(
            picture, c.width, c.height, t * scale, o * scale, (t + 1) * scale, (o + 1) * scale);
        const Pixel have = thumbnail[static_cast<std::size_t>(o) * width + t];
        for (int channel = 0; channel < 3; ++channel)  // blue, green, red, rounded
          if (std::abs(double(have >> (8 * channel) & 0xFF) - average[channel]) > 0.5 + 1e-6 &&
              wrong++ == 0)
            ADD_FAILURE() << c.label << ": at (" << t << ", " << o << ") channel " << channel
                          << " is " << (have >> (8 * channel) & 0xFF) << ", want "
                          << average[channel];
      }
    EXPECT_EQ(wrong, 0) << c.label;
  }
}

}  // namespace
