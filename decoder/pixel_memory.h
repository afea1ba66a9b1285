#pragma once

#include <cstddef>
#include <memory>

#include "canvas.h"

namespace lumenor {

// Memory for backing images. A picture gets every one of its pages fresh from the kernel, and for
// a large picture those page faults are most of what a load costs; so an image of a few MiB and
// more is placed on 2 MiB boundaries and offered to the kernel as transparent huge pages, a few
// hundred times fewer faults. Where the kernel declines, it works on ordinary pages all the same.
// Smaller images are ordinary allocations.

// count pixels, or nullptr when the memory cannot be had.
Pixel* AllocatePixels(std::size_t count);
// Frees what AllocatePixels(count) gave.
void FreePixels(Pixel* pixels, std::size_t count);

// Whether an image of count pixels is placed for huge pages.
bool UsesHugePages(std::size_t count);

// Bytes of pixels allocated and not yet freed, now and at most since the last reset: what a
// program's backing images cost, for tests and benchmarks.
std::size_t PixelBytesInUse();
std::size_t PeakPixelBytes();
void ResetPeakPixelBytes();

// Owns count pixels from AllocatePixels.
class PixelBuffer {
 public:
  // Empty (data() == nullptr) when the memory cannot be had.
  explicit PixelBuffer(std::size_t count) : pixels_(AllocatePixels(count), Free{count}) {}
  Pixel* data() const { return pixels_.get(); }

 private:
  struct Free {
    std::size_t count = 0;
    void operator()(Pixel* pixels) const { FreePixels(pixels, count); }
  };
  std::unique_ptr<Pixel[], Free> pixels_;
};

}  // namespace lumenor
