#include "memory_canvas.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

namespace lumenor {

MemoryCanvas::MemoryCanvas(Pixel background, std::uint64_t maxPixels)
    : background_(background),
      maxPixels_(maxPixels),
      pixels_(static_cast<std::size_t>(width_) * height_) {
  if (pixels_.data() == nullptr) throw std::bad_alloc();
  std::fill_n(pixels_.data(), static_cast<std::size_t>(width_) * height_, background_);
}

bool MemoryCanvas::Resize(int width, int height) {
  if (width == width_ && height == height_) return true;
  const std::uint64_t count =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (count > maxPixels_ || count > std::numeric_limits<std::size_t>::max()) return false;
  PixelBuffer resized(static_cast<std::size_t>(count));
  if (resized.data() == nullptr) return false;
  std::vector<std::uint32_t> stored;
  if (keepStored_) {
    try {
      // Stored values are the picture's own: nothing of the last one's is kept.
      stored.assign(static_cast<std::size_t>(count), 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  std::fill_n(resized.data(), static_cast<std::size_t>(count), background_);
  const int keepWidth = std::min(width, width_);
  for (int y = 0; y < std::min(height, height_); ++y)
    std::copy_n(Scanline(y), keepWidth, resized.data() + static_cast<std::size_t>(y) * width);
  pixels_ = std::move(resized);
  stored_ = std::move(stored);
  width_ = width;
  height_ = height;
  return true;
}

void MemoryCanvas::KeepStored() {
  if (keepStored_) return;
  stored_.assign(static_cast<std::size_t>(width_) * height_, 0);
  keepStored_ = true;
}

bool MemoryCanvas::Progress(int top, int /*bottom*/) {
  progressRows_.push_back(top);
  return true;
}

}  // namespace lumenor
