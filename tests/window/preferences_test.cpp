// Edit > Preferences: pictures of 16 bits a channel are refused as the described program refuses
// them until chosen; then they open, show their values at 16 bits and go out as 16-bit PNGs. A
// setting is written only when it is changed.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <cmath>

#include "decode_helpers.h"
#include "picture_test.h"
#include "player.h"
#include "status_readout.h"

namespace {

TEST_F(PictureTest, SixteenBitPicturesWhenChosen) {
  const auto planes = sgi::Pattern16(20, 10, 3, 5);
  const QByteArray path = Write("deep.rgb", sgi::Rle16({.bpc = 2, .name = "deep"}, planes));
  const QString settingsFile = QSettings("lumenor", "lumenor").fileName();

  // Off: the described program's box.
  form_.OpenFile(path);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Unsupported bytes per component:  2");

  // Preferences shown and left as they were: nothing is written.
  dialogs_.preferences = std::nullopt;
  Item("mnuPreferences").trigger();
  ASSERT_EQ(dialogs_.preferencesShown.size(), 1u);
  EXPECT_FALSE(dialogs_.preferencesShown[0].sixteenBit);
  EXPECT_EQ(dialogs_.preferencesShown[0].cacheMiB, Player::DefaultCacheBytes() >> 20);
  dialogs_.preferences = dialogs_.preferencesShown[0];
  Item("mnuPreferences").trigger();
  EXPECT_FALSE(QFile::exists(settingsFile)) << "nothing changed, nothing written";

  // On: kept, and the picture opens with its values narrowed to 8 bits on screen.
  dialogs_.preferences = Preferences{true, 512};
  Item("mnuPreferences").trigger();
  EXPECT_TRUE(QSettings("lumenor", "lumenor").value("pictures/sixteenBit").toBool());
  EXPECT_EQ(QSettings("lumenor", "lumenor").value("play/cacheMiB").toULongLong(), 512u);
  EXPECT_EQ(form_.FramePlayer().CacheBytes(), std::size_t{512} << 20);
  form_.OpenFile(path);
  EXPECT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(form_.windowTitle(), "Lumenor - deep");
  const auto narrow = [](unsigned v) { return static_cast<int>(std::lround(v * 255.0 / 65535)); };
  const auto stored = [&](unsigned c, int x, int y) {
    return planes.at(c, planes.height - 1 - static_cast<unsigned>(y), static_cast<unsigned>(x));
  };
  const QRgb shown = form_.Canvas().Image().pixel(7, 3);
  EXPECT_EQ(qRed(shown), narrow(stored(0, 7, 3)));
  EXPECT_EQ(qGreen(shown), narrow(stored(1, 7, 3)));
  EXPECT_EQ(qBlue(shown), narrow(stored(2, 7, 3)));

  // The status bar gives the stored values; Properties says two bytes a channel.
  Item("mnuStatusBar").trigger();
  PointAt(7, 3);
  EXPECT_EQ(form_.Status()->ValueText(), QStringLiteral("7, 3: R %1 G %2 B %3")
                                             .arg(stored(0, 7, 3))
                                             .arg(stored(1, 7, 3))
                                             .arg(stored(2, 7, 3)));
  Item("mnuProperties").trigger();
  ASSERT_EQ(dialogs_.facts.size(), 1);
  EXPECT_TRUE(dialogs_.facts[0].contains({"Bytes per channel", "2"}));

  // Copy gives a 16-bit PNG of the stored values.
  Trigger("mnuCopy");
  const QImage png = QImage::fromData(QGuiApplication::clipboard()->mimeData()->data("image/png"));
  ASSERT_EQ(png.size(), QSize(20, 10));
  EXPECT_EQ(png.depth(), 64) << "16 bits a channel";
  const QRgba64 pixel = png.convertToFormat(QImage::Format_RGBX64).pixelColor(7, 3).rgba64();
  EXPECT_EQ(pixel.red(), stored(0, 7, 3));
  EXPECT_EQ(pixel.blue(), stored(2, 7, 3));
}

}  // namespace
