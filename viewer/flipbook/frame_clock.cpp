#include "frame_clock.h"

#include <algorithm>
#include <numeric>

namespace {

// Sums of frames, nanoseconds and rates overflow 64 bits over a long play: 128 bits hold them
// exactly.
__extension__ typedef __int128 Wide;

constexpr Wide kSecond = 1'000'000'000;  // nanoseconds

// floor(a / b) for b > 0.
Wide FloorDiv(Wide a, Wide b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
// ceil(a / b) for b > 0.
Wide CeilDiv(Wide a, Wide b) { return -FloorDiv(-a, b); }

}  // namespace

FrameClock::FrameClock(FrameRate rate) {
  if (rate.num <= 0 || rate.den <= 0) rate = {kSlowest, 1};
  const std::int64_t divisor = std::gcd(rate.num, rate.den);
  rate = {rate.num / divisor, rate.den / divisor};
  if (rate.num < kSlowest * rate.den) rate = {kSlowest, 1};
  if (rate.num > kFastest * rate.den) rate = {kFastest, 1};
  rate_ = rate;
}

int FrameClock::FramesPerSecond() const {
  return static_cast<int>((2 * rate_.num + rate_.den) / (2 * rate_.den));
}

// floor(n * den * 10^9 / num)
FrameClock::Duration FrameClock::DueTime(std::int64_t frame) const {
  return Duration(
      static_cast<std::int64_t>(FloorDiv(Wide{frame} * rate_.den * kSecond, rate_.num)));
}

// floor((2n + 1) * den * 10^9 / (2 num)): half a period after the frame's time.
FrameClock::Duration FrameClock::Deadline(std::int64_t frame) const {
  return Duration(static_cast<std::int64_t>(
      FloorDiv((2 * Wide{frame} + 1) * rate_.den * kSecond, 2 * Wide{rate_.num})));
}

// The largest n with floor(n * den * 10^9 / num) <= e, that is n * den * 10^9 < (e + 1) * num.
std::int64_t FrameClock::FrameDueAt(Duration elapsed) const {
  const Wide e = std::max<std::int64_t>(elapsed.count(), 0);
  return static_cast<std::int64_t>(CeilDiv((e + 1) * rate_.num, Wide{rate_.den} * kSecond) - 1);
}

// The smallest n with floor((2n + 1) * den * 10^9 / (2 num)) >= e, that is
// (2n + 1) * den * 10^9 >= 2 e num for a whole number of nanoseconds e.
std::int64_t FrameClock::FirstOnTime(Duration elapsed) const {
  const Wide e = std::max<std::int64_t>(elapsed.count(), 0);
  const Wide period = Wide{rate_.den} * kSecond;
  const Wide more = CeilDiv(2 * e * rate_.num - period, 2 * period);
  return static_cast<std::int64_t>(std::max<Wide>(more, 0));
}

std::int64_t FrameClock::NextToShow(std::int64_t next, Duration elapsed) const {
  return std::max(next, FirstOnTime(elapsed));
}
