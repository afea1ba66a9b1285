#pragma once

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QSlider>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// What the timeline shows of a sequence: its range of frame numbers, the frame on screen, the in
// and out points, and which frames are held in memory, missing from the folder or still being
// written.
struct TimelineState {
  using Runs = std::vector<std::pair<std::int64_t, std::int64_t>>;

  std::int64_t first = 0, last = 0;  // the range of frame numbers, first <= last
  std::int64_t shown = 0;            // the frame on screen
  std::int64_t in = 0, out = 0;      // the in and out points, first <= in <= out <= last
  // Frames as runs of numbers [from, to], sorted, not overlapping within a list:
  Runs held;        // decoded and in memory
  Runs missing;     // numbers absent from the folder
  Runs incomplete;  // files still being written

  friend bool operator==(const TimelineState&, const TimelineState&) = default;
};

// A strip across the window that shows a sequence's range and lets the pointer scrub it.
//
// For assistive technology it is Qt's own slider, named "Timeline": its value is the frame shown,
// its minimum and maximum the range (held within int). It takes no keyboard focus, so the window's
// keys keep working, and its value never changes but through SetState, which sends no signals.
//
// It draws itself in device pixels, so that columns stay sharp at any screen scale. From left to
// right: the track, then the frame shown and the range as text ("12  1-48") in the widget's font,
// in room reserved for the widest number of the range, so the track does not jump while playing.
// A widget too narrow for the text and a track of kLeastTrack logical pixels shows the track alone.
//
// The track lays the range's frames over its columns in equal spans: with N frames over T
// columns, frame i spans [i * T / N, (i + 1) * T / N). A column stands for the frame its left edge
// lies in and, when frames are narrower than columns, for those after it up to the one the next
// column's left edge lies in; it shows a state when any of its frames has it (missing over
// incomplete over held, so that one missing frame among 100,000 still shows). The pointer takes a
// column's frame; where a column stands for several, one of them, spread so that the end columns
// take the range's ends. Painting costs a track column, not a frame: the runs are walked once,
// skipping by search those within a column already drawn.
//
// Look (the greys follow the palette's Window colour, so they read in light and dark themes):
// - the track: darker than Window outside in..out, lighter than Window inside it;
// - a band along the lower half of the track: frames held in memory in kHeldColour (blue), missing
//   frames in kMissingColour (vermilion), incomplete frames in kIncompleteColour (orange), from a
//   palette that colour-blind eyes tell apart;
// - the frame shown as a bar kMarkerWidth logical pixels wide in the palette's WindowText colour,
//   reaching above and below the track; the in and out points as brackets of the same colour
//   within the track's height.
//
// Scrubbing: a press of the left button on the track, and a drag from there, go to the frame
// under the pointer (held within the range, wherever the pointer goes). scrubbed() comes at most
// once per pass of the event loop with the latest frame, never twice in a row for one frame in a
// drag; letting go sends the frame under the pointer there, if it was not the last one sent, then
// scrubEnded(). A drag cut short (the timeline hidden) ends the same way, at the latest frame.
class Timeline : public QSlider {
  Q_OBJECT

 public:
  static constexpr QRgb kHeldColour = 0xff0072b2;
  static constexpr QRgb kMissingColour = 0xffd55e00;
  static constexpr QRgb kIncompleteColour = 0xffe69f00;
  // In logical pixels.
  static constexpr int kHeight = 28;
  static constexpr int kMarkerWidth = 2;
  static constexpr int kLeastTrack = 48;

  explicit Timeline(QWidget* parent = nullptr);

  // Repaints only when something changed. Numbers out of order are put in it: last is at least
  // first, shown, in and out are held within first..last, and out is at least in.
  void SetState(const TimelineState& state);
  const TimelineState& State() const { return state_; }

  // The track in device pixels of this widget (as grab() shows it).
  QRect Track() const;
  // The frame under a pointer position in logical pixels of this widget, held within the range.
  std::int64_t FrameAt(QPointF position) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // The frame under the pointer, while the button is down.
  void scrubbed(std::int64_t number);
  // The button was let go.
  void scrubEnded();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Where things go, in device pixels; the track's left edge is column 0.
  struct Layout {
    qreal ratio = 1;
    int trackLeft = 0, trackWidth = 1;
    int top = 0;       // of the strip's kHeight, centred in the widget
    int textLeft = 0;  // the text's room, to the right edge; the widget's width when it has none
  };
  Layout Arrange() const;
  // The text's room in logical pixels (at least the widest label of the range).
  int TextRoom() const;
  QString Label() const;
  // A frame under the pointer is due: it goes out with the next pass of the event loop.
  void ScrubTo(std::int64_t number);
  void SendPending();
  void EndScrub();

  TimelineState state_;
  bool scrubbing_ = false;
  bool sendQueued_ = false;
  std::optional<std::int64_t> pending_;   // the latest frame under the pointer, not yet sent
  std::optional<std::int64_t> lastSent_;  // in this drag
};
