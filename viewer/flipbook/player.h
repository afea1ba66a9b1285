#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "player_types.h"

class FrameQueue;
class Handover;
class ReadAhead;

// Plays a list of pictures as a flipbook. Workers decode the frames ahead, in order, into memory
// of their own (the decoder on a canvas in memory) and scale them for the view there too, so the
// window only puts a ready frame on screen at its time. Frames are due on a steady clock; a frame
// not ready by its deadline, or that cannot be shown (a refused or unreadable file), is skipped
// and counted, and play goes on. The read-ahead holds at most kMostAhead frames and
// kMostBytesAhead bytes, whichever is less, reusing frame memory as frames leave the screen.
class Player : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMostAhead = 8;  // as ReadAhead::kMostAhead
  static constexpr std::size_t kMostBytesAhead = std::size_t{512} * 1024 * 1024;

  using Counts = PlayCounts;

  // time: nullptr for the steady clock and a precise timer. workers: 0 for one a core, and never
  // fewer than two. bytesAhead: the read-ahead's memory.
  explicit Player(std::unique_ptr<PlayerTime> time = nullptr, int workers = 0,
                  std::size_t bytesAhead = kMostBytesAhead, QObject* parent = nullptr);
  ~Player() override;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // The pictures to play, in order (the file system's bytes). Stops, and drops what was prepared.
  void SetPictures(std::vector<QByteArray> paths);
  int PictureCount() const;
  void SetFrameRate(int framesPerSecond);
  int FrameRate() const;
  // Frames prepared from now on are scaled for view; those prepared already are scaled again.
  void SetView(const PlayerView& view);

  // Plays from picture first on, looping at the end; a single picture plays as a still. The
  // first frame goes on screen as soon as it is ready, and the clock starts with it. After a
  // Pause, frames prepared already from first on are kept.
  void Play(int first);
  // Stops the clock on the frame shown; what is prepared ahead is kept for a Play from the next,
  // and nothing more: memory that frames leave is let go until play goes on.
  void Pause();
  // Pauses and lets go of every frame prepared ahead.
  void Stop();
  bool Playing() const;
  // The picture last put on screen; -1 before any.
  int ShownIndex() const;
  Counts GetCounts() const;
  // Frames ready ahead and scaled for the view as it stands.
  int FramesReady() const;
  // Memory of the frames ahead and of spare frame buffers; the frame on screen is not counted.
  std::size_t BytesAhead() const;

  // Runs on a worker before it prepares a frame of picture index (tests hold workers back here).
  void SetWorkerHook(std::function<void(int index)> hook);

 signals:
  // A frame's time has come: show it.
  void frameDue(const PlayerFrame& frame);

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
