// Pictures of 16 bits a channel, read when asked to: the stored values as the file holds them,
// the canvas as round(v * 255 / 65535) blended as any picture, rows read again alike, and broken
// files as their 8-bit twins break. Below the pictures, their rows: packets of every length
// decoded as a plain reading of them gives, and every value narrowed for the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "decode_helpers.h"
#include "load_outcome.h"
#include "plain_decode.h"
#include "rle.h"
#include "rows.h"
#include "stored_image.h"

namespace {

constexpr lumenor::DecodeOptions kSixteenBit{.sixteenBit = true};
constexpr lumenor::Pixel kBackground = lumenor::kWorkspaceGrey;
const char* const kShapeNames[] = {"", "grey", "grey_alpha", "rgb", "rgba"};

lumenor::MemoryCanvas LoadWide(const sgi::Bytes& bytes) {
  lumenor::MemoryCanvas canvas(kBackground);
  lumenor::MemorySource source(bytes);
  lumenor::LoadImage(source, canvas, kSixteenBit);
  return canvas;
}

lumenor::StoredImage StoredWide(const sgi::Bytes& bytes) {
  lumenor::MemorySource source(bytes);
  return lumenor::LoadStoredImage(source, lumenor::kNoValueLimit, kSixteenBit);
}

// Every row of the file, top down and scattered, through a row reader: the stored rows.
std::string RowsReadAgain(const sgi::Bytes& bytes, const lumenor::StoredImage& image) {
  std::vector<int> order;
  for (int y = 0; y < image.height; ++y) order.push_back(y);
  std::vector<int> scattered = order;
  std::shuffle(scattered.begin(), scattered.end(), std::mt19937(3));
  order.insert(order.end(), scattered.begin(), scattered.end());
  lumenor::RowReader reader(std::make_unique<lumenor::MemorySource>(bytes),
                            lumenor::RowReader::Rows::kCheckInOrder, kSixteenBit);
  const std::size_t rowBytes = std::size_t(image.width) * image.channels * 2;
  for (const int y : order) {
    const auto row = reader.Row(y);
    if (row.size() != rowBytes || !std::equal(row.begin(), row.end(), image.Row(y)))
      return "row " + std::to_string(y) + " differs";
  }
  return {};
}

TEST(SixteenBit, EveryShapeStorageAndLayout) {
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    sgi::Planes16 planes = sgi::Pattern16(37, 23, channels, channels);
    for (unsigned c = 0; c < channels; ++c)  // identical rows, so the shared layout shares some
      for (unsigned r = 8; r < 14; ++r)
        std::copy_n(planes.row(c, 3), planes.width, &planes.values[(c * 23 + r) * 37]);
    std::vector<std::pair<std::string, sgi::Bytes>> files = {
        {"verbatim", sgi::Verbatim16({.name = "deep"}, planes)}};
    for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kTopFirst, sgi::Layout::kPlanar,
                        sgi::Layout::kShuffled, sgi::Layout::kShared})
      files.emplace_back(sgi::LayoutName(layout), sgi::Rle16({.name = "deep"}, planes, layout));
    const auto want = testing_support::Expected(sgi::Narrowed(planes), kBackground);
    for (const auto& [what, bytes] : files) {
      const std::string shape = std::string(kShapeNames[channels]) + " " + what;
      // Not asked for: refused as the window refuses them, in its words.
      const std::vector<std::string> refusal = {"Unsupported bytes per component:  2"};
      EXPECT_EQ(testing_support::Load(bytes).Messages(), refusal) << shape;
      lumenor::MemorySource source(bytes);
      EXPECT_EQ(lumenor::LoadStoredImage(source).messages, refusal) << shape;

      const auto image = StoredWide(bytes);
      EXPECT_TRUE(image.messages.empty()) << shape;
      ASSERT_EQ(image.bytesPerChannel, 2u) << shape;
      ASSERT_EQ(image.values.size(), std::size_t{37} * 23 * channels * 2) << shape;
      for (unsigned r = 0; r < 23; ++r)
        for (unsigned x = 0; x < 37; ++x)
          for (unsigned c = 0; c < channels; ++c)
            ASSERT_EQ(image.Value(int(x), int(22 - r), c), planes.at(c, r, x))
                << shape << " at (" << x << ", " << 22 - r << ") channel " << c;
      const auto canvas = LoadWide(bytes);
      EXPECT_TRUE(canvas.Messages().empty()) << shape;
      EXPECT_EQ(canvas.Title(), "Lumenor - deep") << shape;
      EXPECT_EQ(testing_support::Compare(canvas, want, 37, 23), "") << shape;
      EXPECT_EQ(RowsReadAgain(bytes, image), "") << shape;
      lumenor::MemorySource again(bytes);
      EXPECT_TRUE(lumenor::CheckLoad(again, kSixteenBit).messages.empty()) << shape;
    }
  }
}

// 16-bit values that are 8-bit ones widened (v * 257) in files laid out alike.
sgi::Planes16 Widened(const sgi::Planes& planes) {
  sgi::Planes16 wide{planes.width, planes.height, planes.channels, {}};
  for (const std::uint8_t v : planes.values) wide.values.push_back(std::uint16_t(v * 257));
  return wide;
}

// The same rows as testing_support::RaggedRle, at 16 bits (wide = true) or 8.
sgi::Bytes Ragged(const sgi::Planes& planes, sgi::Layout layout, unsigned seed, bool wide) {
  const sgi::Planes16 widened = Widened(planes);
  std::vector<sgi::Bytes> rows;
  std::uint32_t state = seed;
  for (unsigned c = 0; c < planes.channels; ++c)
    for (unsigned r = 0; r < planes.height; ++r) {
      state = state * 1664525u + 1013904223u;
      const unsigned pick = state >> 24;
      const unsigned count = pick < 64 ? 0 : pick < 160 ? pick % (planes.width + 1) : planes.width;
      rows.push_back(wide ? sgi::EncodeRleRow16(widened.row(c, r), count)
                          : sgi::EncodeRleRow(planes.row(c, r), count));
    }
  return sgi::RleFromRows({.bpc = wide ? 2u : 1u,
                           .xsize = planes.width,
                           .ysize = planes.height,
                           .zsize = planes.channels},
                          rows, layout);
}

// A broken 16-bit file breaks as its 8-bit twin does: the same rows kept, the same words, the
// stored values the twin's widened and the canvas the twin's.
TEST(SixteenBit, BrokenFilesAsTheirEightBitTwins) {
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    const auto planes = sgi::Pattern(29, 19, channels, 5 * channels);
    const std::size_t plane = std::size_t{29} * 19;
    struct Twins {
      std::string what;
      sgi::Bytes narrow, wide;
    };
    std::vector<Twins> twins;
    const auto verbatim = sgi::Verbatim({}, planes);
    const auto verbatim16 = sgi::Verbatim16({}, Widened(planes));
    for (const std::size_t cut :
         {std::size_t{0}, std::size_t{29 * 4 + 7}, plane, plane * channels - 30}) {
      twins.push_back(
          {"verbatim cut at value " + std::to_string(cut),
           sgi::Bytes(verbatim.begin(), verbatim.begin() + std::ptrdiff_t(512 + cut)),
           sgi::Bytes(verbatim16.begin(), verbatim16.begin() + std::ptrdiff_t(512 + 2 * cut))});
    }
    for (auto layout : {sgi::Layout::kTopFirst, sgi::Layout::kShuffled, sgi::Layout::kShared})
      twins.push_back({"ragged " + sgi::LayoutName(layout), Ragged(planes, layout, channels, false),
                       Ragged(planes, layout, channels, true)});
    for (const bool wide : {false, true}) {
      auto rows = std::vector<sgi::Bytes>(
          19 * channels, wide ? sgi::Bytes{0, 29, 0x40, 0x40, 0, 0} : sgi::Bytes{29, 0x40, 0});
      rows[7 + 19 * (channels - 1)] =
          wide ? sgi::Bytes{0, 30, 0x41, 0x41, 0, 0} : sgi::Bytes{30, 0x41, 0};
      auto file =
          sgi::RleFromRows({.bpc = wide ? 2u : 1u, .xsize = 29, .ysize = 19, .zsize = channels},
                           rows, sgi::Layout::kPlanar);
      sgi::PutLong(file, 512 + 4 * (12 + 19 * (channels - 1)), 0x80000000u);  // never reached
      if (!wide) twins.push_back({"row 7 too long", file, {}});
      if (wide) twins.back().wide = file;
    }
    for (const auto& twin : twins) {
      const std::string what = std::string(kShapeNames[channels]) + " " + twin.what;
      lumenor::MemorySource narrowSource(twin.narrow);
      const auto narrow = lumenor::LoadStoredImage(narrowSource);
      const auto wide = StoredWide(twin.wide);
      EXPECT_EQ(wide.messages, narrow.messages) << what;
      ASSERT_EQ(wide.values.size(), narrow.values.size() * 2) << what;
      for (std::size_t i = 0; i < narrow.values.size(); ++i)
        ASSERT_EQ(lumenor::StoredImage::StoredValue(wide.values.data(), i, 2),
                  narrow.values[i] * 257u)
            << what << " value " << i;
      const auto narrowCanvas = testing_support::Load(twin.narrow);
      const auto wideCanvas = LoadWide(twin.wide);
      std::vector<lumenor::Pixel> want;
      for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 29; ++x) want.push_back(narrowCanvas.At(x, y));
      EXPECT_EQ(testing_support::Compare(wideCanvas, want, 29, 19), "") << what;
      EXPECT_EQ(wideCanvas.Messages(), narrowCanvas.Messages()) << what;
      EXPECT_EQ(RowsReadAgain(twin.wide, wide), "") << what;
    }
  }
}

// A run-length row of 16-bit values read the plain way, a value at a time: the count
// DecodeRleRow16 returns and what it leaves in out (the bytes it does not reach keep theirs).
std::ptrdiff_t PlainRow16(const sgi::Bytes& in, std::vector<std::uint8_t>& out,
                          lumenor::LongRows longRows) {
  const std::size_t width = out.size() / 2, words = in.size() / 2;
  std::size_t word = 0, i = 0;
  for (;;) {
    if (word == words) return lumenor::kInputShort;
    const unsigned k = in[2 * word + 1];
    ++word;
    const std::size_t n = k & 0x7F;
    if (n == 0) return static_cast<std::ptrdiff_t>(i);
    const bool copy = (k & 0x80) != 0;
    if (words - word < (copy ? n : 1)) return lumenor::kInputShort;
    if (i + n > width && longRows == lumenor::LongRows::kFail) return lumenor::kRowOverflow;
    for (std::size_t m = 0; m < n; ++m, ++i) {
      if (i == width) return static_cast<std::ptrdiff_t>(width);
      const std::size_t from = copy ? word + m : word;
      out[2 * i] = in[2 * from];
      out[2 * i + 1] = in[2 * from + 1];
    }
    word += copy ? n : 1;
  }
}

// Each packet length is written in moves of 2, 4, 8 and 16 bytes, the last one overlapping: every
// length about those sizes, as a run and as a copy, after 0, 1 or 3 values, in rows that overflow,
// end exactly at the width or end short of it, whole or cut off, clipped or failed.
TEST(SixteenBit, RowPacketsAsTheirPlainReading) {
  const std::size_t lengths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 32, 33, 64, 126, 127};
  const auto word = [](sgi::Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
  };
  int cases = 0;
  for (const std::size_t length : lengths)
    for (const bool copy : {false, true})
      for (const std::size_t lead : {0u, 1u, 3u})
        for (const std::size_t room : {length - 1, length, length + 1, length + 9})
          for (const bool cut : {false, true})
            for (const auto longRows : {lumenor::LongRows::kFail, lumenor::LongRows::kClip}) {
              sgi::Bytes in;
              if (lead > 0) {
                word(in, 0xA500 | 0x80 | unsigned(lead));  // the high byte is not looked at
                for (std::size_t m = 0; m < lead; ++m) word(in, 0x7E81 + 0x0102 * unsigned(m));
              }
              word(in, 0x5A00 | (copy ? 0x80 : 0) | unsigned(length));
              for (std::size_t m = 0; m < (copy ? length : 1); ++m)
                word(in, (0xC35A + 0x1F3D * unsigned(m)) & 0xFFFF);
              word(in, 0x3C00);                   // the row ends
              if (cut) in.erase(in.end() - 3, in.end());  // into the last value, or the end word
              std::vector<std::uint8_t> want(2 * (lead + room));
              for (std::size_t b = 0; b < want.size(); ++b) want[b] = std::uint8_t(0xE0 + b % 17);
              std::vector<std::uint8_t> out = want;
              const std::ptrdiff_t count = PlainRow16(in, want, longRows);
              const std::string what =
                  std::string(copy ? "copy" : "run") + " of " + std::to_string(length) + " after " +
                  std::to_string(lead) + " in a row of " + std::to_string(lead + room) +
                  (cut ? ", cut" : "") + (longRows == lumenor::LongRows::kClip ? ", clipped" : "");
              ASSERT_EQ(lumenor::DecodeRleRow16(in, out, longRows), count) << what;
              ASSERT_EQ(out, want) << what;
              ++cases;
            }
  EXPECT_EQ(cases, 18 * 2 * 3 * 4 * 2 * 2);
}

// Every 16-bit value against round(v * 255 / 65535) worked out in floating point, and short rows
// from odd places, which end before a whole vector's worth: nothing past count is written.
TEST(SixteenBit, NarrowRowRoundsEveryValue) {
  std::vector<std::uint8_t> wide, want;
  for (unsigned v = 0; v < 65536; ++v) {
    wide.push_back(static_cast<std::uint8_t>(v >> 8));
    wide.push_back(static_cast<std::uint8_t>(v));
    want.push_back(static_cast<std::uint8_t>(std::lround(v * 255.0 / 65535.0)));
  }
  std::vector<std::uint8_t> narrow(want.size());
  lumenor::NarrowRow(wide.data(), narrow.data(), narrow.size());
  for (std::size_t v = 0; v < want.size(); ++v)
    ASSERT_EQ(unsigned(narrow[v]), unsigned(want[v])) << "v = " << v;
  for (const std::size_t start : {0u, 1u, 128u, 32767u, 65000u})
    for (std::size_t count = 0; count <= 40; ++count) {
      std::vector<std::uint8_t> part(count + 1, 0xEE);
      lumenor::NarrowRow(wide.data() + 2 * start, part.data(), count);
      for (std::size_t x = 0; x < count; ++x)
        ASSERT_EQ(unsigned(part[x]), unsigned(want[start + x])) << "v = " << start + x;
      EXPECT_EQ(part[count], 0xEE) << count << " values from " << start;
    }
}

}  // namespace
