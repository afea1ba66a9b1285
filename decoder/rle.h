#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "byte_source.h"

namespace lumenor {

// What DecodeRleRow does with a row that holds more values than the buffer.
enum class LongRows {
  kFail,  // the row is broken: report it
  kClip,  // keep what fits and drop the rest
};

constexpr std::ptrdiff_t kRowOverflow = -1;

// Decodes one run-length channel row into out. A count byte k gives n = k & 0x7F values: the n
// bytes that follow (k & 0x80 set) or n copies of the next byte; n = 0 ends the row. Returns how
// many values were written (the rest of out is left as it was), or kRowOverflow when the row
// holds more than out.size() values and longRows is kFail.
std::ptrdiff_t DecodeRleRow(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                            LongRows longRows);

// The most bytes DecodeRleRow can consume for a row of the given width before it ends or
// overflows: every packet but the last covers n >= 1 values with at most 2n bytes, and the last
// one takes at most 128 bytes.
constexpr std::size_t MaxRleRowBytes(std::size_t width) { return 2 * width + 128; }

// Hands out byte stretches of a file at arbitrary offsets from a few cached windows, so that
// rows stored one after another, planar or shared cost one read per window and jumping between
// channels costs nothing. Bytes past the end of the file are zeros.
class RowFetcher {
 public:
  RowFetcher(ByteSource& source, std::size_t longestRequest);
  std::span<const std::uint8_t> Fetch(std::uint64_t offset, std::size_t length);

 private:
  struct Window {
    std::vector<std::uint8_t> bytes;
    std::uint64_t start = 0;
    std::uint64_t lastUse = 0;
    bool loaded = false;
  };
  ByteSource& source_;
  std::size_t windowSize_;
  std::array<Window, 4> windows_;
  std::uint64_t clock_ = 0;
};

}  // namespace lumenor
