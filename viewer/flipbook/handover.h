#pragma once

#include <functional>
#include <optional>

#include "frame_queue.h"

class ReadAhead;

// The window's side of the player: which cached frame goes on screen when. The first frame of a
// play goes as soon as it is ready; the clock starts with the next once the workers' first frames
// are ready too; from then on the frame of each position goes at its time. A position whose frame
// is not ready by its deadline, or cannot be shown, is counted and passed; a number the sequence
// lacks is counted apart and announced, the frame before it held. Paused, a frame sought goes on
// screen as soon as it is ready.
class Handover {
 public:
  // wake is what the timer calls when a frame comes due.
  Handover(FrameQueue& queue, PlayerTime& time, std::function<void()> wake)
      : queue_(queue), time_(time), wake_(std::move(wake)) {}

  // With the queue's lock held: the frame to put on screen now, if there is one.
  std::optional<PlayerFrame> Tick(const ReadAhead& readAhead);

 private:
  std::optional<PlayerFrame> Sought(const ReadAhead& readAhead);
  // The frame of a position, if it can be handed over now: shown, announced missing, or counted
  // when it cannot be shown. Nothing while it is not ready.
  std::optional<PlayerFrame> TakePosition(std::int64_t position, const ReadAhead& readAhead,
                                          bool& passed);
  PlayerFrame TakeFrame(const CachedFrame& cached);

  FrameQueue& queue_;
  PlayerTime& time_;
  std::function<void()> wake_;
};
