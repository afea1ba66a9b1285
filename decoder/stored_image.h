#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "byte_source.h"
#include "image_header.h"

namespace lumenor {

// A picture's channel values as the file stores them, before anything is laid over a background:
// channels values a pixel (grey; grey, alpha; red, green, blue; red, green, blue, alpha), rows top
// first. A value is one byte, or in pictures of 16 bits (bytesPerChannel 2) two bytes,
// big-endian as in the file and in a 16-bit PNG row: value = byte[0] * 256 + byte[1]. A file that
// cannot be shown leaves messages saying why, in the words of the window's boxes; the rows decoded
// before a failure are kept, the rest are zeros. A header that is refused (or a channel count
// without a path) leaves width, height and channels 0 and no values.
struct StoredImage {
  ImageHeader header;
  int width = 0;
  int height = 0;
  unsigned channels = 0;
  unsigned bytesPerChannel = 1;
  std::vector<std::uint8_t> values;  // height * width * channels * bytesPerChannel
  std::vector<std::string> messages;
  // The image name as the window's title gives it, once the header passed its checks and the
  // picture's memory was had: when the window names the picture.
  std::optional<std::string> name;

  const std::uint8_t* Row(int y) const {
    return values.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) *
                               channels * bytesPerChannel;
  }
  // Channel c of pixel (x, y), 0 to 255 or 0 to 65535.
  unsigned Value(int x, int y, unsigned c) const {
    return StoredValue(Row(y), static_cast<std::size_t>(x) * channels + c, bytesPerChannel);
  }
  // Value i of a row laid out as above.
  static unsigned StoredValue(const std::uint8_t* row, std::size_t i, unsigned bytesPerChannel) {
    return bytesPerChannel == 2 ? unsigned{row[2 * i]} << 8 | row[2 * i + 1] : row[i];
  }
};

constexpr std::uint64_t kNoValueLimit = UINT64_MAX;

// Decodes the whole picture as the load does (same checks, same report texts, same rows), keeping
// the stored values. A picture of more than maxValues values is refused as memory that cannot be
// had ("Not enough memory ..."), as is one whose allocation fails.
// With options.sixteenBit, pictures of 16 bits too. maxValues counts values, not bytes.
StoredImage LoadStoredImage(const std::string& fileName, std::uint64_t maxValues = kNoValueLimit,
                            const DecodeOptions& options = {});
StoredImage LoadStoredImage(ByteSource& source, std::uint64_t maxValues = kNoValueLimit,
                            const DecodeOptions& options = {});

// One row of a picture again, straight from its file: what the value under the pointer needs.
// Holds the header and the offset tables, never the picture: memory is a few rows plus the
// tables.
class RowReader {
 public:
  // What the reader may take for granted. A load stops at a run-length row that overflows the
  // width and leaves the rows above it zeros; to give exactly those zeros, a reader of a
  // run-length file with two or more channels decodes its rows in order, once, from the bottom
  // up to the highest row asked for so far (for the top row of a 4096 x 4096 RGB file that is
  // about a load without the canvas). A caller that has seen a whole load of this very file end
  // without a read error knows that no row overflows, and skips that.
  enum class Rows { kCheckInOrder, kLoadedWithoutError };

  // Reads the header and, for run-length files, the offset and length tables. Throws LoadFailure
  // saying why when the file cannot be read, its header is one the viewer refuses (the texts of
  // the load's boxes), or the run-length tables are empty.
  explicit RowReader(std::unique_ptr<ByteSource> source, Rows rows = Rows::kCheckInOrder,
                     const DecodeOptions& options = {});
  ~RowReader();
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

  const ImageHeader& Header() const;
  // The stored values of picture row y (0 = top, 0 <= y < height; others throw
  // std::out_of_range), width * channels values laid out as in StoredImage (Header()'s
  // bytesPerChannel bytes each), exactly as
  // LoadStoredImage of the file holds them. Valid until the next call; asking for the same row
  // again costs nothing. A row costs one row's read; a short run-length channel row also reads
  // the rows below it that hold its remaining values. Throws LoadFailure when the file cannot be
  // read.
  std::span<const std::uint8_t> Row(int y);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace lumenor
