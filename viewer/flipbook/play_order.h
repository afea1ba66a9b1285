#pragma once

#include <cstdint>
#include <optional>

enum class LoopMode { kLoop, kPingPong, kOnce };

// Which frame each position of a play shows. Frames are numbers from in to out; a play starts at
// position 0 on frame start and goes the way direction says (1 forwards, -1 backwards). Looping
// goes round from out to in (backwards: from in to out); ping-pong turns at either end, showing
// the end frame once; once stops after the last frame its way.
struct PlayOrder {
  std::int64_t in = 0;
  std::int64_t out = 0;
  std::int64_t start = 0;
  int direction = 1;
  LoopMode mode = LoopMode::kLoop;

  std::int64_t Length() const { return out - in + 1; }
  // The frame of position p (p >= 0), or nothing past the end of a play that stops.
  std::optional<std::int64_t> FrameAt(std::int64_t position) const;
  // How many positions after position from the frame comes next (0 when it is that position's),
  // or nothing when it does not come again.
  std::optional<std::int64_t> PositionsUntil(std::int64_t frame, std::int64_t from) const;
  // The positions a play goes through before it repeats (or ends).
  std::int64_t Period() const;

 private:
  // Ping-pong's phase at a position, counted from in going forwards (before taking the period).
  std::int64_t Phase(std::int64_t position) const;
};
