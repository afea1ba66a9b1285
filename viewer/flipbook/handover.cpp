#include "handover.h"

#include <QString>
#include <algorithm>

#include "read_ahead.h"

namespace {

using Duration = PlayerTime::Duration;
using lumenor::Pixel;

// A read-only image over a block of the cache, which keeps the block alive while it lives.
QImage ToImage(std::shared_ptr<FrameBlock> block, int width, int height, bool translucent) {
  if (!block || width <= 0 || height <= 0) return {};
  auto* holder = new std::shared_ptr<FrameBlock>(std::move(block));
  const auto release = [](void* info) { delete static_cast<std::shared_ptr<FrameBlock>*>(info); };
  const auto* pixels = reinterpret_cast<const uchar*>((*holder)->Pixels());
  const auto stride = static_cast<qsizetype>(width) * static_cast<qsizetype>(sizeof(Pixel));
  QImage image(pixels, width, height, stride,
               translucent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32, release,
               holder);
  if (image.isNull()) delete holder;  // refused before Qt took it
  return image;
}

constexpr Duration kSecond = std::chrono::seconds(1);

}  // namespace

std::optional<PlayerFrame> Handover::Tick(const ReadAhead& readAhead) {
  if (!queue_.playing) return Sought(readAhead);
  if (queue_.items.empty()) return std::nullopt;
  const Duration now = time_.Now();
  PlayClock& clock = queue_.clock;
  std::optional<PlayerFrame> frame;
  bool passed = false;
  if (!clock.Running()) {
    // The first frame of a play goes on screen as soon as it is ready (or takes its time when it
    // cannot be shown).
    if (!clock.FirstShown()) {
      frame = TakePosition(queue_.nextToShow, readAhead, passed);
      if (!passed) return frame;
      clock.ShownAt(now);
    }
    if (queue_.items.size() == 1 || queue_.order.Period() == 1)
      return frame;  // a still is shown once
    // The clock starts with the next frame, a period after the one shown, once the frames the
    // workers went on with are ready too: at a cold start those take longer (their memory is
    // new), and would be passed over on a clock started without them.
    for (std::int64_t p = queue_.nextToShow; p < queue_.nextToShow + readAhead.Priming(); ++p) {
      const auto number = queue_.FrameAt(p);
      if (!number || !queue_.Item(*number)) continue;
      const auto cached = queue_.cache.find(*number);
      if (cached == queue_.cache.end()
              ? p >= queue_.nextToPrepare || queue_.inProgress.contains(*number)
              : !readAhead.Ready(cached->second))
        return frame;  // their workers call again
    }
    clock.Start(now, queue_.nextToShow);
  }
  if (now < clock.AnchorTime()) {
    time_.WakeAt(clock.AnchorTime(), wake_);
    return frame;
  }
  const std::int64_t at = clock.ToShow(queue_.nextToShow, now);
  queue_.Settle(at);
  if (!queue_.FrameAt(at)) {
    // A play that stops has shown its last frame.
    queue_.playing = false;
    queue_.ended = true;
    clock.Stop();
    return frame;
  }
  if (clock.IsDue(at, now)) {
    if (auto due = TakePosition(at, readAhead, passed)) frame = std::move(due);
    if (passed && frame && !frame->missing) clock.ShownAt(now);
  }
  time_.WakeAt(clock.NextWake(queue_.nextToShow, now), wake_);
  return frame;
}

std::optional<PlayerFrame> Handover::TakePosition(std::int64_t position, const ReadAhead& readAhead,
                                                  bool& passed) {
  passed = false;
  const auto number = queue_.FrameAt(position);
  if (!number) return std::nullopt;
  std::optional<PlayerFrame> frame;
  if (!queue_.Item(*number)) {
    ++queue_.counts.missing;
    frame.emplace();
    frame->number = *number;
    frame->missing = true;
    frame->writing = queue_.Entry(*number) != nullptr;
  } else {
    const auto cached = queue_.cache.find(*number);
    if (cached == queue_.cache.end() || !readAhead.Ready(cached->second)) return std::nullopt;
    if (cached->second.broken) {
      ++queue_.counts.broken;
    } else {
      frame = TakeFrame(cached->second);
      ++queue_.counts.shown;
      const Duration now = time_.Now();
      queue_.shownTimes.push_back(now);
      while (queue_.shownTimes.front() <= now - kSecond) queue_.shownTimes.pop_front();
    }
  }
  queue_.shown = *number;
  passed = true;
  queue_.SetNextToShow(position + 1);
  queue_.workToDo.notify_all();
  return frame;
}

std::optional<PlayerFrame> Handover::Sought(const ReadAhead& readAhead) {
  if (!queue_.seek) return std::nullopt;
  const std::int64_t number = *queue_.seek;
  std::optional<PlayerFrame> frame;
  if (queue_.Item(number)) {
    const auto cached = queue_.cache.find(number);
    if (cached == queue_.cache.end() || !readAhead.Ready(cached->second)) return std::nullopt;
    if (!cached->second.broken) frame = TakeFrame(cached->second);
  }
  if (!frame) {
    frame.emplace();
    frame->number = number;
    frame->missing = true;
    frame->writing = queue_.Entry(number) != nullptr && queue_.Entry(number)->writing;
  }
  queue_.seek.reset();
  queue_.shown = number;
  return frame;
}

PlayerFrame Handover::TakeFrame(const CachedFrame& cached) {
  PlayerFrame frame;
  frame.number = cached.number;
  frame.path = queue_.Item(cached.number)->path;
  frame.title = QString::fromStdString(cached.title);
  frame.look = queue_.view.look;  // the cache holds frames made for the view's look only
  queue_.lastWidth = cached.shown.width;
  queue_.lastHeight = cached.shown.height;
  const bool current = cached.viewGeneration == queue_.viewGeneration && !cached.rescaling;
  const auto take = [&](const FramePicture& picture, QImage& image, QImage& scaled,
                        QRect& scaledRect) {
    image = ToImage(picture.picture, picture.width, picture.height, picture.translucent);
    const ScalePlan plan = PlanScaling(picture.width, picture.height, queue_.view);
    if (current && picture.scaled && plan == picture.plan) {
      scaled = ToImage(picture.scaled, plan.rect.width(), plan.rect.height(), picture.translucent);
      scaledRect = plan.rect;
    }
    return plan;
  };
  frame.zoom = take(cached.shown, frame.picture, frame.scaled, frame.scaledRect).zoom;
  take(cached.compared, frame.comparedPicture, frame.comparedScaled, frame.comparedScaledRect);
  return frame;
}
