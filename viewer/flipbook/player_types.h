#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

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

// What became of the frames of a play.
struct PlayCounts {
  std::int64_t shown = 0;
  std::int64_t late = 0;    // not ready by their deadlines
  std::int64_t broken = 0;  // could not be shown
  std::int64_t Skipped() const { return late + broken; }
};
