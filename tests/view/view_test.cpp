// The view at every zoom and screen scale, offscreen. Every test holds at any QT_SCALE_FACTOR:
// the tests run once at the screen's own scale and again at 2 and 1.5 (see tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "area_average.h"
#include "decode_helpers.h"
#include "fake_dialogs.h"
#include "form1.h"
#include "picture1.h"
#include "scratch_dir.h"
#include "status_readout.h"
#include "view_geometry.h"

namespace {

using lumenor::Zoom;

TEST(ViewGeometry, ZoomLadderAndFit) {
  struct Step {
    Zoom from, in, out;
  };
  const Step steps[] = {{{1, 1}, {2, 1}, {2, 3}},
                        {{2, 3}, {1, 1}, {1, 2}},
                        {{32, 1}, {32, 1}, {24, 1}},
                        {{1, 32}, {1, 24}, {1, 32}},
                        {{75, 256}, {1, 3}, {1, 4}},
                        {{3, 1}, {4, 1}, {2, 1}},
                        {{449, 20000}, {1, 32}, {449, 20000}}};  // fitted below the bottom
  for (const auto& s : steps) {
    EXPECT_TRUE(ViewGeometry::NextZoomIn(s.from) == s.in) << s.from.num << "/" << s.from.den;
    EXPECT_TRUE(ViewGeometry::NextZoomOut(s.from) == s.out) << s.from.num << "/" << s.from.den;
  }
  struct Fit {
    int width, height;
    Zoom fit;  // in a 449 x 343 client area
  };
  for (const Fit f : {Fit{1000, 800, {343, 800}}, Fit{37, 5, {1, 1}}, Fit{449, 343, {1, 1}},
                      Fit{898, 100, {1, 2}}, Fit{32767, 32767, {343, 32767}}}) {
    ViewGeometry view;
    view.SetClientSize(449, 343);
    view.SetPictureSize(f.width, f.height);
    const Zoom fit = view.FitZoom();
    EXPECT_TRUE(fit == f.fit) << f.width << "x" << f.height << ": " << fit.num << "/" << fit.den;
    view.ZoomAbout(fit, 0, 0);
    EXPECT_LE(view.Width(), 449);
    EXPECT_LE(view.Height(), 343);
  }
}

TEST(ViewGeometry, ZoomKeepsThePointUnderTheAnchorWithinTheClamps) {
  struct Case {
    QPoint before;  // canvas of a 1000 x 800 picture at 100 % in 449 x 343
    Zoom zoom;
    QPointF anchor;
    QPoint after;
  };
  const Case cases[] = {
      {{-100, -50}, {2, 1}, {200, 100}, {-400, -200}},  // (300, 150) stays under (200, 100)
      {{-100, -50}, {1, 2}, {200, 100}, {0, 0}},        // 500 x 400: held at the top-left
      {{-551, -457}, {1, 4}, {0, 0}, {0, 0}},           // smaller than the window
      {{0, 0}, {32, 1}, {448, 342}, {-13888, -10602}},
      {{-551, -457}, {3, 1}, {448, 342}, {-2549, -2055}},  // the far corner stays under it
      {{0, 0}, {1, 2}, {448, 342}, {0, 0}},                // no gap opens on the left or top
  };
  for (const auto& c : cases) {
    ViewGeometry view;
    view.SetClientSize(449, 343);
    view.SetPictureSize(1000, 800);
    view.SetLeft(c.before.x());
    view.SetTop(c.before.y());
    view.ZoomAbout(c.zoom, c.anchor.x(), c.anchor.y());
    EXPECT_EQ(QPoint(view.Left(), view.Top()), c.after) << c.zoom.num << "/" << c.zoom.den;
  }
}

class ViewTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    QCoreApplication::processEvents();
  }
  Picture1& Canvas() { return form_.Canvas(); }
  double Ratio() { return Canvas().devicePixelRatioF(); }
  QAction& Item(const char* name) { return *form_.findChild<QAction*>(name); }
  void Open(const sgi::Planes& planes) {
    form_.OpenFile(QByteArray(dir_.Write("p.rgb", sgi::Verbatim({}, planes)).c_str()));
  }
  // The client area as the screen shows it, in device pixels.
  QImage Screen() { return Canvas().grab().toImage().convertToFormat(QImage::Format_RGB32); }
  // Empty when the screen shows the picture, at the view's zoom and place.
  std::string ScreenShows(const sgi::Planes& planes) {
    const auto picture = testing_support::Expected(planes, lumenor::kWorkspaceGrey);
    const Zoom zoom = form_.CurrentZoom();
    const QImage screen = Screen();
    const QRect shown = QRect(0, 0, form_.ScaleWidth(), form_.ScaleHeight()) &
                        Canvas().CanvasRect() & screen.rect();
    for (int y = shown.top(); y <= shown.bottom(); ++y)
      for (int x = shown.left(); x <= shown.right(); ++x) {
        // The picture's pixels, averaged over what the screen pixel covers.
        const auto want = testing_support::AreaAverage(
            picture, planes.width, planes.height, zoom.Unscale(x - Canvas().Left()),
            zoom.Unscale(y - Canvas().Top()), zoom.Unscale(x + 1 - Canvas().Left()),
            zoom.Unscale(y + 1 - Canvas().Top()));
        const QRgb have = screen.pixel(x, y);
        const int haveChannels[3] = {qBlue(have), qGreen(have), qRed(have)};
        for (int c = 0; c < 3; ++c)
          if (std::abs(haveChannels[c] - want[c]) > 1.0)
            return "at screen (" + std::to_string(x) + ", " + std::to_string(y) + ") have " +
                   QString::number(have & 0xFFFFFF, 16).toStdString();
      }
    return {};
  }
  void Key(Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&Canvas(), &press);
  }
  void Wheel(QPointF at, QPoint angle, Qt::KeyboardModifiers modifiers) {
    QWheelEvent wheel(at, Canvas().mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&Canvas(), &wheel);
  }

  ScratchDir dir_;
  FakeDialogs dialogs_;
  Form1 form_{dialogs_};
};

TEST_F(ViewTest, EveryZoomShowsThePicture) {
  const auto planes = sgi::Pattern(700, 500, 3);
  Open(planes);
  EXPECT_EQ(ScreenShows(planes), "") << "100 %";
  struct Step {
    const char* item;
    Zoom zoom;
  };
  for (const Step s :
       {Step{"mnuZoomIn", {2, 1}}, Step{"mnuZoomIn", {3, 1}}, Step{"mnuActualSize", {1, 1}},
        Step{"mnuZoomOut", {2, 3}}, Step{"mnuZoomOut", {1, 2}}, Step{"mnuZoomOut", {1, 3}}}) {
    Item(s.item).trigger();
    EXPECT_TRUE(form_.CurrentZoom() == s.zoom) << s.item;
    EXPECT_EQ(ScreenShows(planes), "") << s.zoom.num << "/" << s.zoom.den;
  }
}

TEST_F(ViewTest, CtrlWheelZoomsAboutThePointer) {
  Open(sgi::Pattern(2000, 1500, 1));
  Canvas().Move(-300, -200);
  const QPointF pointer(150.5, 100.25);  // logical, in the client area
  const auto pictureUnder = [&] {
    const Zoom zoom = form_.CurrentZoom();
    return QPointF(zoom.Unscale(pointer.x() * Ratio() - Canvas().Left()),
                   zoom.Unscale(pointer.y() * Ratio() - Canvas().Top()));
  };
  const QPointF before = pictureUnder();
  for (const int notches : {1, 2, -1, -3}) {
    Wheel(pointer, QPoint(0, 120 * notches), Qt::ControlModifier);
    const QPointF after = pictureUnder();
    // Within half a screen pixel: the canvas sits on whole device pixels.
    const double slack = form_.CurrentZoom().Unscale(0.5) + 1e-9;
    EXPECT_NEAR(after.x(), before.x(), slack) << notches;
    EXPECT_NEAR(after.y(), before.y(), slack) << notches;
  }
  EXPECT_TRUE(form_.CurrentZoom() == (Zoom{2, 3}));  // 1 -> 2 -> 3 -> 4 -> 3 -> 2 -> 1 -> 2/3
}

// Ctrl+= (the key beside Ctrl+- unshifted) zooms in as Ctrl++ does; after a zoom by the keys, the
// values shown are those of the pixel under the pointer now.
TEST_F(ViewTest, KeyboardZoomAndTheValuesUnderAPointerThatStandsStill) {
  const auto planes = sgi::Pattern(400, 300, 3);
  Open(planes);
  Item("mnuStatusBar").trigger();
  const QPointF pointer(120.5, 70.5);  // logical, in the client area
  QMouseEvent move(QEvent::MouseMove, pointer, Canvas().mapToGlobal(pointer), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Canvas(), &move);
  struct Press {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    Zoom zoom;
  };
  for (const Press p : {Press{Qt::Key_Equal, Qt::ControlModifier, {2, 1}},
                        Press{Qt::Key_Equal, Qt::ControlModifier, {3, 1}},
                        Press{Qt::Key_Minus, Qt::ControlModifier, {2, 1}},
                        Press{Qt::Key_Plus, Qt::ControlModifier, {3, 1}},
                        Press{Qt::Key_0, Qt::ControlModifier, {1, 1}}}) {
    QTest::keyClick(&Canvas(), p.key, p.modifiers);
    ASSERT_TRUE(form_.CurrentZoom() == p.zoom) << p.zoom.num << "/" << p.zoom.den;
    const Zoom zoom = form_.CurrentZoom();
    const int x = static_cast<int>(std::floor(zoom.Unscale(pointer.x() * Ratio() - Canvas().Left())));
    const int y = static_cast<int>(std::floor(zoom.Unscale(pointer.y() * Ratio() - Canvas().Top())));
    EXPECT_TRUE(form_.Status()->ValueText().startsWith(QStringLiteral("%1, %2:").arg(x).arg(y)))
        << form_.Status()->ValueText().toStdString() << " at zoom " << zoom.num << "/" << zoom.den;
  }
}

TEST_F(ViewTest, KeysAndWheelPanUpToTheClamps) {
  Open(sgi::Pattern(2000, 1500, 1));
  const int right = form_.ScaleWidth() - 2000, bottom = form_.ScaleHeight() - 1500;
  const int step = int(std::lround(32 * Ratio()));
  const int page = int(form_.ScaleHeight() * 0.9);
  struct Case {
    std::vector<Qt::Key> keys;
    QPoint at;
  };
  const Case cases[] = {
      {{Qt::Key_End}, {right, bottom}},
      {{Qt::Key_End, Qt::Key_Home}, {0, 0}},
      {{Qt::Key_Right, Qt::Key_Right, Qt::Key_Down}, {-2 * step, -step}},
      {{Qt::Key_Left, Qt::Key_Up}, {0, 0}},  // held at the top-left
      {{Qt::Key_PageDown}, {0, -page}},
      {{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown}, {0, bottom}},
      {{Qt::Key_End, Qt::Key_Right, Qt::Key_PageDown}, {right, bottom}},
  };
  for (const auto& c : cases) {
    Canvas().Move(0, 0);
    for (const Qt::Key key : c.keys) Key(key);
    EXPECT_EQ(QPoint(Canvas().Left(), Canvas().Top()), c.at) << c.keys.size() << " keys";
  }
  // The wheel: down shows what is below, Shift turns it sideways.
  Canvas().Move(-500, -500);
  Wheel({100, 100}, {0, -120}, Qt::NoModifier);
  EXPECT_EQ(Canvas().Left(), -500);
  EXPECT_LT(Canvas().Top(), -500);
  Wheel({100, 100}, {0, -120}, Qt::ShiftModifier);
  EXPECT_LT(Canvas().Left(), -500);
  // A picture that fits never moves.
  Open(sgi::Pattern(40, 30, 1));
  for (const Qt::Key key : {Qt::Key_End, Qt::Key_Right, Qt::Key_Down, Qt::Key_PageDown}) Key(key);
  Wheel({10, 10}, {0, -360}, Qt::NoModifier);
  EXPECT_EQ(QPoint(Canvas().Left(), Canvas().Top()), QPoint(0, 0));
}

TEST_F(ViewTest, FitIsAModeAndEveryOtherLoadStartsAtActualSize) {
  const auto big = sgi::Pattern(1500, 1000, 3), small = sgi::Pattern(60, 40, 3);
  Open(big);
  Item("mnuZoomIn").trigger();
  Open(big);
  EXPECT_TRUE(form_.CurrentZoom() == (Zoom{1, 1})) << "a load starts at actual size";

  Item("mnuFit").trigger();
  ASSERT_TRUE(form_.FitItem().isChecked());
  const Zoom fitted = form_.CurrentZoom();
  EXPECT_TRUE(fitted == Canvas().View().FitZoom());
  // Fitted, the picture lies in the middle of the client area the way it is narrower.
  EXPECT_EQ(Canvas().CanvasRect(),
            QRect((form_.ScaleWidth() - Canvas().Width()) / 2,
                  (form_.ScaleHeight() - Canvas().Height()) / 2, Canvas().Width(),
                  Canvas().Height()));
  EXPECT_TRUE(Canvas().Left() > 0 || Canvas().Top() > 0);
  EXPECT_EQ(ScreenShows(big), "") << "at fit";
  form_.resize(form_.width() / 2, form_.height());
  QCoreApplication::processEvents();
  EXPECT_TRUE(form_.CurrentZoom() < fitted) << "a smaller window fits again";
  EXPECT_LE(Canvas().Width(), form_.ScaleWidth());
  Open(small);
  EXPECT_TRUE(form_.CurrentZoom() == (Zoom{1, 1})) << "a picture that fits is not enlarged";
  Open(big);
  EXPECT_TRUE(form_.CurrentZoom() == Canvas().View().FitZoom()) << "the next picture is fitted";
  Item("mnuZoomIn").trigger();
  EXPECT_FALSE(form_.FitItem().isChecked()) << "zooming leaves the mode";
}

TEST_F(ViewTest, ZoomDuringALoadAndTheLastRowsAtAZoom) {
  // Uncompressed RGB shows progress after file rows 0, 16, 32...; the rows above the last of
  // them are shown by the final repaint, which must bring the scaled picture up to date too.
  const auto planes = sgi::Pattern(300, 2000 + 7, 3);
  Item("mnuFit").trigger();
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (++ticks == 3) Item("mnuZoomOut").trigger();  // in the middle of the load
  });
  timer.start(0);
  Open(planes);
  timer.stop();
  ASSERT_GE(ticks, 3);
  EXPECT_FALSE(form_.FitItem().isChecked());
  EXPECT_EQ(ScreenShows(planes), "") << form_.CurrentZoom().num << "/" << form_.CurrentZoom().den;
}

TEST_F(ViewTest, DragAtAZoomKeepsTheGrabbedPointUnderThePointer) {
  Open(sgi::Pattern(1000, 800, 1));
  Item("mnuZoomIn").trigger();  // 200 %
  Canvas().Move(-600, -500);
  const auto send = [&](QEvent::Type type, QPointF at) {
    QMouseEvent event(type, at, Canvas().mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&Canvas(), &event);
  };
  // The pointer moves on whole screen pixels, as a real one does.
  QPoint device(300, 225);
  const auto logical = [&] { return QPointF(device) / Ratio(); };
  const QPoint grabbed = device - QPoint(Canvas().Left(), Canvas().Top());
  send(QEvent::MouseButtonPress, logical());
  for (int step = 0; step < 30; ++step) {
    device += QPoint(5, 3);
    send(QEvent::MouseMove, logical());
    EXPECT_EQ(device - QPoint(Canvas().Left(), Canvas().Top()), grabbed) << step;
  }
  send(QEvent::MouseButtonRelease, logical());
}

TEST_F(ViewTest, FullScreenShowsThePictureAloneAndGivesTheWindowBack) {
  Open(sgi::Pattern(4000, 3000, 1));
  Item("mnuStatusBar").trigger();
  QCoreApplication::processEvents();
  const QRect windowed = form_.geometry();
  const QSize client(form_.ScaleWidth(), form_.ScaleHeight());
  Item("mnuFullScreen").trigger();
  QCoreApplication::processEvents();
  ASSERT_TRUE(form_.isFullScreen());
  // The picture area is the whole screen: no menu bar or status bar takes a line of it.
  const QSize screen = form_.screen()->geometry().size() * Ratio();
  EXPECT_EQ(QSize(form_.ScaleWidth(), form_.ScaleHeight()), screen);
  Key(Qt::Key_End);
  EXPECT_EQ(QPoint(Canvas().Left(), Canvas().Top()),
            QPoint(screen.width() - 4000, screen.height() - 3000));
  EXPECT_EQ(ScreenShows(sgi::Pattern(4000, 3000, 1)), "");
  // The menus are still there by their access keys.
  QTest::keyClick(&form_, Qt::Key_V, Qt::AltModifier);
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->objectName(), "mnuView");
  popup->close();
  Key(Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_FALSE(form_.isFullScreen());
  EXPECT_FALSE(Item("mnuFullScreen").isChecked());
  EXPECT_EQ(form_.geometry(), windowed);
  EXPECT_EQ(QSize(form_.ScaleWidth(), form_.ScaleHeight()), client);
  EXPECT_TRUE(form_.statusBar()->isVisible());
  // Pulled back only where a gap opens, as a resize does.
  EXPECT_EQ(QPoint(Canvas().Left(), Canvas().Top()),
            QPoint(std::max(screen.width(), client.width()) - 4000,
                   std::max(screen.height(), client.height()) - 3000));
  Key(Qt::Key_Home);
  Item("mnuFullScreen").trigger();
  QCoreApplication::processEvents();
  Item("mnuFullScreen").trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(form_.geometry(), windowed) << "F11 twice";
  // The window system ends full screen by itself: the window is whole again.
  Item("mnuFullScreen").trigger();
  QCoreApplication::processEvents();
  form_.setWindowState(form_.windowState() & ~Qt::WindowFullScreen);
  QCoreApplication::processEvents();
  EXPECT_FALSE(Item("mnuFullScreen").isChecked());
  EXPECT_TRUE(form_.statusBar()->isVisible());
  EXPECT_EQ(QSize(form_.ScaleWidth(), form_.ScaleHeight()), client);
}

// Run with two screens of scales 1 and 2 (tests/gui/two_screens.json, see tests/CMakeLists.txt);
// with one screen there is nothing to move to.
TEST(MixedScreens, TheViewFollowsTheWindowToAScreenOfAnotherScale) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
    GTEST_SKIP() << "needs two screens of different scales";
  ScratchDir dir;
  FakeDialogs dialogs;
  Form1 form(dialogs);
  form.move(screens[0]->geometry().topLeft() + QPoint(50, 50));
  form.show();
  QCoreApplication::processEvents();
  const auto planes = sgi::Pattern(1600, 1200, 3);
  form.OpenFile(QByteArray(dir.Write("p.rgb", sgi::Verbatim({}, planes)).c_str()));
  const auto picture = testing_support::Expected(planes, lumenor::kWorkspaceGrey);
  Picture1& canvas = form.Canvas();
  const auto pressEnd = [&] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(&canvas, &press);
  };
  for (QScreen* screen : {screens[1], screens[0], screens[1]}) {
    form.move(screen->geometry().topLeft() + QPoint(50, 50));
    QCoreApplication::processEvents();
    const double ratio = screen->devicePixelRatio();
    const QSize client(qRound(canvas.width() * ratio), qRound(canvas.height() * ratio));
    ASSERT_EQ(QSize(form.ScaleWidth(), form.ScaleHeight()), client) << ratio;
    // The clamps hold in the new client area: no gap on the right or bottom, and End reaches
    // the picture's far corner.
    EXPECT_GE(canvas.Left() + canvas.Width(), client.width()) << ratio;
    EXPECT_GE(canvas.Top() + canvas.Height(), client.height()) << ratio;
    pressEnd();
    EXPECT_EQ(QPoint(canvas.Left(), canvas.Top()),
              QPoint(client.width() - 1600, client.height() - 1200))
        << ratio;
    // Pixel for pixel at 100 %, the whole client area painted.
    const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), client) << ratio;
    for (int y = 0; y < client.height(); y += 7)
      for (int x = 0; x < client.width(); x += 5) {
        const lumenor::Pixel want =
            picture[static_cast<std::size_t>(y - canvas.Top()) * 1600 + (x - canvas.Left())];
        ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF)
            << "(" << x << ", " << y << ") at scale " << ratio;
      }
  }
}

}  // namespace
