#include "row_tables.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>
#include <string>

#include "load_failure.h"

namespace lumenor {

namespace {

std::vector<std::uint8_t> ReadTableBytes(ByteSource& source, std::uint64_t offset,
                                         std::size_t entries) {
  std::vector<std::uint8_t> bytes(entries * 4);
  source.ReadAt(offset, bytes);
  return bytes;
}

std::uint32_t BigEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t entry) {
  const std::uint8_t* b = bytes.data() + 4 * entry;
  return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

}  // namespace

RowTables::RowTables(ByteSource& source, const ImageHeader& h, bool wholeTables)
    : height_(h.height),
      channels_(wholeTables ? h.channels : 1),
      bytesPerValue_(h.bytesPerChannel == 2 ? 2 : 1) {
  const std::uint64_t entries = static_cast<std::uint64_t>(h.height) * h.channels;
  if (entries == 0)
    throw LoadFailure("The run-length offset table is empty (" + std::to_string(h.height) +
                      " rows, " + std::to_string(h.channels) + " channels)");
  const auto count = static_cast<std::size_t>(wholeTables ? entries : 1);
  const auto offsets = ReadTableBytes(source, kHeaderSize, count);
  offsets_.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    offsets_[i] = static_cast<std::int32_t>(BigEndianAt(offsets, i));
  if (!wholeTables) return;
  const auto lengths = ReadTableBytes(source, kHeaderSize + 4 * entries, count);
  lengths_.resize(count);
  for (std::size_t i = 0; i < count; ++i) lengths_[i] = BigEndianAt(lengths, i);
}

std::uint64_t RowTables::Offset(int row, unsigned channel) const {
  const std::int32_t offset = offsets_[Index(row, channel)];
  if (offset < 0)
    throw LoadFailure("Row " + std::to_string(row) + " of channel " + std::to_string(channel) +
                      " has a negative offset: " + std::to_string(offset));
  return static_cast<std::uint64_t>(offset);
}

std::size_t RowTables::FirstRead(int row, unsigned channel, std::size_t longest) const {
  const std::uint32_t length = lengths_[Index(row, channel)];
  return length == 0 ? longest : std::min<std::size_t>(length, longest);
}

std::uint64_t RowTables::ReadUpTo(int row, unsigned channel, std::size_t longest,
                                  std::size_t capacity) const {
  constexpr int kRowsAhead = 256;
  const std::uint64_t start = Offset(row, channel);
  const std::size_t first = FirstRead(row, channel, longest);
  const std::uint64_t closeAfter = RowFetcher::kWindows * first;
  std::uint64_t end = start + first;
  for (int next = row + 1; next < std::min(height_, row + 1 + kRowsAhead); ++next) {
    const std::int32_t offset = offsets_[Index(next, channel)];
    if (offset < 0 || std::uint64_t(offset) < start || std::uint64_t(offset) > end + closeAfter)
      break;
    const std::uint64_t rowEnd = std::uint64_t(offset) + FirstRead(next, channel, longest);
    if (rowEnd - start > capacity) break;
    end = std::max(end, rowEnd);
  }
  return end;
}

int RowTables::FirstRowWithNegativeOffset() const {
  for (int r = 0; r < height_; ++r)
    for (unsigned c = 0; c < channels_; ++c)
      if (offsets_[Index(r, c)] < 0) return r;
  return height_;
}

std::ptrdiff_t DecodeStoredRow(RowFetcher& fetcher, const RowTables& tables, int r, unsigned c,
                               std::span<std::uint8_t> out, LongRows longRows,
                               ReadAhead readAhead) {
  const std::uint64_t offset = tables.Offset(r, c);
  if (offset >= fetcher.FileSize()) return 0;
  const unsigned bytesPerValue = tables.BytesPerValue();
  const auto decode = bytesPerValue == 2 ? DecodeRleRow16 : DecodeRleRow;
  const std::size_t longest = MaxRleRowBytes(out.size() / bytesPerValue, bytesPerValue);
  const std::size_t first = tables.FirstRead(r, c, longest);
  const auto readUpTo = [&] {
    return readAhead == ReadAhead::kRowsToCome ? tables.ReadUpTo(r, c, longest, fetcher.Capacity())
                                               : offset + first;
  };
  std::ptrdiff_t count = decode(fetcher.Fetch(offset, first, c, readUpTo), out, longRows);
  if (count == kInputShort && first < longest)  // the length table said too little
    count =
        decode(fetcher.Fetch(offset, longest, c, [&] { return offset + longest; }), out, longRows);
  assert(count != kInputShort && "MaxRleRowBytes bytes always end or overflow a row");
  if (count == kInputShort) throw std::logic_error("a run-length row outran its longest read");
  return count;
}

ChannelCounts DecodeChannelRows(RowFetcher& fetcher, const RowTables& tables, int r,
                                unsigned channels, ChannelRows& rows, std::size_t& extent,
                                ReadAhead readAhead) {
  ChannelCounts decoded;
  for (unsigned c = 0; c < channels; ++c) {
    const std::ptrdiff_t count =
        DecodeStoredRow(fetcher, tables, r, c, rows[c], LongRows::kFail, readAhead);
    if (count == kRowOverflow) {
      decoded.overflow = static_cast<int>(c);
      break;
    }
    decoded.counts[c] = static_cast<std::size_t>(count);
    extent = std::max(extent, decoded.counts[c]);
  }
  return decoded;
}

}  // namespace lumenor
