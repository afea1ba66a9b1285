// Looking closer, offscreen: one channel at a time, alpha over the checkerboard, the view turned
// and mirrored. What the screen shows is checked against values worked out here from the file's
// own values.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStatusBar>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "decode_helpers.h"
#include "picture_test.h"
#include "status_readout.h"

namespace {

class LookTest : public PictureTest {
 protected:
  void Open(const sgi::Planes& planes, const char* name = "p.rgb") {
    form_.OpenFile(Write(name, sgi::Verbatim({}, planes)));
  }
  // The client area as the screen shows it, in device pixels.
  QImage Screen() {
    return form_.Canvas().grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // Empty when the canvas at 100 % shows want(x, y) for every picture pixel as shown (width x
  // height of them).
  std::string ShowsAtActualSize(int width, int height, const std::function<QRgb(int, int)>& want) {
    const QImage screen = Screen();
    const QPoint at = form_.Canvas().CanvasRect().topLeft();
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if ((screen.pixel(at.x() + x, at.y() + y) & 0xFFFFFF) != (want(x, y) & 0xFFFFFF))
          return "at (" + std::to_string(x) + ", " + std::to_string(y) + ") have " +
                 QString::number(screen.pixel(at.x() + x, at.y() + y) & 0xFFFFFF, 16)
                     .toStdString() +
                 ", want " + QString::number(want(x, y) & 0xFFFFFF, 16).toStdString();
    return {};
  }
  // A drag with the first button, in device pixels of the client area.
  void Drag(QPointF from, QPointF to) {
    const qreal ratio = form_.Canvas().devicePixelRatioF();
    const auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
      QMouseEvent event(type, at / ratio, form_.Canvas().mapToGlobal(at / ratio), Qt::LeftButton,
                        buttons, Qt::NoModifier);
      QCoreApplication::sendEvent(&form_.Canvas(), &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
  }
};

QRgb Grey(int value) { return qRgb(value, value, value); }

TEST_F(LookTest, EachChannelShowsItsStoredValuesAsGrey) {
  const char* const items[] = {"mnuColour", "mnuRed",   "mnuGreen",
                               "mnuBlue",   "mnuAlpha", "mnuLuminance"};
  for (const unsigned channels : {1u, 2u, 3u, 4u}) {
    const auto planes = sgi::Pattern(23, 17, channels, channels);
    Item("mnuColour").trigger();  // each opened in Colour, its stored values not kept
    Open(planes, ("p" + std::to_string(channels) + ".rgb").c_str());
    const auto blended = testing_support::Expected(planes, lumenor::kWorkspaceGrey);
    const bool colour = channels >= 3, alpha = channels == 2 || channels == 4;
    // Shown in Colour, the picture takes no memory for its stored values.
    EXPECT_FALSE(form_.Canvas().GetScene().A().HasStored()) << channels << " channels";
    // The stored value of channel c (0 red, 1 green, 2 blue, 3 alpha) at (x, y).
    const auto stored = [&](unsigned c, int x, int y) {
      if (c == 3) return alpha ? Stored(planes, channels - 1, x, y) : 255;
      return Stored(planes, colour ? c : 0, x, y);
    };
    const std::function<QRgb(int, int)> wants[] = {
        [&](int x, int y) { return QRgb(blended[static_cast<std::size_t>(y) * 23 + x]); },
        [&](int x, int y) { return Grey(stored(0, x, y)); },
        [&](int x, int y) { return Grey(stored(1, x, y)); },
        [&](int x, int y) { return Grey(stored(2, x, y)); },
        [&](int x, int y) { return Grey(stored(3, x, y)); },
        [&](int x, int y) {
          const double luminance =
              0.2126 * stored(0, x, y) + 0.7152 * stored(1, x, y) + 0.0722 * stored(2, x, y);
          return Grey(static_cast<int>(std::floor(luminance + 0.5)));
        }};
    // Opened in Colour, a picture with alpha has its stored values read when a channel first
    // shows them (the picture as it was until they come).
    for (std::size_t i = 0; i < std::size(items); ++i) {
      Item(items[i]).trigger();
      ASSERT_TRUE(Item(items[i]).isChecked());
      if (!QTest::qWaitFor([&] { return ShowsAtActualSize(23, 17, wants[i]).empty(); }, 5000))
        ADD_FAILURE() << channels << " channels, " << items[i] << ": "
                      << ShowsAtActualSize(23, 17, wants[i]);
    }
  }
}

TEST_F(LookTest, TheStatusBarNamesTheChannelAfterTheZoom) {
  Open(sgi::Pattern(20, 10, 3));
  Item("mnuStatusBar").trigger();
  Item("mnuGreen").trigger();
  EXPECT_TRUE(form_.Status()->Text().endsWith("100 %  Green")) << form_.Status()->Text().toStdString();
  Item("mnuColour").trigger();
  EXPECT_TRUE(form_.Status()->Text().endsWith("100 %")) << form_.Status()->Text().toStdString();
}

// The eight ways of turning and mirroring a picture of 3 x 2 pixels that are all different,
// reached by the items from the way it is stored, against the grid turned here by hand.
TEST_F(LookTest, EveryOrientationShowsThePictureTurned) {
  sgi::Planes planes{3, 2, 3, std::vector<std::uint8_t>(18)};
  for (unsigned c = 0; c < 3; ++c)
    for (unsigned r = 0; r < 2; ++r)
      for (unsigned x = 0; x < 3; ++x) planes.at(c, r, x) = static_cast<std::uint8_t>(40 * c + 10 * r + x + 1);
  Open(planes);
  using Grid = std::vector<std::vector<QRgb>>;
  Grid stored(2, std::vector<QRgb>(3));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      stored[y][x] = qRgb(Stored(planes, 0, x, y), Stored(planes, 1, x, y), Stored(planes, 2, x, y));
  const auto right = [](const Grid& g) {  // a quarter turn clockwise
    Grid turned(g[0].size(), std::vector<QRgb>(g.size()));
    for (std::size_t y = 0; y < g.size(); ++y)
      for (std::size_t x = 0; x < g[0].size(); ++x) turned[x][g.size() - 1 - y] = g[y][x];
    return turned;
  };
  const auto mirrored = [](Grid g) {
    for (auto& row : g) std::reverse(row.begin(), row.end());
    return g;
  };
  const auto upsideDown = [](Grid g) {
    std::reverse(g.begin(), g.end());
    return g;
  };
  struct Case {
    std::vector<const char*> items;
    std::function<Grid(const Grid&)> turn;
  };
  const Case cases[] = {
      {{}, [](const Grid& g) { return g; }},
      {{"mnuRotateRight"}, right},
      {{"mnuRotateRight", "mnuRotateRight"}, [&](const Grid& g) { return right(right(g)); }},
      {{"mnuRotateLeft"}, [&](const Grid& g) { return right(right(right(g))); }},
      {{"mnuMirrorHorizontally"}, mirrored},
      {{"mnuMirrorVertically"}, upsideDown},
      {{"mnuRotateRight", "mnuMirrorHorizontally"}, [&](const Grid& g) { return mirrored(right(g)); }},
      {{"mnuMirrorHorizontally", "mnuRotateRight"}, [&](const Grid& g) { return right(mirrored(g)); }},
      {{"mnuRotateLeft", "mnuMirrorVertically", "mnuRotateLeft", "mnuRotateLeft"},
       [&](const Grid& g) { return right(right(upsideDown(right(right(right(g)))))); }},
  };
  std::vector<Grid> seen;
  for (const Case& c : cases) {
    Item("mnuResetOrientation").trigger();
    for (const char* item : c.items) Item(item).trigger();
    const Grid want = c.turn(stored);
    std::string items;
    for (const char* item : c.items) items += std::string(item) + " ";
    EXPECT_EQ(form_.Canvas().Width(), static_cast<int>(want[0].size())) << items;
    EXPECT_EQ(ShowsAtActualSize(static_cast<int>(want[0].size()), static_cast<int>(want.size()),
                                [&](int x, int y) { return want[y][x]; }),
              "")
        << items;
    if (std::find(seen.begin(), seen.end(), want) == seen.end()) seen.push_back(want);
  }
  EXPECT_EQ(seen.size(), 8u) << "every orientation reached";
}

TEST_F(LookTest, TurnedTheValuesAndCopyStayThePicturesOwn) {
  const auto planes = sgi::Pattern(30, 20, 3);
  Open(planes);
  Item("mnuStatusBar").trigger();
  Item("mnuRotateRight").trigger();
  ASSERT_EQ(form_.Canvas().Width(), 20);
  // Shown at (0, 0) after a quarter turn clockwise: the picture's bottom-left pixel.
  PointAt(0, 0);
  EXPECT_TRUE(form_.Status()->ValueText().startsWith("0, 19: R ")) << form_.Status()->ValueText().toStdString();
  Trigger("mnuCopy");
  const QImage copied =
      QImage::fromData(QGuiApplication::clipboard()->mimeData()->data("image/png"), "PNG");
  EXPECT_EQ(copied.size(), QSize(30, 20)) << "as stored, not as turned";
  EXPECT_EQ(copied.pixel(29, 0) & 0xFFFFFF,
            qRgb(Stored(planes, 0, 29, 0), Stored(planes, 1, 29, 0), Stored(planes, 2, 29, 0)) & 0xFFFFFF);
}

// A transparent picture shows the squares alone: 8 x 8 device pixels of #999999 and #666666,
// lying on the canvas and moving with it.
TEST_F(LookTest, TheCheckerboardLiesOnTheCanvas) {
  sgi::Planes clear = sgi::Pattern(600, 500, 4);
  for (unsigned r = 0; r < clear.height; ++r)
    for (unsigned x = 0; x < clear.width; ++x) clear.at(3, r, x) = 0;
  Open(clear);
  Item("mnuCheckerboard").trigger();  // the stored values are read first
  const auto squares = [&] {
    const QImage screen = Screen();
    const QPoint at = form_.Canvas().CanvasRect().topLeft();
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) {
        const QPoint canvas = QPoint(x, y) - at;
        const int want = (canvas.x() / 8 + canvas.y() / 8) % 2 == 0 ? 0x99 : 0x66;
        if (screen.pixel(x, y) != Grey(want))
          return "at screen (" + std::to_string(x) + ", " + std::to_string(y) + ")";
      }
    return std::string();
  };
  if (!QTest::qWaitFor([&] { return squares().empty(); }, 5000)) ADD_FAILURE() << squares();
  Drag({200, 200}, {195, 197});
  ASSERT_EQ(form_.Canvas().CanvasRect().topLeft(), QPoint(-5, -3));
  EXPECT_EQ(squares(), "") << "panned";
  // A picture without alpha is as it was.
  const auto opaque = sgi::Pattern(20, 10, 3);
  Open(opaque, "opaque.rgb");
  const auto blended = testing_support::Expected(opaque, lumenor::kWorkspaceGrey);
  EXPECT_EQ(ShowsAtActualSize(20, 10, [&](int x, int y) { return QRgb(blended[y * 20 + x]); }), "");
}

}  // namespace
