#pragma once

#include <chrono>
#include <cstdint>

// A rate of frames a second as a fraction, so that 23.976 is exactly 24000 / 1001.
struct FrameRate {
  std::int64_t num = 24;
  std::int64_t den = 1;

  double Value() const { return static_cast<double>(num) / static_cast<double>(den); }
  bool operator==(const FrameRate& other) const { return num * other.den == other.num * den; }
};

// When the frames of a flipbook are due. Frames are counted from the one shown when the clock
// starts (frame 0, due at once); frame n is due n / rate seconds after the start, worked out from
// the start every time, so that no rounding gathers however long it plays.
//
// A frame may go on screen from its time until half a period after it, its deadline: past that
// it would be late, and it is skipped. What is on screen is then always the frame due, or an
// earlier one held because the one due was not ready; never one whose time has passed.
class FrameClock {
 public:
  using Duration = std::chrono::nanoseconds;

  static constexpr int kSlowest = 1;
  static constexpr int kFastest = 1000;

  // The rate is held within kSlowest..kFastest frames a second.
  explicit FrameClock(int framesPerSecond) : FrameClock(FrameRate{framesPerSecond, 1}) {}
  explicit FrameClock(FrameRate rate);

  FrameRate Rate() const { return rate_; }
  // The rate rounded to whole frames a second.
  int FramesPerSecond() const;
  // When frame n is due, after the start.
  Duration DueTime(std::int64_t frame) const;
  // The last moment frame n may still go on screen.
  Duration Deadline(std::int64_t frame) const;
  // The frame due at elapsed: the last one whose time has come.
  std::int64_t FrameDueAt(Duration elapsed) const;
  // The first frame that can still go on screen at elapsed (or at any later time): every frame
  // before it is past its deadline.
  std::int64_t FirstOnTime(Duration elapsed) const;
  // With every frame before next shown or skipped already: the frame to show at elapsed, or to
  // wait for when it is not due yet. The frames from next up to it are past their deadlines and
  // are skipped.
  std::int64_t NextToShow(std::int64_t next, Duration elapsed) const;

 private:
  FrameRate rate_;
};
