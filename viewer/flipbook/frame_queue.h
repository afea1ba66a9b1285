#pragma once

#include <QByteArray>
#include <QRect>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "frame_memory.h"
#include "play_clock.h"
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

// A frame decoded (and scaled) ahead, waiting for its time.
struct PreparedFrame {
  using Duration = PlayerTime::Duration;

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

// What the player's workers (the read-ahead) and the window's side (the hand-over) share, all
// of it under one lock. Positions count the frames of one play from its first picture on,
// looping over the list: position p shows picture (first + p) mod count. Every position is
// shown or skipped once.
struct FrameQueue {
  explicit FrameQueue(std::size_t budget)
      : pool(std::make_shared<FramePool>(budget)), bytesAhead(budget) {}

  int IndexOf(std::int64_t position) const;
  void SetNextToShow(std::int64_t position);
  // Every position before upTo is past: those not shown are counted skipped.
  void Settle(std::int64_t upTo);
  // Drops the frames prepared and under way; play starts afresh.
  void Flush();

  // Shared with the images handed out, which may outlive the player.
  std::shared_ptr<FramePool> pool;
  const std::size_t bytesAhead;

  mutable std::mutex mutex;
  std::condition_variable workToDo;
  std::vector<QByteArray> paths;
  PlayClock clock;
  PlayerView view;
  // Read without the lock by workers deciding whether to give up.
  std::atomic<int> viewGeneration = 0;  // a frame scaled for an older view is stale
  std::atomic<int> session = 0;         // counts plays from a new place: older work is dropped
  std::atomic<bool> stopping = false;
  bool playing = false;
  int first = 0;  // the picture at position 0
  std::int64_t nextToPrepare = 0;
  std::int64_t nextToShow = 0;            // every position before it is shown or skipped
  std::atomic<std::int64_t> awaited = 0;  // the same, for workers waiting for memory
  std::set<std::int64_t> inProgress;
  std::map<std::int64_t, PreparedFrame> ready;
  int shownIndex = -1;
  int lastWidth = 0;  // of the frame shown last
  int lastHeight = 0;
  PlayCounts counts;
  std::function<void(int)> workerHook;
};
