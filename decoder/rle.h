#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "byte_source.h"

namespace lumenor {

// What DecodeRleRow does with a row that holds more values than the buffer.
enum class LongRows {
  kFail,  // the row is broken: report it
  kClip,  // keep what fits and drop the rest
};

constexpr std::ptrdiff_t kRowOverflow = -1;
// The bytes handed in end before the row does: hand in more (MaxRleRowBytes always suffice).
constexpr std::ptrdiff_t kInputShort = -2;

// Decodes one run-length channel row into out. A count byte k gives n = k & 0x7F values: the n
// bytes that follow (k & 0x80 set) or n copies of the next byte; n = 0 ends the row. Returns how
// many values were written (the rest of out is left as it was), kRowOverflow when the row holds
// more than out.size() values and longRows is kFail, or kInputShort.
std::ptrdiff_t DecodeRleRow(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                            LongRows longRows);

// The same for a row of 16-bit values, two bytes each, big-endian, in out as in the file: each
// packet starts with a 16-bit word whose low byte is the count byte above (the high byte is not
// looked at), followed by n values or the one value of a run. Returns a count of values.
std::ptrdiff_t DecodeRleRow16(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                              LongRows longRows);

// The most bytes DecodeRleRow can consume for a row of the given width before it ends or
// overflows: every packet but the last covers n >= 1 values with at most 2n bytes, and the last
// one takes at most 128 bytes. Twice that for 16-bit values.
constexpr std::size_t MaxRleRowBytes(std::size_t width, unsigned bytesPerValue = 1) {
  return bytesPerValue * (2 * width + 128);
}

// Hands out byte stretches of a file at arbitrary offsets from a few windows, reading each byte
// about once. A stretch held by a window costs nothing. One that runs on past the end of a window
// slides that window forward: it keeps the bytes it holds and reads those that follow. One
// anywhere else is read into the window the caller names (one per channel, so that rows stored
// plane by plane each stream through a window of their own). How far past the stretch to read is
// the caller's to say, since it knows where the rows to come are stored. Bytes past the end of
// the file are zeros.
class RowFetcher {
 public:
  static constexpr std::size_t kWindows = 4;

  RowFetcher(ByteSource& source, std::size_t longestRequest);

  std::size_t Capacity() const { return capacity_; }
  std::uint64_t FileSize() const { return source_.Size(); }
  // At least length bytes from offset on, valid until the next call. When bytes must be read,
  // readUpTo() says up to where it is worth reading (it is held to the window's capacity).
  template <typename ReadUpTo>
  std::span<const std::uint8_t> Fetch(std::uint64_t offset, std::size_t length, std::size_t window,
                                      const ReadUpTo& readUpTo) {
    for (Window& held : windows_)
      if (held.bytes && offset >= held.start && offset + length <= held.End())
        return {held.bytes.get() + (offset - held.start), length};
    return Load(offset, length, window, readUpTo());
  }

 private:
  struct Window {
    std::unique_ptr<std::uint8_t[]> bytes;  // the file from start on, held of them
    std::size_t held = 0;
    std::uint64_t start = 0;
    std::uint64_t End() const { return start + held; }
  };
  std::span<const std::uint8_t> Load(std::uint64_t offset, std::size_t length, std::size_t window,
                                     std::uint64_t readUpTo);

  ByteSource& source_;
  std::size_t capacity_;
  std::array<Window, kWindows> windows_;
};

}  // namespace lumenor
