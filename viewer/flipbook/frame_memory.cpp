#include "frame_memory.h"

#include <algorithm>

#include "pixel_memory.h"

namespace {

void Free(const std::vector<FramePool::Buffer>& buffers) {
  for (const FramePool::Buffer& b : buffers) lumenor::FreePixels(b.pixels, b.count);
}

}  // namespace

bool FramePool::Reserve(std::size_t bytes, const std::function<bool()>& giveUp,
                        const std::function<bool()>& urgent) {
  std::vector<Buffer> dropped;
  bool reserved = false;
  {
    std::unique_lock lock(mutex_);
    while (!giveUp()) {
      while (reserved_ + spareBytes_ + bytes > budget_ && !spares_.empty()) {
        spareBytes_ -= spares_.front().Bytes();
        dropped.push_back(spares_.front());
        spares_.erase(spares_.begin());
      }
      if (reserved_ + spareBytes_ + bytes <= budget_ || reserved_ == 0 || urgent()) {
        reserved_ += bytes;
        reserved = true;
        break;
      }
      roomMade_.wait(lock);
    }
  }
  Free(dropped);
  return reserved;
}

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
  if (pixels == nullptr) {
    Unreserve(count * sizeof(lumenor::Pixel));
    return {};
  }
  return {pixels, count};
}

void FramePool::Unreserve(std::size_t bytes) {
  std::lock_guard lock(mutex_);
  reserved_ -= bytes;
  roomMade_.notify_all();
}

void FramePool::ToScreen(std::size_t bytes) {
  std::lock_guard lock(mutex_);
  reserved_ -= bytes;
  onScreen_ += bytes;
  roomMade_.notify_all();
}

void FramePool::Wake() {
  std::lock_guard lock(mutex_);
  roomMade_.notify_all();
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

void FramePool::KeepSpares(bool keep) {
  {
    std::lock_guard lock(mutex_);
    keepSpares_ = keep;
  }
  if (!keep) DropSpares();
}

void FramePool::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  DropSpares();
}

std::size_t FramePool::BytesAhead() const {
  std::lock_guard lock(mutex_);
  return reserved_ + spareBytes_;
}

void FramePool::Keep(Buffer buffer, std::size_t& from) {
  {
    std::lock_guard lock(mutex_);
    from -= buffer.Bytes();
    roomMade_.notify_all();
    if (!closed_ && keepSpares_ && reserved_ + spareBytes_ + buffer.Bytes() <= budget_) {
      spares_.push_back(buffer);
      spareBytes_ += buffer.Bytes();
      return;
    }
  }
  lumenor::FreePixels(buffer.pixels, buffer.count);
}

FrameBlock::~FrameBlock() {
  if (onScreen_)
    pool_->BackFromScreen(buffer_);
  else
    pool_->GiveBack(buffer_);
}

std::shared_ptr<FrameBlock> FrameBlock::Take(const std::shared_ptr<FramePool>& pool,
                                             std::size_t count) {
  const FramePool::Buffer buffer = pool->Take(count);
  if (buffer.pixels == nullptr) return nullptr;
  return std::make_shared<FrameBlock>(pool, buffer);
}

void FrameBlock::PutOnScreen() {
  if (!onScreen_.exchange(true)) pool_->ToScreen(buffer_.Bytes());
}
