// The stored values (LoadStoredImage) and the load of files cut short, both against the plain
// decode; rows wholly past the end of a file go to the canvas in bulk.
#include "stored_image.h"

#include <gtest/gtest.h>

#include "decode_helpers.h"
#include "load_outcome.h"
#include "plain_decode.h"
#include "scratch_dir.h"

namespace {

using testing_support::DecodePlainly;
using testing_support::PlainCanvas;

constexpr lumenor::Pixel kBackground = lumenor::kWorkspaceGrey;
const char* const kShapeNames[] = {"", "grey", "grey_alpha", "rgb", "rgba"};

lumenor::StoredImage Stored(const sgi::Bytes& bytes,
                            std::uint64_t maxValues = lumenor::kNoValueLimit) {
  lumenor::MemorySource source(bytes);
  return lumenor::LoadStoredImage(source, maxValues);
}

// Empty when the stored values are the plain decode's; otherwise the first difference.
std::string CompareValues(const lumenor::StoredImage& image,
                          const testing_support::PlainDecode& want) {
  if (image.width != want.width || image.height != want.height ||
      int(image.channels) != want.channels)
    return "have " + std::to_string(image.width) + "x" + std::to_string(image.height) + "x" +
           std::to_string(image.channels) + ", want " + std::to_string(want.width) + "x" +
           std::to_string(want.height) + "x" + std::to_string(want.channels);
  for (int y = 0; y < want.height; ++y)
    for (int x = 0; x < want.width; ++x)
      for (int c = 0; c < want.channels; ++c) {
        const unsigned have = image.Row(y)[x * want.channels + c];
        if (have != want.At(x, y, c))
          return "have " + std::to_string(have) + ", want " + std::to_string(want.At(x, y, c)) +
                 " at (" + std::to_string(x) + ", " + std::to_string(y) + ") channel " +
                 std::to_string(c);
      }
  return {};
}

TEST(StoredValues, EveryShapeStorageAndLayoutAsTheFileHoldsThem) {
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    auto planes = sgi::Pattern(31, 23, channels, channels);
    for (unsigned c = 0; c < channels; ++c)  // identical rows, so the shared layout shares some
      for (unsigned r = 8; r < 14; ++r)
        std::copy_n(planes.row(c, 3), planes.width, &planes.at(c, r, 0));
    std::vector<std::pair<std::string, sgi::Bytes>> files = {
        {"verbatim", sgi::Verbatim({.name = "stored"}, planes)}};
    for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kTopFirst, sgi::Layout::kPlanar,
                        sgi::Layout::kShuffled, sgi::Layout::kShared})
      files.emplace_back(sgi::LayoutName(layout), sgi::Rle({.name = "stored"}, planes, layout));
    for (const auto& [what, bytes] : files) {
      const auto image = Stored(bytes);
      const std::string shape = std::string(kShapeNames[channels]) + " " + what;
      EXPECT_TRUE(image.messages.empty()) << shape;
      ASSERT_EQ(image.values.size(), std::size_t{31} * 23 * channels) << shape;
      EXPECT_EQ(image.channels, channels);
      EXPECT_EQ(image.header.name[0], 's');
      // Straight from the planes: file row r is picture row height - 1 - r.
      for (unsigned r = 0; r < 23; ++r)
        for (unsigned x = 0; x < 31; ++x)
          for (unsigned c = 0; c < channels; ++c)
            ASSERT_EQ(image.Row(int(22 - r))[x * channels + c], planes.at(c, r, x))
                << shape << " at (" << x << ", " << 22 - r << ") channel " << c;
    }
  }
}

TEST(Damaged, StoredValuesAndCanvasAreThePlainDecodes) {
  for (const auto& file : testing_support::DamagedFiles()) {
    const auto want = DecodePlainly(file.bytes);
    const auto image = Stored(file.bytes);
    EXPECT_EQ(CompareValues(image, want), "") << file.what;
    const auto canvas = testing_support::Load(file.bytes);
    EXPECT_EQ(
        testing_support::Compare(canvas, PlainCanvas(want, kBackground), want.width, want.height),
        "")
        << file.what;
    // A load stops where the plain decode does, with the same words.
    EXPECT_EQ(image.messages, canvas.Messages()) << file.what;
    EXPECT_EQ(image.messages.size(), want.failedRow >= 0 ? 1u : 0u) << file.what;
  }
}

// The load checked without its picture says what the load says, names it as the load does, and
// has values exactly when the stored picture has them.
TEST(Damaged, TheLoadCheckedWithoutItsPictureSaysWhatTheLoadSays) {
  auto files = testing_support::DamagedFiles();
  const auto planes = sgi::Pattern(6, 5, 3);
  for (const auto& [what, at, value] :
       {std::tuple{"magic", 0, 0xDA01u}, std::tuple{"channels 5", 10, 5u},
        std::tuple{"no columns", 6, 0u}, std::tuple{"width", 6, 32768u}}) {
    auto bytes = sgi::Rle({}, planes);
    sgi::PutWord(bytes, std::size_t(at), value);
    files.push_back({what, bytes});
  }
  files.push_back(
      {"grey without columns", sgi::EncodeHeader({.xsize = 0, .ysize = 4, .zsize = 1})});
  for (const auto& file : files) {
    lumenor::MemorySource source(file.bytes);
    const auto outcome = lumenor::CheckLoad(source);
    const auto image = Stored(file.bytes);
    EXPECT_EQ(outcome.messages, image.messages) << file.what;
    EXPECT_EQ(outcome.name, image.name) << file.what;
    EXPECT_EQ(outcome.HasValues(), !image.values.empty()) << file.what;
  }
}

TEST(Damaged, ReportsAreTheLoadsWordForWord) {
  const auto planes = sgi::Pattern(6, 5, 3);
  struct Case {
    std::string what;
    std::size_t at;  // a 16-bit field
    unsigned value;
    unsigned storage;
  };
  const Case cases[] = {
      {"magic", 0, 0xDA01, 0},      {"dimension", 4, 4, 0},   {"width", 6, 32768, 0},
      {"height", 8, 40000, 1},      {"channels 5", 10, 5, 0}, {"channels 0", 10, 0, 1},
      {"rle channels 5", 10, 5, 1}, {"no rows", 8, 0, 1},     {"no columns", 6, 0, 0},
  };
  for (const auto& c : cases) {
    auto bytes = c.storage == 0 ? sgi::Verbatim({}, planes) : sgi::Rle({}, planes);
    sgi::PutWord(bytes, c.at, c.value);
    const auto image = Stored(bytes);
    ASSERT_EQ(image.messages.size(), 1u) << c.what;
    EXPECT_EQ(image.messages, testing_support::Load(bytes).Messages()) << c.what;
    EXPECT_EQ(image.header.magic, c.at == 0 ? c.value : 474u) << c.what;
  }
  auto compression = sgi::Verbatim({}, planes);
  compression[2] = 2;
  EXPECT_EQ(Stored(compression).messages,
            std::vector<std::string>{"Unsupported compression flag:  2"});
  EXPECT_TRUE(Stored(compression).values.empty());
}

TEST(StoredValues, MemoryThatCannotBeHadIsAReadError) {
  const auto bytes = sgi::EncodeHeader({.xsize = 100, .ysize = 100, .zsize = 3});
  const auto refused = Stored(bytes, 100 * 100 * 3 - 1);
  EXPECT_EQ(refused.messages,
            std::vector<std::string>{"There was an error reading the file:\r\n"
                                     "Not enough memory for a picture of 100 x 100 pixels"});
  EXPECT_TRUE(refused.values.empty());
  EXPECT_EQ(refused.width, 0);
  const auto enough = Stored(bytes, 100 * 100 * 3);
  EXPECT_TRUE(enough.messages.empty());
  EXPECT_EQ(enough.values, std::vector<std::uint8_t>(100 * 100 * 3, 0));
}

TEST(StoredValues, FromAFileByName) {
  ScratchDir dir;
  const auto planes = sgi::Pattern(5, 4, 4);
  const auto image = lumenor::LoadStoredImage(dir.Write("a.rgba", sgi::Rle({}, planes)).string());
  EXPECT_TRUE(image.messages.empty());
  EXPECT_EQ(image.Row(3)[4 * 4 + 3], planes.at(3, 0, 4));
  const auto missing = lumenor::LoadStoredImage((dir / "missing.rgb").string());
  ASSERT_EQ(missing.messages.size(), 1u);
  EXPECT_TRUE(testing_support::IsReadError(missing.messages[0]));
}

// Counts the rows the load writes one at a time (Scanline) apart from those it hands over in bulk.
class CountingCanvas final : public lumenor::MemoryCanvas {
 public:
  bool Resize(int width, int height) override {
    const bool resized = MemoryCanvas::Resize(width, height);
    scanlines_ = 0;  // the resize's own copying is not the load's
    return resized;
  }
  lumenor::Pixel* Scanline(int y) override {
    if (!filling_) ++scanlines_;
    return MemoryCanvas::Scanline(y);
  }
  void FillRows(int top, int bottom, lumenor::Pixel pixel) override {
    filled_ += bottom - top + 1;
    filling_ = true;
    MemoryCanvas::FillRows(top, bottom, pixel);
    filling_ = false;
  }
  int scanlines_ = 0, filled_ = 0;

 private:
  bool filling_ = false;
};

TEST(PastTheEnd, RowsGoInBulkAndProgressComesAsBefore) {
  struct Case {
    unsigned channels, storage;
    std::size_t size;  // bytes kept of the file
    int written;       // rows written one at a time
    int filled;        // rows handed over in bulk
  };
  // 40 x 50 pictures. Uncompressed: the first row whose plane-0 bytes lie wholly past the end,
  // and every row above it, goes in bulk; with alpha those rows are transparent and need
  // nothing. Run-length (size 0): the tables are kept and point past the end.
  const Case cases[] = {
      {1, 0, 512, 0, 50},
      {2, 0, 512, 0, 0},
      {3, 0, 512, 0, 50},
      {4, 0, 512, 0, 0},
      {1, 0, 512 + 40 * 7, 7, 43},
      {3, 0, 512 + 40 * 7 + 1, 8, 42},
      {4, 0, 512 + 40 * 7 + 1, 8, 0},
      {3, 0, 512 + 40 * 50 * 2, 50, 0},
      {1, 1, 0, 0, 0},  // grey run-length rows that decode nothing paint nothing
      {2, 1, 0, 0, 0},
      {3, 1, 0, 0, 50},
      {4, 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const auto planes = sgi::Pattern(40, 50, c.channels);
    auto bytes = c.storage == 0 ? sgi::Verbatim({}, planes) : sgi::Rle({}, planes);
    const auto progress = testing_support::Load(bytes).ProgressRows();
    const std::size_t size = c.storage == 0 ? c.size : 512 + std::size_t{8} * 50 * c.channels;
    for (std::size_t i = 0; c.storage == 1 && i < 50 * c.channels; ++i)
      sgi::PutLong(bytes, 512 + 4 * i, std::uint32_t(size + i));
    bytes.resize(size);
    CountingCanvas canvas;
    lumenor::MemorySource source(bytes);
    lumenor::LoadImage(source, canvas);
    const std::string what =
        std::string(kShapeNames[c.channels]) + (c.storage ? " rle " : " ") + std::to_string(size);
    EXPECT_EQ(canvas.scanlines_, c.written) << what;
    EXPECT_EQ(canvas.filled_, c.filled) << what;
    EXPECT_EQ(canvas.ProgressRows(), progress) << what;
    EXPECT_EQ(
        testing_support::Compare(canvas, PlainCanvas(DecodePlainly(bytes), kBackground), 40, 50),
        "")
        << what;
  }
}

}  // namespace
