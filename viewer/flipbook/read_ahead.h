#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frame_queue.h"

class WorkerScaler;

// The player's workers: they decode the positions of a play ahead, in order, into frame memory
// (the decoder on a canvas in memory) and scale them for the view there too, so that the window
// only puts a ready frame on screen at its time. When they fall behind they pass over positions
// that could not be ready by their deadlines; a frame prepared for an older view is scaled again.
// The read-ahead holds at most kMostAhead frames, and the frame pool's budget of memory.
class ReadAhead {
 public:
  using Duration = PlayerTime::Duration;
  static constexpr int kMostAhead = 8;

  // awaitedReady is called (from a worker) when the frame the window waits for is ready.
  ReadAhead(FrameQueue& queue, PlayerTime& time, int workers, std::function<void()> awaitedReady);
  // Stops and joins the workers.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // With the queue's lock held: a new view reaches the frames ready.
  void ViewChanged();
  // The frames after the first that are to be ready before the clock starts: one a worker, as
  // many as the read-ahead's memory holds. With the queue's lock held.
  std::int64_t Priming() const;
  // Frames ready and scaled for the view as it stands. With the queue's lock held.
  int FramesReady() const;

 private:
  struct Job {
    std::int64_t position = 0;
    int index = 0;
    std::string path;
    PlayerView view;
    int viewGeneration = 0;
    int session = 0;
    std::function<void(int)> hook;
  };

  void Work();
  // The functions below, to Deliver, run with the queue's lock held.
  bool CanStart() const;
  Job Claim();
  std::optional<std::int64_t> StaleFrame() const;
  void Rescale(std::unique_lock<std::mutex>& lock, std::int64_t position, WorkerScaler& scaler);
  void Refresh(PreparedFrame& frame) const;
  void Deliver(const Job& job, PreparedFrame&& frame);
  // Unlocked: decodes (and scales) the frame of job.
  PreparedFrame Prepare(const Job& job, WorkerScaler& scaler);
  // Whether a frame under way may still go on screen.
  bool StillWanted(const Job& job);

  FrameQueue& queue_;
  PlayerTime& time_;
  std::function<void()> awaitedReady_;
  Duration frameCost_{0};             // a worker's recent time for one frame
  Duration slack_{0};                 // time to spare when aiming at a frame to prepare
  std::vector<std::thread> workers_;  // last: they start once everything above is ready
};
