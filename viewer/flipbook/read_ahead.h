#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frame_queue.h"

class FrameMaker;

// The player's workers. They decode frames into the frame cache (the decoder on a canvas in frame
// memory) and scale them for the view there too, so that the window only puts a cached frame on
// screen at its time. A frame sought while paused comes first; then frames whose scaling the view
// has outdated, near the one shown; then, while playing, the positions ahead in the order of
// play, up to a whole loop and as far as the cache's budget allows: a frame wanted sooner takes
// the memory of one wanted later. When they fall behind they pass over positions that could not
// be ready by their deadlines.
class ReadAhead {
 public:
  using Duration = PlayerTime::Duration;
  static constexpr int kMostWorkers = 8;

  // awaitedReady is called (from a worker) when a frame the window waits for is ready.
  ReadAhead(FrameQueue& queue, PlayerTime& time, int workers, std::function<void()> awaitedReady);
  // Stops and joins the workers.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // With the queue's lock held: a new view reaches the frames cached.
  void ViewChanged();
  // The positions after the first that are to be ready before the clock starts: one a worker,
  // as many as the cache holds. With the queue's lock held.
  std::int64_t Priming() const;
  // Frames cached and scaled for the view as it stands. With the queue's lock held.
  int FramesReady() const;
  bool Ready(const CachedFrame& frame) const;

 private:
  struct Job {
    bool rescale = false;
    std::int64_t number = 0;
    std::uint64_t version = 0;
    std::int64_t position = -1;  // in the play; -1 for a frame sought
    std::string path;
    std::string comparePath;  // B's frame of the same number, while comparing
    PlayerView view;
    lumenor::DecodeOptions options;
    int viewGeneration = 0;
    int session = 0;
    std::size_t reserved = 0;  // bytes of the cache's budget held for it
    std::function<void(std::int64_t)> hook;
  };

  void Work();
  // The functions below, to Deliver, run with the queue's lock held.
  std::optional<Job> NextJob();
  std::optional<Job> Decode(std::int64_t number, std::int64_t position, std::int64_t wantedIn,
                            bool urgent);
  std::optional<Job> StaleNearby();
  // What a frame of the size last seen takes.
  std::size_t FrameBytes() const;
  void Rescale(std::unique_lock<std::mutex>& lock, const Job& job, FrameMaker& maker);
  void Refresh(CachedFrame& frame) const;
  void Deliver(Job& job, CachedFrame&& frame);
  // Unlocked: decodes (and scales) the frame of job, and B's of the same number.
  CachedFrame Prepare(Job& job, FrameMaker& maker);
  // Whether a frame under way may still go on screen.
  bool StillWanted(const Job& job);

  FrameQueue& queue_;
  PlayerTime& time_;
  std::function<void()> awaitedReady_;
  Duration frameCost_{0};             // a worker's recent time for one frame
  Duration slack_{0};                 // time to spare when aiming at a frame to prepare
  std::vector<std::thread> workers_;  // last: they start once everything above is ready
};
