#include "play_clock.h"

#include <algorithm>

void PlayClock::SetRate(FrameRate rate) {
  clock_ = FrameClock(rate);
  running_ = false;  // starts again with the next frame, at the new rate
}

void PlayClock::Restart() {
  running_ = false;
  firstShown_ = false;
  anchorPosition_ = 0;
}

void PlayClock::ShownAt(Duration now) {
  firstShown_ = true;
  shownAt_ = now;
}

void PlayClock::Start(Duration now, std::int64_t position) {
  running_ = true;
  anchorTime_ = std::max(now, shownAt_ + clock_.DueTime(1));
  anchorPosition_ = position;
}

std::int64_t PlayClock::ToShow(std::int64_t next, Duration now) const {
  return anchorPosition_ + clock_.NextToShow(next - anchorPosition_, now - anchorTime_);
}

bool PlayClock::IsDue(std::int64_t position, Duration now) const {
  return clock_.DueTime(position - anchorPosition_) <= now - anchorTime_;
}

PlayClock::Duration PlayClock::NextWake(std::int64_t next, Duration now) const {
  const std::int64_t after =
      std::max(next - anchorPosition_, clock_.FrameDueAt(now - anchorTime_) + 1);
  return anchorTime_ + clock_.DueTime(after);
}

std::int64_t PlayClock::FirstOnTime(Duration readyAt) const {
  return anchorPosition_ + clock_.FirstOnTime(readyAt - anchorTime_);
}

bool PlayClock::OnTime(std::int64_t position, Duration now) const {
  return now - anchorTime_ <= clock_.Deadline(position - anchorPosition_);
}
