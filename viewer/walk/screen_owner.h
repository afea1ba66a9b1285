#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <optional>

// Decides what is on screen. Every request that changes the picture shown comes here: Open (the
// dialog, a drop, the command line), a step of the walk, Reload, the program's own reload when
// the picture's file changes, Play and Pause, a frame that comes due, Exit. At most one request
// waits; a newer one takes its place. The owner keeps the state and tells its host, the window,
// what to do: it never touches a file, a widget or the player itself.
class ScreenOwner {
 public:
  enum class State {
    kIdle,       // a picture (or nothing) on screen, nothing under way
    kQueued,     // a request waits for the event loop (the command line's, a drop's, a step's)
    kLoading,    // a load runs
    kEnding,     // a load runs and ends at its next progress point, for the request waiting
    kReloading,  // the picture's file is loaded again aside; the picture stays meanwhile
    kPlaying,    // frames go by
    kPaused,     // a frame of play on screen; what play prepared ahead stays for the next Play
    kQuitting,   // the program is ending
  };

  enum class PlayStart { kStarted, kNoList, kNothingShown };

  // What the owner asks of the window.
  class Host {
   public:
    virtual ~Host() = default;
    // Runs run from the event loop, once the window is on screen: a load never runs inside the
    // handler that asked for it.
    virtual void Soon(std::function<void()> run) = 0;
    // The walk's place moves to path at once, so that the next step goes on from there.
    virtual void Aim(const QByteArray& path) = 0;
    // Loads path, the old picture gone and what play prepared let go; returns when the load has
    // ended, which it does early once EndLoad() says so. True when it ran to its end.
    virtual bool Load(const QByteArray& path, bool keepView) = 0;
    // Loads the picture shown again aside; ReloadedAside() says when that is done.
    virtual void ReloadAside() = 0;
    virtual void CancelReloadAside() = 0;
    // Plays from the picture shown, the way and at the speed set; playing, takes a change of them
    // from the frame shown.
    virtual PlayStart Play() = 0;
    // Shows frame number of the frames the picture shown plays; false when there are none yet.
    virtual bool Seek(std::int64_t number) = 0;
    // Stops the clock on the frame shown, which becomes the picture shown.
    virtual void Pause() = 0;
    // The state changed: items to enable, marks to set.
    virtual void Changed() = 0;
  };

  explicit ScreenOwner(Host& host) : host_(host) {}
  ScreenOwner(const ScreenOwner&) = delete;
  ScreenOwner& operator=(const ScreenOwner&) = delete;

  // The dialog's choice: loaded now.
  void Open(const QByteArray& path);
  // The command line's picture, a drop: loaded from the event loop; thenPlay plays from it.
  void OpenSoon(const QByteArray& path, bool thenPlay = false);
  // A step of the walk: play pauses on the frame shown first, then target() says where to
  // (nothing: no step). During a load the load ends and the step's picture is loaded instead.
  // Reload is a step to the picture shown that keeps the view.
  void Step(const std::function<QByteArray()>& target, bool keepView = false);
  // The picture's file was written again.
  void FileChanged();
  // Play, or Pause while playing or waiting to play.
  void TogglePlay();
  // Play in the way and at the speed set now: starts, or while playing takes the change.
  void Play();
  void Pause();
  // Frame number of what the picture shown plays, on screen as soon as it is ready: a scrub of the
  // timeline, a step of one frame. Play pauses first; the latest frame asked for is the one shown.
  void Seek(std::int64_t number);
  void Exit();
  // Whether a frame that came due goes on screen.
  bool FrameDue() const { return state_ == State::kPlaying; }

  // The folder's list came: a Play that waited for it starts.
  void ListArrived();
  // A play that stops reached its last frame: paused on it.
  void Ended();
  void ReloadedAside();
  // Asked by a load at each progress point: whether to end it now.
  bool EndLoad() const { return state_ == State::kEnding || state_ == State::kQuitting; }

  State GetState() const { return state_; }
  bool Loading() const { return state_ == State::kLoading || state_ == State::kEnding; }
  // Open and drops: not while a load runs or waits to run.
  bool CanOpen() const;
  bool PlayChecked() const { return state_ == State::kPlaying || playWanted_; }
  // The picture shown stands still (no load under way, no frames going by): it can be copied,
  // exported and looked into.
  bool Still() const;

 private:
  struct Pending {
    QByteArray path;
    bool keepView = false;
    bool thenPlay = false;
    bool open = false;  // an Open (the command line's, a drop's), not a step
  };

  void RunPending();
  void RunLoads(QByteArray path, bool keepView);
  void StartPlay();
  void SetState(State state);

  Host& host_;
  State state_ = State::kIdle;
  State beforeReload_ = State::kIdle;  // what a reload aside returns to
  std::optional<Pending> pending_;
  bool playWanted_ = false;   // Play waits for the folder's list
  bool reloadAgain_ = false;  // the file changed while a load ran: reloaded aside after it
};
