#include "frame_memory.h"

#include <algorithm>

#include "pixel_memory.h"

namespace {

void Free(const std::vector<FramePool::Buffer>& buffers) {
  for (const FramePool::Buffer& b : buffers) lumenor::FreePixels(b.pixels, b.count);
}

}  // namespace

FramePool::Buffer FramePool::Take(std::size_t count) {
  {
    std::lock_guard lock(mutex_);
    const auto spare = std::find_if(spares_.begin(), spares_.end(),
                                    [count](const Buffer& b) { return b.count == count; });
    if (spare != spares_.end()) {
      const Buffer buffer = *spare;
      spares_.erase(spare);
      spareBytes_ -= buffer.Bytes();
      return buffer;
    }
  }
  lumenor::Pixel* pixels = lumenor::AllocatePixels(count);
  if (pixels == nullptr) return {};
  return {pixels, count};
}

void FramePool::GiveBack(Buffer buffer) {
  std::vector<Buffer> dropped;
  {
    std::lock_guard lock(mutex_);
    if (!closed_ && keepSpares_ && buffer.Bytes() <= spareBudget_) {
      // The oldest spares go first to make room: the newest are the likeliest size.
      while (spareBytes_ + buffer.Bytes() > spareBudget_) {
        spareBytes_ -= spares_.front().Bytes();
        dropped.push_back(spares_.front());
        spares_.erase(spares_.begin());
      }
      spares_.push_back(buffer);
      spareBytes_ += buffer.Bytes();
    } else {
      dropped.push_back(buffer);
    }
  }
  Free(dropped);
}

void FramePool::KeepSpares(bool keep) {
  {
    std::lock_guard lock(mutex_);
    keepSpares_ = keep;
  }
  if (!keep) DropSpares();
}

void FramePool::DropSpares() {
  std::vector<Buffer> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(spares_);
    spareBytes_ = 0;
  }
  Free(dropped);
}

void FramePool::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  DropSpares();
}

std::size_t FramePool::SpareBytes() const {
  std::lock_guard lock(mutex_);
  return spareBytes_;
}

std::shared_ptr<FrameBlock> FrameBlock::Take(const std::shared_ptr<FramePool>& pool,
                                             std::size_t count) {
  const FramePool::Buffer buffer = pool->Take(count);
  if (buffer.pixels == nullptr) return nullptr;
  return std::make_shared<FrameBlock>(pool, buffer);
}
