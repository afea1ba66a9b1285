#include <gtest/gtest.h>

#include "decode_helpers.h"
#include "pixel_memory.h"

namespace {

using testing_support::Compare;
using testing_support::Expected;
using testing_support::Load;

constexpr lumenor::Pixel kBackground = lumenor::kWorkspaceGrey;

TEST(Verbatim, PicturesMatchTheirPlanes) {
  struct Case {
    unsigned width, height, channels;
  };
  for (const Case c :
       {Case{1, 1, 1}, Case{7, 5, 1}, Case{33, 20, 3}, Case{1, 40, 3}, Case{17, 3, 4},
        Case{1000, 3, 3}, Case{3, 1000, 1}, Case{19, 6, 2}, Case{1, 1, 2}}) {
    const auto planes = sgi::Pattern(c.width, c.height, c.channels);
    const auto canvas = Load(sgi::Verbatim({}, planes));
    EXPECT_TRUE(canvas.Messages().empty());
    EXPECT_EQ(Compare(canvas, Expected(planes, kBackground), c.width, c.height), "")
        << c.width << "x" << c.height << "x" << c.channels;
  }
}

TEST(Verbatim, TopRowComesFromTheLastBytesOfEachPlane) {
  sgi::Planes planes{2, 3, 3, std::vector<std::uint8_t>(18, 0)};
  for (unsigned c = 0; c < 3; ++c) planes.at(c, 2, 1) = static_cast<std::uint8_t>(10 + c);
  const auto canvas = Load(sgi::Verbatim({}, planes));
  EXPECT_EQ(canvas.At(1, 0), lumenor::MakePixel(10, 11, 12));
  EXPECT_EQ(canvas.At(1, 2), lumenor::MakePixel(0, 0, 0));
}

TEST(Verbatim, TrailingDataIsIgnored) {
  const auto planes = sgi::Pattern(9, 4, 1);
  auto bytes = sgi::Verbatim({}, planes);
  bytes.insert(bytes.end(), 100, 0x55);
  const auto canvas = Load(bytes);
  EXPECT_EQ(Compare(canvas, Expected(planes, kBackground), 9, 4), "");
}

TEST(Verbatim, GreyFileWithMoreChannelsShowsPlaneZero) {
  // A three-plane file whose header says one channel: only the first plane is read.
  const auto planes = sgi::Pattern(6, 4, 3);
  auto bytes = sgi::Verbatim({}, planes);
  sgi::PutWord(bytes, 10, 1);
  const auto canvas = Load(bytes);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(canvas.At(x, y), lumenor::GreyPixel(planes.at(0, 3 - y, x)));
}

TEST(Verbatim, TruncatedFileShowsTheRowsItHolds) {
  const auto planes = sgi::Pattern(10, 8, 1);
  auto bytes = sgi::Verbatim({}, planes);
  bytes.resize(512 + 10 * 3 + 4);  // three whole rows and four pixels
  const auto canvas = Load(bytes);
  EXPECT_TRUE(canvas.Messages().empty());
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(canvas.At(x, 7), lumenor::GreyPixel(planes.at(0, 0, x)));
    EXPECT_EQ(canvas.At(x, 4), lumenor::GreyPixel(x < 4 ? planes.at(0, 3, x) : 0));
    EXPECT_EQ(canvas.At(x, 0), lumenor::GreyPixel(0));
  }
}

TEST(ZeroSizes, GreyPaintsNothingColourAndEmptyTablesFail) {
  struct Case {
    unsigned storage, width, height, channels;
    bool fails;
  };
  const Case cases[] = {
      {0, 0, 5, 1, false}, {0, 5, 0, 1, false}, {0, 0, 5, 3, true},  {0, 5, 0, 3, true},
      {0, 0, 0, 4, true},  {0, 0, 5, 2, true},  {1, 0, 3, 1, false}, {1, 0, 3, 3, true},
      {1, 0, 3, 4, true},  {1, 0, 3, 2, true},  {1, 5, 0, 1, true},  {1, 5, 0, 3, true},
      {1, 5, 3, 0, true},  // no offset table to start at
  };
  for (const Case c : cases) {
    const sgi::Header header{.xsize = c.width, .ysize = c.height, .zsize = c.channels};
    const auto bytes =
        c.storage == 0
            ? sgi::EncodeHeader(header)
            : sgi::RleFromRows(header, std::vector<sgi::Bytes>(c.height * c.channels, {0}),
                               sgi::Layout::kBottomFirst);
    const auto canvas = Load(bytes);
    const std::string what = std::to_string(c.storage) + ": " + std::to_string(c.width) + "x" +
                             std::to_string(c.height) + "x" + std::to_string(c.channels);
    EXPECT_EQ(canvas.Width(), int(c.width)) << what;
    EXPECT_EQ(canvas.Height(), int(c.height)) << what;
    EXPECT_EQ(canvas.Title(), "Lumenor - test") << what;
    ASSERT_EQ(canvas.Messages().size(), c.fails ? 1u : 0u) << what;
    if (c.fails) {
      EXPECT_TRUE(testing_support::IsReadError(canvas.Messages()[0])) << what;
    }
  }
}

TEST(Verbatim, AlphaBlendsOverTheCanvas) {
  const auto old = lumenor::MakePixel(100, 100, 100);
  sgi::Planes rgba{4, 1, 4, {200, 200, 200, 255, 100, 100, 100, 0, 0, 0, 0, 50, 0, 128, 1, 255}};
  const auto canvas = Load(sgi::Verbatim({}, rgba), old);
  EXPECT_EQ(canvas.At(0, 0), old);                               // alpha 0
  EXPECT_EQ(canvas.At(1, 0), lumenor::MakePixel(150, 100, 50));  // alpha 128
  EXPECT_EQ(canvas.At(2, 0), old);                               // alpha 1, within half a step
  EXPECT_EQ(canvas.At(3, 0), lumenor::MakePixel(255, 0, 50));    // alpha 255: the source exactly
  // Grey with alpha: the same blend of (v, v, v).
  sgi::Planes greyAlpha{4, 1, 2, {200, 200, 0, 255, 0, 128, 1, 255}};
  const auto grey = Load(sgi::Verbatim({}, greyAlpha), old);
  const lumenor::Pixel want[] = {old, lumenor::GreyPixel(150), old, lumenor::GreyPixel(255)};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(grey.At(x, 0), want[x]) << x;
}

TEST(Channels, WithoutAPathAreReportedAfterResizeAndTitle) {
  for (unsigned storage : {0u, 1u})
    for (unsigned channels : {0u, 5u, 65535u}) {
      const auto planes = sgi::Pattern(4, 3, 1);
      sgi::Header header{.storage = storage};
      auto bytes = storage == 0 ? sgi::Verbatim(header, planes) : sgi::Rle(header, planes);
      sgi::PutWord(bytes, 10, channels);
      const auto canvas = Load(bytes);
      if (storage == 1 && channels == 0) {
        ASSERT_EQ(canvas.Messages().size(), 1u);  // the empty offset table is met first
        EXPECT_TRUE(testing_support::IsReadError(canvas.Messages()[0]));
        continue;
      }
      EXPECT_EQ(canvas.Messages(), std::vector<std::string>{"Unsupported number of channels: " +
                                                            lumenor::FormatReportValue(channels)})
          << storage << "/" << channels;
      EXPECT_EQ(canvas.Width(), 4);
      EXPECT_EQ(canvas.Title(), "Lumenor - test");
      EXPECT_EQ(canvas.At(0, 0), kBackground);
    }
}

TEST(Progress, EverySixteenthRowInTheRightOrder) {
  struct Case {
    std::string what;
    sgi::Bytes bytes;
    std::vector<int> rows;  // the top row of each refreshed band
  };
  const auto grey20 = sgi::Pattern(5, 20, 1);
  const auto rgb20 = sgi::Pattern(5, 20, 3);
  const auto grey33 = sgi::Pattern(5, 33, 1);
  const auto rgb33 = sgi::Pattern(5, 33, 3);
  const Case cases[] = {
      {"verbatim grey 20", sgi::Verbatim({}, grey20), {16, 0}},
      {"verbatim rgb 20", sgi::Verbatim({}, rgb20), {19, 3}},  // file rows 0 and 16
      {"verbatim grey 33", sgi::Verbatim({}, grey33), {32, 16, 0}},
      {"verbatim rgb 33", sgi::Verbatim({}, rgb33), {32, 16, 0}},  // file rows 0, 16, 32
      {"verbatim rgba 20", sgi::Verbatim({}, sgi::Pattern(5, 20, 4)), {19, 3}},
      {"verbatim grey alpha 20", sgi::Verbatim({}, sgi::Pattern(5, 20, 2)), {19, 3}},
      {"rle grey alpha 20", sgi::Rle({}, sgi::Pattern(5, 20, 2)), {16, 0}},
      {"rle grey 20", sgi::Rle({}, grey20), {16, 0}},
      {"rle rgb 20", sgi::Rle({}, rgb20), {16, 0}},
      {"rle rgba 33", sgi::Rle({}, sgi::Pattern(5, 33, 4)), {32, 16, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.bytes).ProgressRows(), c.rows) << c.what;
}

// A canvas whose window goes away at the n-th progress point.
class EndingCanvas : public lumenor::MemoryCanvas {
 public:
  explicit EndingCanvas(int endAt) : endAt_(endAt) {}
  bool Progress(int top, int bottom) override {
    MemoryCanvas::Progress(top, bottom);
    return static_cast<int>(ProgressRows().size()) < endAt_;
  }

 private:
  int endAt_;
};

TEST(Progress, EndingProgramAbandonsTheLoadQuietly) {
  for (const auto& bytes :
       {sgi::Verbatim({}, sgi::Pattern(8, 200, 3)), sgi::Rle({}, sgi::Pattern(8, 200, 4))}) {
    EndingCanvas canvas(2);
    lumenor::MemorySource source(bytes);
    lumenor::LoadImage(source, canvas);
    EXPECT_EQ(canvas.ProgressRows().size(), 2u);
    EXPECT_TRUE(canvas.Messages().empty());
    EXPECT_EQ(canvas.At(0, 0), kBackground);  // the top was never reached
  }
}

TEST(PixelMemory, EverySizeIsWholeAndLargeOnesSitOnHugePageBoundaries) {
  const std::size_t threshold = 1024 * 1024;  // 4 MiB of pixels
  for (std::size_t count : {std::size_t{0}, std::size_t{1}, threshold - 1, threshold,
                            threshold * 3 + 7, std::size_t{4096} * 4096}) {
    lumenor::PixelBuffer buffer(count);
    ASSERT_NE(buffer.data(), nullptr) << count;
    EXPECT_EQ(lumenor::UsesHugePages(count), count >= threshold) << count;
    if (lumenor::UsesHugePages(count)) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % (2 << 20), 0u) << count;
    }
    if (count > 0) {  // both ends are ours (the sanitizer build would see a stray access)
      buffer.data()[count - 1] = 2;
      buffer.data()[0] = 1;
      EXPECT_EQ(buffer.data()[count - 1], count == 1 ? 1u : 2u);
    }
  }
}

}  // namespace
