#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "canvas.h"

// Memory for the frames of a flipbook. Buffers come back as frames leave the screen and are used
// again for frames to come, so that a frame's pages are faulted in once, not at every frame. The
// frames ahead and the spare buffers together stay within a budget; a frame larger than all of
// it is let in when nothing else is ahead. Safe to use from any thread.
class FramePool {
 public:
  struct Buffer {
    lumenor::Pixel* pixels = nullptr;
    std::size_t count = 0;
    std::size_t Bytes() const { return count * sizeof(lumenor::Pixel); }
  };

  explicit FramePool(std::size_t budget) : budget_(budget) {}
  ~FramePool() { DropSpares(); }
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  // Room for bytes more ahead. Waits while frames ahead take the budget, unless urgent() says
  // the frame cannot wait (the one the window waits for: frames after it would hold the memory
  // for good); false once giveUp() says so. Both are asked again at every Wake.
  bool Reserve(std::size_t bytes, const std::function<bool()>& giveUp,
               const std::function<bool()>& urgent);
  // count pixels out of what was reserved: a spare buffer of that size, or new memory. Empty
  // when the memory cannot be had, and the reservation for it is let go.
  Buffer Take(std::size_t count);
  void Unreserve(std::size_t bytes);
  // A buffer ahead that will not be shown.
  void GiveBack(Buffer buffer) { Keep(buffer, reserved_); }
  // A buffer put on screen leaves the read-ahead; it comes back when its image goes.
  void ToScreen(std::size_t bytes);
  void BackFromScreen(Buffer buffer) { Keep(buffer, onScreen_); }

  // Waiting reservations ask their giveUp and urgent again.
  void Wake();
  void DropSpares();
  // Whether buffers coming back are kept for frames to come (while playing) or freed.
  void KeepSpares(bool keep);
  // From now on buffers coming back are freed.
  void Close();
  // The frames ahead and the spare buffers.
  std::size_t BytesAhead() const;

 private:
  // Takes buffer off the count it was on, and keeps it as a spare if there is room for it.
  void Keep(Buffer buffer, std::size_t& from);

  const std::size_t budget_;
  mutable std::mutex mutex_;
  std::condition_variable roomMade_;
  std::size_t reserved_ = 0;  // frames ahead, and reservations not yet taken
  std::size_t onScreen_ = 0;
  std::vector<Buffer> spares_;
  std::size_t spareBytes_ = 0;
  bool closed_ = false;
  bool keepSpares_ = true;
};

// A buffer from the pool, given back when its last holder lets go: the frame ahead, a worker
// scaling it again, the image on screen.
class FrameBlock {
 public:
  FrameBlock(std::shared_ptr<FramePool> pool, FramePool::Buffer buffer)
      : pool_(std::move(pool)), buffer_(buffer) {}
  ~FrameBlock();
  FrameBlock(const FrameBlock&) = delete;
  FrameBlock& operator=(const FrameBlock&) = delete;

  // count pixels out of what was reserved; nullptr when the memory cannot be had.
  static std::shared_ptr<FrameBlock> Take(const std::shared_ptr<FramePool>& pool,
                                          std::size_t count);

  lumenor::Pixel* Pixels() const { return buffer_.pixels; }
  void PutOnScreen();

 private:
  std::shared_ptr<FramePool> pool_;
  FramePool::Buffer buffer_;
  std::atomic<bool> onScreen_ = false;
};
