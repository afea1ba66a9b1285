// RowReader: one row again from the file, exactly as the whole decode holds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "decode_helpers.h"
#include "load_failure.h"
#include "plain_decode.h"
#include "stored_image.h"

namespace {

std::unique_ptr<lumenor::ByteSource> Source(const sgi::Bytes& bytes) {
  return std::make_unique<lumenor::MemorySource>(bytes);
}

// Every shape in every storage and layout, and every damaged file.
std::vector<testing_support::DamagedFile> Files() {
  const char* const shapes[] = {"", "grey", "grey_alpha", "rgb", "rgba"};
  auto files = testing_support::DamagedFiles();
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    auto planes = sgi::Pattern(45, 33, channels, channels + 10);
    for (unsigned c = 0; c < channels; ++c)  // identical rows, so the shared layout shares some
      for (unsigned r = 20; r < 30; ++r)
        std::copy_n(planes.row(c, 2), planes.width, &planes.at(c, r, 0));
    files.push_back({std::string(shapes[channels]) + " verbatim", sgi::Verbatim({}, planes)});
    for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kTopFirst, sgi::Layout::kPlanar,
                        sgi::Layout::kShuffled, sgi::Layout::kShared})
      files.push_back({std::string(shapes[channels]) + " " + sgi::LayoutName(layout),
                       sgi::Rle({}, planes, layout)});
  }
  return files;
}

TEST(RowReader, EveryRowInAnyOrderIsTheWholeDecodesRow) {
  for (const auto& file : Files()) {
    lumenor::MemorySource whole(file.bytes);
    const auto image = lumenor::LoadStoredImage(whole);
    ASSERT_FALSE(image.values.empty()) << file.what;
    const std::size_t rowBytes = std::size_t(image.width) * image.channels;
    std::vector<int> bottomUp(std::size_t(image.height));
    for (int y = 0; y < image.height; ++y) bottomUp[std::size_t(y)] = image.height - 1 - y;
    std::vector<int> topDown(bottomUp.rbegin(), bottomUp.rend());
    std::vector<int> scattered = bottomUp;
    std::shuffle(scattered.begin(), scattered.end(), std::mt19937(5));
    scattered.insert(scattered.begin() + 7, scattered[6]);  // the same row twice in a row
    const std::pair<const char*, std::vector<int>> orders[] = {
        {"bottom up", bottomUp}, {"top down", topDown}, {"scattered", scattered}};
    // A reader may skip its check when the whole load went through without an error.
    std::vector<lumenor::RowReader::Rows> modes = {lumenor::RowReader::Rows::kCheckInOrder};
    if (image.messages.empty()) modes.push_back(lumenor::RowReader::Rows::kLoadedWithoutError);
    for (const auto mode : modes)
      for (const auto& [order, rows] : orders) {
        lumenor::RowReader reader(Source(file.bytes), mode);
        EXPECT_EQ(reader.Header().height, image.height);
        const std::string what =
            file.what + ", " + order +
            (mode == lumenor::RowReader::Rows::kCheckInOrder ? "" : ", trusted");
        for (const int y : rows) {
          const auto row = reader.Row(y);
          ASSERT_EQ(row.size(), rowBytes) << what;
          const auto differs = std::mismatch(row.begin(), row.end(), image.Row(y));
          ASSERT_TRUE(differs.first == row.end())
              << what << ": row " << y << " byte " << differs.first - row.begin() << " is "
              << int(*differs.first) << ", want " << int(*differs.second);
        }
      }
  }
}

TEST(RowReader, RefusesWhatTheLoadRefusesInItsWords) {
  const auto planes = sgi::Pattern(6, 5, 3);
  struct Case {
    std::string what;
    std::size_t at;  // a 16-bit field
    unsigned value;
    unsigned storage;
    std::string message;
  };
  const Case cases[] = {
      {"magic", 0, 0xDA01, 0, "Header doesn't check out: -9727"},
      {"dimension", 4, 0, 1, "Unsupported Dimension:  0"},
      {"channels", 10, 5, 1, "Unsupported number of channels:  5"},
      {"width", 6, 32768, 0,
       "The picture is 32768 x 5 pixels; the largest that can be shown is 32767 x 32767"},
      {"no rows", 8, 0, 1, "The run-length offset table is empty (0 rows, 3 channels)"},
  };
  for (const auto& c : cases) {
    auto bytes = c.storage == 0 ? sgi::Verbatim({}, planes) : sgi::Rle({}, planes);
    sgi::PutWord(bytes, c.at, c.value);
    std::string message;
    try {
      lumenor::RowReader reader(Source(bytes));
    } catch (const lumenor::LoadFailure& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message) << c.what;
    // The load says the same, a read error where the load gives one.
    const auto loaded = testing_support::Load(bytes).Messages();
    ASSERT_EQ(loaded.size(), 1u) << c.what;
    EXPECT_NE(loaded[0].find(c.message), std::string::npos) << c.what;
  }
}

TEST(RowReader, ReadsTheTablesFirstAndARowOnlyOnce) {
  struct Case {
    std::string what;
    sgi::Bytes bytes;
    std::uint64_t opening;  // bytes read to open the file
  };
  const auto planes = sgi::Pattern(300, 200, 3);
  const Case cases[] = {
      {"verbatim", sgi::Verbatim({}, planes), 512},
      {"rle", sgi::Rle({}, planes, sgi::Layout::kShuffled), 512 + 8 * 200 * 3},
  };
  for (const auto& c : cases) {
    lumenor::MemorySource file(c.bytes);
    auto counting = std::make_unique<testing_support::CountingSource>(file);
    const auto* source = counting.get();
    lumenor::RowReader reader(std::move(counting));
    EXPECT_EQ(source->BytesRead(), c.opening) << c.what;
    const auto row = reader.Row(150);
    const std::vector<std::uint8_t> first(row.begin(), row.end());
    const std::uint64_t afterRow = source->BytesRead();
    EXPECT_GT(afterRow, c.opening) << c.what;
    const auto again = reader.Row(150);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), first.begin(), first.end())) << c.what;
    EXPECT_EQ(source->BytesRead(), afterRow) << c.what << ": the same row again";
  }
}

TEST(RowReader, RowsOutsideThePictureAreRefused) {
  const auto bytes = sgi::Verbatim({}, sgi::Pattern(4, 3, 1));
  lumenor::RowReader reader(Source(bytes));
  EXPECT_THROW(reader.Row(3), std::out_of_range);
  EXPECT_THROW(reader.Row(-1), std::out_of_range);
  EXPECT_EQ(reader.Row(2).size(), 4u);
}

}  // namespace
