#include "screen_owner.h"

#include <utility>

using State = ScreenOwner::State;

void ScreenOwner::SetState(State state) {
  state_ = state;
  host_.Changed();
}

bool ScreenOwner::CanOpen() const {
  return state_ == State::kIdle || state_ == State::kReloading || state_ == State::kPlaying ||
         state_ == State::kPaused;
}

bool ScreenOwner::Still() const {
  return state_ == State::kIdle || state_ == State::kReloading || state_ == State::kPaused;
}

void ScreenOwner::Open(const QByteArray& path) {
  if (!CanOpen() || path.isEmpty()) return;
  RunLoads(path, false);
}

void ScreenOwner::OpenSoon(const QByteArray& path, bool thenPlay) {
  if (!CanOpen() || path.isEmpty()) return;
  if (state_ == State::kPlaying) host_.Pause();
  if (state_ == State::kReloading) host_.CancelReloadAside();
  pending_ = Pending{path, false, thenPlay, true};
  SetState(State::kQueued);
  host_.Soon([this] { RunPending(); });
}

void ScreenOwner::Step(const std::function<QByteArray()>& target, bool keepView) {
  if (state_ == State::kQuitting) return;
  // The command line's picture or a drop waits to be opened: it comes first.
  if (state_ == State::kQueued && pending_ && pending_->open) return;
  if (state_ == State::kPlaying) {
    host_.Pause();  // the step goes on from the frame shown
    SetState(State::kPaused);
  }
  const QByteArray path = target();
  if (path.isEmpty()) return;
  if (state_ == State::kReloading) {
    host_.CancelReloadAside();
    SetState(beforeReload_);
  }
  host_.Aim(path);
  pending_ = Pending{path, keepView, false, false};
  if (Loading()) return SetState(State::kEnding);  // it ends at its next progress point
  if (state_ == State::kQueued) return host_.Changed();
  SetState(State::kQueued);
  host_.Soon([this] { RunPending(); });
}

void ScreenOwner::RunPending() {
  if (state_ != State::kQueued || !pending_) return;
  const Pending request = *std::exchange(pending_, std::nullopt);
  RunLoads(request.path, request.keepView);
  if (request.thenPlay && state_ != State::kQuitting) StartPlay();
}

void ScreenOwner::RunLoads(QByteArray path, bool keepView) {
  playWanted_ = false;  // a load ends a Play that waits for the list
  if (state_ == State::kPlaying) host_.Pause();
  if (state_ == State::kReloading) host_.CancelReloadAside();
  for (;;) {
    pending_.reset();
    SetState(State::kLoading);
    const bool done = host_.Load(path, keepView);
    if (state_ == State::kQuitting) return;
    if (done || !pending_) break;
    // A step came in the middle: its picture is next.
    path = pending_->path;
    keepView = pending_->keepView;
  }
  pending_.reset();
  SetState(State::kIdle);
  // The file changed while it loaded: once more, aside, from the event loop.
  if (std::exchange(reloadAgain_, false)) host_.Soon([this] { FileChanged(); });
}

void ScreenOwner::FileChanged() {
  switch (state_) {
    case State::kIdle:
    case State::kPaused:
      beforeReload_ = state_;
      SetState(State::kReloading);
      host_.ReloadAside();
      return;
    case State::kReloading:
    case State::kLoading:
    case State::kEnding:
      // Let it finish: restarting at every rewrite could never end.
      reloadAgain_ = true;
      return;
    case State::kQueued:   // a load comes anyway
    case State::kPlaying:  // frames are read as they come
    case State::kQuitting:
      return;
  }
}

void ScreenOwner::ReloadedAside() {
  if (state_ != State::kReloading) return;
  SetState(beforeReload_);
  if (std::exchange(reloadAgain_, false)) FileChanged();
}

void ScreenOwner::TogglePlay() {
  if (state_ == State::kPlaying || playWanted_) return Pause();
  StartPlay();
}

void ScreenOwner::Play() {
  if (state_ != State::kPlaying) return StartPlay();
  host_.Play();
  host_.Changed();
}

void ScreenOwner::Seek(std::int64_t number) {
  switch (state_) {
    case State::kIdle:
    case State::kPaused:
      break;
    case State::kReloading:
      host_.CancelReloadAside();
      state_ = beforeReload_;
      break;
    case State::kPlaying:
      host_.Pause();
      state_ = State::kPaused;
      break;
    default:  // a load runs or waits: the frames it will show are not known yet
      return;
  }
  playWanted_ = false;
  // Paused before the host seeks: a frame in the cache comes at once.
  const State before = state_;
  state_ = State::kPaused;
  if (host_.Seek(number)) return SetState(State::kPaused);
  state_ = before;
  host_.Changed();
}

void ScreenOwner::Ended() {
  if (state_ != State::kPlaying) return;
  host_.Pause();
  SetState(State::kPaused);
}

void ScreenOwner::StartPlay() {
  if (state_ != State::kIdle && state_ != State::kPaused && state_ != State::kReloading) return;
  if (state_ == State::kReloading) {
    host_.CancelReloadAside();
    state_ = beforeReload_;
  }
  switch (host_.Play()) {
    case PlayStart::kStarted:
      playWanted_ = false;
      return SetState(State::kPlaying);
    case PlayStart::kNoList:  // once the list is there
      playWanted_ = true;
      return host_.Changed();
    case PlayStart::kNothingShown:
      return host_.Changed();
  }
}

void ScreenOwner::Pause() {
  playWanted_ = false;
  if (state_ != State::kPlaying) return host_.Changed();
  host_.Pause();
  SetState(State::kPaused);
}

void ScreenOwner::ListArrived() {
  if (playWanted_) StartPlay();
}

void ScreenOwner::Exit() { SetState(State::kQuitting); }
