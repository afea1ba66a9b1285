// What the window says of a picture: Properties and the status bar's values under the pointer.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTest>
#include <filesystem>

#include "picture_test.h"
#include "status_readout.h"

namespace {

TEST_F(PictureTest, PropertiesOfARunLengthRgbaFile) {
  sgi::Header header{.name = std::string("grass\x01\xE9") + "/plate"};
  auto bytes = sgi::Rle(header, sgi::Pattern(300, 200, 4));
  sgi::PutLong(bytes, 12, 3);    // PIXMIN
  sgi::PutLong(bytes, 16, 240);  // PIXMAX
  sgi::PutLong(bytes, 104, 1);   // COLORMAP: dithered
  const QByteArray path = Write("grass.rgba", bytes);
  form_.OpenFile(path);
  Item("mnuProperties").trigger();
  ASSERT_EQ(dialogs_.facts.size(), 1);
  EXPECT_EQ(dialogs_.factTitles, QStringList{"Properties"});
  QStringList lines;
  for (const auto& [label, value] : dialogs_.facts[0]) lines << label + ": " + value;
  const QStringList want = {
      "File name: grass.rgba",
      "Folder: " + QString::fromStdString(dir_.path().string()),
      "File size: " + Grouped(bytes.size()) + " bytes",
      "Size: 300 x 200 pixels",
      "Channels: 4 (RGBA)",
      "Storage: run-length",
      "Bytes per channel: 1",
      "Dimension: 3",
      "Pixel range: 3 to 240",
      "Colour map: dithered",
      "Image name: grass\\x01\u00E9/plate",  // as the title shows it, controls written out
  };
  for (const QString& line : want)
    EXPECT_TRUE(lines.contains(line))
        << line.toStdString() << "\n in " << lines.join('\n').toStdString();
  EXPECT_TRUE(lines.last().startsWith("Packed size: " + Grouped(bytes.size() - 512) +
                                      " bytes packed, 240,000 unpacked ("))
      << lines.last().toStdString();
}

TEST_F(PictureTest, TheStatusBarShowsTheStoredValuesUnderThePointer) {
  const QString settingsFile = QSettings("lumenor", "lumenor").fileName();
  ASSERT_FALSE(QFile::exists(settingsFile)) << "nothing is remembered before it is chosen";
  Item("mnuStatusBar").trigger();
  ASSERT_NE(form_.Status(), nullptr);
  EXPECT_TRUE(QSettings("lumenor", "lumenor").value("view/statusBar").toBool());
  const char* const kinds[] = {"V", "V A", "R G B", "R G B A"};
  for (unsigned channels = 1; channels <= 4; ++channels) {
    const auto planes = sgi::Pattern(20, 10, channels, 3 + channels);
    const std::string name = "s" + std::to_string(channels) + ".rgb";
    form_.OpenFile(Write(name, channels % 2 ? sgi::Verbatim({}, planes)
                                            : sgi::Rle({}, planes, sgi::Layout::kPlanar)));
    // Once the folder's new file is listed.
    const std::string facts = name + "   " + std::to_string(channels) + " of " +
                              std::to_string(channels) + "   20 x 10   100 %";
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return form_.Status()->Text().toStdString() == facts; }, 5000))
        << form_.Status()->Text().toStdString();
    PointAt(13, 4);
    QString want = "13, 4:";
    const QStringList labels = QString(kinds[channels - 1]).split(' ');
    for (unsigned c = 0; c < channels; ++c)
      want += " " + labels[c] + " " + QString::number(Stored(planes, c, 13, 4));
    EXPECT_EQ(form_.Status()->ValueText().toStdString(), want.toStdString());
    PointAt(25, 4);  // off the picture
    EXPECT_EQ(form_.Status()->ValueText().toStdString(), "");
  }
  // A file that changed since it was loaded is not read as if it were the picture shown.
  dir_.Write("s4.rgb", sgi::Verbatim({}, sgi::Pattern(20, 10, 1)));
  PointAt(1, 1);
  EXPECT_EQ(form_.Status()->ValueText().toStdString(), "1, 1: file changed");
}

}  // namespace
