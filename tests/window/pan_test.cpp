#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>

#include "fake_dialogs.h"
#include "form1.h"
#include "picture1.h"

namespace {

class PanTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(form_.ScaleWidth(), 449);
    ASSERT_EQ(form_.ScaleHeight(), 343);
  }

  Picture1& Canvas() { return form_.Canvas(); }
  void Place(int left, int top, int width, int height) {
    ASSERT_TRUE(Canvas().SetSize(width, height));
    Canvas().Move(left, top);
  }
  QPoint Pos() { return {Canvas().Left(), Canvas().Top()}; }
  // Pointer events at a client-area position, as Qt delivers them.
  void Send(QEvent::Type type, QPointF client) {
    const bool down = type != QEvent::MouseButtonRelease;
    QMouseEvent event(type, client, Canvas().mapToGlobal(client), Qt::LeftButton,
                      down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Canvas(), &event);
  }
  void Press(QPointF at) { Send(QEvent::MouseButtonPress, at); }
  void MoveTo(QPointF at) { Send(QEvent::MouseMove, at); }
  void Release(QPointF at) { Send(QEvent::MouseButtonRelease, at); }
  void ResizeClient(int width, int height) {
    form_.resize(width, form_.height() - form_.ScaleHeight() + height);
    QCoreApplication::processEvents();
    ASSERT_EQ(form_.ScaleWidth(), width);
  }

  FakeDialogs dialogs_;
  Form1 form_{dialogs_};
};

TEST_F(PanTest, OneLongDragStopsAtTheClamps) {
  struct Case {
    QPoint start;      // canvas position before the drag
    QPointF from, to;  // pointer, in client coordinates
    QPoint end;
  };
  const Case cases[] = {
      {{0, 0}, {400, 300}, {-300, 300}, {-551, 0}},  // 700 left: 449 - 1000
      {{-20, 0}, {100, 100}, {130, 100}, {0, 0}},    // 30 right from -20
      {{-300, -200}, {200, 200}, {210, 205}, {-290, -195}},
      {{0, 0}, {200, 300}, {200, -900}, {0, -457}},        // 343 - 800
      {{-10, -10}, {100, 100}, {100.4, 112.5}, {-10, 0}},  // dy 12.5 rounds to 12; dx 0.4 moves 0
  };
  for (const auto& c : cases) {
    Place(c.start.x(), c.start.y(), 1000, 800);
    Press(c.from);
    MoveTo(c.to);
    Release(c.to);
    EXPECT_EQ(Pos(), c.end) << c.start.x() << "," << c.start.y();
  }
}

TEST_F(PanTest, DyRoundsToEven) {
  Place(-100, -100, 1000, 800);
  Press({100, 10});
  MoveTo({100, 12.5});  // 2.5 -> 2
  EXPECT_EQ(Pos(), QPoint(-100, -98));
  Release({100, 12.5});
  Press({100, 10});
  MoveTo({100, 13.5});  // 3.5 -> 4
  EXPECT_EQ(Pos(), QPoint(-100, -94));
}

TEST_F(PanTest, GrabbedPointStaysUnderThePointerInSmallSteps) {
  Place(0, 0, 1000, 800);
  const QPointF grab(300, 200);
  const QPointF grabbedInCanvas = grab - QPointF(Pos());
  Press(grab);
  QPointF pointer = grab;
  for (int step = 0; step < 40; ++step) {
    pointer += QPointF(-3, -2);
    MoveTo(pointer);
    EXPECT_EQ(pointer - QPointF(Pos()), grabbedInCanvas) << "step " << step;
  }
  Release(pointer);
  EXPECT_EQ(Pos(), QPoint(-120, -80));
}

TEST_F(PanTest, StepTurnedIntoNoMovementSwallowsTheNextEvent) {
  Place(0, 0, 1000, 800);
  Press({200, 200});
  MoveTo({210, 200});  // right at Left 0: clamped, nothing moves, the skip is armed
  EXPECT_EQ(Pos(), QPoint(0, 0));
  MoveTo({190, 200});  // only takes the new reference
  EXPECT_EQ(Pos(), QPoint(0, 0));
  MoveTo({170, 200});
  EXPECT_EQ(Pos(), QPoint(-20, 0));
}

TEST_F(PanTest, NarrowCanvasNeverMovesLeft) {
  Place(0, 0, 300, 200);
  Press({100, 100});
  MoveTo({50, 100});
  EXPECT_EQ(Pos(), QPoint(0, 0));
  Release({50, 100});

  Place(-100, 0, 300, 200);  // left there by an earlier, larger picture
  Press({100, 100});
  QPointF pointer(100, 100);
  for (int step = 0; step < 6; ++step) MoveTo(pointer += QPointF(30, 0));
  EXPECT_EQ(Pos(), QPoint(0, 0));
  for (int step = 0; step < 3; ++step) MoveTo(pointer -= QPointF(30, 0));
  EXPECT_EQ(Pos(), QPoint(0, 0));
}

TEST_F(PanTest, MovesWithoutAButtonDoNothing) {
  Place(-50, -50, 1000, 800);
  MoveTo({10, 10});
  MoveTo({200, 200});
  EXPECT_EQ(Pos(), QPoint(-50, -50));
}

TEST_F(PanTest, ResizePullsAPannedCanvasBack) {
  struct Case {
    int width, left;  // canvas width and Left before
    int clientWidth;  // client width after the resize
    int wantLeft;
  };
  const Case cases[] = {
      {1000, -551, 1200, 0}, {1000, -551, 800, -200}, {1000, -551, 400, -551}, {300, -100, 300, 0},
      {300, -100, 400, 0},   {300, -100, 250, -50},   {300, -100, 200, -100},  {300, 0, 200, 0},
  };
  for (const auto& c : cases) {
    ResizeClient(449, 343);
    Place(c.left, -10, c.width, 800);
    ResizeClient(c.clientWidth, 343);
    EXPECT_EQ(Canvas().Left(), c.wantLeft)
        << c.width << " at " << c.left << " in " << c.clientWidth;
    EXPECT_EQ(Canvas().Top(), -10);
  }
  // Vertically alike.
  ResizeClient(449, 343);
  Place(0, -600, 300, 800);
  ResizeClient(449, 500);
  EXPECT_EQ(Canvas().Top(), -300);
}

}  // namespace
