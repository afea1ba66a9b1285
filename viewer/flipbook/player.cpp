#include "player.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "frame_canvas.h"
#include "frame_clock.h"
#include "frame_memory.h"
#include "module1.h"
#include "view_geometry.h"

namespace {

using Duration = PlayerTime::Duration;
using lumenor::Pixel;

// The window's time: the steady clock, and a precise single-shot timer. The timer counts whole
// milliseconds, rounded up, so that it never wakes the player before the time asked.
class SteadyTime final : public PlayerTime {
 public:
  SteadyTime() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (const auto wake = std::exchange(wake_, nullptr)) wake();
    });
  }

  Duration Now() const override { return std::chrono::steady_clock::now().time_since_epoch(); }
  void WakeAt(Duration when, std::function<void()> wake) override {
    wake_ = std::move(wake);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(when - Now()).count();
    timer_.start(static_cast<int>(std::clamp<std::int64_t>(wait, 0, 60'000)));
  }
  void CancelWake() override {
    timer_.stop();
    wake_ = nullptr;
  }

 private:
  QTimer timer_;
  std::function<void()> wake_;
};

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

// What a frame is scaled to for a view: its zoom, and the part of the scaled frame made ahead.
struct ScalePlan {
  lumenor::Zoom zoom;
  QRect rect;  // in canvas coordinates; empty when nothing is scaled (100 %)

  bool operator==(const ScalePlan& other) const { return zoom == other.zoom && rect == other.rect; }
  std::size_t Count() const {
    return rect.isEmpty()
               ? 0
               : static_cast<std::size_t>(rect.width()) * static_cast<std::size_t>(rect.height());
  }
};

// As the window will show a picture of width x height: a shrunk frame is scaled whole, an
// enlarged one only where it shows (a screen's worth, however large the zoom makes it).
ScalePlan PlanScaling(int width, int height, const PlayerView& view) {
  ViewGeometry geometry;
  geometry.SetPictureSize(width, height);
  geometry.SetClientSize(view.clientWidth, view.clientHeight);
  const lumenor::Zoom zoom = view.fit ? geometry.FitZoom() : view.zoom;
  if (zoom == ViewGeometry::kActualSize || width <= 0 || height <= 0) return {zoom, {}};
  geometry.ZoomAbout(zoom, 0, 0);
  if (zoom.Shrinks()) return {zoom, QRect(0, 0, geometry.Width(), geometry.Height())};
  geometry.SetLeft(view.left);
  geometry.SetTop(view.top);
  geometry.Confine();
  const QRect canvas(geometry.Left(), geometry.Top(), geometry.Width(), geometry.Height());
  const QRect shown = QRect(0, 0, view.clientWidth, view.clientHeight) & canvas;
  return {zoom, shown.translated(-canvas.topLeft())};
}

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

}  // namespace

// Positions count the frames of one play from its first picture on, looping over the list:
// position p shows picture (first + p) mod count. Every position is shown or skipped once.
class Player::Engine {
 public:
  // tickNow puts a due frame on screen (on the window's thread); postTick asks for that from a
  // worker.
  Engine(PlayerTime& time, int workers, std::size_t bytesAhead, std::function<void()> tickNow,
         std::function<void()> postTick)
      : time_(time),
        tickNow_(std::move(tickNow)),
        postTick_(std::move(postTick)),
        bytesAhead_(bytesAhead),
        pool_(std::make_shared<FramePool>(bytesAhead)) {
    if (workers <= 0) workers = static_cast<int>(std::thread::hardware_concurrency());
    workers = std::clamp(workers, 2, kMostAhead);
    for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
  }

  ~Engine() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      playing_ = false;
      Flush();
    }
    workToDo_.notify_all();
    pool_->Wake();
    for (std::thread& worker : workers_) worker.join();
    time_.CancelWake();
    std::lock_guard lock(mutex_);
    ready_.clear();
    pool_->Close();
  }

  void SetPictures(std::vector<QByteArray> paths) {
    std::lock_guard lock(mutex_);
    PauseLocked();
    paths_ = std::move(paths);
    Flush();
    shownIndex_ = -1;
    counts_ = {};
    pool_->DropSpares();
  }
  int PictureCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(paths_.size());
  }

  void SetFrameRate(int framesPerSecond) {
    std::lock_guard lock(mutex_);
    clock_ = FrameClock(framesPerSecond);
    clockRunning_ = false;  // starts again with the next frame, at the new rate
  }
  int FrameRate() const {
    std::lock_guard lock(mutex_);
    return clock_.FramesPerSecond();
  }

  void SetView(const PlayerView& view) {
    {
      std::lock_guard lock(mutex_);
      view_ = view;
      ++viewGeneration_;
      for (auto& entry : ready_) Refresh(entry.second);
    }
    workToDo_.notify_all();
    pool_->Wake();
  }

  void Play(int first) {
    {
      std::lock_guard lock(mutex_);
      if (paths_.empty()) return;
      const int count = static_cast<int>(paths_.size());
      first = (first % count + count) % count;
      // After a pause, the frames prepared from first on are still good.
      if (IndexOf(nextToShow_) != first || nextToPrepare_ <= nextToShow_) {
        Flush();
        first_ = first;
      }
      playing_ = true;
      clockRunning_ = false;
      firstShown_ = false;
    }
    pool_->KeepSpares(true);
    workToDo_.notify_all();
  }

  // What is prepared ahead stays for the next Play; spare memory goes.
  void Pause() {
    {
      std::lock_guard lock(mutex_);
      PauseLocked();
    }
    pool_->KeepSpares(false);
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      PauseLocked();
      Flush();
    }
    pool_->KeepSpares(false);
  }

  bool Playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
  }
  int ShownIndex() const {
    std::lock_guard lock(mutex_);
    return shownIndex_;
  }
  Counts GetCounts() const {
    std::lock_guard lock(mutex_);
    return counts_;
  }
  int FramesReady() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(ready_.begin(), ready_.end(), [this](const auto& entry) {
      const Prepared& frame = entry.second;
      return frame.broken || (frame.viewGeneration == viewGeneration_ && !frame.rescaling);
    }));
  }
  std::size_t BytesAhead() const { return pool_->BytesAhead(); }
  void SetWorkerHook(std::function<void(int)> hook) {
    std::lock_guard lock(mutex_);
    workerHook_ = std::move(hook);
  }

  // On the window's thread: the frame to put on screen now, if there is one.
  std::optional<PlayerFrame> Tick() {
    std::optional<PlayerFrame> frame;
    std::lock_guard lock(mutex_);
    if (!playing_ || paths_.empty()) return frame;
    const Duration now = time_.Now();
    if (!clockRunning_) {
      // Positions the workers passed over while they were behind are not waited for.
      while (nextToShow_ < nextToPrepare_ && !ready_.contains(nextToShow_) &&
             !inProgress_.contains(nextToShow_))
        Settle(nextToShow_ + 1);
      // The first frame of a play goes on screen as soon as it is ready (or takes its time
      // when it cannot be shown).
      if (const auto first = ready_.find(nextToShow_); !firstShown_ && first != ready_.end()) {
        frame = TakeReady(first);
        firstShown_ = true;
        shownAt_ = now;
      }
      if (!firstShown_ || paths_.size() == 1) return frame;  // a still is shown once
      // The clock starts with the next frame, a period after the one shown, once the frames the
      // workers went on with are ready too: at a cold start those take longer (their memory is
      // new), and would be skipped on a clock started without them.
      // (Positions passed over earlier are not waited for.)
      for (std::int64_t p = nextToShow_; p < nextToShow_ + Priming(); ++p)
        if (!ready_.contains(p) && (inProgress_.contains(p) || p >= nextToPrepare_))
          return frame;  // their workers call again
      clockRunning_ = true;
      anchorTime_ = std::max(now, shownAt_ + clock_.DueTime(1));
      anchorPosition_ = nextToShow_;
    }
    if (now < anchorTime_) {
      time_.WakeAt(anchorTime_, tickNow_);
      return frame;
    }
    const Duration elapsed = now - anchorTime_;
    const std::int64_t at =
        anchorPosition_ + clock_.NextToShow(nextToShow_ - anchorPosition_, elapsed);
    Settle(at);
    if (clock_.DueTime(at - anchorPosition_) <= elapsed) {
      if (const auto due = ready_.find(at); due != ready_.end()) {
        frame = TakeReady(due);
        if (frame) shownAt_ = now;
      }
    }
    const std::int64_t next =
        std::max(nextToShow_ - anchorPosition_, clock_.FrameDueAt(elapsed) + 1);
    time_.WakeAt(anchorTime_ + clock_.DueTime(next), tickNow_);
    return frame;
  }

 private:
  struct Prepared {
    int index = -1;
    bool broken = false;
    bool abandoned = false;  // given up half-way: dropped
    std::string title;
    std::shared_ptr<FrameBlock> picture;
    int width = 0;
    int height = 0;
    ScalePlan plan;
    std::shared_ptr<FrameBlock> scaled;
    int viewGeneration = 0;
    bool rescaling = false;  // a worker is scaling it again
    Duration cost{0};
  };

  struct Job {
    std::int64_t position = 0;
    int index = 0;
    std::string path;
    PlayerView view;
    int viewGeneration = 0;
    int session = 0;
    std::function<void(int)> hook;
  };

  void Work() {
    WorkerScaler scaler;
    std::unique_lock lock(mutex_);
    for (;;) {
      workToDo_.wait(lock, [this] { return stopping_ || StaleFrame() || CanStart(); });
      if (stopping_) return;
      if (const std::optional<std::int64_t> stale = StaleFrame()) {
        Rescale(lock, *stale, scaler);
        continue;
      }
      const Job job = Claim();
      lock.unlock();
      Prepared frame = Prepare(job, scaler);
      lock.lock();
      Deliver(job, std::move(frame));
    }
  }

  // The functions below, to Deliver, run with mutex_ held.

  bool CanStart() const {
    if (!playing_ || paths_.empty()) return false;
    if (paths_.size() == 1 && nextToPrepare_ > 0) return false;  // a still is prepared once
    return inProgress_.size() + ready_.size() < static_cast<std::size_t>(kMostAhead);
  }

  // The next position to prepare. When the workers are behind, one that could not be ready by
  // its deadline is passed over for the first that can, with time to spare for a frame that
  // takes longer than most: a frame that misses its deadline is work thrown away.
  Job Claim() {
    std::int64_t position = std::max(nextToPrepare_, nextToShow_);
    if (clockRunning_) {
      const Duration ready =
          time_.Now() + frameCost_ + std::max(frameCost_ / 8, slack_) - anchorTime_;
      position = std::max(position, anchorPosition_ + clock_.FirstOnTime(ready));
    }
    nextToPrepare_ = position + 1;
    inProgress_.insert(position);
    Job job;
    job.position = position;
    job.index = IndexOf(position);
    const QByteArray& path = paths_[static_cast<std::size_t>(job.index)];
    job.path.assign(path.constData(), static_cast<std::size_t>(path.size()));
    job.view = view_;
    job.viewGeneration = viewGeneration_;
    job.session = session_;
    job.hook = workerHook_;
    return job;
  }

  std::optional<std::int64_t> StaleFrame() const {
    for (const auto& [position, frame] : ready_)
      if (!frame.broken && !frame.rescaling && frame.viewGeneration != viewGeneration_)
        return position;
    return std::nullopt;
  }

  // Scales a ready frame again for the view as it now stands.
  void Rescale(std::unique_lock<std::mutex>& lock, std::int64_t position, WorkerScaler& scaler) {
    Prepared& stale = ready_.at(position);
    stale.rescaling = true;
    const std::shared_ptr<FrameBlock> picture = stale.picture;
    const int width = stale.width, height = stale.height;
    const int generation = viewGeneration_, session = session_;
    const ScalePlan plan = PlanScaling(width, height, view_);
    lock.unlock();
    std::shared_ptr<FrameBlock> scaled;
    const auto giveUp = [this, generation, session] {
      return stopping_ || session_ != session || viewGeneration_ != generation;
    };
    if (pool_->Reserve(plan.Count() * sizeof(Pixel), giveUp, [] { return false; })) {
      scaled = FrameBlock::Take(pool_, plan.Count());
      if (scaled) Scale(scaler, picture->Pixels(), width, height, plan, scaled->Pixels());
    }
    lock.lock();
    const auto frame = ready_.find(position);
    if (frame == ready_.end() || session != session_) return;
    frame->second.rescaling = false;
    if (generation != viewGeneration_) return;
    // Without memory for it, the window scales the frame itself.
    frame->second.scaled = std::move(scaled);
    frame->second.plan = plan;
    frame->second.viewGeneration = generation;
  }

  // A frame prepared for an older view is up to date at once when the view as it stands leaves
  // its scaling as it was, or does away with it; otherwise the workers scale it again.
  void Refresh(Prepared& frame) const {
    if (frame.broken || frame.viewGeneration == viewGeneration_) return;
    const ScalePlan plan = PlanScaling(frame.width, frame.height, view_);
    if (!(plan == frame.plan) && plan.Count() > 0) return;
    if (plan.Count() == 0) frame.scaled.reset();
    frame.plan = plan;
    frame.viewGeneration = viewGeneration_;
  }

  void Deliver(const Job& job, Prepared&& frame) {
    if (job.session != session_) return;
    inProgress_.erase(job.position);
    const bool missed = frame.abandoned || job.position < nextToShow_;
    if (!frame.broken) {
      // Shown or not, the time a frame took is what the next ones will take. One that missed
      // its deadline says to aim further ahead (the more so the more they miss); one on time,
      // a little nearer again.
      frameCost_ = (3 * frameCost_ + frame.cost) / 4;
      slack_ = missed ? std::min(slack_ + frameCost_ / 2, 4 * frameCost_) : slack_ - slack_ / 8;
    }
    if (missed) return;
    Refresh(frame);
    const bool awaited = playing_ && (job.position == nextToShow_ || !clockRunning_);
    ready_.emplace(job.position, std::move(frame));
    if (awaited) postTick_();
  }

  // Every position before upTo is past: those not shown are counted skipped.
  void Settle(std::int64_t upTo) {
    if (upTo <= nextToShow_) return;
    std::int64_t broken = 0;
    for (auto frame = ready_.begin(); frame != ready_.end() && frame->first < upTo;) {
      if (frame->second.broken) ++broken;
      frame = ready_.erase(frame);
    }
    counts_.broken += broken;
    counts_.late += upTo - nextToShow_ - broken;
    SetNextToShow(upTo);
    workToDo_.notify_all();
  }

  // Drops the frames prepared and under way; play starts afresh.
  void Flush() {
    ++session_;
    ready_.clear();
    inProgress_.clear();
    nextToPrepare_ = anchorPosition_ = 0;
    SetNextToShow(0);
    clockRunning_ = false;
    firstShown_ = false;
    pool_->Wake();
  }

  void PauseLocked() {
    playing_ = false;
    clockRunning_ = false;
    time_.CancelWake();
  }

  // The frames after the first that are to be ready before the clock starts: one a worker, as
  // many as the read-ahead's memory holds.
  std::int64_t Priming() const {
    const ScalePlan plan = PlanScaling(lastWidth_, lastHeight_, view_);
    const std::size_t frameBytes =
        (static_cast<std::size_t>(lastWidth_) * static_cast<std::size_t>(lastHeight_) +
         plan.Count()) *
        sizeof(Pixel);
    const std::size_t fit = frameBytes == 0 ? kMostAhead : bytesAhead_ / frameBytes;
    return static_cast<std::int64_t>(std::min({workers_.size(), std::max<std::size_t>(fit, 1) - 1,
                                               static_cast<std::size_t>(kMostAhead - 1)}));
  }

  void SetNextToShow(std::int64_t position) {
    nextToShow_ = position;
    awaited_ = position;
    pool_->Wake();
  }

  // Whether a frame under way may still go on screen.
  bool StillWanted(const Job& job) {
    std::lock_guard lock(mutex_);
    if (stopping_ || job.session != session_ || job.position < nextToShow_) return false;
    if (!clockRunning_) return true;
    return time_.Now() - anchorTime_ <= clock_.Deadline(job.position - anchorPosition_);
  }

  int IndexOf(std::int64_t position) const {
    const auto count = static_cast<std::int64_t>(paths_.size());
    return static_cast<int>((first_ + position % count) % count);
  }

  // The frame at a ready position leaves the queue at its time: for the screen, or counted when
  // it cannot be shown; the workers go on past it.
  std::optional<PlayerFrame> TakeReady(std::map<std::int64_t, Prepared>::iterator ready) {
    std::optional<PlayerFrame> frame;
    if (ready->second.broken) {
      ++counts_.broken;
    } else {
      frame = TakeFrame(ready->second);
      ++counts_.shown;
      shownIndex_ = ready->second.index;
    }
    const std::int64_t next = ready->first + 1;
    ready_.erase(ready);
    SetNextToShow(next);
    workToDo_.notify_all();
    return frame;
  }

  PlayerFrame TakeFrame(Prepared& prepared) {
    PlayerFrame frame;
    frame.index = prepared.index;
    frame.path = paths_[static_cast<std::size_t>(prepared.index)];
    frame.title = QString::fromStdString(prepared.title);
    frame.picture =
        ToImage(std::move(prepared.picture), prepared.width, prepared.height, prepared.rescaling);
    lastWidth_ = prepared.width;
    lastHeight_ = prepared.height;
    const ScalePlan plan = PlanScaling(prepared.width, prepared.height, view_);
    frame.zoom = plan.zoom;
    if (prepared.viewGeneration == viewGeneration_ && !prepared.rescaling && prepared.scaled &&
        plan == prepared.plan) {
      frame.scaled = ToImage(std::move(prepared.scaled), plan.rect.width(), plan.rect.height());
      frame.scaledRect = plan.rect;
    }
    return frame;
  }

  // Unlocked: decodes (and scales) the frame of job.
  Prepared Prepare(const Job& job, WorkerScaler& scaler) {
    Prepared frame;
    frame.index = job.index;
    frame.viewGeneration = job.viewGeneration;
    if (job.hook) job.hook(job.index);
    const Duration start = time_.Now();
    std::shared_ptr<FrameBlock> scaled;
    RowScaler rowScaler;
    const auto giveUp = [this, &job] { return stopping_ || session_ != job.session; };
    FrameCanvas canvas(
        job.view.background,
        [&](int width, int height) -> std::shared_ptr<FrameBlock> {
          frame.plan = PlanScaling(width, height, job.view);
          const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
          if (!pool_->Reserve((count + frame.plan.Count()) * sizeof(Pixel), giveUp,
                              [this, &job] { return job.position == awaited_; }))
            return nullptr;
          std::shared_ptr<FrameBlock> picture = FrameBlock::Take(pool_, count);
          scaled = frame.plan.Count() > 0 ? FrameBlock::Take(pool_, frame.plan.Count()) : nullptr;
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

  static void Scale(WorkerScaler& scaler, const Pixel* picture, int width, int height,
                    const ScalePlan& plan, Pixel* out) {
    const QRect& r = plan.rect;
    scaler.For(width, height, plan.zoom)
        .Scale(picture, static_cast<std::size_t>(width), r.x(), r.y(), r.width(), r.height(), out,
               static_cast<std::size_t>(r.width()));
  }

  PlayerTime& time_;
  std::function<void()> tickNow_;
  std::function<void()> postTick_;
  std::size_t bytesAhead_;
  // Shared with the images handed out, which may outlive the player.
  std::shared_ptr<FramePool> pool_;

  mutable std::mutex mutex_;
  std::condition_variable workToDo_;
  std::vector<QByteArray> paths_;
  FrameClock clock_{24};
  PlayerView view_;
  // Read without the lock by workers deciding whether to give up.
  std::atomic<int> viewGeneration_ = 0;  // a frame scaled for an older view is stale
  std::atomic<int> session_ = 0;         // counts plays from a new place: older work is dropped
  std::atomic<bool> stopping_ = false;
  bool playing_ = false;
  int first_ = 0;  // the picture at position 0
  std::int64_t nextToPrepare_ = 0;
  std::int64_t nextToShow_ = 0;            // every position before it is shown or skipped
  std::atomic<std::int64_t> awaited_ = 0;  // the same, for workers waiting for memory
  std::set<std::int64_t> inProgress_;
  std::map<std::int64_t, Prepared> ready_;
  bool clockRunning_ = false;
  bool firstShown_ = false;  // the first frame of this play is on screen
  Duration shownAt_{0};      // when the frame shown went on screen
  Duration anchorTime_{0};   // when position anchorPosition_ was due
  std::int64_t anchorPosition_ = 0;
  Duration frameCost_{0};  // a worker's recent time for one frame
  Duration slack_{0};      // time to spare when aiming at a frame to prepare
  int shownIndex_ = -1;
  int lastWidth_ = 0;  // of the frame shown last
  int lastHeight_ = 0;
  Counts counts_;
  std::function<void(int)> workerHook_;
  std::vector<std::thread> workers_;  // last: they start once everything above is ready
};

Player::Player(std::unique_ptr<PlayerTime> time, int workers, std::size_t bytesAhead,
               QObject* parent)
    : QObject(parent), time_(time ? std::move(time) : std::make_unique<SteadyTime>()) {
  engine_ = std::make_unique<Engine>(
      *time_, workers, bytesAhead, [this] { Tick(); },
      [this] {
        QMetaObject::invokeMethod(
            this, [this] { Tick(); }, Qt::QueuedConnection);
      });
}

Player::~Player() = default;

void Player::SetPictures(std::vector<QByteArray> paths) { engine_->SetPictures(std::move(paths)); }
int Player::PictureCount() const { return engine_->PictureCount(); }
void Player::SetFrameRate(int framesPerSecond) {
  engine_->SetFrameRate(framesPerSecond);
  Tick();
}
int Player::FrameRate() const { return engine_->FrameRate(); }
void Player::SetView(const PlayerView& view) { engine_->SetView(view); }
void Player::Play(int first) {
  engine_->Play(first);
  Tick();
}
void Player::Pause() { engine_->Pause(); }
void Player::Stop() { engine_->Stop(); }
bool Player::Playing() const { return engine_->Playing(); }
int Player::ShownIndex() const { return engine_->ShownIndex(); }
Player::Counts Player::GetCounts() const { return engine_->GetCounts(); }
int Player::FramesReady() const { return engine_->FramesReady(); }
std::size_t Player::BytesAhead() const { return engine_->BytesAhead(); }
void Player::SetWorkerHook(std::function<void(int)> hook) {
  engine_->SetWorkerHook(std::move(hook));
}

void Player::Tick() {
  if (std::optional<PlayerFrame> frame = engine_->Tick()) emit frameDue(*frame);
}
