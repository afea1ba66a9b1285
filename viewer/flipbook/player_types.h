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
#include "view_look.h"

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
  lumenor::Look look;  // how the frames are made to be shown
};

// One frame of what is played: its number (a sequence's frame number, or a folder picture's place
// from 0) and its file; no file for a number the sequence lacks.
struct PlayItem {
  std::int64_t number = 0;
  QByteArray path;
  // Tells one writing of the file from the next: a frame cached at another is read again.
  std::uint64_t version = 0;
  // The file is being written (changed a moment ago, or it ends early): held as missing.
  bool writing = false;
  // While comparing, B's file of the same number; empty when B lacks it.
  QByteArray comparePath = {};
};

// One frame, due on screen.
struct PlayerFrame {
  std::int64_t number = -1;
  QByteArray path;
  // The frame cannot be shown (a number the sequence lacks, a file that cannot be shown): the
  // frame before it stays on screen. Nothing below is set.
  bool missing = false;
  bool writing = false;  // missing because its file is being written
  QString title;  // the window title, as a load of the picture sets it
  // Full size, read-only over the memory it was decoded into, which the frame cache keeps:
  // writing to it makes a copy first. Made for look: Format_RGB32, or premultiplied
  // (Format_ARGB32_Premultiplied) to lie over the checkerboard.
  QImage picture;
  lumenor::Look look;
  lumenor::Zoom zoom;  // the frame's zoom in the view it was given for
  // The picture at zoom for scaledRect (in canvas coordinates): the whole of a shrunk frame, the
  // part of an enlarged one that shows. Null at 100 %, or when the view has changed since.
  QImage scaled;
  QRect scaledRect;
  // While comparing, B's frame of the same number made alike; null when B lacks it.
  QImage comparedPicture;
  QImage comparedScaled;
  QRect comparedScaledRect;
};

// What became of the frames of a play.
struct PlayCounts {
  std::int64_t shown = 0;
  std::int64_t late = 0;     // not ready by their deadlines
  std::int64_t broken = 0;   // could not be shown
  std::int64_t missing = 0;  // numbers the sequence lacks
  // Frames dropped: due and not shown, apart from missing ones.
  std::int64_t Dropped() const { return late + broken; }
  std::int64_t Skipped() const { return late + broken; }
};
