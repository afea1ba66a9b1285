#include "completeness.h"

#include <algorithm>
#include <vector>

#include "load_failure.h"
#include "row_tables.h"

namespace lumenor {

namespace {

constexpr const char* kReadError = "There was an error reading the file:\r\n";

std::uint32_t BigEndianAt(const std::vector<std::uint8_t>& bytes, std::uint64_t at) {
  const std::uint8_t* b = bytes.data() + at;
  return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

Completeness Verbatim(const ImageHeader& h, std::uint64_t size) {
  Completeness result{Completeness::State::kComplete, h.height, h.height, {}};
  const std::uint64_t rowBytes = static_cast<std::uint64_t>(h.width) * h.bytesPerChannel;
  const std::uint64_t height = static_cast<std::uint64_t>(h.height);
  // The last channel's plane comes last: a row is whole when its row there is.
  const std::uint64_t lastPlane = kHeaderSize + (h.channels - 1) * height * rowBytes;
  if (rowBytes == 0) {
    result.completeRows = size >= kHeaderSize ? h.height : 0;
  } else {
    result.completeRows =
        size < lastPlane
            ? 0
            : static_cast<int>(std::min<std::uint64_t>((size - lastPlane) / rowBytes, height));
  }
  if (size < kHeaderSize + h.channels * height * rowBytes)
    result.state = Completeness::State::kIncomplete;
  return result;
}

Completeness RunLength(ByteSource& source, const ImageHeader& h) {
  const std::uint64_t size = source.Size();
  const auto entries = static_cast<std::uint64_t>(h.height) * h.channels;
  // Both tables in one read: bytes past the end read as zeros, and rows whose entries lie there
  // are not whole.
  std::vector<std::uint8_t> tables(static_cast<std::size_t>(8 * entries));
  source.ReadAt(kHeaderSize, tables);
  const std::uint64_t tablesEnd = kHeaderSize + 8 * entries;
  Completeness result{
      tablesEnd <= size ? Completeness::State::kComplete : Completeness::State::kIncomplete,
      0,
      h.height,
      {}};
  for (int r = 0; r < h.height; ++r) {
    bool whole = true;
    for (unsigned c = 0; c < h.channels; ++c) {
      const std::uint64_t e =
          static_cast<std::uint64_t>(r) + c * static_cast<std::uint64_t>(h.height);
      const auto offset = static_cast<std::int32_t>(BigEndianAt(tables, 4 * e));
      const std::uint32_t length = BigEndianAt(tables, 4 * (entries + e));
      whole = whole && kHeaderSize + 4 * (entries + e) + 4 <= size && offset >= 0 &&
              static_cast<std::uint64_t>(offset) + length <= size;
    }
    if (whole) ++result.completeRows;
  }
  if (result.completeRows < h.height) result.state = Completeness::State::kIncomplete;
  return result;
}

Completeness Check(ByteSource& source, const DecodeOptions& options) {
  const ImageHeader h = ReadHeader(source);
  Completeness refused;
  if (const auto rejection = HeaderRejection(h, options)) {
    refused.refusal = *rejection;
    return refused;
  }
  CheckSize(h);
  const bool hasPath = HasPixelPath(h.channels);
  if (h.storage == 1) {
    // What the load refuses before or instead of its rows, in its order and words.
    const RowTables tables(source, h, hasPath);
    tables.Offset(0, 0);
    if (hasPath) {
      const unsigned reached = h.channels;
      const int negative = tables.FirstRowWithNegativeOffset();
      if (negative < h.height)
        for (unsigned c = 0; c < reached; ++c) tables.Offset(negative, c);
    }
  }
  if (!hasPath) {
    refused.refusal = ChannelRejection(h.channels);
    return refused;
  }
  if (h.channels > 1 && (h.width == 0 || (h.storage == 0 && h.height == 0)))
    throw LoadFailure("The picture has no pixels (" + SizeText(h.width, h.height) + ")");
  return h.storage == 1 ? RunLength(source, h) : Verbatim(h, source.Size());
}

}  // namespace

Completeness CheckCompleteness(ByteSource& source, const DecodeOptions& options) {
  try {
    return Check(source, options);
  } catch (const LoadFailure& e) {
    Completeness refused;
    refused.refusal = kReadError + std::string(e.what());
    return refused;
  }
}

Completeness CheckFileCompleteness(const std::string& fileName, const DecodeOptions& options) {
  try {
    FileSource file(fileName);
    return CheckCompleteness(file, options);
  } catch (const LoadFailure& e) {
    Completeness refused;
    refused.refusal = kReadError + std::string(e.what());
    return refused;
  }
}

}  // namespace lumenor
