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
  while (p < end) {
    const unsigned k = *p++;
    const std::size_t n = k & 0x7Fu;
    if (n == 0) break;
    const bool copy = (k & 0x80u) != 0;
    if (copy ? static_cast<std::size_t>(end - p) < n : p == end) {
      assert(!"callers hand in MaxRleRowBytes bytes");
      break;
    }
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

RowFetcher::RowFetcher(ByteSource& source, std::size_t longestRequest)
    : source_(source), windowSize_(std::max<std::size_t>(longestRequest, 16 * 1024)) {}

std::span<const std::uint8_t> RowFetcher::Fetch(std::uint64_t offset, std::size_t length) {
  assert(length <= windowSize_);
  ++clock_;
  Window* oldest = &windows_[0];
  for (Window& window : windows_) {
    if (window.loaded && offset >= window.start && offset - window.start <= windowSize_ - length) {
      window.lastUse = clock_;
      return {window.bytes.data() + (offset - window.start), length};
    }
    if (!window.loaded || window.lastUse < oldest->lastUse) oldest = &window;
  }
  oldest->bytes.resize(windowSize_);
  oldest->start = offset;
  oldest->loaded = true;
  oldest->lastUse = clock_;
  source_.ReadAt(offset, oldest->bytes);
  return {oldest->bytes.data(), length};
}

}  // namespace lumenor
