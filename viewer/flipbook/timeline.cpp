#include "timeline.h"

#include <QFontMetrics>
#include <QHideEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Frame numbers are 64-bit and a range may span all of them: its frames times a column count
// needs more.
__extension__ typedef unsigned __int128 Wide;

// The strip's rows, in logical pixels from its top (kHeight tall); bottoms are exclusive.
constexpr int kTrackTop = 6, kTrackBottom = 22;
constexpr int kBandTop = 14;  // to the track's bottom
constexpr int kMarkerTop = 2, kMarkerBottom = 26;
// Columns, in logical pixels.
constexpr int kMargin = 4;       // at either end
constexpr int kGap = 8;          // between the track and the text
constexpr int kFoot = 3;         // of a bracket
constexpr int kGoodTrack = 240;  // what the size hint asks for beside the text

// The frames of the range, as offsets from its first (0, 1, ...), laid over the columns of the
// track in equal spans, as the header describes.
class FrameColumns {
 public:
  FrameColumns(std::int64_t first, std::int64_t last, int columns)
      : frames_(Wide{static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first)} + 1),
        columns_(static_cast<Wide>(std::max(columns, 1))) {}

  // The first frame of column c; for c past the last column, the frame count.
  Wide FirstFrameOf(int column) const { return static_cast<Wide>(column) * frames_ / columns_; }
  // The frame the pointer takes in a column: the one the column belongs to, or with more frames
  // than columns one of its frames, spread so that the end columns take the end frames.
  std::uint64_t Picked(int column) const {
    const Wide c = static_cast<Wide>(column);
    if (frames_ <= columns_ || columns_ == 1)
      return static_cast<std::uint64_t>(FirstFrameOf(column));
    return static_cast<std::uint64_t>(c * (frames_ - 1) / (columns_ - 1));
  }
  int FirstColumnOf(std::uint64_t frame) const {
    return std::min(CeilDiv(static_cast<Wide>(frame) * columns_, frames_), LastColumnOf(frame));
  }
  int LastColumnOf(std::uint64_t frame) const {
    return CeilDiv((static_cast<Wide>(frame) + 1) * columns_, frames_) - 1;
  }

 private:
  static int CeilDiv(Wide a, Wide b) { return static_cast<int>((a + b - 1) / b); }

  Wide frames_;
  Wide columns_;
};

std::uint64_t Offset(std::int64_t number, std::int64_t first) {
  return static_cast<std::uint64_t>(number) - static_cast<std::uint64_t>(first);
}

std::int64_t Number(std::uint64_t offset, std::int64_t first) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(first) + offset);
}

int HeldInInt(std::int64_t number) {
  return static_cast<int>(std::clamp<std::int64_t>(number, INT_MIN, INT_MAX));
}

// Calls fill(from, to) for each stretch of columns that holds a frame of runs, left to right.
// Runs within a column already filled are skipped by a search, so the cost follows the columns.
template <class Fill>
void ForEachStretch(const TimelineState::Runs& runs, std::int64_t first, std::int64_t last,
                    const FrameColumns& columns, int columnCount, Fill fill) {
  const auto endsBefore = [](const std::pair<std::int64_t, std::int64_t>& run, std::int64_t n) {
    return run.second < n;
  };
  auto run = std::lower_bound(runs.begin(), runs.end(), first, endsBefore);
  int from = 0, to = -1;  // the stretch being gathered; none while to < from
  while (run != runs.end() && run->first <= last) {
    const std::int64_t start = std::max(run->first, first), end = std::min(run->second, last);
    if (start > end) {
      ++run;
      continue;
    }
    const int c0 = columns.FirstColumnOf(Offset(start, first));
    const int c1 = columns.LastColumnOf(Offset(end, first));
    if (to >= from && c0 <= to + 1) {
      to = std::max(to, c1);
    } else {
      if (to >= from) fill(from, to);
      from = c0;
      to = c1;
    }
    if (c1 + 1 >= columnCount) break;
    // Every frame of column c1 is drawn: go on from the first frame of the next one.
    const std::int64_t next =
        Number(static_cast<std::uint64_t>(columns.FirstFrameOf(c1 + 1)), first);
    run = std::lower_bound(run + 1, runs.end(), next, endsBefore);
  }
  if (to >= from) fill(from, to);
}

QColor Mix(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                          static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                          static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

}  // namespace

Timeline::Timeline(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setObjectName(QStringLiteral("timeline"));
  setAccessibleName(QStringLiteral("Timeline"));
  setFocusPolicy(Qt::NoFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_Hover, false);  // the slider's hover look is not drawn here
  const QSignalBlocker quiet(this);
  setRange(0, 0);
  setValue(0);
}

void Timeline::SetState(const TimelineState& state) {
  const std::int64_t first = state.first, last = std::max(state.last, state.first);
  const std::int64_t shown = std::clamp(state.shown, first, last);
  const std::int64_t in = std::clamp(state.in, first, last);
  const std::int64_t out = std::clamp(state.out, in, last);
  if (first == state_.first && last == state_.last && shown == state_.shown && in == state_.in &&
      out == state_.out && state.held == state_.held && state.missing == state_.missing &&
      state.incomplete == state_.incomplete)
    return;
  const bool newRange = first != state_.first || last != state_.last;
  state_ = state;
  state_.last = last;
  state_.shown = shown;
  state_.in = in;
  state_.out = out;
  {
    // The value follows the frame shown; whoever set it knows already.
    const QSignalBlocker quiet(this);
    setRange(HeldInInt(first), HeldInInt(last));
    setValue(HeldInInt(shown));
  }
  if (newRange) updateGeometry();  // the text's room follows the range's numbers
  update();
}

QString Timeline::Label() const {
  return QStringLiteral("%1  %2-%3").arg(state_.shown).arg(state_.first).arg(state_.last);
}

int Timeline::TextRoom() const {
  const QFontMetrics metrics(font());
  int widestDigit = 0;
  for (char digit = '0'; digit <= '9'; ++digit)
    widestDigit = std::max(widestDigit, metrics.horizontalAdvance(QLatin1Char(digit)));
  // Any number of the range fits in the room of the longer end, in the widest digits.
  const auto numberRoom = [&](std::int64_t number) {
    int room = 0;
    for (const QChar c : QString::number(number))
      room += c.isDigit() ? widestDigit : metrics.horizontalAdvance(c);
    return room;
  };
  const QString range = QStringLiteral("  %1-%2").arg(state_.first).arg(state_.last);
  return std::max(numberRoom(state_.first), numberRoom(state_.last)) +
         metrics.horizontalAdvance(range);
}

Timeline::Layout Timeline::Arrange() const {
  Layout at;
  at.ratio = devicePixelRatioF();
  const auto device = [&](int logical) { return qRound(logical * at.ratio); };
  at.top = (device(height()) - device(kHeight)) / 2;
  at.trackLeft = device(kMargin);
  const int textLeft = width() - kMargin - TextRoom();
  if (textLeft - kGap - kMargin >= kLeastTrack) {
    at.textLeft = device(textLeft);
    at.trackWidth = device(textLeft - kGap) - at.trackLeft;
  } else {
    at.textLeft = device(width());
    at.trackWidth = device(width() - kMargin) - at.trackLeft;
  }
  at.trackWidth = std::max(at.trackWidth, 1);
  return at;
}

QRect Timeline::Track() const {
  const Layout at = Arrange();
  const int top = at.top + qRound(kTrackTop * at.ratio);
  return {at.trackLeft, top, at.trackWidth, at.top + qRound(kTrackBottom * at.ratio) - top};
}

std::int64_t Timeline::FrameAt(QPointF position) const {
  const Layout at = Arrange();
  const qreal x = position.x() * at.ratio - at.trackLeft;
  if (!(x >= 0)) return state_.first;
  if (x >= at.trackWidth) return state_.last;
  const FrameColumns columns(state_.first, state_.last, at.trackWidth);
  return Number(columns.Picked(static_cast<int>(x)), state_.first);
}

QSize Timeline::sizeHint() const {
  return {kMargin + kGoodTrack + kGap + TextRoom() + kMargin, kHeight};
}

QSize Timeline::minimumSizeHint() const { return {kMargin + kLeastTrack + kMargin, kHeight}; }

void Timeline::paintEvent(QPaintEvent*) {
  const Layout at = Arrange();
  QPainter painter(this);
  // Device pixels: every stretch of columns is whole pixels at any screen scale.
  painter.setTransform(QTransform::fromScale(1 / at.ratio, 1 / at.ratio));
  const auto device = [&](int logical) { return qRound(logical * at.ratio); };
  const auto row = [&](int logical) { return at.top + device(logical); };
  const QColor window = palette().color(QPalette::Window);
  const QColor ink = palette().color(QPalette::WindowText);
  painter.fillRect(QRect(0, 0, device(width()), device(height())), window);

  const FrameColumns columns(state_.first, state_.last, at.trackWidth);
  const auto firstColumn = [&](std::int64_t n) {
    return columns.FirstColumnOf(Offset(n, state_.first));
  };
  const auto lastColumn = [&](std::int64_t n) {
    return columns.LastColumnOf(Offset(n, state_.first));
  };
  const auto fill = [&](int from, int to, int top, int bottom, const QColor& colour) {
    painter.fillRect(QRect(at.trackLeft + from, top, to - from + 1, bottom - top), colour);
  };
  const int trackTop = row(kTrackTop), trackBottom = row(kTrackBottom);
  fill(0, at.trackWidth - 1, trackTop, trackBottom, Mix(window, Qt::black, 0.25));
  const int inColumn = firstColumn(state_.in), outColumn = lastColumn(state_.out);
  fill(inColumn, outColumn, trackTop, trackBottom, Mix(window, Qt::white, 0.35));

  // What matters most is drawn last: a missing frame shows among held ones in a shared column.
  const int bandTop = row(kBandTop);
  const std::pair<const TimelineState::Runs*, QRgb> bands[] = {
      {&state_.held, kHeldColour},
      {&state_.incomplete, kIncompleteColour},
      {&state_.missing, kMissingColour}};
  for (const auto& [runs, colour] : bands)
    ForEachStretch(*runs, state_.first, state_.last, columns, at.trackWidth,
                   [&](int from, int to) { fill(from, to, bandTop, trackBottom, QColor(colour)); });

  // The in and out points as brackets facing each other.
  painter.save();
  painter.setClipRect(QRect(at.trackLeft, trackTop, at.trackWidth, trackBottom - trackTop));
  const int line = std::max(1, device(1)), foot = std::max(line, device(kFoot));
  fill(inColumn, inColumn + line - 1, trackTop, trackBottom, ink);
  fill(inColumn, inColumn + foot - 1, trackTop, trackTop + line, ink);
  fill(inColumn, inColumn + foot - 1, trackBottom - line, trackBottom, ink);
  fill(outColumn - line + 1, outColumn, trackTop, trackBottom, ink);
  fill(outColumn - foot + 1, outColumn, trackTop, trackTop + line, ink);
  fill(outColumn - foot + 1, outColumn, trackBottom - line, trackBottom, ink);
  painter.restore();

  // The frame shown: centred on its columns, however few or many they are; at either end of the
  // track it may reach into the margin beside it.
  const int markerWidth = std::max(1, device(kMarkerWidth));
  const int shownFirst = firstColumn(state_.shown), shownLast = lastColumn(state_.shown);
  const int markerLeft =
      shownFirst + static_cast<int>(std::floor((shownLast - shownFirst + 1 - markerWidth) / 2.0));
  fill(markerLeft, markerLeft + markerWidth - 1, row(kMarkerTop), row(kMarkerBottom), ink);

  if (at.textLeft >= device(width())) return;  // no room for the text
  painter.resetTransform();                    // the text in logical pixels, as the font is sized
  painter.setPen(ink);
  painter.setFont(font());
  const qreal textLeft = at.textLeft / at.ratio;
  painter.drawText(QRectF(textLeft, 0, width() - kMargin - textLeft, height()),
                   Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                   Label());
}

void Timeline::mousePressEvent(QMouseEvent* event) {
  const Layout at = Arrange();
  if (event->button() != Qt::LeftButton || event->position().x() * at.ratio >= at.textLeft) {
    event->ignore();
    return;
  }
  scrubbing_ = true;
  lastSent_.reset();  // a new drag: its first frame goes out even if the last drag ended there
  ScrubTo(FrameAt(event->position()));
}

void Timeline::mouseMoveEvent(QMouseEvent* event) {
  if (!scrubbing_) return event->ignore();
  ScrubTo(FrameAt(event->position()));
}

void Timeline::mouseReleaseEvent(QMouseEvent* event) {
  if (!scrubbing_ || event->button() != Qt::LeftButton) return event->ignore();
  pending_ = FrameAt(event->position());
  EndScrub();
}

void Timeline::wheelEvent(QWheelEvent* event) {
  event->ignore();  // the slider's own stepping would change the value behind the player's back
}

void Timeline::hideEvent(QHideEvent* event) {
  if (scrubbing_) EndScrub();  // the button's release will not come here
  QSlider::hideEvent(event);
}

void Timeline::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) updateGeometry();
  QSlider::changeEvent(event);
}

void Timeline::ScrubTo(std::int64_t number) {
  pending_ = number;
  if (sendQueued_) return;
  sendQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        sendQueued_ = false;
        SendPending();
      },
      Qt::QueuedConnection);
}

void Timeline::SendPending() {
  if (!pending_) return;
  const std::int64_t number = *pending_;
  pending_.reset();
  if (number == lastSent_) return;
  lastSent_ = number;
  emit scrubbed(number);
}

void Timeline::EndScrub() {
  scrubbing_ = false;
  SendPending();
  emit scrubEnded();
}
