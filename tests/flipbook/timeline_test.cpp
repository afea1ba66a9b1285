// The timeline, offscreen: the slider that assistive technology reads, the frame under the
// pointer, what a press and a drag send, and what is drawn where. Every test holds at any
// QT_SCALE_FACTOR: they run at the screen's own scale and again at 2 and 1.5 (see
// tests/CMakeLists.txt). Positions are chosen in device pixels, as grab() shows them.
#include "timeline.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <memory>
#include <sstream>
#include <string>

namespace {

using Runs = TimelineState::Runs;

// first-last with the frame shown, in and out, nothing marked.
TimelineState Numbers(std::int64_t first, std::int64_t last, std::int64_t shown, std::int64_t in,
                      std::int64_t out) {
  return {first, last, shown, in, out, {}, {}, {}};
}

TimelineState Range(std::int64_t first, std::int64_t last, std::int64_t shown) {
  return Numbers(first, last, shown, first, last);
}

// A timeline on its own, width logical pixels wide, showing state.
std::unique_ptr<Timeline> Shown(const TimelineState& state, int width) {
  auto timeline = std::make_unique<Timeline>();
  timeline->SetState(state);
  timeline->resize(width, Timeline::kHeight);
  timeline->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(timeline.get()));
  QCoreApplication::processEvents();
  return timeline;
}

// The middle of column c of the track, in logical pixels.
QPointF AtColumn(const Timeline& timeline, int column) {
  const QRect track = timeline.Track();
  return QPointF(track.left() + column + 0.5, track.center().y() + 0.5) /
         timeline.devicePixelRatioF();
}

// The frames column c stands for, as offsets from the first, with N frames over T columns: from
// the one its left edge lies in up to, not including, the one the next column's left edge lies in.
struct Frames {
  std::int64_t lo, hi;
};
Frames FramesOfColumn(std::int64_t column, std::int64_t frames, std::int64_t columns) {
  const std::int64_t lo = column * frames / columns;
  return {lo, std::max(lo, (column + 1) * frames / columns - 1)};
}

void Send(Timeline& timeline, QEvent::Type type, QPointF at, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, timeline.mapToGlobal(at), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(&timeline, &event);
}

// What the timeline sends, while this lives.
struct Heard : QObject {
  explicit Heard(Timeline& timeline) {
    connect(&timeline, &Timeline::scrubbed, this, [this](std::int64_t n) { scrubbed += Say(n); });
    connect(&timeline, &Timeline::scrubEnded, this, [this] { scrubbed += "end "; });
  }
  static std::string Say(std::int64_t n) { return std::to_string(n) + " "; }
  std::string scrubbed;
};

TEST(TimelineWidget, IsAQuietSliderForAssistiveTechnology) {
  struct Case {
    TimelineState state;
    int value, minimum, maximum;
  };
  const Case cases[] = {
      {Range(1, 48, 12), 12, 1, 48},
      {Range(7, 7, 7), 7, 7, 7},
      {Range(1, 100000, 99999), 99999, 1, 100000},
      {Range(-5, 20, 0), 0, -5, 20},
      {Range(0, 5000000000, 3000000000), INT_MAX, 0, INT_MAX},  // held within the slider's int
  };
  for (const Case& c : cases) {
    const auto timeline = Shown(Range(100, 200, 150), 800);
    QSignalSpy valueChanged(timeline.get(), &QSlider::valueChanged);
    QSignalSpy rangeChanged(timeline.get(), &QSlider::rangeChanged);
    timeline->SetState(c.state);
    EXPECT_EQ(timeline->objectName(), "timeline");
    EXPECT_EQ(timeline->focusPolicy(), Qt::NoFocus);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(timeline.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Slider);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Timeline");
    QAccessibleValueInterface* value = accessible->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), c.value) << c.state.shown;
    EXPECT_EQ(value->minimumValue().toInt(), c.minimum) << c.state.first;
    EXPECT_EQ(value->maximumValue().toInt(), c.maximum) << c.state.last;

    // A scrub asks for a frame; the value stays the frame shown until the state says otherwise.
    const QPointF start = AtColumn(*timeline, 0);
    Send(*timeline, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Send(*timeline, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(value->currentValue().toInt(), c.value) << "after a scrub";
    EXPECT_EQ(valueChanged.count(), 0) << c.state.shown;
    EXPECT_EQ(rangeChanged.count(), 0) << c.state.first << "-" << c.state.last;
  }
}

TEST(TimelineWidget, PutsNumbersInOrder) {
  const std::pair<TimelineState, std::vector<std::int64_t>> cases[] = {
      // first, last, shown, in, out: given, then as kept
      {Numbers(1, 48, 12, 5, 40), {1, 48, 12, 5, 40}},
      {Numbers(1, 48, 60, 0, 99), {1, 48, 48, 1, 48}},
      {Numbers(1, 48, -3, 30, 20), {1, 48, 1, 30, 30}},
      {Numbers(9, 3, 5, 5, 5), {9, 9, 9, 9, 9}},
  };
  for (const auto& [given, kept] : cases) {
    Timeline timeline;
    timeline.SetState(given);
    const TimelineState& s = timeline.State();
    EXPECT_EQ((std::vector<std::int64_t>{s.first, s.last, s.shown, s.in, s.out}), kept)
        << given.first << " " << given.last << " " << given.shown << " " << given.in << " "
        << given.out;
  }
}

TEST(TimelineWidget, RepaintsOnlyForAChange) {
  TimelineState state = Range(1, 48, 12);
  state.held = {{1, 20}};
  const auto timeline = Shown(state, 800);
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  timeline->installEventFilter(&counter);
  timeline->SetState(state);
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, 0) << "the same state again";
  state.held = {{1, 21}};
  timeline->SetState(state);
  EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; })) << "one more frame held";
}

// The frame under the pointer at every column of the track and beyond its ends, for ranges
// narrower and wider than the track.
TEST(TimelineWidget, TakesTheFrameUnderThePointer) {
  struct Case {
    std::int64_t first, last;
    int width;
  };
  const Case cases[] = {{1, 1, 100},     {1, 1, 1600},       {1, 48, 100},
                        {1, 48, 1600},   {1, 100000, 100},   {1, 100000, 1600},
                        {-20, 27, 1600}, {1000, 1002, 1600}, {4000000000, 4000000047, 1600}};
  for (const Case& c : cases) {
    const auto timeline = Shown(Range(c.first, c.last, c.first), c.width);
    const int columns = timeline->Track().width();
    const std::int64_t frames = c.last - c.first + 1;
    std::ostringstream where;
    where << c.first << "-" << c.last << " over " << columns << " columns";
    ASSERT_GT(columns, 1) << where.str();
    std::int64_t before = c.first;
    for (int column = 0; column < columns; ++column) {
      const std::int64_t have = timeline->FrameAt(AtColumn(*timeline, column));
      const Frames want = FramesOfColumn(column, frames, columns);
      // Wider frames are taken where they lie; narrower ones by one of each column's own.
      ASSERT_GE(have, c.first + want.lo) << where.str() << " at column " << column;
      ASSERT_LE(have, c.first + (frames <= columns ? want.lo : want.hi))
          << where.str() << " at column " << column;
      ASSERT_GE(have, before) << where.str() << " at column " << column;
      before = have;
    }
    EXPECT_EQ(timeline->FrameAt(AtColumn(*timeline, 0)), c.first) << where.str();
    EXPECT_EQ(timeline->FrameAt(AtColumn(*timeline, columns - 1)), c.last) << where.str();

    // A press and a drag anywhere are held within the range; letting go sends where it was.
    const double y = AtColumn(*timeline, 0).y();
    const std::pair<QPointF, std::int64_t> points[] = {
        {{0, y}, c.first},  // the margin left of the track
        {AtColumn(*timeline, columns / 2), timeline->FrameAt(AtColumn(*timeline, columns / 2))},
        {{-200, y}, c.first},
        {{c.width + 200.0, y}, c.last},
    };
    for (const auto& [at, want] : points) {
      Heard heard(*timeline);
      Send(*timeline, QEvent::MouseButtonPress, AtColumn(*timeline, columns / 4), Qt::LeftButton,
           Qt::LeftButton);
      Send(*timeline, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
      Send(*timeline, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
      EXPECT_EQ(heard.scrubbed, Heard::Say(want) + "end ") << where.str() << " at x " << at.x();
    }
  }
}

// What a press, a drag and letting go send, and when, over frames 1-48. A script's steps come
// within one pass of the event loop up to a ".", which runs the loop. "p10" presses the left
// button on frame 10 (the middle of its columns), "m10" moves there with the button down,
// "m10]" to the frame's last column, "r10" lets go there; "P" and "R" do so with the right
// button, "h" moves with no button, "x" hides the timeline. Instead of a frame: "<" far left of
// the widget, ">" far right, "t" on the text.
TEST(TimelineWidget, SendsTheLatestFrameOncePerPass) {
  struct Case {
    const char* what;
    const char* script;
    const char* heard;
  };
  const Case cases[] = {
      {"a click", "p10 . r10 .", "10 end "},
      {"a click within one pass", "p10 r10 .", "10 end "},
      {"a press is sent with the next pass", "p10", ""},
      {"a drag within one pass sends its latest frame", "p1 m2 m9 m30 m40 .", "40 "},
      {"a drag, then letting go", "p1 m9 m40 . r40 .", "40 end "},
      {"a drag over several passes", "p5 . m6 . m7 m8 .", "5 6 8 "},
      {"moves within the frame sent send nothing", "p10 . m10] . m10 .", "10 "},
      {"back where it was within one pass", "p5 . m6 m5 .", "5 "},
      {"let go elsewhere than the latest move", "p5 . m20 r30 .", "5 30 end "},
      {"each drag starts afresh", "p5 r5 . p5 . r5", "5 end 5 end "},
      {"beyond the ends", "p10 m< . m> r>", "1 48 end "},
      {"the right button does nothing", "P10 . R10", ""},
      {"moves without a press do nothing", "h10 . h20 .", ""},
      {"a press on the text does nothing", "pt . m20 r20 .", ""},
      {"hidden while dragging ends the scrub", "p10 . m20 x . r30", "10 20 end "},
  };
  for (const Case& c : cases) {
    const auto timeline = Shown(Range(1, 48, 1), 1600);
    const int columns = timeline->Track().width();
    ASSERT_GT(timeline->width() * timeline->devicePixelRatioF(), timeline->Track().right() + 1)
        << "no room for the text";
    // The columns of each frame, from the pointer's own answers.
    std::vector<std::pair<int, int>> columnsOf(49, {INT_MAX, INT_MIN});
    for (int column = 0; column < columns; ++column) {
      auto& [left, right] =
          columnsOf[static_cast<std::size_t>(timeline->FrameAt(AtColumn(*timeline, column)))];
      left = std::min(left, column);
      right = std::max(right, column);
    }
    const double y = AtColumn(*timeline, 0).y();
    Heard heard(*timeline);
    std::istringstream script(c.script);
    for (std::string step; script >> step;) {
      const std::string place = step.substr(1);
      QPointF at;
      if (place == "<") {
        at = {-300, y};
      } else if (place == ">") {
        at = {timeline->width() + 300.0, y};
      } else if (place == "t") {
        at = {timeline->width() - 6.0, y};
      } else if (!place.empty()) {
        const auto [left, right] = columnsOf[std::stoul(place)];
        at = AtColumn(*timeline, place.back() == ']' ? right : (left + right) / 2);
      }
      switch (step[0]) {
        case 'p':
          Send(*timeline, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
          break;
        case 'm':
          Send(*timeline, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
          break;
        case 'r':
          Send(*timeline, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
          break;
        case 'P':
          Send(*timeline, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
          break;
        case 'R':
          Send(*timeline, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
          break;
        case 'h':
          Send(*timeline, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
          break;
        case 'x':
          timeline->hide();
          break;
        case '.':
          QCoreApplication::processEvents();
          break;
        default:
          FAIL() << "no such step: " << step;
      }
    }
    EXPECT_EQ(heard.scrubbed, c.heard) << c.what << ": " << c.script;
  }
}

// What is drawn where, read back from a grab: each column of the band in the colour of its
// frames' mark that matters most, the marker over the frame shown, brackets at the in and out
// points and in..out lighter than the window, the rest of the track darker. No colour bleeds
// into a neighbouring column at any screen scale.
TEST(TimelineWidget, DrawsEachColumnsFrames) {
  const auto everyOther = [] {
    Runs runs;
    for (std::int64_t n = 1; n <= 100000; n += 2) runs.push_back({n, n});
    return runs;
  };
  const std::pair<TimelineState, int> cases[] = {
      {{1, 48, 25, 5, 35, {{1, 10}, {20, 30}, {44, 48}}, {{12, 12}, {40, 41}}, {{15, 16}}}, 1600},
      {{1, 48, 40, 10, 20, {{1, 24}}, {{30, 30}}, {{45, 48}}}, 100},
      {{1, 48, 8, 1, 48, {{-10, 3}, {45, 60}}, {{-5, -1}, {100, 200}}, {{20, 20}}}, 1600},
      {{7, 7, 7, 7, 7, {{7, 7}}, {}, {}}, 1600},
      {{7, 7, 7, 7, 7, {}, {{7, 7}}, {}}, 100},
      {{1, 100000, 60000, 20000, 90000, {{1, 50000}}, {{70000, 70000}}, {{80000, 80010}}}, 1600},
      {{1, 100000, 500, 1, 100000, {{1, 30000}}, {{50001, 50001}}, {{99990, 99999}}}, 100},
      {{1, 100000, 1, 1, 100000, everyOther(), {{33333, 33333}}, {{66666, 66666}}}, 1600},
      {{4000000000,
        4000000047,
        4000000010,
        4000000001,
        4000000040,
        {{4000000000, 4000000020}},
        {{4000000030, 4000000031}},
        {}},
       1600},
  };
  enum Mark { kNone, kHeld, kIncomplete, kMissing };  // in rising precedence
  const QRgb colours[] = {0, Timeline::kHeldColour, Timeline::kIncompleteColour,
                          Timeline::kMissingColour};
  for (const auto& [state, width] : cases) {
    const auto timeline = Shown(state, width);
    const QImage screen = timeline->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect track = timeline->Track();
    const std::int64_t frames = state.last - state.first + 1;
    const std::string what = std::to_string(state.first) + "-" + std::to_string(state.last) +
                             " over " + std::to_string(track.width()) + " columns";
    std::vector<Mark> marks(static_cast<std::size_t>(frames), kNone);
    const std::pair<const Runs*, Mark> lists[] = {
        {&state.held, kHeld}, {&state.incomplete, kIncomplete}, {&state.missing, kMissing}};
    for (const auto& [runs, mark] : lists)
      for (const auto& [from, to] : *runs)
        for (std::int64_t n = std::max(from, state.first); n <= std::min(to, state.last); ++n)
          marks[static_cast<std::size_t>(n - state.first)] = mark;
    const QRgb ink = timeline->palette().color(QPalette::WindowText).rgb();
    const int window = qGray(timeline->palette().color(QPalette::Window).rgb());
    const int band = track.top() + track.height() * 3 / 4;  // clear of the brackets' feet
    const int above = track.top() + track.height() / 4;     // the band, likewise
    const std::int64_t in = state.in - state.first, out = state.out - state.first;
    int inkInBand = 0, inColumn = -1, outColumn = -1;  // the first column of in, the last of out
    for (int column = 0; column < track.width(); ++column) {
      const Frames span = FramesOfColumn(column, frames, track.width());
      if (inColumn < 0 && span.hi >= in) inColumn = column;
      if (span.lo <= out) outColumn = column;
      const QRgb have = screen.pixel(track.left() + column, band);
      if (have == ink) {
        ++inkInBand;  // the marker or a bracket
        continue;
      }
      Mark want = kNone;
      for (std::int64_t i = span.lo; i <= span.hi; ++i)
        want = std::max(want, marks[static_cast<std::size_t>(i)]);
      for (const Mark mark : {kHeld, kIncomplete, kMissing})
        ASSERT_EQ(have == colours[mark], want == mark)
            << what << ": have " << std::hex << have << ", want " << colours[want] << std::dec
            << " at column " << column << ", frames " << span.lo << "-" << span.hi;
      const int grey = qGray(screen.pixel(track.left() + column, above));
      if (screen.pixel(track.left() + column, above) == ink) continue;
      if (span.lo >= in && span.hi <= out) {
        ASSERT_GT(grey, window) << what << ": inside in..out at column " << column;
      } else if (span.hi < in || span.lo > out) {
        ASSERT_LT(grey, window) << what << ": outside in..out at column " << column;
      }
    }
    const qreal ratio = timeline->devicePixelRatioF();
    const int markerWidth = std::max(1, qRound(Timeline::kMarkerWidth * ratio));
    EXPECT_LE(inkInBand, markerWidth + 2 * std::max(1, qRound(ratio))) << what;
    EXPECT_EQ(screen.pixel(track.left() + inColumn, above), ink) << what << ": no in bracket";
    EXPECT_EQ(screen.pixel(track.left() + outColumn, above), ink) << what << ": no out bracket";

    // Above the track, the marker alone: whole, and its middle column stands for the frame shown.
    std::vector<int> marker;
    for (int x = 0; x < track.right() + 1 + track.left(); ++x)
      if (screen.pixel(x, track.top() - 1) == ink) marker.push_back(x - track.left());
    ASSERT_EQ(static_cast<int>(marker.size()), markerWidth) << what;
    EXPECT_EQ(marker.back() - marker.front() + 1, markerWidth) << what << ": the marker in pieces";
    const int middle = marker.front() + markerWidth / 2;
    const Frames span = FramesOfColumn(middle, frames, track.width());
    EXPECT_TRUE(state.shown - state.first >= span.lo && state.shown - state.first <= span.hi)
        << what << ": the marker's middle column " << middle << " stands for frames " << span.lo
        << "-" << span.hi << " from the first, not " << state.shown - state.first;
  }
}

// The text lies whole between the track and the widget's right edge; where a usable track leaves
// it no room, it is left out.
TEST(TimelineWidget, TextBesideTheTrack) {
  struct Case {
    TimelineState state;
    int width;  // 0: the size hint's
    bool text;
  };
  const Case cases[] = {
      {Range(1, 48, 12), 1600, true},
      {Range(1, 100000, 50000), 1600, true},
      {Range(-20, 27, -20), 1600, true},
      {Range(1, 48, 12), 0, true},
      {Range(1, 100000, 1), 0, true},
      {Range(1, 100000, 1), 100, false},
      {Range(1000000, 1000001, 1000000), 100, false},
  };
  for (const Case& c : cases) {
    Timeline sized;
    sized.SetState(c.state);
    EXPECT_EQ(sized.sizeHint().height(), Timeline::kHeight);
    const auto timeline = Shown(c.state, c.width ? c.width : sized.sizeHint().width());
    const QImage screen = timeline->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect track = timeline->Track();
    const QRgb window = timeline->palette().color(QPalette::Window).rgb();
    int left = INT_MAX, right = INT_MIN;  // of anything drawn right of the track
    for (int y = 0; y < screen.height(); ++y)
      for (int x = track.right() + 1; x < screen.width(); ++x)
        if (screen.pixel(x, y) != window) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
    const std::string what = std::to_string(c.state.first) + "-" + std::to_string(c.state.last) +
                             " at width " + std::to_string(timeline->width());
    EXPECT_GE(track.width(), Timeline::kLeastTrack * timeline->devicePixelRatioF() - 1) << what;
    if (!c.text) {
      EXPECT_EQ(left, INT_MAX) << what << ": text where there is no room";
      continue;
    }
    ASSERT_NE(left, INT_MAX) << what << ": no text";
    EXPECT_GT(left, track.right() + 1) << what << ": the text touches the track";
    EXPECT_LT(right, screen.width() - 1) << what << ": the text runs to the edge";
    // All of it: as wide as its glyphs' advances, less their outer bearings.
    const QFontMetricsF metrics(timeline->font());
    const QString label =
        QStringLiteral("%1  %2-%3").arg(c.state.shown).arg(c.state.first).arg(c.state.last);
    const qreal least = metrics.horizontalAdvance(label) - metrics.averageCharWidth();
    EXPECT_GE(right - left + 1, least * timeline->devicePixelRatioF()) << what << ": cut short";
  }
}

}  // namespace
