#include "frame_clock.h"

#include <algorithm>

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;  // nanoseconds

}  // namespace

FrameClock::FrameClock(int framesPerSecond)
    : framesPerSecond_(std::clamp(framesPerSecond, kSlowest, kFastest)) {}

// The sums below split times into whole seconds and the rest, so that nothing overflows however
// long the clock runs.

// floor(n * 10^9 / fps)
FrameClock::Duration FrameClock::DueTime(std::int64_t frame) const {
  const std::int64_t seconds = frame / framesPerSecond_, rest = frame % framesPerSecond_;
  return Duration(seconds * kSecond + rest * kSecond / framesPerSecond_);
}

// floor((2n + 1) * 10^9 / (2 fps)): half a period after the frame's time.
FrameClock::Duration FrameClock::Deadline(std::int64_t frame) const {
  const std::int64_t seconds = frame / framesPerSecond_, rest = frame % framesPerSecond_;
  return Duration(seconds * kSecond + (2 * rest + 1) * kSecond / (2 * framesPerSecond_));
}

// The largest n with floor(n * 10^9 / fps) <= e, that is n * 10^9 < (e + 1) * fps.
std::int64_t FrameClock::FrameDueAt(Duration elapsed) const {
  const std::int64_t e = std::max<std::int64_t>(elapsed.count(), 0) + 1;
  const std::int64_t seconds = e / kSecond, rest = e % kSecond;
  // n < seconds * fps + rest * fps / 10^9
  const std::int64_t part = rest * framesPerSecond_;
  return seconds * framesPerSecond_ + (part == 0 ? -1 : (part - 1) / kSecond);
}

// The smallest n with floor((2n + 1) * 10^9 / (2 fps)) >= e, that is
// (2n + 1) * 10^9 >= 2 e fps for a whole number of nanoseconds e.
std::int64_t FrameClock::FirstOnTime(Duration elapsed) const {
  const std::int64_t e = std::max<std::int64_t>(elapsed.count(), 0);
  const std::int64_t seconds = e / kSecond, rest = e % kSecond;
  // n >= seconds * fps + (2 rest fps - 10^9) / (2 * 10^9)
  const std::int64_t part = 2 * rest * framesPerSecond_ - kSecond;
  const std::int64_t more = part <= 0 ? 0 : (part + 2 * kSecond - 1) / (2 * kSecond);
  return seconds * framesPerSecond_ + more;
}

std::int64_t FrameClock::NextToShow(std::int64_t next, Duration elapsed) const {
  return std::max(next, FirstOnTime(elapsed));
}
