// Broken and hostile files: each must end in a picture or a clear message, never in a crash, a
// hang or a leak (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include "decode_helpers.h"

namespace {

constexpr std::uint64_t kCanvasCap = 4096ull * 4096ull;

// Loads bytes onto a capped canvas and checks that the outcome is one of the sound ones.
void ExpectSoundOutcome(const sgi::Bytes& bytes, const std::string& what,
                        const lumenor::DecodeOptions& options = {}) {
  lumenor::MemoryCanvas canvas(lumenor::kWorkspaceGrey, kCanvasCap);
  lumenor::MemorySource source(bytes);
  lumenor::LoadImage(source, canvas, options);
  ASSERT_LE(canvas.Messages().size(), 1u) << what;
  for (const auto& message : canvas.Messages()) EXPECT_FALSE(message.empty()) << what;
  EXPECT_LE(
      static_cast<std::uint64_t>(canvas.Width()) * static_cast<std::uint64_t>(canvas.Height()),
      kCanvasCap);
}

TEST(Hostile, TruncationAtEveryOffset) {
  const auto planes = sgi::Pattern(13, 9, 3);
  const auto rle = sgi::Rle({}, planes, sgi::Layout::kShuffled);
  const auto grey = sgi::Rle({}, sgi::Pattern(13, 9, 1));
  const auto greyAlpha = sgi::Rle({}, sgi::Pattern(13, 9, 2), sgi::Layout::kPlanar);
  const auto verbatim = sgi::Verbatim({}, planes);
  for (const auto* file : {&rle, &grey, &greyAlpha, &verbatim})
    for (std::size_t size = 0; size <= file->size(); ++size)
      ExpectSoundOutcome(
          sgi::Bytes(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(size)),
          "truncated at " + std::to_string(size));
}

TEST(Hostile, SixteenBitTruncationAtEveryOffsetAndEndlessRows) {
  const auto rle = sgi::Rle16({}, sgi::Pattern16(13, 9, 3), sgi::Layout::kShuffled);
  const auto grey = sgi::Rle16({}, sgi::Pattern16(13, 9, 1));
  const auto verbatim = sgi::Verbatim16({}, sgi::Pattern16(13, 9, 4));
  for (const auto* file : {&rle, &grey, &verbatim})
    for (std::size_t size = 0; size <= file->size(); ++size)
      ExpectSoundOutcome(
          sgi::Bytes(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(size)),
          "16-bit truncated at " + std::to_string(size), {.sixteenBit = true});
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    // Copy packets without an end, runs past the width, an odd byte before the end of the file.
    std::vector<sgi::Bytes> endless(4 * channels, sgi::Bytes(3001, 0xFF));
    std::vector<sgi::Bytes> runs(4 * channels, sgi::Bytes{0, 0x7F, 1, 1, 0, 0x7F, 2, 2, 0, 1});
    for (const auto* rows : {&endless, &runs})
      ExpectSoundOutcome(sgi::RleFromRows({.bpc = 2, .xsize = 100, .ysize = 4, .zsize = channels},
                                          *rows, sgi::Layout::kBottomFirst),
                         "16-bit endless rows", {.sixteenBit = true});
  }
}

TEST(Hostile, TruncatedRleShowsTheRowsItHolds) {
  const auto planes = sgi::Pattern(13, 9, 1);
  const auto full = sgi::Rle({}, planes);
  const auto complete = testing_support::Load(full);
  auto cut = full;
  cut.resize(full.size() - 30);
  const auto canvas = testing_support::Load(cut);
  EXPECT_TRUE(canvas.Messages().empty());
  for (int x = 0; x < 13; ++x) EXPECT_EQ(canvas.At(x, 8), complete.At(x, 8));  // the bottom row
}

TEST(Hostile, EveryHeaderFieldAtItsEdges) {
  const std::size_t wordFields[] = {0, 4, 6, 8, 10};  // MAGIC, DIMENSION, XSIZE, YSIZE, ZSIZE
  const unsigned values[] = {0, 1, 32767, 32768, 65535};
  for (unsigned storage : {0u, 1u}) {
    const auto planes = sgi::Pattern(6, 5, 3);
    const auto base = storage == 0 ? sgi::Verbatim({}, planes) : sgi::Rle({}, planes);
    for (std::size_t field : wordFields)
      for (unsigned value : values) {
        auto bytes = base;
        sgi::PutWord(bytes, field, value);
        ExpectSoundOutcome(bytes, "field " + std::to_string(field) + " = " + std::to_string(value));
      }
    for (std::size_t field : {2u, 3u})  // STORAGE, BPC
      for (unsigned value : {0u, 1u, 2u, 127u, 255u}) {
        auto bytes = base;
        bytes[field] = static_cast<std::uint8_t>(value);
        ExpectSoundOutcome(bytes, "byte " + std::to_string(field) + " = " + std::to_string(value));
      }
  }
}

TEST(Hostile, SizesAtTheLimits) {
  for (auto [x, y] : {std::pair{32767u, 32767u}, std::pair{32767u, 1u}, std::pair{1u, 32767u},
                      std::pair{4096u, 4096u}})
    for (unsigned channels : {1u, 2u, 3u, 4u})
      for (unsigned storage : {0u, 1u}) {
        auto bytes =
            sgi::EncodeHeader({.storage = storage, .xsize = x, .ysize = y, .zsize = channels});
        ExpectSoundOutcome(bytes, std::to_string(x) + "x" + std::to_string(y));
      }
}

TEST(Hostile, OffsetTables) {
  const auto planes = sgi::Pattern(8, 6, 4);
  const auto base = sgi::Rle({}, planes);
  const std::uint32_t offsets[] = {0,
                                   1,
                                   511,
                                   512,
                                   0x7FFFFFFF,
                                   0x80000000u,
                                   0xFFFFFFFFu,
                                   static_cast<std::uint32_t>(base.size()),
                                   static_cast<std::uint32_t>(base.size() - 1)};
  for (std::uint32_t offset : offsets) {
    auto allEqual = base;
    for (unsigned i = 0; i < 24; ++i) sgi::PutLong(allEqual, 512 + i * 4, offset);
    ExpectSoundOutcome(allEqual, "all offsets " + std::to_string(offset));
  }
}

TEST(Hostile, RowsThatNeverEnd) {
  // Count bytes without an end: copy packets of 0xFF and runs to the end of the file.
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    std::vector<sgi::Bytes> rows;
    for (unsigned i = 0; i < 4 * channels; ++i) rows.push_back(sgi::Bytes(3000, 0xFF));
    ExpectSoundOutcome(sgi::RleFromRows({.xsize = 100, .ysize = 4, .zsize = channels}, rows,
                                        sgi::Layout::kBottomFirst),
                       "endless rows");
    std::vector<sgi::Bytes> runs(4 * channels, sgi::Bytes{0x7F, 1, 0x7F, 2, 0x01});
    ExpectSoundOutcome(sgi::RleFromRows({.xsize = 100, .ysize = 4, .zsize = channels}, runs,
                                        sgi::Layout::kBottomFirst),
                       "long runs");
  }
}

TEST(Hostile, RowOnePixelTooLong) {
  auto rows = std::vector<sgi::Bytes>(6, sgi::Bytes{0x05, 9, 0});
  rows[1 + 2 * 2] = {0x06, 9, 0};  // row 1 of the blue channel
  const auto canvas = testing_support::Load(
      sgi::RleFromRows({.xsize = 5, .ysize = 2, .zsize = 3}, rows, sgi::Layout::kPlanar));
  ASSERT_EQ(canvas.Messages().size(), 1u);
  EXPECT_EQ(canvas.At(0, 1), lumenor::GreyPixel(9));
}

}  // namespace
