#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "byte_source.h"
#include "image_header.h"
#include "rle.h"
#include "rows.h"

namespace lumenor {

// The run-length tables. Entry r + c * height of the offset table is where row r (0 = bottom) of
// channel c starts; the length table that follows says how many bytes the row is stored in. The
// lengths only tell how much to read: what a row holds is decided by its packets alone, so a
// wrong length costs a second read, never a different picture.
class RowTables {
 public:
  // Only channel counts that have a decoding path need more than the first offset.
  RowTables(ByteSource& source, const ImageHeader& header, bool wholeTables);

  // Throws LoadFailure for a negative offset.
  std::uint64_t Offset(int row, unsigned channel) const;
  // How many bytes to read first for a row; never more than longest.
  std::size_t FirstRead(int row, unsigned channel, std::size_t longest) const;
  // Where the bytes worth reading together with row r of channel c end: the row itself and the
  // rows of its channel that come next, as long as each starts close after the ones before
  // (rows stored one after another, where the other channels' rows lie between, or plane by
  // plane) and all of them fit in capacity. Rows stored in any other order are read one at a
  // time.
  std::uint64_t ReadUpTo(int row, unsigned channel, std::size_t longest,
                         std::size_t capacity) const;
  // The lowest row with a negative offset in any channel (a load stops there), or the height.
  int FirstRowWithNegativeOffset() const;
  // The bytes of one stored value: 1, or 2 in pictures of 16 bits.
  unsigned BytesPerValue() const { return bytesPerValue_; }

 private:
  std::size_t Index(int row, unsigned channel) const {
    return static_cast<std::size_t>(row) + channel * static_cast<std::size_t>(height_);
  }
  int height_;
  unsigned channels_;
  unsigned bytesPerValue_;
  std::vector<std::int32_t> offsets_;
  std::vector<std::uint32_t> lengths_;
};

// How far a fetch reads: along the rows to come (a whole load), or the one row asked for.
enum class ReadAhead { kRowsToCome, kThisRow };

// Decodes row r of channel c into out (BytesPerValue() bytes a value), reading about as many bytes
// as the row is stored in; returns a count of values, as DecodeRleRow. A row
// that starts at or past the end of the file reads as a zero count byte: it decodes nothing, and
// costs no read.
std::ptrdiff_t DecodeStoredRow(RowFetcher& fetcher, const RowTables& tables, int r, unsigned c,
                               std::span<std::uint8_t> out, LongRows longRows, ReadAhead readAhead);

// What DecodeChannelRows decoded of a row: how many values in each channel, and the first channel
// whose row holds more values than the width (-1 when none does; the channels after it are not
// decoded).
struct ChannelCounts {
  std::array<std::size_t, 4> counts{};
  int overflow = -1;
};

// Row r of every channel, as a load decodes it: each channel row goes into its buffer, and a
// short row leaves the rest of its buffer as the rows before it left it. extent grows to cover
// every value decoded so far: from extent on, every buffer still holds the zeros it started
// with. Throws LoadFailure for a negative offset.
ChannelCounts DecodeChannelRows(RowFetcher& fetcher, const RowTables& tables, int r,
                                unsigned channels, ChannelRows& rows, std::size_t& extent,
                                ReadAhead readAhead);

}  // namespace lumenor
