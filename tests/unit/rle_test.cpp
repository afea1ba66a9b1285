#include "rle.h"

#include <gtest/gtest.h>

#include "blend.h"
#include "decode_helpers.h"

namespace {

using testing_support::Compare;
using testing_support::Expected;
using testing_support::Load;

constexpr lumenor::Pixel kBackground = lumenor::kWorkspaceGrey;

// An RLE file of the given size whose stored rows are given as raw bytes.
sgi::Bytes RleRows(unsigned width, unsigned height, unsigned channels,
                   const std::vector<sgi::Bytes>& rows,
                   sgi::Layout layout = sgi::Layout::kBottomFirst) {
  return sgi::RleFromRows({.xsize = width, .ysize = height, .zsize = channels}, rows, layout);
}

TEST(DecodeRleRow, Packets) {
  struct Case {
    sgi::Bytes in;
    std::vector<std::uint8_t> want;  // the buffer afterwards (starts as 0xEE)
    std::ptrdiff_t count;
  };
  const Case cases[] = {
      {{0x83, 0x0A, 0x14, 0x1E, 0x02, 0x28, 0x00}, {10, 20, 30, 40, 40, 0xEE, 0xEE}, 5},
      {{0x02, 0x07, 0x80, 0x03, 0x09},
       {7, 7, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE},
       2},  // 0x80 ends the row
      {{0x00, 0x05, 0x01}, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, 0},
      {{0x07, 0x01, 0x00}, {1, 1, 1, 1, 1, 1, 1}, 7},
      {{0x08, 0x01, 0x00}, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, lumenor::kRowOverflow},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> out(7, 0xEE);
    auto in = c.in;
    in.resize(lumenor::MaxRleRowBytes(out.size()), 0);
    EXPECT_EQ(lumenor::DecodeRleRow(in, out, lumenor::LongRows::kFail), c.count);
    if (c.count != lumenor::kRowOverflow) {
      EXPECT_EQ(out, c.want);
    }
  }
}

TEST(DecodeRleRow, ClippedRowsKeepWhatFits) {
  std::vector<std::uint8_t> out(4, 0);
  sgi::Bytes in = {0x83, 1, 2, 3, 0x84, 4, 5, 6, 7, 0};
  in.resize(lumenor::MaxRleRowBytes(4), 0);
  EXPECT_EQ(lumenor::DecodeRleRow(in, out, lumenor::LongRows::kClip), 4);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST(Rle, EveryLayoutOfEveryChannelCount) {
  for (unsigned channels : {1u, 2u, 3u, 4u})
    for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kTopFirst, sgi::Layout::kPlanar,
                        sgi::Layout::kShuffled, sgi::Layout::kShared}) {
      auto planes = sgi::Pattern(29, 37, channels);
      for (unsigned c = 0; c < channels; ++c)  // identical rows, so the shared layout shares some
        for (unsigned r = 10; r < 20; ++r)
          std::copy_n(planes.row(c, 5), planes.width, &planes.at(c, r, 0));
      const auto canvas = Load(sgi::Rle({}, planes, layout));
      EXPECT_TRUE(canvas.Messages().empty());
      EXPECT_EQ(Compare(canvas, Expected(planes, kBackground), 29, 37), "")
          << channels << " channels, " << sgi::LayoutName(layout);
    }
}

TEST(Rle, GreyPacketExampleLeavesTheRestOfTheRow) {
  const auto canvas = Load(RleRows(8, 1, 1, {{0x83, 0x0A, 0x14, 0x1E, 0x02, 0x28, 0x00}}));
  const lumenor::Pixel want[] = {lumenor::GreyPixel(10),
                                 lumenor::GreyPixel(20),
                                 lumenor::GreyPixel(30),
                                 lumenor::GreyPixel(40),
                                 lumenor::GreyPixel(40),
                                 kBackground,
                                 kBackground,
                                 kBackground};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(canvas.At(x, 0), want[x]) << x;
}

TEST(Rle, GreyRowsLongerThanTheWidthAreClipped) {
  const auto canvas = Load(RleRows(3, 2, 1, {{0x85, 1, 2, 3, 4, 5, 0x10, 9, 0}, {0x7F, 6, 0}}));
  EXPECT_TRUE(canvas.Messages().empty());
  EXPECT_EQ(canvas.At(2, 1), lumenor::GreyPixel(3));  // bottom row
  EXPECT_EQ(canvas.At(0, 0), lumenor::GreyPixel(6));  // the next row is found through the table
}

TEST(Rle, ChannelRowOverflowKeepsEarlierRows) {
  // Width 20: rows 0 and 1 fine, the row of file row 2 in channel 1 (green, or alpha) decodes 21
  // values.
  for (unsigned channels : {2u, 3u}) {
    const sgi::Bytes good = {20, 0x30, 0};
    const sgi::Bytes tooLong = {21, 0x40, 0};
    std::vector<sgi::Bytes> rows(3 * channels, good);
    if (channels == 2) rows[3] = rows[4] = {20, 0xFF, 0};  // opaque
    rows[2 + 1 * 3] = tooLong;  // row 2 of channel 1: index r + c * height
    const auto canvas = Load(RleRows(20, 3, channels, rows));
    ASSERT_EQ(canvas.Messages().size(), 1u);
    EXPECT_TRUE(testing_support::IsReadError(canvas.Messages()[0]));
    EXPECT_NE(canvas.Messages()[0].find("Row 2 of channel 1"), std::string::npos)
        << canvas.Messages()[0];
    EXPECT_EQ(canvas.At(19, 2), lumenor::MakePixel(0x30, 0x30, 0x30));  // file row 0
    EXPECT_EQ(canvas.At(0, 1), lumenor::MakePixel(0x30, 0x30, 0x30));   // file row 1
    EXPECT_EQ(canvas.At(0, 0), kBackground);                            // not painted
    EXPECT_EQ(canvas.Title(), "Lumenor - test");
  }
}

TEST(Rle, ShortGreenRowKeepsThePreviousRowsValues) {
  const sgi::Bytes red = {20, 1, 0}, blue = {20, 3, 0};
  const std::vector<sgi::Bytes> rows = {red, red, {20, 7, 0}, {10, 8, 0}, blue, blue};
  const auto canvas = Load(RleRows(20, 2, 3, rows));
  EXPECT_EQ(canvas.At(9, 0), lumenor::MakePixel(1, 8, 3));
  EXPECT_EQ(canvas.At(10, 0), lumenor::MakePixel(1, 7, 3));
  // In the first row, columns past a short row are zeros.
  const auto first = Load(RleRows(20, 1, 3, {red, {10, 8, 0}, blue}));
  EXPECT_EQ(first.At(19, 0), lumenor::MakePixel(1, 0, 3));
}

TEST(Rle, BlendRounding) {
  struct Case {
    unsigned old, source, alpha, want;
  };
  const Case cases[] = {
      {100, 200, 128, 150}, {100, 0, 128, 50},  {100, 100, 128, 100}, {1, 129, 1, 2},
      {1, 131, 1, 2},       {0, 255, 255, 255}, {255, 0, 255, 0},     {37, 250, 0, 37},
      {0, 255, 1, 1},       {0, 127, 1, 0},     {255, 0, 1, 254},     {200, 0, 254, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lumenor::BlendChannel(c.old, c.source, c.alpha), c.want)
        << c.old << " " << c.source << " " << c.alpha;
    const auto pixel = lumenor::BlendPixel(lumenor::MakePixel(c.old, c.old, c.old), c.source, 0,
                                           c.source, c.alpha);
    EXPECT_EQ(lumenor::RedOf(pixel), c.want);
  }
  // Against the formula with exact arithmetic, every value.
  for (unsigned alpha = 0; alpha < 256; ++alpha)
    for (unsigned old = 0; old < 256; old += 3)
      for (unsigned source = 0; source < 256; source += 5) {
        const double exact = old + std::nearbyint((double(source) - old) * alpha / 255.0);
        ASSERT_EQ(lumenor::BlendChannel(old, source, alpha), static_cast<unsigned>(exact));
      }
}

TEST(Rle, AlphaBlendsOverTheCanvas) {
  const auto old = lumenor::MakePixel(100, 100, 100);
  const auto rgba = Load(RleRows(1, 1, 4, {{1, 200, 0}, {1, 100, 0}, {1, 0, 0}, {1, 128, 0}}), old);
  EXPECT_EQ(rgba.At(0, 0), lumenor::MakePixel(150, 100, 50));
  const auto greyAlpha = Load(RleRows(3, 1, 2, {{3, 200, 0}, {0x83, 128, 255, 0, 0}}), old);
  EXPECT_EQ(greyAlpha.At(0, 0), lumenor::GreyPixel(150));
  EXPECT_EQ(greyAlpha.At(1, 0), lumenor::GreyPixel(200));  // alpha 255: the grey exactly
  EXPECT_EQ(greyAlpha.At(2, 0), old);
}

TEST(Rle, HostileOffsets) {
  struct Case {
    const char* what;
    std::int32_t offset;  // given to file row 1 of every channel
    bool fails;
    lumenor::Pixel rowOne;  // what file row 1 shows (the canvas's middle row)
  };
  const Case cases[] = {
      {"negative", -1, true, kBackground},
      {"most negative", INT32_MIN, true, kBackground},
      {"past the end", 1 << 30, false, kBackground},            // reads zeros: the row ends at once
      {"into the header", 0, false, lumenor::GreyPixel(0xDA)},  // 0x01 0xDA: a run of one 0xDA
  };
  for (unsigned channels : {1u, 3u})
    for (const auto& c : cases) {
      std::vector<sgi::Bytes> rows(3 * channels, sgi::Bytes{4, 0x11, 0});
      auto bytes = RleRows(4, 3, channels, rows);
      for (unsigned ch = 0; ch < channels; ++ch)
        sgi::PutLong(bytes, 512 + (1 + ch * 3) * 4, static_cast<std::uint32_t>(c.offset));
      const auto canvas = Load(bytes);
      EXPECT_EQ(canvas.Messages().size(), c.fails ? 1u : 0u) << c.what;
      EXPECT_EQ(canvas.At(3, 2), lumenor::GreyPixel(0x11)) << c.what;
      if (channels == 1) {
        EXPECT_EQ(canvas.At(0, 1), c.rowOne) << c.what;
      }
      if (!c.fails) {
        EXPECT_EQ(canvas.At(3, 0), lumenor::GreyPixel(0x11)) << c.what;
      }
    }
}

TEST(Rle, NegativeFirstOffsetFailsEvenWithoutAPath) {
  auto bytes = RleRows(4, 2, 5, std::vector<sgi::Bytes>(10, sgi::Bytes{0}));
  sgi::PutLong(bytes, 512, 0xFFFFFFF0u);
  const auto canvas = Load(bytes);
  ASSERT_EQ(canvas.Messages().size(), 1u);
  EXPECT_TRUE(testing_support::IsReadError(canvas.Messages()[0]));
  // A non-negative one gets to the channel report.
  const auto ok = Load(RleRows(4, 2, 5, std::vector<sgi::Bytes>(10, sgi::Bytes{0})));
  EXPECT_EQ(ok.Messages(), std::vector<std::string>{"Unsupported number of channels:  5"});
}

TEST(Rle, TallFourChannelTableHasNoEntryLimit) {
  // 8200 rows x 4 channels = 32800 entries, more than a 16-bit counter holds; every row shares
  // one stored row per channel.
  const unsigned height = 8200;
  std::vector<sgi::Bytes> rows;
  for (std::uint8_t c = 0; c < 4; ++c)
    for (unsigned r = 0; r < height; ++r)
      rows.push_back({3, static_cast<std::uint8_t>(c == 3 ? 255 : 60 * c), 0});
  const auto canvas = Load(RleRows(3, height, 4, rows, sgi::Layout::kShared));
  EXPECT_TRUE(canvas.Messages().empty());
  EXPECT_EQ(canvas.At(2, 0), lumenor::MakePixel(0, 60, 120));
  EXPECT_EQ(canvas.At(0, static_cast<int>(height) - 1), lumenor::MakePixel(0, 60, 120));
}

TEST(Rle, LengthTableOnlySaysHowMuchToRead) {
  const auto planes = sgi::Pattern(300, 20, 3);
  const auto want = Expected(planes, kBackground);
  for (std::uint32_t length : {0u, 1u, 7u, 0xFFFFFFFFu}) {
    auto bytes = sgi::Rle({}, planes, sgi::Layout::kShuffled);
    for (unsigned i = 0; i < 60; ++i) sgi::PutLong(bytes, 512 + (60 + i) * 4, length);
    const auto canvas = Load(bytes);
    EXPECT_TRUE(canvas.Messages().empty());
    EXPECT_EQ(Compare(canvas, want, 300, 20), "") << "every length " << length;
  }
}

TEST(Rle, EveryByteIsReadAboutOnce) {
  const auto planes = sgi::Pattern(700, 90, 4);
  for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kTopFirst, sgi::Layout::kPlanar,
                      sgi::Layout::kShuffled}) {
    const auto bytes = sgi::Rle({}, planes, layout);
    lumenor::MemorySource file(bytes);
    testing_support::CountingSource source(file);
    lumenor::MemoryCanvas canvas;
    lumenor::LoadImage(source, canvas);
    ASSERT_TRUE(canvas.Messages().empty());
    EXPECT_LE(double(source.BytesRead()) / double(bytes.size()), 1.1)
        << sgi::LayoutName(layout) << ": " << source.BytesRead() << " of " << bytes.size();
  }
}

}  // namespace
