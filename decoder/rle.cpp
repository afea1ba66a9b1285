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
    const std::size_t take = std::min(n, width - i);
    if (n > width - i && longRows == LongRows::kFail) return kRowOverflow;
    if (copy) {
      std::memcpy(values + 2 * i, p, 2 * take);
      p += 2 * n;
    } else {
      // Short runs (most of them) a pair of bytes at a time; long ones as the values written so
      // far copied after themselves.
      std::uint8_t* const run = values + 2 * i;
      const std::uint8_t high = p[0], low = p[1];
      if (take <= 32) {
        for (std::size_t m = 0; m < take; ++m) {
          run[2 * m] = high;
          run[2 * m + 1] = low;
        }
      } else {
        std::memcpy(run, p, 2);
        for (std::size_t done = 1; done < take; done *= 2)
          std::memcpy(run + 2 * done, run, 2 * std::min(done, take - done));
      }
      p += 2;
    }
    i += take;
    if (take < n) return static_cast<std::ptrdiff_t>(width);
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
