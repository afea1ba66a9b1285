// Comparing two pictures, offscreen: each mode on screen against pixels worked out here from the
// two files, B of another size, the values the status bar gives for both, a B that cannot be
// shown, and B following A's frame number.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>

#include "area_average.h"
#include "comparison.h"
#include "decode_helpers.h"
#include "lenses.h"
#include "picture_test.h"
#include "player.h"
#include "scene.h"
#include "view_look.h"
#include "folder.h"
#include "status_readout.h"

namespace {

class CompareTest : public PictureTest {
 protected:
  QByteArray Picture(const char* name, const sgi::Planes& planes) {
    return Write(name, sgi::Verbatim({.name = name}, planes));
  }
  Comparison& Compare() { return form_.View().Compare(); }
  // Opens A and compares it with B, once B is loaded.
  bool OpenAndCompare(const QByteArray& a, const QByteArray& b) {
    form_.OpenFile(a);
    form_.CompareWith(b);
    return QTest::qWaitFor([&] { return Compare().Comparing(); }, 10000);
  }
  QImage Screen() {
    return form_.Canvas().grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // Empty when screen pixel (x, y) is want(x, y) for x in [left, right) and the picture's rows.
  std::string Shows(int left, int right, int height, const std::function<QRgb(int, int)>& want) {
    const QImage screen = Screen();
    for (int y = 0; y < height; ++y)
      for (int x = left; x < right; ++x)
        if ((screen.pixel(x, y) & 0xFFFFFF) != (want(x, y) & 0xFFFFFF))
          return "at (" + std::to_string(x) + ", " + std::to_string(y) + ") have " +
                 QString::number(screen.pixel(x, y) & 0xFFFFFF, 16).toStdString() + ", want " +
                 QString::number(want(x, y) & 0xFFFFFF, 16).toStdString();
    return {};
  }
  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    const QPointF logical = at / form_.Canvas().devicePixelRatioF();
    QMouseEvent event(type, logical, form_.Canvas().mapToGlobal(logical), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&form_.Canvas(), &event);
  }
};

QRgb At(const std::vector<lumenor::Pixel>& picture, int width, int x, int y) {
  return picture[static_cast<std::size_t>(y) * width + x];
}

QRgb Difference(QRgb a, QRgb b, int gain) {
  const auto d = [gain](int x, int y) { return std::min(255, std::abs(x - y) * gain); };
  return qRgb(d(qRed(a), qRed(b)), d(qGreen(a), qGreen(b)), d(qBlue(a), qBlue(b)));
}

TEST_F(CompareTest, EachModeShowsWhatItSays) {
  const auto planesA = sgi::Pattern(60, 40, 3, 1), planesB = sgi::Pattern(60, 40, 4, 2);
  ASSERT_TRUE(OpenAndCompare(Picture("a.rgb", planesA), Picture("b.rgb", planesB)));
  const auto a = testing_support::Expected(planesA, lumenor::kWorkspaceGrey);
  const auto b = testing_support::Expected(planesB, lumenor::kWorkspaceGrey);  // over the grey
  const auto inA = [&](int x, int y) { return At(a, 60, x, y); };
  const auto inB = [&](int x, int y) { return At(b, 60, x, y); };
  EXPECT_TRUE(Item("mnuWipe").isChecked()) << "comparing starts with the wipe";
  const int line = form_.ScaleWidth() / 2;
  ASSERT_GT(line, 60) << "the line starts in the middle of the client area";
  // The line taken within reach and dragged into the picture.
  Mouse(QEvent::MouseButtonPress, QPointF(line + 3.5, 20.5), Qt::LeftButton);
  Mouse(QEvent::MouseMove, QPointF(25.5, 22.5), Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, QPointF(25.5, 22.5), Qt::NoButton);
  EXPECT_EQ(form_.Canvas().CanvasRect().topLeft(), QPoint(0, 0)) << "the drag moved the line only";
  EXPECT_EQ(Shows(0, 25, 40, inA), "") << "wipe: A left of the line";
  EXPECT_EQ(Shows(25, 26, 40, [](int, int) { return qRgb(255, 0, 255); }), "") << "the line";
  EXPECT_EQ(Shows(26, 60, 40, inB), "") << "wipe: B right of it";

  struct Mode {
    const char* item;
    const char* gain;
    std::function<QRgb(int, int)> want;
  };
  const Mode modes[] = {
      {"mnuCompareA", "mnuGain1", inA},
      {"mnuCompareB", "mnuGain1", inB},
      {"mnuDifference", "mnuGain1", [&](int x, int y) { return Difference(inA(x, y), inB(x, y), 1); }},
      {"mnuDifference", "mnuGain4", [&](int x, int y) { return Difference(inA(x, y), inB(x, y), 4); }},
      {"mnuDifference", "mnuGain16",
       [&](int x, int y) { return Difference(inA(x, y), inB(x, y), 16); }},
  };
  for (const Mode& m : modes) {
    Item(m.item).trigger();
    Item(m.gain).trigger();
    EXPECT_EQ(Shows(0, 60, 40, m.want), "") << m.item << " " << m.gain;
  }
  // Side by side: each half holds its picture at the same place in it.
  Item("mnuSideBySide").trigger();
  const int half = form_.ScaleWidth();
  EXPECT_EQ(half, qRound(form_.Canvas().width() * form_.Canvas().devicePixelRatioF()) / 2);
  EXPECT_EQ(Shows(0, 60, 40, inA), "") << "side by side: A";
  EXPECT_EQ(Shows(half, half + 60, 40, [&](int x, int y) { return inB(x - half, y); }), "")
      << "side by side: B";
  // Tab shows B whole, and goes back.
  Item("keyFlip").trigger();
  EXPECT_TRUE(Item("mnuCompareB").isChecked());
  EXPECT_EQ(Shows(0, 60, 40, inB), "");
  Item("keyFlip").trigger();
  EXPECT_TRUE(Item("mnuSideBySide").isChecked());
  Item("mnuStopComparing").trigger();
  EXPECT_FALSE(Compare().Comparing());
  EXPECT_EQ(form_.ScaleWidth(), qRound(form_.Canvas().width() * form_.Canvas().devicePixelRatioF()));
  EXPECT_EQ(Shows(0, 60, 40, inA), "") << "A alone again";
}

// At another zoom both go through one scaler: B on A's pixel grid, pixel for pixel.
TEST_F(CompareTest, PixelLockedAtAZoom) {
  const auto planesA = sgi::Pattern(90, 60, 3, 1), planesB = sgi::Pattern(90, 60, 3, 5);
  ASSERT_TRUE(OpenAndCompare(Picture("a.rgb", planesA), Picture("b.rgb", planesB)));
  Item("mnuZoomOut").trigger();  // 2/3
  Item("mnuCompareB").trigger();
  const auto b = testing_support::Expected(planesB, lumenor::kWorkspaceGrey);
  const lumenor::Zoom zoom = form_.CurrentZoom();
  const QImage screen = Screen();
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      const auto want = testing_support::AreaAverage(b, 90, 60, zoom.Unscale(x), zoom.Unscale(y),
                                                     zoom.Unscale(x + 1), zoom.Unscale(y + 1));
      const QRgb have = screen.pixel(x, y);
      ASSERT_LE(std::abs(qBlue(have) - want[0]), 1.0) << x << ", " << y;
      ASSERT_LE(std::abs(qRed(have) - want[2]), 1.0) << x << ", " << y;
    }
}

// At 100 % a difference taller than the window is made as its rows come into view: each row on
// screen after a pan, and after a change of gain, is the difference of its own row.
TEST_F(CompareTest, ADifferenceTallerThanTheWindowIsRightWhereverItIsPanned) {
  const auto planesA = sgi::Pattern(40, 3000, 3, 1), planesB = sgi::Pattern(40, 3000, 3, 2);
  ASSERT_TRUE(OpenAndCompare(Picture("a.rgb", planesA), Picture("b.rgb", planesB)));
  const auto a = testing_support::Expected(planesA, lumenor::kWorkspaceGrey);
  const auto b = testing_support::Expected(planesB, lumenor::kWorkspaceGrey);
  Item("mnuDifference").trigger();
  const auto shows = [&](int gain) {
    const int top = form_.Canvas().CanvasRect().top(), height = form_.ScaleHeight();
    return Shows(0, 40, height, [&](int x, int y) {
      return Difference(At(a, 40, x, y - top), At(b, 40, x, y - top), gain);
    });
  };
  EXPECT_EQ(shows(1), "") << "the top";
  for (const auto& [key, gainItem, gain] : {std::tuple{Qt::Key_End, "mnuGain1", 1},
                                            std::tuple{Qt::Key_End, "mnuGain4", 4},
                                            std::tuple{Qt::Key_Home, "mnuGain4", 4}}) {
    Item(gainItem).trigger();
    QTest::keyClick(&form_.Canvas(), key);
    EXPECT_EQ(form_.Canvas().CanvasRect().top() < 0, key == Qt::Key_End) << "panned";
    EXPECT_EQ(shows(gain), "") << "gain " << gain << (key == Qt::Key_End ? ", the bottom" : ", the top");
  }
}

TEST_F(CompareTest, ABOfAnotherSizeLiesAtTheTopLeft) {
  const auto planesA = sgi::Pattern(50, 40, 3, 1), planesB = sgi::Pattern(30, 20, 3, 2);
  ASSERT_TRUE(OpenAndCompare(Picture("a.rgb", planesA), Picture("small.rgb", planesB)));
  const auto a = testing_support::Expected(planesA, lumenor::kWorkspaceGrey);
  const auto b = testing_support::Expected(planesB, lumenor::kWorkspaceGrey);
  Item("mnuCompareB").trigger();
  EXPECT_EQ(Shows(0, 50, 40,
                  [&](int x, int y) {
                    return x < 30 && y < 20 ? At(b, 30, x, y) : QRgb(lumenor::kWorkspaceGrey);
                  }),
            "");
  Item("mnuDifference").trigger();
  EXPECT_EQ(Shows(0, 50, 40,
                  [&](int x, int y) {
                    return x < 30 && y < 20 ? Difference(At(a, 50, x, y), At(b, 30, x, y), 1)
                                            : At(a, 50, x, y);
                  }),
            "");
}

TEST_F(CompareTest, TheStatusBarGivesBothPictures) {
  const auto planesA = sgi::Pattern(30, 20, 3, 1), planesB = sgi::Pattern(10, 10, 1, 2);
  ASSERT_TRUE(OpenAndCompare(Picture("a.rgb", planesA), Picture("b.bw", planesB)));
  Item("mnuStatusBar").trigger();
  Item("mnuCompareA").trigger();
  PointAt(3, 4);
  const QString a = QString("A R %1 G %2 B %3")
                        .arg(Stored(planesA, 0, 3, 4))
                        .arg(Stored(planesA, 1, 3, 4))
                        .arg(Stored(planesA, 2, 3, 4));
  EXPECT_EQ(form_.Status()->ValueText(),
            QString("3, 4: %1 | B V %2").arg(a).arg(Stored(planesB, 0, 3, 4)));
  Item("mnuDifference").trigger();
  PointAt(3, 4);
  const int v = Stored(planesB, 0, 3, 4);
  EXPECT_EQ(form_.Status()->ValueText(),
            QString("3, 4: %1 | B V %2 diff R %3 G %4 B %5")
                .arg(a)
                .arg(v)
                .arg(std::abs(Stored(planesA, 0, 3, 4) - v))
                .arg(std::abs(Stored(planesA, 1, 3, 4) - v))
                .arg(std::abs(Stored(planesA, 2, 3, 4) - v)));
  PointAt(20, 15);
  EXPECT_TRUE(form_.Status()->ValueText().endsWith("| B none diff R " +
                                                   QString::number(Stored(planesA, 0, 20, 15)) +
                                                   " G " +
                                                   QString::number(Stored(planesA, 1, 20, 15)) +
                                                   " B " +
                                                   QString::number(Stored(planesA, 2, 20, 15))))
      << form_.Status()->ValueText().toStdString();
}

TEST_F(CompareTest, ABThatCannotBeShownChangesNothing) {
  const QByteArray a = Picture("a.rgb", sgi::Pattern(20, 10, 3));
  form_.OpenFile(a);
  const QByteArray notSgi = Write("notes.rgb", sgi::Bytes(600, 'x'));
  dialogs_.answers.push_back(QString::fromLocal8Bit(notSgi));
  Item("mnuCompareWith").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs_.boxes.empty(); }, 10000));
  EXPECT_EQ(dialogs_.openTitles.last(), "Select a RGB Image");
  EXPECT_EQ(dialogs_.boxes.back().title, "Error");
  EXPECT_EQ(dialogs_.boxes.back().icon, Dialogs::Icon::Critical);
  EXPECT_FALSE(Compare().Comparing());
  EXPECT_FALSE(Item("mnuWipe").isEnabled());
  EXPECT_EQ(form_.windowTitle(), "Lumenor - a.rgb");
}

TEST_F(CompareTest, BFollowsAsFrameNumber) {
  for (const int n : {1, 2, 3}) {
    const std::string name = "a." + std::to_string(n) + ".rgb";
    Picture(name.c_str(), sgi::Pattern(20, 10, 3, n));
  }
  for (const int n : {1, 3}) {  // B lacks frame 2
    const std::string name = "b." + std::to_string(n) + ".rgb";
    Picture(name.c_str(), sgi::Pattern(20, 10, 3, 10 + n));
  }
  ASSERT_TRUE(OpenAndCompare(QByteArray(dir_.path().c_str()) + "/a.1.rgb",
                             QByteArray(dir_.path().c_str()) + "/b.1.rgb"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_.PictureFolder().Listed(); }, 5000));
  Item("mnuCompareB").trigger();
  const auto showsB = [&](int n) {
    const auto b = testing_support::Expected(sgi::Pattern(20, 10, 3, 10 + n), lumenor::kWorkspaceGrey);
    return Shows(0, 20, 10, [&](int x, int y) { return At(b, 20, x, y); });
  };
  EXPECT_EQ(showsB(1), "");
  Item("mnuNext").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_.windowTitle() == "Lumenor - a.2.rgb"; }, 5000));
  QCoreApplication::processEvents();
  EXPECT_EQ(Shows(0, 20, 10, [](int, int) { return QRgb(lumenor::kWorkspaceGrey); }), "")
      << "B lacks frame 2: missing on its side";
  Item("mnuNext").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return showsB(3).empty(); }, 5000)) << showsB(3);
}

// Played, B's frames come with A's from the player, by number.
TEST_F(CompareTest, WhilePlayingBComesWithEachFrame) {
  const QByteArray folder = QByteArray(dir_.path().c_str()) + "/";
  for (const int n : {1, 2, 3, 4}) {
    Picture(("a." + std::to_string(n) + ".rgb").c_str(), sgi::Pattern(20, 10, 3, n));
    if (n != 3) Picture(("b." + std::to_string(n) + ".rgb").c_str(), sgi::Pattern(20, 10, 3, 10 + n));
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))  // written a while ago
    std::filesystem::last_write_time(
        entry.path(), std::filesystem::file_time_type::clock::now() - std::chrono::seconds(5));
  ASSERT_TRUE(OpenAndCompare(folder + "a.1.rgb", folder + "b.1.rgb"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_.PictureFolder().Listed(); }, 5000));
  Item("mnuHeadsUp").trigger();
  Item("mnuCompareB").trigger();
  form_.SetFrameRate(60);
  Item("mnuPlay").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_.windowTitle() == "Lumenor - a.3.rgb"; }, 10000));
  Item("mnuPlay").trigger();  // paused on the frame shown
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form_.FramePlayer().Playing(); }, 5000));
  for (int n = form_.windowTitle().remove("Lumenor - a.").remove(".rgb").toInt(); n >= 1; --n) {
    ASSERT_EQ(form_.windowTitle(), "Lumenor - a." + QString::number(n) + ".rgb");
    const auto b = testing_support::Expected(sgi::Pattern(20, 10, 3, 10 + n), lumenor::kWorkspaceGrey);
    EXPECT_EQ(Shows(0, 20, 10,
                    [&](int x, int y) {
                      return n == 3 ? QRgb(lumenor::kWorkspaceGrey) : At(b, 20, x, y);
                    }),
              "")
        << "frame " << n;
    if (n == 1) break;
    QTest::keyClick(&form_.Canvas(), Qt::Key_Left);  // a frame back
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form_.windowTitle() != "Lumenor - a." + QString::number(n) + ".rgb"; }, 5000));
    QCoreApplication::processEvents();
  }
}

}  // namespace

// Large pictures are made on two cores: every pixel as one shower over the whole picture makes it,
// and the difference as the pixel-by-pixel reading gives it, with the seam between the halves
// (and its neighbours) among them. Odd sizes, so that the halves differ by a row.
TEST(LargeLayers, PicturesMadeInHalvesAsInOne) {
  using lumenor::Pixel;
  constexpr int kWidth = 1031, kHeight = 1077;
  const auto pattern = [](unsigned seed, bool alpha) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<Pixel*>(image.scanLine(y));
      for (int x = 0; x < kWidth; ++x) {
        const auto h = (static_cast<unsigned>(x) * 2654435761u) ^ (static_cast<unsigned>(y) * 40503u + seed);
        row[x] = (h & 0x00FFFFFFu) | (alpha ? (h >> 7 & 0xFF000000u) : 0xFF000000u);
      }
    }
    return image;
  };
  const QImage stored = pattern(1, true), picture = pattern(2, false), other = pattern(3, false);
  const lumenor::Orientation upright;
  const struct {
    const char* what;
    lumenor::Look look;
  } looks[] = {
      {"red, turned right", {lumenor::Channel::kRed, false, upright.RotatedRight()}},
      {"luminance, mirrored", {lumenor::Channel::kLuminance, false, upright.MirroredHorizontally()}},
      {"colour over the checkerboard, turned left",
       {lumenor::Channel::kColour, true, upright.RotatedLeft()}},
  };
  for (const auto& c : looks) {
    Scene scene;
    scene.A().SetPicture(picture, stored);
    scene.SetLook(c.look);
    const auto size = c.look.orientation.Shown({kWidth, kHeight});
    std::vector<Pixel> want(static_cast<std::size_t>(size.width) * size.height);
    lumenor::RowShower().Show(c.look, reinterpret_cast<const Pixel*>(picture.constBits()), kWidth,
                              reinterpret_cast<const lumenor::StoredPixel*>(stored.constBits()),
                              kWidth, kWidth, kHeight, 0, kHeight - 1, want.data(),
                              static_cast<std::size_t>(size.width));
    const QImage& shown = scene.A().Shown();
    ASSERT_EQ(shown.size(), QSize(size.width, size.height)) << c.what;
    for (int y = 0; y < size.height; ++y)
      ASSERT_EQ(std::memcmp(shown.constScanLine(y), want.data() + std::size_t(y) * size.width,
                            std::size_t(size.width) * sizeof(Pixel)),
                0)
          << c.what << ", row " << y;
  }
  for (const int gain : {1, 16}) {
    Scene scene;
    scene.A().SetPicture(picture, QImage());
    scene.B().SetPicture(other, QImage());
    scene.SetCompare({.comparing = true, .mode = lumenor::CompareMode::kDifference, .gain = gain});
    const QImage& difference = scene.Difference();
    ASSERT_EQ(difference.size(), QSize(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const Pixel d = *scene.DifferenceAt({x, y});
        const auto gained = [&](unsigned v) { return std::min(255u, v * unsigned(gain)); };
        const Pixel want = lumenor::MakePixel(gained(lumenor::RedOf(d)), gained(lumenor::GreenOf(d)),
                                              gained(lumenor::BlueOf(d)));
        ASSERT_EQ(reinterpret_cast<const Pixel*>(difference.constScanLine(y))[x] & 0xFFFFFFu,
                  want & 0xFFFFFFu)
            << "gain " << gain << " at (" << x << ", " << y << ")";
      }
  }
}
