#pragma once

#include <cstdint>

#include "frame_clock.h"

// The clock of one play. The first frame goes on screen as soon as it is ready; the clock starts
// with the next, a period later, and from then on every position of the play has its time and
// its deadline on the frame clock, counted from the position the clock started at (the anchor).
class PlayClock {
 public:
  using Duration = FrameClock::Duration;

  explicit PlayClock(FrameRate rate = {}) : clock_(rate) {}

  FrameRate Rate() const { return clock_.Rate(); }
  // A new rate: the clock starts again with the next frame.
  void SetRate(FrameRate rate);
  // A play from a new place, or after a pause: its first frame is awaited again.
  void Restart();

  bool FirstShown() const { return firstShown_; }
  // A frame of the play went on screen at now.
  void ShownAt(Duration now);
  bool Running() const { return running_; }
  // Starts the clock on position, due a period after the first frame went on screen (or now).
  void Start(Duration now, std::int64_t position);
  void Stop() { running_ = false; }

  // When the clock's first position is due.
  Duration AnchorTime() const { return anchorTime_; }
  // With every position before next shown or skipped: the one to show at now, or to wait for.
  std::int64_t ToShow(std::int64_t next, Duration now) const;
  bool IsDue(std::int64_t position, Duration now) const;
  // When to look again: the time of the next position due after now, and not before next.
  Duration NextWake(std::int64_t next, Duration now) const;
  // The first position that can still go on screen when it is ready at readyAt.
  std::int64_t FirstOnTime(Duration readyAt) const;
  // Whether position may still go on screen at now.
  bool OnTime(std::int64_t position, Duration now) const;

 private:
  FrameClock clock_;
  bool running_ = false;
  bool firstShown_ = false;  // the first frame of this play is on screen
  Duration shownAt_{0};      // when the frame shown went on screen
  Duration anchorTime_{0};   // when position anchorPosition_ was due
  std::int64_t anchorPosition_ = 0;
};
