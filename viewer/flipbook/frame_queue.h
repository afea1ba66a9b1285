#pragma once

#include <QByteArray>
#include <QRect>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "frame_memory.h"
#include "image_header.h"
#include "play_clock.h"
#include "play_order.h"
#include "player_types.h"

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
ScalePlan PlanScaling(int width, int height, const PlayerView& view);

// One picture of a frame in the cache's memory, as the window will show it: made as the view's
// look shows it, and scaled for the view.
struct FramePicture {
  std::shared_ptr<FrameBlock> picture;
  int width = 0;
  int height = 0;
  bool translucent = false;  // premultiplied, to lie over the checkerboard
  ScalePlan plan;
  std::shared_ptr<FrameBlock> scaled;

  std::size_t Bytes() const {
    return (picture ? picture->Bytes() : 0) + (scaled ? scaled->Bytes() : 0);
  }
};

// A frame decoded (and scaled) once, kept in the cache while memory allows; while comparing, with
// B's frame of the same number.
struct CachedFrame {
  using Duration = PlayerTime::Duration;

  std::int64_t number = 0;
  std::uint64_t version = 0;  // of the file it was decoded from
  bool broken = false;     // the file cannot be shown
  bool abandoned = false;  // given up half-way: never cached
  std::string title;
  FramePicture shown;
  FramePicture compared;  // no picture when B lacks the number or cannot show it
  int viewGeneration = 0;
  bool rescaling = false;  // a worker is scaling it again
  Duration cost{0};

  std::size_t Bytes() const { return shown.Bytes() + compared.Bytes(); }
};

// What the player's workers (the read-ahead) and the window's side (the hand-over) share, all
// of it under one lock: the frames played, the order of the play, the frame cache and its memory.
// Positions count the frames of one play from its first on; the order says which frame each
// shows. Every position is shown or skipped once.
struct FrameQueue {
  using Duration = PlayerTime::Duration;
  static constexpr std::int64_t kNever = INT64_MAX;

  explicit FrameQueue(std::size_t cacheBudget);

  // The frame of number to decode, or nothing for a number the sequence lacks or a file being
  // written.
  const PlayItem* Item(std::int64_t number) const;
  // The entry of number, a file being written too.
  const PlayItem* Entry(std::int64_t number) const;
  std::optional<std::int64_t> FrameAt(std::int64_t position) const {
    return order.FrameAt(position);
  }
  // How soon a frame is wanted again: positions ahead while playing, frames away from the one
  // shown (or sought) otherwise; kNever for one that does not come again.
  std::int64_t Distance(std::int64_t number) const;
  // Room in the cache's budget for bytes more: frames wanted later than wantedIn leave it,
  // farthest first. False when there is not room enough; urgent takes what there is regardless.
  bool MakeRoom(std::size_t bytes, std::int64_t wantedIn, bool urgent);
  void Evict(std::map<std::int64_t, CachedFrame>::iterator frame);
  void SetNextToShow(std::int64_t position);
  // Every position before upTo is past: those not shown are counted.
  void Settle(std::int64_t upTo);
  // Lets go of the cache and every frame under way.
  void Forget();
  // A play from its first position: the clock is to start again; the cache stays.
  void Restart();
  // The frames held, as runs of numbers.
  std::vector<std::pair<std::int64_t, std::int64_t>> Held() const;

  // Shared with the images handed out, which may outlive the player.
  std::shared_ptr<FramePool> pool;
  std::size_t budget;
  std::size_t cachedBytes = 0;    // of the frames in the cache
  std::size_t reservedBytes = 0;  // for frames under way

  mutable std::mutex mutex;
  std::condition_variable workToDo;
  std::vector<PlayItem> items;  // by number
  PlayOrder order;
  FrameRate rate;
  int speed = 1;
  PlayClock clock;
  PlayerView view;
  lumenor::DecodeOptions options;
  bool comparing = false;  // some frames come with B's
  // Read without the lock by workers deciding whether to give up.
  std::atomic<int> viewGeneration = 0;  // a frame scaled for an older view is stale
  std::atomic<int> session = 0;         // counts the lists of frames: older work is dropped
  std::atomic<bool> stopping = false;
  bool playing = false;
  bool ended = false;                      // a play that stops reached its end
  std::int64_t nextToPrepare = 0;          // positions before it are cached, under way or passed
  std::int64_t nextToShow = 0;             // every position before it is shown or skipped
  std::atomic<std::int64_t> awaited = -1;  // the frame the window waits for
  std::set<std::int64_t> inProgress;       // numbers
  std::map<std::int64_t, CachedFrame> cache;
  std::optional<std::int64_t> seek;  // a frame to show while paused, once it is ready
  std::int64_t shown = -1;           // the frame on screen
  std::deque<Duration> shownTimes;   // when the frames of the last second went on screen
  int lastWidth = 0;                 // of the frame shown last
  int lastHeight = 0;
  PlayCounts counts;
  std::function<void(std::int64_t)> workerHook;
};
