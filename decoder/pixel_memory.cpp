#include "pixel_memory.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace lumenor {

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kHugePagesFrom = 4 * 1024 * 1024;  // bytes

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

std::atomic<std::size_t> bytesInUse{0};
std::atomic<std::size_t> peakBytes{0};

void Allocated(std::size_t count) {
  const std::size_t now = bytesInUse += count * sizeof(Pixel);
  std::size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

bool UsesHugePages(std::size_t count) { return count >= kHugePagesFrom / sizeof(Pixel); }

std::size_t PixelBytesInUse() { return bytesInUse.load(); }
std::size_t PeakPixelBytes() { return peakBytes.load(); }
void ResetPeakPixelBytes() { peakBytes = bytesInUse.load(); }

Pixel* AllocatePixels(std::size_t count) {
  if (count > (std::numeric_limits<std::size_t>::max() - 2 * kHugePage) / sizeof(Pixel))
    return nullptr;
  if (!UsesHugePages(count)) {
    auto* pixels = static_cast<Pixel*>(std::malloc(count == 0 ? 1 : count * sizeof(Pixel)));
    if (pixels != nullptr) Allocated(count);
    return pixels;
  }

  // Map one huge page more than needed, then give back what lies outside the aligned stretch.
  const std::size_t bytes = RoundUp(count * sizeof(Pixel));
  void* mapped = ::mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto first = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (first + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > first) ::munmap(mapped, aligned - first);
  const std::uintptr_t tail = aligned + bytes;
  if (first + bytes + kHugePage > tail)
    ::munmap(reinterpret_cast<void*>(tail), first + bytes + kHugePage - tail);
  // Only a wish: without transparent huge pages this fails and nothing changes.
  ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
  Allocated(count);
  return reinterpret_cast<Pixel*>(aligned);
}

void FreePixels(Pixel* pixels, std::size_t count) {
  if (pixels == nullptr) return;
  bytesInUse -= count * sizeof(Pixel);
  if (!UsesHugePages(count)) return std::free(pixels);
  ::munmap(pixels, RoundUp(count * sizeof(Pixel)));
}

}  // namespace lumenor
