#include "handover.h"

#include <algorithm>

#include "read_ahead.h"

namespace {

using Duration = PlayerTime::Duration;
using lumenor::Pixel;

// An image over a block, which goes back to the pool when the image's last copy goes. A block
// that a worker still reads goes out read-only: a write to the image copies it first.
QImage ToImage(std::shared_ptr<FrameBlock> block, int width, int height, bool readOnly = false) {
  if (!block || width <= 0 || height <= 0) return {};
  block->PutOnScreen();
  auto* holder = new std::shared_ptr<FrameBlock>(std::move(block));
  const auto release = [](void* info) { delete static_cast<std::shared_ptr<FrameBlock>*>(info); };
  auto* pixels = reinterpret_cast<uchar*>((*holder)->Pixels());
  const auto stride = static_cast<qsizetype>(width) * static_cast<qsizetype>(sizeof(Pixel));
  QImage image = readOnly
                     ? QImage(static_cast<const uchar*>(pixels), width, height, stride,
                              QImage::Format_RGB32, release, holder)
                     : QImage(pixels, width, height, stride, QImage::Format_RGB32, release, holder);
  if (image.isNull()) delete holder;  // refused before Qt took it
  return image;
}

}  // namespace

// On the window's thread: the frame to put on screen now, if there is one.
std::optional<PlayerFrame> Handover::Tick(const ReadAhead& readAhead) {
  std::optional<PlayerFrame> frame;
  std::lock_guard lock(queue_.mutex);
  if (!queue_.playing || queue_.paths.empty()) return frame;
  const Duration now = time_.Now();
  PlayClock& clock = queue_.clock;
  if (!clock.Running()) {
    // Positions the workers passed over while they were behind are not waited for.
    while (queue_.nextToShow < queue_.nextToPrepare && !queue_.ready.contains(queue_.nextToShow) &&
           !queue_.inProgress.contains(queue_.nextToShow))
      queue_.Settle(queue_.nextToShow + 1);
    // The first frame of a play goes on screen as soon as it is ready (or takes its time
    // when it cannot be shown).
    if (const auto first = queue_.ready.find(queue_.nextToShow);
        !clock.FirstShown() && first != queue_.ready.end()) {
      frame = TakeReady(first);
      clock.ShownAt(now);
    }
    if (!clock.FirstShown() || queue_.paths.size() == 1) return frame;  // a still is shown once
    // The clock starts with the next frame, a period after the one shown, once the frames the
    // workers went on with are ready too: at a cold start those take longer (their memory is
    // new), and would be skipped on a clock started without them.
    // (Positions passed over earlier are not waited for.)
    for (std::int64_t p = queue_.nextToShow; p < queue_.nextToShow + readAhead.Priming(); ++p)
      if (!queue_.ready.contains(p) && (queue_.inProgress.contains(p) || p >= queue_.nextToPrepare))
        return frame;  // their workers call again
    clock.Start(now, queue_.nextToShow);
  }
  if (now < clock.AnchorTime()) {
    time_.WakeAt(clock.AnchorTime(), wake_);
    return frame;
  }
  const std::int64_t at = clock.ToShow(queue_.nextToShow, now);
  queue_.Settle(at);
  if (clock.IsDue(at, now)) {
    if (const auto due = queue_.ready.find(at); due != queue_.ready.end()) {
      frame = TakeReady(due);
      if (frame) clock.ShownAt(now);
    }
  }
  time_.WakeAt(clock.NextWake(queue_.nextToShow, now), wake_);
  return frame;
}

std::optional<PlayerFrame> Handover::TakeReady(Ready ready) {
  std::optional<PlayerFrame> frame;
  if (ready->second.broken) {
    ++queue_.counts.broken;
  } else {
    frame = TakeFrame(ready->second);
    ++queue_.counts.shown;
    queue_.shownIndex = ready->second.index;
  }
  const std::int64_t next = ready->first + 1;
  queue_.ready.erase(ready);
  queue_.SetNextToShow(next);
  queue_.workToDo.notify_all();
  return frame;
}

PlayerFrame Handover::TakeFrame(PreparedFrame& prepared) {
  PlayerFrame frame;
  frame.index = prepared.index;
  frame.path = queue_.paths[static_cast<std::size_t>(prepared.index)];
  frame.title = QString::fromStdString(prepared.title);
  frame.picture =
      ToImage(std::move(prepared.picture), prepared.width, prepared.height, prepared.rescaling);
  queue_.lastWidth = prepared.width;
  queue_.lastHeight = prepared.height;
  const ScalePlan plan = PlanScaling(prepared.width, prepared.height, queue_.view);
  frame.zoom = plan.zoom;
  if (prepared.viewGeneration == queue_.viewGeneration && !prepared.rescaling && prepared.scaled &&
      plan == prepared.plan) {
    frame.scaled = ToImage(std::move(prepared.scaled), plan.rect.width(), plan.rect.height());
    frame.scaledRect = plan.rect;
  }
  return frame;
}
