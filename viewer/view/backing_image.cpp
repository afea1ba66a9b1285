#include "backing_image.h"

#include <memory>
#include <utility>

#include "pixel_memory.h"

QImage AllocateImage(int width, int height, QImage::Format format) {
  using Block = std::pair<lumenor::Pixel*, std::size_t>;
  if (width <= 0 || height <= 0) return {};
  const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  auto block = std::make_unique<Block>(lumenor::AllocatePixels(count), count);
  if (block->first == nullptr) return {};
  const auto free = [](void* info) {
    const std::unique_ptr<Block> owned(static_cast<Block*>(info));
    lumenor::FreePixels(owned->first, owned->second);
  };
  QImage image(reinterpret_cast<uchar*>(block->first), width, height,
               static_cast<qsizetype>(width) * static_cast<qsizetype>(sizeof(lumenor::Pixel)),
               format, free, block.get());
  if (image.isNull())  // refused before Qt took the memory
    lumenor::FreePixels(block->first, count);
  else
    block.release();  // Qt frees it now
  return image;
}
