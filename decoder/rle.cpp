#include "rle.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace lumenor {

std::ptrdiff_t DecodeRleRow(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                            LongRows longRows) {
  const std::uint8_t* p = in.data();
  const std::uint8_t* const end = p + in.size();
  const std::size_t width = out.size();
  std::size_t i = 0;
  for (;;) {
    if (p == end) return kInputShort;
    const unsigned k = *p++;
    const std::size_t n = k & 0x7Fu;
    if (n == 0) break;
    const bool copy = (k & 0x80u) != 0;
    if (copy ? static_cast<std::size_t>(end - p) < n : p == end) return kInputShort;
    if (n > width - i) {
      if (longRows == LongRows::kFail) return kRowOverflow;
      const std::size_t fits = width - i;
      if (fits > 0 && copy) std::memcpy(out.data() + i, p, fits);
      if (fits > 0 && !copy) std::memset(out.data() + i, *p, fits);
      return static_cast<std::ptrdiff_t>(width);
    }
    if (copy) {
      std::memcpy(out.data() + i, p, n);
      p += n;
    } else {
      std::memset(out.data() + i, *p++, n);
    }
    i += n;
  }
  return static_cast<std::ptrdiff_t>(i);
}

namespace {

// Moves of a few bytes at arbitrary addresses: memcpy of a constant size is a single load or store.
template <typename Word>
Word LoadWord(const std::uint8_t* from) {
  Word word;
  std::memcpy(&word, from, sizeof word);
  return word;
}

template <typename Word>
void StoreWord(std::uint8_t* to, Word word) {
  std::memcpy(to, &word, sizeof word);
}

// Copies an even count of bytes (at least 2) that lie apart. Rows of 16-bit values are mostly
// short packets: each size class is a couple of moves, the last of them overlapping the one
// before so that nothing is written past the packet (the row beyond it keeps what it holds).
void CopyValues(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes) {
  if (bytes >= 16) {
    for (std::size_t at = 0; at + 16 < bytes; at += 16) std::memcpy(to + at, from + at, 16);
    std::memcpy(to + bytes - 16, from + bytes - 16, 16);
  } else if (bytes >= 8) {
    StoreWord(to, LoadWord<std::uint64_t>(from));
    StoreWord(to + bytes - 8, LoadWord<std::uint64_t>(from + bytes - 8));
  } else if (bytes >= 4) {
    StoreWord(to, LoadWord<std::uint32_t>(from));
    StoreWord(to + bytes - 4, LoadWord<std::uint32_t>(from + bytes - 4));
  } else {
    StoreWord(to, LoadWord<std::uint16_t>(from));
  }
}

// Repeats the two bytes at value over an even count of bytes (at least 2), in the same moves.
// Every move starts an even count of bytes in, so each lays the pair down in its order, whatever
// the machine's byte order.
void FillValue(std::uint8_t* to, const std::uint8_t* value, std::size_t bytes) {
  const std::uint64_t eight = LoadWord<std::uint16_t>(value) * std::uint64_t{0x0001000100010001};
  if (bytes >= 16) {
    for (std::size_t at = 0; at + 16 < bytes; at += 16) {
      StoreWord(to + at, eight);
      StoreWord(to + at + 8, eight);
    }
    StoreWord(to + bytes - 16, eight);
    StoreWord(to + bytes - 8, eight);
  } else if (bytes >= 8) {
    StoreWord(to, eight);
    StoreWord(to + bytes - 8, eight);
  } else if (bytes >= 4) {
    StoreWord(to, static_cast<std::uint32_t>(eight));
    StoreWord(to + bytes - 4, static_cast<std::uint32_t>(eight));
  } else {
    StoreWord(to, static_cast<std::uint16_t>(eight));
  }
}

}  // namespace

std::ptrdiff_t DecodeRleRow16(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                              LongRows longRows) {
  const std::uint8_t* p = in.data();
  const std::uint8_t* const end = p + (in.size() & ~std::size_t{1});  // whole words only
  const std::size_t width = out.size() / 2;
  std::uint8_t* const values = out.data();
  std::size_t i = 0;
  for (;;) {
    if (p == end) return kInputShort;
    const unsigned k = p[1];  // the count word's low byte
    p += 2;
    const std::size_t n = k & 0x7Fu;
    if (n == 0) break;
    const bool copy = (k & 0x80u) != 0;
    if (copy ? static_cast<std::size_t>(end - p) < 2 * n : p == end) return kInputShort;
    if (n > width - i) {
      if (longRows == LongRows::kFail) return kRowOverflow;
      const std::size_t fits = width - i;
      if (fits > 0 && copy) CopyValues(values + 2 * i, p, 2 * fits);
      if (fits > 0 && !copy) FillValue(values + 2 * i, p, 2 * fits);
      return static_cast<std::ptrdiff_t>(width);
    }
    if (copy) {
      CopyValues(values + 2 * i, p, 2 * n);
      p += 2 * n;
    } else {
      FillValue(values + 2 * i, p, 2 * n);
      p += 2;
    }
    i += n;
  }
  return static_cast<std::ptrdiff_t>(i);
}

namespace {

// Windows hold at least this much, so that a stream of rows costs few system calls.
constexpr std::size_t kWindowCapacity = 256 * 1024;

}  // namespace

RowFetcher::RowFetcher(ByteSource& source, std::size_t longestRequest)
    : source_(source), capacity_(std::max(longestRequest, kWindowCapacity)) {}

std::span<const std::uint8_t> RowFetcher::Load(std::uint64_t offset, std::size_t length,
                                               std::size_t window, std::uint64_t readUpTo) {
  assert(length <= capacity_);
  const std::uint64_t end = std::clamp(readUpTo, offset + length, offset + capacity_);
  Window* target = &windows_[window % kWindows];
  bool slide = false;
  for (Window& held : windows_)
    if (held.bytes && offset >= held.start && offset < held.End()) {
      target = &held;
      slide = true;
    }
  if (!target->bytes) target->bytes = std::make_unique_for_overwrite<std::uint8_t[]>(capacity_);
  if (slide) {
    // Slide: keep what is held from offset on.
    const auto skip = static_cast<std::size_t>(offset - target->start);
    std::memmove(target->bytes.get(), target->bytes.get() + skip, target->held - skip);
    target->held -= skip;
  } else {
    target->held = 0;
  }
  target->start = offset;
  const auto count = static_cast<std::size_t>(end - target->End());
  source_.ReadAt(target->End(), {target->bytes.get() + target->held, count});
  target->held += count;
  return {target->bytes.get(), length};
}

}  // namespace lumenor
