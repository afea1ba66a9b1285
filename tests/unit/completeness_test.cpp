// Whether a file holds all its header and tables say, from those alone: checked against the whole
// decode, which must give every row counted complete exactly as the uncut file gives it.
#include "completeness.h"

#include <gtest/gtest.h>

#include "decode_helpers.h"
#include "stored_image.h"

namespace {

using State = lumenor::Completeness::State;

lumenor::Completeness Check(const sgi::Bytes& bytes) {
  lumenor::MemorySource source(bytes);
  return lumenor::CheckCompleteness(source, {.sixteenBit = true});
}

// The stored values of the file as the decode gives them.
lumenor::StoredImage Decoded(const sgi::Bytes& bytes) {
  lumenor::MemorySource source(bytes);
  return lumenor::LoadStoredImage(source, lumenor::kNoValueLimit, {.sixteenBit = true});
}

sgi::Bytes Cut(const sgi::Bytes& bytes, std::size_t size) {
  return sgi::Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(size, bytes.size())));
}

TEST(Completeness, FilesCutAnywhereAgainstTheirWholeDecode) {
  struct Case {
    std::string what;
    sgi::Bytes whole;
    std::vector<std::pair<std::size_t, int>> cuts;  // size kept, complete rows wanted
  };
  const auto rgb = sgi::Pattern(20, 12, 3, 4);
  sgi::Planes shared = sgi::Pattern(20, 12, 4, 5);
  for (unsigned c = 0; c < 4; ++c)
    for (unsigned r = 1; r < 12; ++r) std::copy_n(shared.row(c, 0), 20, &shared.at(c, r, 0));
  const std::size_t plane = 20 * 12;
  const auto rle = sgi::Rle({}, rgb, sgi::Layout::kBottomFirst);
  const auto sharedRle = sgi::Rle({}, shared, sgi::Layout::kShared);
  const auto planar = sgi::Rle({}, rgb, sgi::Layout::kPlanar);
  const std::size_t tables = 512 + 8 * 12 * 3;
  // Row r of the bottom-first file ends where row r + 1 of channel 0 starts.
  const auto rowEnd = [&](int r) {
    return std::size_t(sgi::Bytes::size_type(rle[512 + 4 * (r + 1)]) << 24 |
                       rle[512 + 4 * (r + 1) + 1] << 16 | rle[512 + 4 * (r + 1) + 2] << 8 |
                       rle[512 + 4 * (r + 1) + 3]);
  };
  const Case cases[] = {
      {"verbatim rgb",
       sgi::Verbatim({}, rgb),
       {{512 + 3 * plane, 12},
        {512 + 3 * plane - 1, 11},
        {512 + 2 * plane + 20 * 5, 5},
        {512 + 2 * plane + 20 * 5 - 1, 4},
        {512 + plane, 0},
        {100, 0}}},
      {"verbatim grey 16-bit",
       sgi::Verbatim16({}, sgi::Pattern16(20, 12, 1)),
       {{512 + 2 * plane, 12}, {512 + 2 * 20 * 7 + 39, 7}, {512, 0}}},
      {"run-length, rows one after another",
       rle,
       {{rle.size(), 12}, {rowEnd(4), 5}, {rowEnd(4) - 1, 4}, {tables, 0}}},
      {"run-length planar: the last channel ends last",
       planar,
       {{planar.size(), 12}, {planar.size() - 1, 11}}},
      {"run-length, every row shared",
       sharedRle,
       {{sharedRle.size(), 12}, {sharedRle.size() - 1, 0}}},
      {"tables cut short", rle, {{tables - 1, 0}, {512 + 4 * 12 * 3, 0}, {512, 0}}},
  };
  for (const auto& c : cases)
    for (const auto& [size, rows] : c.cuts) {
      const std::string what = c.what + " cut at " + std::to_string(size);
      const auto bytes = Cut(c.whole, size);
      const auto checked = Check(bytes);
      EXPECT_EQ(checked.state, size >= c.whole.size() ? State::kComplete : State::kIncomplete)
          << what;
      EXPECT_EQ(checked.completeRows, rows) << what;
      EXPECT_EQ(checked.rows, 12) << what;
      // The decode's own view: at least the rows counted complete decode as in the whole file
      // (a row cut short may still decode alike, when what it lost reads as the zeros it held).
      const auto cut = Decoded(bytes), whole = Decoded(c.whole);
      ASSERT_EQ(cut.values.size(), whole.values.size()) << what;
      const std::size_t rowBytes = cut.values.size() / 12;
      int same = 0;
      for (int y = 0; y < 12; ++y)
        same += std::equal(cut.Row(y), cut.Row(y) + rowBytes, whole.Row(y));
      EXPECT_GE(same, rows) << what;
    }
}

TEST(Completeness, RefusedFilesGetTheLoadsWords) {
  const auto planes = sgi::Pattern(6, 5, 3);
  auto negative = sgi::Rle({}, planes, sgi::Layout::kPlanar);
  sgi::PutLong(negative, 512 + 4 * (2 + 5 * 1), 0x80000000u);  // row 2 of channel 1
  auto channels = sgi::Verbatim({}, planes);
  sgi::PutWord(channels, 10, 5);
  auto wide = sgi::Verbatim({}, planes);
  sgi::PutWord(wide, 6, 40000);
  const std::pair<std::string, sgi::Bytes> cases[] = {
      {"swapped bytes", sgi::Bytes{0xDA, 0x01}},
      {"a negative offset", negative},
      {"five channels", channels},
      {"too wide", wide},
      {"no rows", sgi::EncodeHeader({.storage = 1, .xsize = 4, .ysize = 0, .zsize = 3})},
      {"no columns", sgi::EncodeHeader({.storage = 0, .xsize = 0, .ysize = 4, .zsize = 3})},
  };
  for (const auto& [what, bytes] : cases) {
    const auto checked = Check(bytes);
    EXPECT_EQ(checked.state, State::kRefused) << what;
    const auto loaded = Decoded(bytes).messages;
    ASSERT_EQ(loaded.size(), 1u) << what;
    EXPECT_EQ(checked.refusal, loaded[0]) << what;
  }
  // Without the option a 16-bit file is refused as the window refuses it.
  const auto wideBytes = sgi::Verbatim16({}, sgi::Pattern16(3, 2, 1));
  lumenor::MemorySource wideValues(wideBytes);
  EXPECT_EQ(lumenor::CheckCompleteness(wideValues).refusal, "Unsupported bytes per component:  2");
}

}  // namespace
