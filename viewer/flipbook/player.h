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

#include "memory_canvas.h"
#include "scale.h"

// What time it is and what wakes the player: a steady clock and a precise timer in the window, a
// clock moved by hand in tests.
class PlayerTime {
 public:
  using Duration = std::chrono::nanoseconds;

  virtual ~PlayerTime() = default;
  // Steady time since a fixed point; read from any thread.
  virtual Duration Now() const = 0;
  // Calls wake on the player's thread once Now() has reached when (not before); a later call
  // replaces an earlier one.
  virtual void WakeAt(Duration when, std::function<void()> wake) = 0;
  virtual void CancelWake() = 0;
};

// How frames will be shown, as the window's view stands: they are scaled for it ahead of time.
struct PlayerView {
  bool fit = false;  // each frame fitted to the client area as Fit to Window does; else zoom
  lumenor::Zoom zoom;
  int clientWidth = 0;  // device pixels
  int clientHeight = 0;
  // Where the canvas lies in the client area: an enlarged frame is scaled only where it shows.
  int left = 0;
  int top = 0;
  lumenor::Pixel background = lumenor::kWorkspaceGrey;  // what pictures with alpha lie over
};

// One frame, ready to go on screen.
struct PlayerFrame {
  int index = -1;  // among the pictures played
  QByteArray path;
  QString title;  // the window title, as a load of the picture sets it
  // Full size, Format_RGB32, over the memory it was decoded into, which the player lets go:
  // whoever holds the image last may write to it without a copy being made (unless a worker was
  // still reading it when it was handed over; a write then copies it first).
  QImage picture;
  lumenor::Zoom zoom;  // the frame's zoom in the view it was given for
  // The picture at zoom for scaledRect (in canvas coordinates): the whole of a shrunk frame, the
  // part of an enlarged one that shows. Null at 100 %, or when the view has changed since.
  QImage scaled;
  QRect scaledRect;
};

// Plays a list of pictures as a flipbook. Workers decode the frames ahead, in order, into memory
// of their own (the decoder on a canvas in memory) and scale them for the view there too, so the
// window only puts a ready frame on screen at its time. Frames are due on a steady clock; a frame
// not ready by its deadline, or that cannot be shown (a refused or unreadable file), is skipped
// and counted, and play goes on. The read-ahead holds at most kMostAhead frames and
// kMostBytesAhead bytes, whichever is less, reusing frame memory as frames leave the screen.
class Player : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMostAhead = 8;
  static constexpr std::size_t kMostBytesAhead = std::size_t{512} * 1024 * 1024;

  struct Counts {
    std::int64_t shown = 0;
    std::int64_t late = 0;    // not ready by their deadlines
    std::int64_t broken = 0;  // could not be shown
    std::int64_t Skipped() const { return late + broken; }
  };

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
  class Engine;

  // The timer's wake and a worker's news of the frame awaited: puts a frame on screen if one is
  // due.
  void Tick();

  std::unique_ptr<PlayerTime> time_;
  std::unique_ptr<Engine> engine_;  // after time_, which it uses until it has stopped
};
