#include "player.h"

#include <unistd.h>

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "frame_queue.h"
#include "handover.h"
#include "read_ahead.h"

namespace {

using Duration = PlayerTime::Duration;

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

}  // namespace

std::size_t Player::DefaultCacheBytes() {
  constexpr std::size_t kMost = std::size_t{8} << 30;
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::size_t{1} << 30;
  return std::min(static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize) / 4, kMost);
}

Player::Player(std::unique_ptr<PlayerTime> time, int workers, std::size_t cacheBytes,
               QObject* parent)
    : QObject(parent),
      time_(time ? std::move(time) : std::make_unique<SteadyTime>()),
      queue_(std::make_unique<FrameQueue>(cacheBytes)),
      handover_(std::make_unique<Handover>(*queue_, *time_, [this] { Tick(); })),
      readAhead_(std::make_unique<ReadAhead>(*queue_, *time_, workers, [this] {
        QMetaObject::invokeMethod(
            this, [this] { Tick(); }, Qt::QueuedConnection);
      })) {}

Player::~Player() {
  readAhead_.reset();  // its workers stop
  time_->CancelWake();
  std::lock_guard lock(queue_->mutex);
  queue_->cache.clear();
  queue_->pool->Close();
}

void Player::PauseLocked() {
  queue_->playing = false;
  queue_->clock.Stop();
  time_->CancelWake();
}

namespace {

bool Comparing(const std::vector<PlayItem>& items) {
  return std::any_of(items.begin(), items.end(),
                     [](const PlayItem& item) { return !item.comparePath.isEmpty(); });
}

}  // namespace

void Player::SetFrames(std::vector<PlayItem> items, std::int64_t first, std::int64_t last) {
  {
    std::lock_guard lock(queue_->mutex);
    PauseLocked();
    std::sort(items.begin(), items.end(),
              [](const PlayItem& a, const PlayItem& b) { return a.number < b.number; });
    queue_->items = std::move(items);
    queue_->comparing = Comparing(queue_->items);
    queue_->order = {first, std::max(first, last), first, 1, LoopMode::kLoop};
    queue_->Forget();
    queue_->shown = -1;
    queue_->counts = {};
  }
  queue_->pool->DropSpares();
}

void Player::UpdateFrames(std::vector<PlayItem> items) {
  {
    std::lock_guard lock(queue_->mutex);
    std::sort(items.begin(), items.end(),
              [](const PlayItem& a, const PlayItem& b) { return a.number < b.number; });
    queue_->items = std::move(items);
    queue_->comparing = Comparing(queue_->items);
    for (auto frame = queue_->cache.begin(); frame != queue_->cache.end();) {
      const PlayItem* item = queue_->Item(frame->first);
      const auto next = std::next(frame);
      if (!item || item->version != frame->second.version) queue_->Evict(frame);
      frame = next;
    }
    // What lies ahead is looked at again.
    queue_->nextToPrepare = queue_->nextToShow;
  }
  queue_->workToDo.notify_all();
}

void Player::SetPictures(std::vector<QByteArray> paths) {
  std::vector<PlayItem> items;
  for (std::size_t i = 0; i < paths.size(); ++i)
    items.push_back({static_cast<std::int64_t>(i), std::move(paths[i])});
  const auto last = static_cast<std::int64_t>(items.size()) - 1;
  SetFrames(std::move(items), 0, std::max<std::int64_t>(last, 0));
}

std::int64_t Player::First() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->items.empty() ? 0 : queue_->items.front().number;
}

std::int64_t Player::Last() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->items.empty() ? 0 : queue_->items.back().number;
}

int Player::PictureCount() const {
  std::lock_guard lock(queue_->mutex);
  if (queue_->items.empty()) return 0;
  return static_cast<int>(queue_->items.back().number - queue_->items.front().number + 1);
}

void Player::SetRate(::FrameRate rate) {
  {
    std::lock_guard lock(queue_->mutex);
    queue_->rate = FrameClock(rate).Rate();
    queue_->clock.SetRate({queue_->rate.num * queue_->speed, queue_->rate.den});
  }
  Tick();
}

::FrameRate Player::Rate() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->rate;
}

int Player::FramesPerSecond() const { return FrameClock(Rate()).FramesPerSecond(); }

void Player::SetCacheBytes(std::size_t bytes) {
  std::lock_guard lock(queue_->mutex);
  queue_->budget = bytes;
  queue_->MakeRoom(0, -1, false);
}

std::size_t Player::CacheBytes() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->budget;
}

void Player::SetDecodeOptions(const lumenor::DecodeOptions& options) {
  std::lock_guard lock(queue_->mutex);
  queue_->options = options;
  const bool playing = queue_->playing;
  queue_->Forget();
  queue_->playing = playing;
}

void Player::SetView(const PlayerView& view) {
  {
    std::lock_guard lock(queue_->mutex);
    if (!(view.look == queue_->view.look)) {
      // Frames are made for a look: made again.
      const bool playing = queue_->playing;
      queue_->Forget();
      queue_->playing = playing;
    }
    queue_->view = view;
    ++queue_->viewGeneration;
    readAhead_->ViewChanged();
  }
  queue_->workToDo.notify_all();
}

void Player::Play(const PlayOrder& order, int speed) {
  {
    std::lock_guard lock(queue_->mutex);
    if (queue_->items.empty()) return;
    queue_->order = order;
    queue_->speed = std::clamp(speed, kSlowest, kFastest);
    queue_->clock.SetRate({queue_->rate.num * queue_->speed, queue_->rate.den});
    queue_->seek.reset();
    queue_->Restart();
    queue_->counts = {};
    queue_->shownTimes.clear();
    queue_->playing = true;
  }
  queue_->pool->KeepSpares(true);
  queue_->workToDo.notify_all();
  Tick();
}

void Player::Play(std::int64_t first) {
  PlayOrder order = Order();
  order.start = first;
  order.direction = 1;
  order.mode = LoopMode::kLoop;
  Play(order);
}

void Player::Pause() {
  {
    std::lock_guard lock(queue_->mutex);
    PauseLocked();
  }
  queue_->pool->KeepSpares(false);
}

void Player::Stop() {
  {
    std::lock_guard lock(queue_->mutex);
    PauseLocked();
    queue_->Forget();
  }
  queue_->pool->KeepSpares(false);
}

void Player::Seek(std::int64_t number) {
  {
    std::lock_guard lock(queue_->mutex);
    PauseLocked();
    queue_->seek = number;
  }
  queue_->workToDo.notify_all();
  Tick();
}

bool Player::Playing() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->playing;
}

std::int64_t Player::Shown() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->shown;
}

PlayOrder Player::Order() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->order;
}

int Player::Speed() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->speed;
}

Player::Counts Player::GetCounts() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->counts;
}

double Player::ShownRate() const {
  std::lock_guard lock(queue_->mutex);
  const Duration now = time_->Now();
  std::vector<Duration> recent;
  for (const Duration at : queue_->shownTimes)
    if (at > now - std::chrono::seconds(1)) recent.push_back(at);
  if (recent.size() < 2) return static_cast<double>(recent.size());
  // The frames between the first and the last of the second, over the time between them.
  const double span = std::chrono::duration<double>(recent.back() - recent.front()).count();
  return span > 0 ? static_cast<double>(recent.size() - 1) / span : 0;
}

Player::Runs Player::Held() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->Held();
}

int Player::FramesReady() const {
  std::lock_guard lock(queue_->mutex);
  return readAhead_->FramesReady();
}

std::size_t Player::BytesAhead() const {
  std::size_t bytes = 0;
  {
    std::lock_guard lock(queue_->mutex);
    bytes = queue_->cachedBytes + queue_->reservedBytes;
  }
  return bytes + queue_->pool->SpareBytes();
}

void Player::SetWorkerHook(std::function<void(std::int64_t)> hook) {
  std::lock_guard lock(queue_->mutex);
  queue_->workerHook = std::move(hook);
}

void Player::Tick() {
  std::optional<PlayerFrame> frame;
  bool ended = false;
  {
    std::lock_guard lock(queue_->mutex);
    frame = handover_->Tick(*readAhead_);
    ended = std::exchange(queue_->ended, false);
  }
  if (frame) emit frameDue(*frame);
  if (ended) emit this->ended();
}
