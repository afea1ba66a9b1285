// The order of a play: which frame each position shows for every direction and loop mode, within
// in and out points, and how far ahead a frame comes again (what the frame cache keeps).
#include "play_order.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The frames of the first count positions, "-" past the end.
std::string Frames(const PlayOrder& order, int count) {
  std::string text;
  for (int p = 0; p < count; ++p) {
    const auto frame = order.FrameAt(p);
    text += (text.empty() ? "" : " ") + (frame ? std::to_string(*frame) : std::string("-"));
  }
  return text;
}

TEST(PlayOrder, FramesOfEachPosition) {
  struct Case {
    PlayOrder order;
    const char* want;
  };
  constexpr LoopMode kLoop = LoopMode::kLoop, kPing = LoopMode::kPingPong, kOnce = LoopMode::kOnce;
  const Case cases[] = {
      {{1, 5, 1, 1, kLoop}, "1 2 3 4 5 1 2 3 4 5"},
      {{1, 5, 3, 1, kLoop}, "3 4 5 1 2 3 4 5 1 2"},
      {{1, 5, 3, -1, kLoop}, "3 2 1 5 4 3 2 1 5 4"},
      {{20, 23, 21, 1, kLoop}, "21 22 23 20 21 22 23 20 21 22"},  // within in and out
      {{20, 23, 7, 1, kLoop}, "20 21 22 23 20 21 22 23 20 21"},  // a start outside: held to in..out
      {{1, 4, 1, 1, kPing}, "1 2 3 4 3 2 1 2 3 4"},
      {{1, 4, 3, 1, kPing}, "3 4 3 2 1 2 3 4 3 2"},
      {{1, 4, 3, -1, kPing}, "3 2 1 2 3 4 3 2 1 2"},
      {{1, 4, 4, 1, kPing}, "4 3 2 1 2 3 4 3 2 1"},
      {{9, 9, 9, 1, kPing}, "9 9 9 9 9 9 9 9 9 9"},
      {{1, 5, 3, 1, kOnce}, "3 4 5 - - - - - - -"},
      {{1, 5, 3, -1, kOnce}, "3 2 1 - - - - - - -"},
      {{1, 2, 1, 1, kLoop}, "1 2 1 2 1 2 1 2 1 2"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Frames(c.order, 10), c.want)
        << c.order.in << ".." << c.order.out << " from " << c.order.start << " way "
        << c.order.direction << " mode " << static_cast<int>(c.order.mode);
}

// PositionsUntil agrees with FrameAt everywhere: the first position from `from` on that shows the
// frame.
TEST(PlayOrder, PositionsUntilAFrameComesAgain) {
  for (const LoopMode mode : {LoopMode::kLoop, LoopMode::kPingPong, LoopMode::kOnce})
    for (const int direction : {1, -1})
      for (std::int64_t start = 10; start <= 15; ++start) {
        const PlayOrder order{10, 15, start, direction, mode};
        for (std::int64_t from = 0; from < 14; ++from)
          for (std::int64_t frame = 9; frame <= 16; ++frame) {
            std::optional<std::int64_t> want;
            for (std::int64_t p = from; p < from + 20 && !want; ++p) {
              const auto at = order.FrameAt(p);
              if (!at) break;
              if (*at == frame) want = p - from;
            }
            if (!order.FrameAt(from)) want.reset();
            ASSERT_EQ(order.PositionsUntil(frame, from), want)
                << "mode " << static_cast<int>(mode) << " way " << direction << " start " << start
                << " from " << from << " frame " << frame;
          }
      }
}

}  // namespace
