#include "read_ahead.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "frame_maker.h"

namespace {

using Duration = PlayerTime::Duration;
using lumenor::Pixel;

}  // namespace

ReadAhead::ReadAhead(FrameQueue& queue, PlayerTime& time, int workers,
                     std::function<void()> awaitedReady)
    : queue_(queue), time_(time), awaitedReady_(std::move(awaitedReady)) {
  if (workers <= 0) workers = static_cast<int>(std::thread::hardware_concurrency());
  workers = std::clamp(workers, 2, kMostWorkers);
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard lock(queue_.mutex);
    queue_.stopping = true;
    queue_.playing = false;
    queue_.Forget();
  }
  queue_.workToDo.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool ReadAhead::Ready(const CachedFrame& frame) const {
  return frame.broken || (frame.viewGeneration == queue_.viewGeneration && !frame.rescaling);
}

void ReadAhead::ViewChanged() {
  for (auto& entry : queue_.cache) Refresh(entry.second);
}

int ReadAhead::FramesReady() const {
  return static_cast<int>(std::count_if(queue_.cache.begin(), queue_.cache.end(),
                                        [this](const auto& entry) { return Ready(entry.second); }));
}

std::size_t ReadAhead::FrameBytes() const {
  const ScalePlan plan = PlanScaling(queue_.lastWidth, queue_.lastHeight, queue_.view);
  // Compared, B's frame is taken to be as large.
  return (static_cast<std::size_t>(queue_.lastWidth) * static_cast<std::size_t>(queue_.lastHeight) +
          plan.Count()) *
         sizeof(Pixel) * (queue_.comparing ? 2 : 1);
}

std::int64_t ReadAhead::Priming() const {
  const std::size_t frameBytes = FrameBytes();
  const std::size_t fit = frameBytes == 0 ? kMostWorkers : queue_.budget / frameBytes;
  return static_cast<std::int64_t>(std::min({workers_.size(), std::max<std::size_t>(fit, 1) - 1,
                                             static_cast<std::size_t>(kMostWorkers - 1)}));
}

void ReadAhead::Work() {
  FrameMaker maker;
  std::unique_lock lock(queue_.mutex);
  for (;;) {
    std::optional<Job> job;
    queue_.workToDo.wait(lock, [&] { return queue_.stopping || (job = NextJob()); });
    if (queue_.stopping) return;
    if (job->rescale) {
      Rescale(lock, *job, maker);
      continue;
    }
    lock.unlock();
    CachedFrame frame = Prepare(*job, maker);
    lock.lock();
    Deliver(*job, std::move(frame));
  }
}

std::optional<ReadAhead::Job> ReadAhead::NextJob() {
  // A frame sought comes first.
  if (const auto seek = queue_.seek; seek && queue_.Item(*seek) && !queue_.cache.contains(*seek) &&
                                     !queue_.inProgress.contains(*seek))
    return Decode(*seek, -1, 0, true);
  if (auto stale = StaleNearby()) return stale;
  if (!queue_.playing || queue_.items.empty()) return std::nullopt;
  // The positions ahead, nearest first, as far as one pass over the frames played.
  std::int64_t position = std::max(queue_.nextToPrepare, queue_.nextToShow);
  if (queue_.clock.Running()) {
    // When the workers are behind, a position that could not be ready by its deadline is passed
    // over for the first that can, with time to spare for a frame that takes longer than most:
    // a frame that misses its deadline is work thrown away.
    const Duration ready = time_.Now() + frameCost_ + std::max(frameCost_ / 8, slack_);
    position = std::max(position, queue_.clock.FirstOnTime(ready));
  }
  const std::int64_t horizon = queue_.nextToShow + queue_.order.Period();
  for (; position < horizon; ++position) {
    const auto number = queue_.FrameAt(position);
    if (!number) break;  // the end of a play that stops
    if (!queue_.Item(*number) || queue_.cache.contains(*number) ||
        queue_.inProgress.contains(*number))
      continue;
    queue_.nextToPrepare = position;
    return Decode(*number, position, position - queue_.nextToShow, position == queue_.nextToShow);
  }
  queue_.nextToPrepare = position;
  return std::nullopt;
}

std::optional<ReadAhead::Job> ReadAhead::Decode(std::int64_t number, std::int64_t position,
                                                std::int64_t wantedIn, bool urgent) {
  const std::size_t bytes = FrameBytes();
  if (!queue_.MakeRoom(bytes, wantedIn, urgent)) return std::nullopt;
  queue_.reservedBytes += bytes;
  if (position >= 0) queue_.nextToPrepare = position + 1;
  queue_.inProgress.insert(number);
  Job job;
  job.number = number;
  job.position = position;
  const PlayItem& item = *queue_.Item(number);
  job.path.assign(item.path.constData(), static_cast<std::size_t>(item.path.size()));
  job.comparePath.assign(item.comparePath.constData(),
                         static_cast<std::size_t>(item.comparePath.size()));
  job.version = item.version;
  job.view = queue_.view;
  job.options = queue_.options;
  job.viewGeneration = queue_.viewGeneration;
  job.session = queue_.session;
  job.reserved = bytes;
  job.hook = queue_.workerHook;
  return job;
}

// A cached frame scaled for an older view, among those wanted next: the frame shown or sought
// while paused, the next positions while playing.
std::optional<ReadAhead::Job> ReadAhead::StaleNearby() {
  const std::int64_t near = queue_.playing ? 2 * static_cast<std::int64_t>(workers_.size()) : 1;
  std::optional<Job> nearest;
  std::int64_t nearestDistance = near;
  for (const auto& [number, frame] : queue_.cache) {
    if (frame.broken || frame.rescaling || frame.viewGeneration == queue_.viewGeneration) continue;
    const std::int64_t distance = queue_.Distance(number);
    if (distance >= nearestDistance) continue;
    nearestDistance = distance;
    nearest.emplace();
    nearest->rescale = true;
    nearest->number = number;
  }
  return nearest;
}

void ReadAhead::Rescale(std::unique_lock<std::mutex>& lock, const Job& job, FrameMaker& maker) {
  CachedFrame& stale = queue_.cache.at(job.number);
  const ScalePlan plan = PlanScaling(stale.shown.width, stale.shown.height, queue_.view);
  const ScalePlan planB = PlanScaling(stale.compared.width, stale.compared.height, queue_.view);
  const std::size_t countB = stale.compared.picture ? planB.Count() : 0;
  const std::size_t oldBytes = (stale.shown.scaled ? stale.shown.scaled->Bytes() : 0) +
                               (stale.compared.scaled ? stale.compared.scaled->Bytes() : 0);
  const std::size_t newBytes = (plan.Count() + countB) * sizeof(Pixel);
  const int generation = queue_.viewGeneration, session = queue_.session;
  if (newBytes > oldBytes &&
      !queue_.MakeRoom(newBytes - oldBytes, queue_.Distance(job.number), false)) {
    // Without memory for it, the window scales the frame itself.
    stale.viewGeneration = generation;
    for (FramePicture* picture : {&stale.shown, &stale.compared}) {
      picture->plan = {plan.zoom, {}};
      picture->scaled.reset();
    }
    queue_.cachedBytes -= oldBytes;
    return;
  }
  stale.rescaling = true;
  queue_.reservedBytes += newBytes;
  const FramePicture shown = stale.shown, compared = stale.compared;
  lock.unlock();
  const auto scale = [&](const FramePicture& picture, const ScalePlan& to) {
    std::shared_ptr<FrameBlock> scaled =
        picture.picture && to.Count() > 0 ? FrameBlock::Take(queue_.pool, to.Count()) : nullptr;
    if (scaled) maker.Scale(picture, to, *scaled);
    return scaled;
  };
  std::shared_ptr<FrameBlock> scaled = scale(shown, plan), scaledB = scale(compared, planB);
  lock.lock();
  if (session != queue_.session) return;
  queue_.reservedBytes -= newBytes;
  const auto frame = queue_.cache.find(job.number);
  if (frame == queue_.cache.end()) return;
  frame->second.rescaling = false;
  if (generation != queue_.viewGeneration) return;
  queue_.cachedBytes -= frame->second.Bytes();
  frame->second.shown.scaled = std::move(scaled);
  frame->second.shown.plan = plan;
  frame->second.compared.scaled = std::move(scaledB);
  frame->second.compared.plan = planB;
  queue_.cachedBytes += frame->second.Bytes();
  frame->second.viewGeneration = generation;
  if (job.number == queue_.seek || job.number == queue_.awaited) awaitedReady_();
}

// A frame scaled for an older view is up to date at once when the view as it stands leaves its
// scaling as it was, or does away with it; otherwise the workers scale it again.
void ReadAhead::Refresh(CachedFrame& frame) const {
  if (frame.broken || frame.viewGeneration == queue_.viewGeneration) return;
  const ScalePlan plan = PlanScaling(frame.shown.width, frame.shown.height, queue_.view);
  const ScalePlan planB = PlanScaling(frame.compared.width, frame.compared.height, queue_.view);
  const auto asItWas = [](const ScalePlan& now, const FramePicture& picture) {
    return now == picture.plan || now.Count() == 0 || !picture.picture;
  };
  if (!asItWas(plan, frame.shown) || !asItWas(planB, frame.compared)) return;
  queue_.cachedBytes -= frame.Bytes();
  for (auto [picture, now] : {std::pair{&frame.shown, plan}, std::pair{&frame.compared, planB}}) {
    if (now.Count() == 0) picture->scaled.reset();
    picture->plan = now;
  }
  queue_.cachedBytes += frame.Bytes();
  frame.viewGeneration = queue_.viewGeneration;
}

void ReadAhead::Deliver(Job& job, CachedFrame&& frame) {
  if (job.session != queue_.session) return;  // the list changed: the memory goes with frame
  queue_.inProgress.erase(job.number);
  queue_.reservedBytes -= job.reserved;
  const bool missed = frame.abandoned || (job.position >= 0 && job.position < queue_.nextToShow);
  if (!frame.broken && job.position >= 0) {
    // Shown or not, the time a frame took is what the next ones will take. One that missed
    // its deadline says to aim further ahead (the more so the more they miss); one on time,
    // a little nearer again.
    frameCost_ = (3 * frameCost_ + frame.cost) / 4;
    slack_ = missed ? std::min(slack_ + frameCost_ / 2, 4 * frameCost_) : slack_ - slack_ / 8;
  }
  if (frame.abandoned) {
    // Given up for want of memory, it is tried again once frames ahead have gone by.
    if (job.position >= queue_.nextToShow)
      queue_.nextToPrepare = std::min(queue_.nextToPrepare, job.position);
    return;
  }
  // The file was written again while it was decoded: it is read again.
  const PlayItem* item = queue_.Item(job.number);
  if (!item || item->version != job.version) {
    if (job.position >= queue_.nextToShow)
      queue_.nextToPrepare = std::min(queue_.nextToPrepare, job.position);
    return;
  }
  Refresh(frame);
  queue_.cachedBytes += frame.Bytes();
  const bool awaited =
      job.number == queue_.seek ||
      (queue_.playing && (job.number == queue_.awaited || !queue_.clock.Running()));
  queue_.cache.insert_or_assign(job.number, std::move(frame));
  if (awaited) awaitedReady_();
}

bool ReadAhead::StillWanted(const Job& job) {
  std::lock_guard lock(queue_.mutex);
  if (queue_.stopping || job.session != queue_.session) return false;
  // A frame sought is given up for one sought since (a scrub moves on): the worker is wanted for
  // the frame under the pointer.
  if (job.position < 0) return !queue_.seek || *queue_.seek == job.number || queue_.playing;
  if (!queue_.playing || !queue_.clock.Running()) return true;
  if (job.position >= queue_.nextToShow && queue_.clock.OnTime(job.position, time_.Now()))
    return true;
  // Too late for this pass. When every frame played fits the cache it is worth finishing for the
  // next; otherwise it would leave the cache before it came round, and the worker is wanted for
  // frames that can still be on time.
  const auto period = static_cast<std::size_t>(queue_.order.Period());
  return FrameBytes() > 0 && period <= queue_.budget / FrameBytes();
}

CachedFrame ReadAhead::Prepare(Job& job, FrameMaker& maker) {
  CachedFrame frame;
  frame.number = job.number;
  frame.version = job.version;
  frame.viewGeneration = job.viewGeneration;
  if (job.hook) job.hook(job.number);
  const Duration start = time_.Now();
  // A's picture, then B's: their shares of the budget follow their true sizes.
  std::size_t committed = 0;
  const auto room = [&](int width, int height, std::size_t bytes) {
    std::lock_guard lock(queue_.mutex);
    if (job.session == queue_.session && queue_.lastWidth == 0 && committed == 0) {
      // What the next frames will take, until one is shown.
      queue_.lastWidth = width;
      queue_.lastHeight = height;
    }
    const std::int64_t wantedIn = job.position < 0 ? 0 : job.position - queue_.nextToShow;
    const bool urgent = job.position < 0 || job.number == queue_.awaited;
    bytes += committed;
    if (job.session != queue_.session ||
        (bytes > job.reserved && !queue_.MakeRoom(bytes - job.reserved, wantedIn, urgent)))
      return false;
    queue_.reservedBytes += bytes;
    queue_.reservedBytes -= job.reserved;
    job.reserved = bytes;
    return true;
  };
  const auto goOn = [&] { return StillWanted(job); };
  FrameMaker::Made a = maker.Make(job.path, job.view, job.options, queue_.pool, room, goOn);
  if (a.abandoned) {
    // What the whole frame would have taken, for the estimate of the next ones.
    frame.abandoned = true;
    frame.cost = std::chrono::duration_cast<Duration>((time_.Now() - start) /
                                                      std::max(a.reached, 0.05));
    return frame;
  }
  if (a.broken) {
    frame.broken = true;  // a file that cannot be shown
    return frame;
  }
  frame.title = std::move(a.title);
  frame.shown = std::move(a.picture);
  if (!job.comparePath.empty()) {
    committed = job.reserved;
    FrameMaker::Made b =
        maker.Make(job.comparePath, job.view, job.options, queue_.pool, room, goOn);
    if (b.abandoned) {
      frame.abandoned = true;
      return frame;
    }
    // B that cannot be shown is missing on its side.
    if (!b.broken) frame.compared = std::move(b.picture);
  }
  frame.cost = time_.Now() - start;
  return frame;
}
