#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "canvas.h"

// Memory for the frames of a flipbook. Buffers come back as frames leave the cache and the
// screen, and are used again for frames to come, so that a frame's pages are faulted in once,
// not at every frame; what comes back while nothing plays is freed. The spare buffers kept stay
// within a budget of their own (what a frame costs is counted by its owner, the cache). Safe to
// use from any thread.
class FramePool {
 public:
  struct Buffer {
    lumenor::Pixel* pixels = nullptr;
    std::size_t count = 0;
    std::size_t Bytes() const { return count * sizeof(lumenor::Pixel); }
  };

  explicit FramePool(std::size_t spareBudget) : spareBudget_(spareBudget) {}
  ~FramePool() { DropSpares(); }
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  // count pixels: a spare buffer of that size, or new memory; empty when it cannot be had.
  Buffer Take(std::size_t count);
  // A buffer no longer used: kept as a spare while there is room and frames are wanted.
  void GiveBack(Buffer buffer);
  // Whether buffers coming back are kept for frames to come (while playing) or freed.
  void KeepSpares(bool keep);
  void DropSpares();
  // From now on buffers coming back are freed.
  void Close();
  std::size_t SpareBytes() const;

 private:
  const std::size_t spareBudget_;
  mutable std::mutex mutex_;
  std::vector<Buffer> spares_;
  std::size_t spareBytes_ = 0;
  bool keepSpares_ = true;
  bool closed_ = false;
};

// A buffer from the pool, given back when its last holder lets go: the cache, a worker scaling
// it, the image on screen.
class FrameBlock {
 public:
  FrameBlock(std::shared_ptr<FramePool> pool, FramePool::Buffer buffer)
      : pool_(std::move(pool)), buffer_(buffer) {}
  ~FrameBlock() { pool_->GiveBack(buffer_); }
  FrameBlock(const FrameBlock&) = delete;
  FrameBlock& operator=(const FrameBlock&) = delete;

  // count pixels; nullptr when the memory cannot be had.
  static std::shared_ptr<FrameBlock> Take(const std::shared_ptr<FramePool>& pool,
                                          std::size_t count);

  lumenor::Pixel* Pixels() const { return buffer_.pixels; }
  std::size_t Bytes() const { return buffer_.Bytes(); }

 private:
  std::shared_ptr<FramePool> pool_;
  FramePool::Buffer buffer_;
};
