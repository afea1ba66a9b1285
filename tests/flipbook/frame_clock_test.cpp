// The flipbook's clock: when each frame is due, which frame is due at a time, and which frames are
// past their deadlines, worked out by hand from n / fps seconds and half a period of grace.
#include "frame_clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using std::chrono::nanoseconds;
using std::chrono::seconds;
constexpr std::int64_t kDay = 24 * 3600;

struct DueCase {
  int fps;
  std::int64_t frame;
  nanoseconds due;
  nanoseconds deadline;
};

TEST(FrameClock, FrameTimes) {
  const DueCase cases[] = {
      {24, 0, nanoseconds(0), nanoseconds(20'833'333)},
      {24, 1, nanoseconds(41'666'666), nanoseconds(62'500'000)},
      {24, 24, seconds(1), nanoseconds(1'020'833'333)},
      {24, 25, nanoseconds(1'041'666'666), nanoseconds(1'062'500'000)},
      {60, 1, nanoseconds(16'666'666), nanoseconds(25'000'000)},
      {7, 3, nanoseconds(428'571'428), nanoseconds(500'000'000)},
      {1, 5, seconds(5), nanoseconds(5'500'000'000)},
      // No drift: a day at 24 fps, ten years at 120 fps end on the second.
      {24, 24 * kDay, seconds(kDay), seconds(kDay) + nanoseconds(20'833'333)},
      {120, 120 * kDay * 3652, seconds(kDay * 3652), seconds(kDay * 3652) + nanoseconds(4'166'666)},
  };
  for (const DueCase& c : cases) {
    const FrameClock clock(c.fps);
    EXPECT_EQ(clock.DueTime(c.frame), c.due) << c.fps << " fps, frame " << c.frame;
    EXPECT_EQ(clock.Deadline(c.frame), c.deadline) << c.fps << " fps, frame " << c.frame;
  }
}

struct AtCase {
  int fps;
  nanoseconds elapsed;
  std::int64_t due;          // the frame whose time has come last
  std::int64_t firstOnTime;  // the first frame not past its deadline
};

TEST(FrameClock, FramesAtATime) {
  const AtCase cases[] = {
      {24, nanoseconds(0), 0, 0},
      {24, nanoseconds(20'833'333), 0, 0},  // frame 0's deadline: still on time
      {24, nanoseconds(20'833'334), 0, 1},  // past it, and frame 1 not due yet
      {24, nanoseconds(41'666'665), 0, 1},
      {24, nanoseconds(41'666'666), 1, 1},
      {24, nanoseconds(999'999'999), 23, 24},
      {24, seconds(1), 24, 24},
      {60, nanoseconds(100'000'000), 6, 6},  // frame 6 due at 100 ms exactly
      {60, nanoseconds(108'333'334), 6, 7},
      {1, nanoseconds(2'500'000'000), 2, 2},
      {1, nanoseconds(2'500'000'001), 2, 3},
      {120, seconds(kDay * 3652) + nanoseconds(1), 120 * kDay * 3652, 120 * kDay * 3652},
      {24, nanoseconds(-5), 0, 0},  // before the start: the first frame
  };
  for (const AtCase& c : cases) {
    const FrameClock clock(c.fps);
    EXPECT_EQ(clock.FrameDueAt(c.elapsed), c.due) << c.fps << " fps at " << c.elapsed.count();
    EXPECT_EQ(clock.FirstOnTime(c.elapsed), c.firstOnTime)
        << c.fps << " fps at " << c.elapsed.count();
  }
}

// Every time of the first seconds at a few rates, against the definitions: frame n is due in
// [DueTime(n), DueTime(n + 1)) and on time up to Deadline(n).
TEST(FrameClock, AgreesWithItsTimesEverywhere) {
  for (const int fps : {1, 7, 24, 25, 30, 48, 60, 120}) {
    const FrameClock clock(fps);
    for (std::int64_t e = 0; e < 3'000'000'000; e += 999'983) {  // a prime step
      const nanoseconds elapsed(e);
      const std::int64_t due = clock.FrameDueAt(elapsed);
      ASSERT_LE(clock.DueTime(due), elapsed) << fps << " fps at " << e;
      ASSERT_GT(clock.DueTime(due + 1), elapsed) << fps << " fps at " << e;
      const std::int64_t first = clock.FirstOnTime(elapsed);
      ASSERT_GE(clock.Deadline(first), elapsed) << fps << " fps at " << e;
      if (first > 0) {
        ASSERT_LT(clock.Deadline(first - 1), elapsed) << fps << " fps at " << e;
      }
    }
  }
}

struct NextCase {
  std::int64_t next;  // every frame before it shown or skipped
  nanoseconds elapsed;
  std::int64_t show;  // to show, or to wait for
};

TEST(FrameClock, WhichFramesAreSkipped) {
  const FrameClock clock(10);  // a frame every 100 ms, on time for 50 ms
  const NextCase cases[] = {
      {0, nanoseconds(0), 0},
      {1, std::chrono::milliseconds(30), 1},   // frame 0 shown: wait for frame 1
      {1, std::chrono::milliseconds(100), 1},  // due
      {1, std::chrono::milliseconds(150), 1},  // late, but within its grace
      {1, std::chrono::milliseconds(151), 2},  // frame 1 skipped
      {1, std::chrono::milliseconds(420), 4},  // 1 to 3 skipped: the window was held up
      {5, std::chrono::milliseconds(420), 5},  // ahead of the clock (after a step): nothing skipped
  };
  for (const NextCase& c : cases)
    EXPECT_EQ(clock.NextToShow(c.next, c.elapsed), c.show)
        << "next " << c.next << " at " << c.elapsed.count();
}

TEST(FrameClock, RateIsHeldToItsRange) {
  EXPECT_EQ(FrameClock(0).FramesPerSecond(), FrameClock::kSlowest);
  EXPECT_EQ(FrameClock(-3).FramesPerSecond(), FrameClock::kSlowest);
  EXPECT_EQ(FrameClock(5000).FramesPerSecond(), FrameClock::kFastest);
  EXPECT_EQ(FrameClock(FrameRate{1, 2}).FramesPerSecond(), FrameClock::kSlowest);
  EXPECT_TRUE(FrameClock(FrameRate{48000, 2002}).Rate() == (FrameRate{24000, 1001}));
}

// Rates of the NTSC family (24, 30 and 60 times 1000 / 1001) and a rate doubled for speed:
// frame n is due at floor(n * 1001 * 10^9 / 24000) ns, with no drift over a day.
TEST(FrameClock, FractionalRates) {
  const struct {
    FrameRate rate;
    std::int64_t frame;
    nanoseconds due, deadline;
  } cases[] = {
      {{24000, 1001}, 1, nanoseconds(41'708'333), nanoseconds(62'562'500)},
      {{24000, 1001}, 24000, seconds(1001), seconds(1001) + nanoseconds(20'854'166)},
      {{30000, 1001}, 3, nanoseconds(100'100'000), nanoseconds(116'783'333)},
      {{60000, 1001}, 60000 * 86, seconds(1001 * 86), seconds(1001 * 86) + nanoseconds(8'341'666)},
      {{48, 1}, 3, nanoseconds(62'500'000), nanoseconds(72'916'666)},  // 24 fps at twice the speed
      {{25, 2}, 5, nanoseconds(400'000'000), nanoseconds(440'000'000)},  // 12.5 fps
  };
  for (const auto& c : cases) {
    const FrameClock clock(c.rate);
    EXPECT_EQ(clock.DueTime(c.frame), c.due) << c.rate.num << "/" << c.rate.den;
    EXPECT_EQ(clock.Deadline(c.frame), c.deadline) << c.rate.num << "/" << c.rate.den;
    EXPECT_EQ(clock.FrameDueAt(c.due), c.frame);
    EXPECT_EQ(clock.FrameDueAt(c.due - nanoseconds(1)), c.frame - 1);
    EXPECT_EQ(clock.FirstOnTime(c.deadline), c.frame);
    EXPECT_EQ(clock.FirstOnTime(c.deadline + nanoseconds(1)), c.frame + 1);
  }
}

}  // namespace
