// The flipbook in the window, offscreen: a sequence by frame number with a gap, the timeline's
// range and scrubbing, frame steps while paused, in and out points, loop modes, J, K and L, and the
// heads-up display's text.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <string>

#include "fake_dialogs.h"
#include "flipbook.h"
#include "folder.h"
#include "form1.h"
#include "heads_up.h"
#include "picture1.h"
#include "player.h"
#include "scratch_dir.h"
#include "sgi_builder.h"
#include "timeline.h"

namespace {

class TransportTest : public testing::Test {
 protected:
  void SetUp() override {
    // shot.1 to shot.6 and shot.9: 7 and 8 are missing.
    for (const int n : {1, 2, 3, 4, 5, 6, 9})
      dir_.Write("shot." + std::to_string(n) + ".rgb",
                 sgi::Verbatim({.name = "shot " + std::to_string(n)}, sgi::Pattern(24, 16, 3, n)));
    dir_.Write("notes.rgb", sgi::Verbatim({.name = "notes"}, sgi::Pattern(24, 16, 3)));
    // Written a while ago: a file changed a moment ago is still being written.
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      std::filesystem::last_write_time(
          entry.path(), std::filesystem::file_time_type::clock::now() - std::chrono::seconds(5));
    form_.show();
    QCoreApplication::processEvents();
    form_.OpenFile(QByteArray((dir_ / "shot.2.rgb").c_str()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_.PictureFolder().Listed(); }, 5000));
    form_.SetFrameRate(60);
  }
  QAction& Item(const char* name) { return *form_.findChild<QAction*>(name); }
  Timeline& TimelineWidget() { return *form_.findChild<Timeline*>("timeline"); }
  HeadsUpDisplay& Display() { return *form_.findChild<HeadsUpDisplay*>("headsUpDisplay"); }
  QString Shown() { return form_.windowTitle().remove("Lumenor - "); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&form_.Canvas(), static_cast<Qt::Key>(key), modifiers);
    QCoreApplication::processEvents();
  }
  bool WaitShown(const QString& title) {
    return QTest::qWaitFor([&] { return Shown() == title; }, 10000);
  }

  ScratchDir dir_;
  FakeDialogs dialogs_;
  Form1 form_{dialogs_};
};

TEST_F(TransportTest, TheTimelineShowsTheSequenceAndScrubsIt) {
  EXPECT_FALSE(TimelineWidget().isVisible()) << "off at start";
  Item("mnuTimeline").trigger();
  ASSERT_TRUE(TimelineWidget().isVisible());
  const TimelineState& state = TimelineWidget().State();
  EXPECT_EQ(state.first, 1);
  EXPECT_EQ(state.last, 9);
  EXPECT_EQ(state.shown, 2);
  EXPECT_EQ(state.missing, (TimelineState::Runs{{7, 8}}));
  EXPECT_EQ(TimelineWidget().value(), 2);
  EXPECT_EQ(TimelineWidget().minimum(), 1);
  EXPECT_EQ(TimelineWidget().maximum(), 9);
  EXPECT_FALSE(Display().isVisible()) << "a picture that was not played has no display";

  // Straight onto a missing frame: the picture stays, the display says so.
  emit TimelineWidget().scrubbed(8);
  ASSERT_TRUE(QTest::qWaitFor([&] { return TimelineWidget().value() == 8; }, 5000));
  EXPECT_EQ(Shown(), "shot 2");
  EXPECT_TRUE(Display().text().endsWith("frame 8 of 1-9\nmissing"))
      << Display().text().toStdString();

  emit TimelineWidget().scrubbed(5);
  ASSERT_TRUE(WaitShown("shot 5"));
  EXPECT_EQ(TimelineWidget().value(), 5);
  EXPECT_TRUE(Display().isVisible()) << "paused after a scrub";
  EXPECT_TRUE(Display().text().startsWith("shot.5.rgb\nframe 5 of 1-9"))
      << Display().text().toStdString();
  EXPECT_EQ(form_.PictureFolder().Current(), QByteArray((dir_ / "shot.5.rgb").c_str()));

  // A missing frame holds the one before it and says so.
  emit TimelineWidget().scrubbed(7);
  ASSERT_TRUE(QTest::qWaitFor([&] { return TimelineWidget().value() == 7; }, 5000));
  EXPECT_EQ(Shown(), "shot 5");
  EXPECT_TRUE(Display().text().endsWith("missing")) << Display().text().toStdString();

  // Paused after play, Left and Right step a frame, onto missing ones too, within the range.
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  ASSERT_TRUE(WaitShown("shot 9"));
  Key(Qt::Key_Right);
  QTest::qWait(50);
  EXPECT_EQ(TimelineWidget().value(), 9) << "the end of the range";
  Key(Qt::Key_Left);
  ASSERT_TRUE(QTest::qWaitFor([&] { return TimelineWidget().value() == 8; }, 5000));
}

// In and out points bound play and steps; loop modes and J, K and L as the Go menu describes.
TEST_F(TransportTest, InAndOutLoopModesAndShuttle) {
  Item("mnuTimeline").trigger();
  emit TimelineWidget().scrubbed(3);
  ASSERT_TRUE(WaitShown("shot 3"));
  Key(Qt::Key_I);
  emit TimelineWidget().scrubbed(5);
  ASSERT_TRUE(WaitShown("shot 5"));
  Key(Qt::Key_O);
  EXPECT_EQ(TimelineWidget().State().in, 3);
  EXPECT_EQ(TimelineWidget().State().out, 5);
  Item("mnuPlayOnce").trigger();
  Key(Qt::Key_P, Qt::ShiftModifier);  // backwards, once: 4, 3, then paused on 3
  EXPECT_TRUE(Item("mnuPlayBackwards").isChecked());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form_.FramePlayer().Playing(); }, 10000));
  EXPECT_EQ(Shown(), "shot 3");
  EXPECT_FALSE(Item("mnuPlayBackwards").isChecked());
  Key(Qt::Key_Left);
  QTest::qWait(50);
  EXPECT_EQ(TimelineWidget().value(), 3) << "steps stay within in..out";

  Item("mnuLoop").trigger();
  Key(Qt::Key_L);  // forwards
  EXPECT_TRUE(form_.FramePlayer().Playing());
  EXPECT_EQ(form_.FramePlayer().Speed(), 1);
  Key(Qt::Key_L);
  Key(Qt::Key_L);
  EXPECT_EQ(form_.FramePlayer().Speed(), 4);
  for (int i = 0; i < 3; ++i) Key(Qt::Key_L);
  EXPECT_EQ(form_.FramePlayer().Speed(), 8) << "no faster than eight times";
  Key(Qt::Key_J);  // the other way: at its own rate again
  EXPECT_EQ(form_.FramePlayer().Speed(), 1);
  EXPECT_EQ(form_.FramePlayer().Order().direction, -1);
  QStringList seen;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (!seen.contains(Shown())) seen << Shown();
        return seen.size() == 3;
      },
      10000));
  seen.sort();
  EXPECT_EQ(seen, QStringList({"shot 3", "shot 4", "shot 5"})) << "within in..out";
  Key(Qt::Key_K);
  EXPECT_FALSE(form_.FramePlayer().Playing());
  Key(Qt::Key_I, Qt::ShiftModifier);
  Key(Qt::Key_O, Qt::ShiftModifier);
  EXPECT_EQ(TimelineWidget().State().in, 1);
  EXPECT_EQ(TimelineWidget().State().out, 9);
}

// The sequence grows and changes while it plays: a new frame past the end joins the range, a
// frame being written is held as missing and marked, and once whole it is shown.
TEST_F(TransportTest, TheSequenceGrowsAndChangesWhileItPlays) {
  Item("mnuTimeline").trigger();
  Item("mnuPlay").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_.FramePlayer().Held().size() >= 2; }, 5000));
  // Frame 11 lands; frame 3 is being written again (cut short for now).
  dir_.Write("shot.11.rgb", sgi::Verbatim({.name = "shot 11"}, sgi::Pattern(24, 16, 3, 11)));
  std::filesystem::last_write_time(dir_ / "shot.11.rgb",
                                   std::filesystem::file_time_type::clock::now() -
                                       std::chrono::seconds(5));
  const auto three = sgi::Verbatim({.name = "shot 3 again"}, sgi::Pattern(24, 16, 3, 33));
  dir_.Write("shot.3.rgb", sgi::Bytes(three.begin(), three.begin() + 600));
  ASSERT_TRUE(QTest::qWaitFor([&] { return TimelineWidget().State().last == 11; }, 2000))
      << "within a second";
  EXPECT_TRUE(form_.FramePlayer().Playing()) << "play goes on";
  EXPECT_EQ(TimelineWidget().State().incomplete, (TimelineState::Runs{{3, 3}}));
  EXPECT_EQ(TimelineWidget().State().missing, (TimelineState::Runs{{7, 8}, {10, 10}}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() == "shot 11"; }, 5000));
  // Whole again: it leaves the marks and is read again.
  dir_.Write("shot.3.rgb", three);
  std::filesystem::last_write_time(dir_ / "shot.3.rgb",
                                   std::filesystem::file_time_type::clock::now() -
                                       std::chrono::seconds(5));
  ASSERT_TRUE(QTest::qWaitFor([&] { return TimelineWidget().State().incomplete.empty(); }, 2000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() == "shot 3 again"; }, 5000));
}

// A picture whose name has no digits plays the folder's pictures, as the walk orders them.
TEST_F(TransportTest, ANameWithoutDigitsPlaysTheFolder) {
  form_.OpenFile(QByteArray((dir_ / "notes.rgb").c_str()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form_.Loading(); }, 5000));
  Item("mnuPlay").trigger();
  QStringList seen;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (!seen.contains(Shown())) seen << Shown();
        return seen.size() == 8;
      },
      10000));
  EXPECT_TRUE(seen.contains("notes") && seen.contains("shot 9"));
  EXPECT_EQ(form_.FramePlayer().First(), 0);
  EXPECT_EQ(form_.FramePlayer().Last(), 7);
}

TEST(HeadsUpText, Lines) {
  HeadsUpFacts paused;
  paused.fileName = "shot.0012.rgb";
  paused.number = 12;
  paused.first = 1;
  paused.last = 48;
  EXPECT_EQ(HeadsUpText(paused), "shot.0012.rgb\nframe 12 of 1-48");
  HeadsUpFacts playing = paused;
  playing.playing = true;
  playing.rate = "24 fps";
  playing.shownRate = 23.94;
  EXPECT_EQ(HeadsUpText(playing), "shot.0012.rgb\nframe 12 of 1-48\n24 fps: 23.9 shown, 0 dropped");
  playing.speed = 2;
  playing.direction = -1;
  playing.dropped = 3;
  playing.missing = true;
  EXPECT_EQ(HeadsUpText(playing),
            "shot.0012.rgb\nframe 12 of 1-48\n24 fps backwards x2: 23.9 shown, 3 dropped\nmissing");
}

}  // namespace

namespace {

// What a frame of the fixture's sequence shows in the red channel, turned a quarter clockwise:
// 16 x 24, the picture's bottom-left pixel at the top-left.
std::string ShowsRedTurned(Form1& form, int frame) {
  const auto planes = sgi::Pattern(24, 16, 3, static_cast<unsigned>(frame));
  const QImage screen = form.Canvas().grab().toImage();
  const QPoint at = form.Canvas().CanvasRect().topLeft();
  if (form.Canvas().CanvasRect().size() != QSize(16, 24)) return "not turned";
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 16; ++x) {
      // Shown (x, y) is picture (y, 15 - x); file row r counts from the bottom.
      const int red = planes.at(0, static_cast<unsigned>(x), static_cast<unsigned>(y));
      if ((screen.pixel(at.x() + x, at.y() + y) & 0xFFFFFF) != (qRgb(red, red, red) & 0xFFFFFF))
        return "at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    }
  return {};
}

}  // namespace

TEST_F(TransportTest, TheLookReachesWalksAndFrames) {
  Item("mnuRed").trigger();
  Item("mnuRotateRight").trigger();
  EXPECT_EQ(ShowsRedTurned(form_, 2), "");
  Key(Qt::Key_Space);
  ASSERT_TRUE(WaitShown("shot 3"));
  EXPECT_EQ(ShowsRedTurned(form_, 3), "") << "walked";
  Item("mnuHeadsUp").trigger();  // off: it lies over the frames' corner
  Item("mnuPlay").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() == "shot 5"; }, 10000));
  Key(Qt::Key_K);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form_.FramePlayer().Playing(); }, 5000));
  const int frame = Shown().remove("shot ").toInt();
  EXPECT_EQ(ShowsRedTurned(form_, frame), "") << "a frame played";
  // Turned back while paused: the frame is made again as the view stands (the frame made for the
  // look in between may come first).
  Item("mnuRotateLeft").trigger();
  Item("mnuRotateRight").trigger();
  if (!QTest::qWaitFor([&] { return ShowsRedTurned(form_, frame).empty(); }, 5000))
    ADD_FAILURE() << ShowsRedTurned(form_, frame);
}
