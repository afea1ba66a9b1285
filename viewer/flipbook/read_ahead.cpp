#include "read_ahead.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "frame_canvas.h"
#include "module1.h"

namespace {

using Duration = PlayerTime::Duration;
using lumenor::Pixel;

}  // namespace

// A worker's scaler, kept from frame to frame while the size and zoom stay.
class WorkerScaler {
 public:
  lumenor::PictureScaler& For(int width, int height, lumenor::Zoom zoom) {
    if (!scaler_ || width != width_ || height != height_ || !(scaler_->GetZoom() == zoom)) {
      scaler_.emplace(width, height, zoom);
      width_ = width;
      height_ = height;
    }
    return *scaler_;
  }

 private:
  std::optional<lumenor::PictureScaler> scaler_;
  int width_ = 0;
  int height_ = 0;
};

namespace {

void Scale(WorkerScaler& scaler, const Pixel* picture, int width, int height, const ScalePlan& plan,
           Pixel* out) {
  const QRect& r = plan.rect;
  scaler.For(width, height, plan.zoom)
      .Scale(picture, static_cast<std::size_t>(width), r.x(), r.y(), r.width(), r.height(), out,
             static_cast<std::size_t>(r.width()));
}

}  // namespace

ReadAhead::ReadAhead(FrameQueue& queue, PlayerTime& time, int workers,
                     std::function<void()> awaitedReady)
    : queue_(queue), time_(time), awaitedReady_(std::move(awaitedReady)) {
  if (workers <= 0) workers = static_cast<int>(std::thread::hardware_concurrency());
  workers = std::clamp(workers, 2, kMostAhead);
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard lock(queue_.mutex);
    queue_.stopping = true;
    queue_.playing = false;
    queue_.Flush();
  }
  queue_.workToDo.notify_all();
  queue_.pool->Wake();
  for (std::thread& worker : workers_) worker.join();
}

void ReadAhead::ViewChanged() {
  for (auto& entry : queue_.ready) Refresh(entry.second);
}

int ReadAhead::FramesReady() const {
  return static_cast<int>(
      std::count_if(queue_.ready.begin(), queue_.ready.end(), [this](const auto& entry) {
        const PreparedFrame& frame = entry.second;
        return frame.broken || (frame.viewGeneration == queue_.viewGeneration && !frame.rescaling);
      }));
}

void ReadAhead::Work() {
  WorkerScaler scaler;
  std::unique_lock lock(queue_.mutex);
  for (;;) {
    queue_.workToDo.wait(lock, [this] { return queue_.stopping || StaleFrame() || CanStart(); });
    if (queue_.stopping) return;
    if (const std::optional<std::int64_t> stale = StaleFrame()) {
      Rescale(lock, *stale, scaler);
      continue;
    }
    const Job job = Claim();
    lock.unlock();
    PreparedFrame frame = Prepare(job, scaler);
    lock.lock();
    Deliver(job, std::move(frame));
  }
}

bool ReadAhead::CanStart() const {
  if (!queue_.playing || queue_.paths.empty()) return false;
  if (queue_.paths.size() == 1 && queue_.nextToPrepare > 0)
    return false;  // a still is prepared once
  return queue_.inProgress.size() + queue_.ready.size() < static_cast<std::size_t>(kMostAhead);
}

// The next position to prepare. When the workers are behind, one that could not be ready by
// its deadline is passed over for the first that can, with time to spare for a frame that
// takes longer than most: a frame that misses its deadline is work thrown away.
ReadAhead::Job ReadAhead::Claim() {
  std::int64_t position = std::max(queue_.nextToPrepare, queue_.nextToShow);
  if (queue_.clock.Running()) {
    const Duration ready = time_.Now() + frameCost_ + std::max(frameCost_ / 8, slack_);
    position = std::max(position, queue_.clock.FirstOnTime(ready));
  }
  queue_.nextToPrepare = position + 1;
  queue_.inProgress.insert(position);
  Job job;
  job.position = position;
  job.index = queue_.IndexOf(position);
  const QByteArray& path = queue_.paths[static_cast<std::size_t>(job.index)];
  job.path.assign(path.constData(), static_cast<std::size_t>(path.size()));
  job.view = queue_.view;
  job.viewGeneration = queue_.viewGeneration;
  job.session = queue_.session;
  job.hook = queue_.workerHook;
  return job;
}

std::optional<std::int64_t> ReadAhead::StaleFrame() const {
  for (const auto& [position, frame] : queue_.ready)
    if (!frame.broken && !frame.rescaling && frame.viewGeneration != queue_.viewGeneration)
      return position;
  return std::nullopt;
}

// Scales a ready frame again for the view as it now stands.
void ReadAhead::Rescale(std::unique_lock<std::mutex>& lock, std::int64_t position,
                        WorkerScaler& scaler) {
  PreparedFrame& stale = queue_.ready.at(position);
  stale.rescaling = true;
  const std::shared_ptr<FrameBlock> picture = stale.picture;
  const int width = stale.width, height = stale.height;
  const int generation = queue_.viewGeneration, session = queue_.session;
  const ScalePlan plan = PlanScaling(width, height, queue_.view);
  lock.unlock();
  std::shared_ptr<FrameBlock> scaled;
  const auto giveUp = [this, generation, session] {
    return queue_.stopping || queue_.session != session || queue_.viewGeneration != generation;
  };
  if (queue_.pool->Reserve(plan.Count() * sizeof(Pixel), giveUp, [] { return false; })) {
    scaled = FrameBlock::Take(queue_.pool, plan.Count());
    if (scaled) Scale(scaler, picture->Pixels(), width, height, plan, scaled->Pixels());
  }
  lock.lock();
  const auto frame = queue_.ready.find(position);
  if (frame == queue_.ready.end() || session != queue_.session) return;
  frame->second.rescaling = false;
  if (generation != queue_.viewGeneration) return;
  // Without memory for it, the window scales the frame itself.
  frame->second.scaled = std::move(scaled);
  frame->second.plan = plan;
  frame->second.viewGeneration = generation;
}

// A frame prepared for an older view is up to date at once when the view as it stands leaves
// its scaling as it was, or does away with it; otherwise the workers scale it again.
void ReadAhead::Refresh(PreparedFrame& frame) const {
  if (frame.broken || frame.viewGeneration == queue_.viewGeneration) return;
  const ScalePlan plan = PlanScaling(frame.width, frame.height, queue_.view);
  if (!(plan == frame.plan) && plan.Count() > 0) return;
  if (plan.Count() == 0) frame.scaled.reset();
  frame.plan = plan;
  frame.viewGeneration = queue_.viewGeneration;
}

void ReadAhead::Deliver(const Job& job, PreparedFrame&& frame) {
  if (job.session != queue_.session) return;
  queue_.inProgress.erase(job.position);
  const bool missed = frame.abandoned || job.position < queue_.nextToShow;
  if (!frame.broken) {
    // Shown or not, the time a frame took is what the next ones will take. One that missed
    // its deadline says to aim further ahead (the more so the more they miss); one on time,
    // a little nearer again.
    frameCost_ = (3 * frameCost_ + frame.cost) / 4;
    slack_ = missed ? std::min(slack_ + frameCost_ / 2, 4 * frameCost_) : slack_ - slack_ / 8;
  }
  if (missed) return;
  Refresh(frame);
  const bool awaited =
      queue_.playing && (job.position == queue_.nextToShow || !queue_.clock.Running());
  queue_.ready.emplace(job.position, std::move(frame));
  if (awaited) awaitedReady_();
}

// The frames after the first that are to be ready before the clock starts: one a worker, as
// many as the read-ahead's memory holds.
std::int64_t ReadAhead::Priming() const {
  const ScalePlan plan = PlanScaling(queue_.lastWidth, queue_.lastHeight, queue_.view);
  const std::size_t frameBytes =
      (static_cast<std::size_t>(queue_.lastWidth) * static_cast<std::size_t>(queue_.lastHeight) +
       plan.Count()) *
      sizeof(Pixel);
  const std::size_t fit = frameBytes == 0 ? kMostAhead : queue_.bytesAhead / frameBytes;
  return static_cast<std::int64_t>(std::min({workers_.size(), std::max<std::size_t>(fit, 1) - 1,
                                             static_cast<std::size_t>(kMostAhead - 1)}));
}

// Whether a frame under way may still go on screen.
bool ReadAhead::StillWanted(const Job& job) {
  std::lock_guard lock(queue_.mutex);
  if (queue_.stopping || job.session != queue_.session || job.position < queue_.nextToShow)
    return false;
  if (!queue_.clock.Running()) return true;
  return queue_.clock.OnTime(job.position, time_.Now());
}

// Unlocked: decodes (and scales) the frame of job.
PreparedFrame ReadAhead::Prepare(const Job& job, WorkerScaler& scaler) {
  PreparedFrame frame;
  frame.index = job.index;
  frame.viewGeneration = job.viewGeneration;
  if (job.hook) job.hook(job.index);
  const Duration start = time_.Now();
  std::shared_ptr<FrameBlock> scaled;
  RowScaler rowScaler;
  const auto giveUp = [this, &job] { return queue_.stopping || queue_.session != job.session; };
  FrameCanvas canvas(
      job.view.background,
      [&](int width, int height) -> std::shared_ptr<FrameBlock> {
        frame.plan = PlanScaling(width, height, job.view);
        const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        if (!queue_.pool->Reserve((count + frame.plan.Count()) * sizeof(Pixel), giveUp,
                                  [this, &job] { return job.position == queue_.awaited; }))
          return nullptr;
        std::shared_ptr<FrameBlock> picture = FrameBlock::Take(queue_.pool, count);
        scaled =
            frame.plan.Count() > 0 ? FrameBlock::Take(queue_.pool, frame.plan.Count()) : nullptr;
        if (!picture || (frame.plan.Count() > 0 && !scaled)) return nullptr;
        if (scaled)
          rowScaler.Start(scaler.For(width, height, frame.plan.zoom), picture->Pixels(), width,
                          frame.plan.rect.x(), frame.plan.rect.y(), frame.plan.rect.width(),
                          frame.plan.rect.height(), scaled->Pixels());
        return picture;
      },
      [&](int top) {
        if (!StillWanted(job)) return false;
        rowScaler.Finished(top);
        return true;
      });
  lumenor::LoadImageFile(job.path, canvas);
  if (canvas.Abandoned()) {
    // What the whole frame would have taken, for the estimate of the next ones.
    frame.abandoned = true;
    frame.cost = std::chrono::duration_cast<Duration>((time_.Now() - start) /
                                                      std::max(canvas.Reached(), 0.05));
    return frame;
  }
  frame.picture = canvas.TakeBlock();
  if (!canvas.Messages().empty() || !frame.picture) {
    frame.broken = true;
    frame.picture.reset();
    return frame;
  }
  canvas.FillUntouched();
  rowScaler.Finished(0);
  frame.width = canvas.Width();
  frame.height = canvas.Height();
  frame.title = canvas.Title();
  frame.scaled = std::move(scaled);
  frame.cost = time_.Now() - start;
  return frame;
}
