#pragma once

#include <QImage>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "frame_queue.h"

class ReadAhead;

// The window's side of the player: which prepared frame goes on screen when. The first frame of
// a play goes as soon as it is ready; the clock starts with the next once the workers' first
// frames are ready too; from then on the frame due goes at its time, and a position whose frame
// is not ready by its deadline, or cannot be shown, is counted skipped and passed.
class Handover {
 public:
  // wake is what the timer calls when a frame comes due.
  Handover(FrameQueue& queue, PlayerTime& time, std::function<void()> wake)
      : queue_(queue), time_(time), wake_(std::move(wake)) {}

  // The frame to put on screen now, if there is one.
  std::optional<PlayerFrame> Tick(const ReadAhead& readAhead);

 private:
  using Ready = std::map<std::int64_t, PreparedFrame>::iterator;
  // The frame at a ready position leaves the queue at its time: for the screen, or counted
  // when it cannot be shown; the workers go on past it.
  std::optional<PlayerFrame> TakeReady(Ready ready);
  PlayerFrame TakeFrame(PreparedFrame& prepared);

  FrameQueue& queue_;
  PlayerTime& time_;
  std::function<void()> wake_;
};
