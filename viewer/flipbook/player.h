#pragma once

#include <QByteArray>
#include <QObject>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "frame_clock.h"
#include "image_header.h"
#include "play_order.h"
#include "player_types.h"

struct FrameQueue;
class Handover;
class ReadAhead;

// Plays frames as a flipbook: a sequence's frames by number (its missing numbers included) or a
// folder's pictures. Workers decode the frames ahead into a frame cache (the decoder on a canvas
// in memory) and scale them for the view there too, so the window only puts a cached frame on
// screen at its time. Frames are due on a steady clock; a frame not ready by its deadline, or
// that cannot be shown (a refused or unreadable file), is passed and counted, and play goes on;
// a missing number holds the frame before it. The cache keeps frames up to a budget of memory,
// those wanted latest leaving it first: once the frames played fit, a loop decodes nothing.
class Player : public QObject {
  Q_OBJECT

 public:
  using Counts = PlayCounts;
  using Runs = std::vector<std::pair<std::int64_t, std::int64_t>>;
  static constexpr int kSlowest = 1, kFastest = 8;  // speeds

  // A quarter of the machine's memory, never more than 8 GiB.
  static std::size_t DefaultCacheBytes();

  // time: nullptr for the steady clock and a precise timer. workers: 0 for one a core, and never
  // fewer than two. cacheBytes: the frame cache's budget.
  explicit Player(std::unique_ptr<PlayerTime> time = nullptr, int workers = 0,
                  std::size_t cacheBytes = DefaultCacheBytes(), QObject* parent = nullptr);
  ~Player() override;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // The frames to play, by number, from first to last (numbers absent from items are missing).
  // Stops, and lets go of the cache.
  void SetFrames(std::vector<PlayItem> items, std::int64_t first, std::int64_t last);
  // The frames changed on disk while they play: new ones, files written again (their cached
  // frames go and are read again), files being written (held as missing). Play goes on.
  void UpdateFrames(std::vector<PlayItem> items);
  // Pictures numbered from 0, none missing.
  void SetPictures(std::vector<QByteArray> paths);
  std::int64_t First() const;
  std::int64_t Last() const;
  // How many numbers from first to last.
  int PictureCount() const;
  void SetRate(::FrameRate rate);
  void SetFrameRate(int framesPerSecond) { SetRate({framesPerSecond, 1}); }
  ::FrameRate Rate() const;
  int FramesPerSecond() const;
  void SetCacheBytes(std::size_t bytes);
  std::size_t CacheBytes() const;
  // How files are decoded (pictures of 16 bits a channel or not): the cache is let go.
  void SetDecodeOptions(const lumenor::DecodeOptions& options);
  // Frames cached from now on are scaled for view; those cached already are scaled again.
  void SetView(const PlayerView& view);

  // Plays in the order given at speed times the rate (frames come due that much sooner). The first
  // frame goes on screen as soon as it is ready, and the clock starts with it.
  void Play(const PlayOrder& order, int speed = 1);
  // Plays every frame from first on, looping.
  void Play(std::int64_t first);
  // Stops the clock on the frame shown; the cache stays for the next Play, spare memory goes.
  void Pause();
  // Pauses and lets go of the cache.
  void Stop();
  // Paused: shows frame number as soon as it is ready (only the latest asked for is shown).
  void Seek(std::int64_t number);
  bool Playing() const;
  // The frame last put on screen (or announced missing); -1 before any.
  std::int64_t Shown() const;
  int ShownIndex() const { return static_cast<int>(Shown()); }
  PlayOrder Order() const;
  int Speed() const;
  // What became of the frames since Play.
  Counts GetCounts() const;
  // Frames put on screen a second, over the last second.
  double ShownRate() const;
  // The frames in the cache, as runs of numbers.
  Runs Held() const;
  // Frames cached and scaled for the view as it stands.
  int FramesReady() const;
  // Memory of the cache, of frames under way and of spare buffers.
  std::size_t BytesAhead() const;

  // Runs on a worker before it decodes frame number (tests hold workers back here).
  void SetWorkerHook(std::function<void(std::int64_t number)> hook);

 signals:
  // A frame's time has come, or a frame sought is ready: show it.
  void frameDue(const PlayerFrame& frame);
  // A play that stops has shown its last frame.
  void ended();

 private:
  // The timer's wake and a worker's news of the frame awaited: puts a frame on screen if one is
  // due.
  void Tick();
  void PauseLocked();

  std::unique_ptr<PlayerTime> time_;
  std::unique_ptr<FrameQueue> queue_;
  std::unique_ptr<Handover> handover_;
  std::unique_ptr<ReadAhead> readAhead_;  // last: its workers stop first
};
