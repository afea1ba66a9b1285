#include "play_order.h"

#include <algorithm>

namespace {

std::int64_t Modulo(std::int64_t a, std::int64_t b) { return (a % b + b) % b; }

}  // namespace

std::int64_t PlayOrder::Period() const {
  const std::int64_t length = Length();
  if (mode == LoopMode::kPingPong) return length > 1 ? 2 * (length - 1) : 1;
  return length;
}

// Ping-pong counts its phase from in going forwards: phase t < length - 1 shows in + t, the rest
// out - (t - (length - 1)).
std::optional<std::int64_t> PlayOrder::FrameAt(std::int64_t position) const {
  const std::int64_t length = Length();
  const std::int64_t from = std::clamp(start, in, out);
  switch (mode) {
    case LoopMode::kOnce: {
      const std::int64_t frame = from + direction * position;
      if (frame < in || frame > out) return std::nullopt;
      return frame;
    }
    case LoopMode::kLoop:
      if (direction > 0) return in + Modulo(from - in + position, length);
      return out - Modulo(out - from + position, length);
    case LoopMode::kPingPong: {
      if (length == 1) return in;
      const std::int64_t phase = Modulo(Phase(position), Period());
      return phase < length - 1 ? in + phase : out - (phase - (length - 1));
    }
  }
  return std::nullopt;
}

std::optional<std::int64_t> PlayOrder::PositionsUntil(std::int64_t frame, std::int64_t from) const {
  if (frame < in || frame > out) return std::nullopt;
  const auto now = FrameAt(from);
  if (!now) return std::nullopt;
  const std::int64_t length = Length();
  switch (mode) {
    case LoopMode::kOnce: {
      const std::int64_t step = direction * (frame - *now);
      if (step < 0) return std::nullopt;
      return step;
    }
    case LoopMode::kLoop:
      return Modulo(direction * (frame - *now), length);
    case LoopMode::kPingPong: {
      if (length == 1) return 0;
      const std::int64_t period = Period();
      const std::int64_t phase = Modulo(Phase(from), period);
      const std::int64_t rising = frame - in, falling = (length - 1) + (out - frame);
      return std::min(Modulo(rising - phase, period), Modulo(falling - phase, period));
    }
  }
  return std::nullopt;
}

std::int64_t PlayOrder::Phase(std::int64_t position) const {
  const std::int64_t from = std::clamp(start, in, out);
  const std::int64_t phase0 = direction > 0 ? from - in : (Length() - 1) + (out - from);
  return phase0 + position;
}
