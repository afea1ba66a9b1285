#include "player.h"

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

Player::Player(std::unique_ptr<PlayerTime> time, int workers, std::size_t bytesAhead,
               QObject* parent)
    : QObject(parent),
      time_(time ? std::move(time) : std::make_unique<SteadyTime>()),
      queue_(std::make_unique<FrameQueue>(bytesAhead)),
      handover_(std::make_unique<Handover>(*queue_, *time_, [this] { Tick(); })),
      readAhead_(std::make_unique<ReadAhead>(*queue_, *time_, workers, [this] {
        QMetaObject::invokeMethod(
            this, [this] { Tick(); }, Qt::QueuedConnection);
      })) {}

Player::~Player() {
  readAhead_.reset();  // its workers stop
  time_->CancelWake();
  std::lock_guard lock(queue_->mutex);
  queue_->ready.clear();
  queue_->pool->Close();
}

void Player::PauseLocked() {
  queue_->playing = false;
  queue_->clock.Stop();
  time_->CancelWake();
}

void Player::SetPictures(std::vector<QByteArray> paths) {
  std::lock_guard lock(queue_->mutex);
  PauseLocked();
  queue_->paths = std::move(paths);
  queue_->Flush();
  queue_->shownIndex = -1;
  queue_->counts = {};
  queue_->pool->DropSpares();
}

int Player::PictureCount() const {
  std::lock_guard lock(queue_->mutex);
  return static_cast<int>(queue_->paths.size());
}

void Player::SetFrameRate(int framesPerSecond) {
  {
    std::lock_guard lock(queue_->mutex);
    queue_->clock.SetRate(framesPerSecond);
  }
  Tick();
}

int Player::FrameRate() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->clock.FramesPerSecond();
}

void Player::SetView(const PlayerView& view) {
  {
    std::lock_guard lock(queue_->mutex);
    queue_->view = view;
    ++queue_->viewGeneration;
    readAhead_->ViewChanged();
  }
  queue_->workToDo.notify_all();
  queue_->pool->Wake();
}

void Player::Play(int first) {
  {
    std::lock_guard lock(queue_->mutex);
    if (queue_->paths.empty()) return;
    const int count = static_cast<int>(queue_->paths.size());
    first = (first % count + count) % count;
    // After a pause, the frames prepared from first on are still good.
    if (queue_->IndexOf(queue_->nextToShow) != first ||
        queue_->nextToPrepare <= queue_->nextToShow) {
      queue_->Flush();
      queue_->first = first;
    }
    queue_->playing = true;
    queue_->clock.Restart();
  }
  queue_->pool->KeepSpares(true);
  queue_->workToDo.notify_all();
  Tick();
}

// What is prepared ahead stays for the next Play; spare memory goes.
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
    queue_->Flush();
  }
  queue_->pool->KeepSpares(false);
}

bool Player::Playing() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->playing;
}

int Player::ShownIndex() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->shownIndex;
}

Player::Counts Player::GetCounts() const {
  std::lock_guard lock(queue_->mutex);
  return queue_->counts;
}

int Player::FramesReady() const {
  std::lock_guard lock(queue_->mutex);
  return readAhead_->FramesReady();
}

std::size_t Player::BytesAhead() const { return queue_->pool->BytesAhead(); }

void Player::SetWorkerHook(std::function<void(int)> hook) {
  std::lock_guard lock(queue_->mutex);
  queue_->workerHook = std::move(hook);
}

void Player::Tick() {
  if (std::optional<PlayerFrame> frame = handover_->Tick(*readAhead_)) emit frameDue(*frame);
}
