// The picture as its file stores it, out of the window: Copy and Export as PNG.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "decode_helpers.h"
#include "picture_test.h"

namespace {

namespace fs = std::filesystem;

TEST_F(PictureTest, CopyOffersThePictureAsStoredAndItsFile) {
  for (unsigned channels = 1; channels <= 4; ++channels) {
    const auto planes = sgi::Pattern(9, 6, channels, channels);
    const QByteArray path = Write("c" + std::to_string(channels) + ".rgb",
                                  sgi::Rle({.name = "copied"}, planes, sgi::Layout::kShuffled));
    form_.OpenFile(path);
    ASSERT_TRUE(Item("mnuCopy").isEnabled());
    Trigger("mnuCopy");
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    // The PNG's bytes and the file's address; no second image of the picture.
    EXPECT_EQ(data->formats(), QStringList({"image/png", "text/uri-list",
                                            "x-special/gnome-copied-files"}));
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(QFile::decodeName(path))});
    // The PNG holds the channels as stored: grey stays grey, alpha is kept, not laid over.
    const QImage png = QImage::fromData(data->data("image/png"), "PNG");
    ASSERT_EQ(png.size(), QSize(9, 6));
    EXPECT_EQ(png.isGrayscale(), channels <= 2) << channels;
    EXPECT_EQ(png.hasAlphaChannel(), channels == 2 || channels == 4) << channels;
    const QImage rgba = png.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 9; ++x) {
        const uchar* have = rgba.constScanLine(y) + 4 * x;
        const bool grey = channels <= 2, alpha = channels == 2 || channels == 4;
        const int want[4] = {Stored(planes, 0, x, y), Stored(planes, grey ? 0 : 1, x, y),
                             Stored(planes, grey ? 0 : 2, x, y),
                             alpha ? Stored(planes, channels - 1, x, y) : 255};
        for (int c = 0; c < 4; ++c)
          ASSERT_EQ(have[c], want[c]) << channels << " channels, (" << x << ", " << y << ")";
      }
  }
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(PictureTest, ExportWritesThePngBesideThePictureAndNeverOverIt) {
  const auto planes = sgi::Pattern(12, 7, 4);
  const QByteArray path = Write("sunset.RGBA", sgi::Rle({.name = "sunset"}, planes));
  form_.OpenFile(path);
  const std::string png = (dir_ / "sunset.png").string();
  dialogs_.answers.push_back(QString::fromStdString(png));
  Trigger("mnuExport");
  EXPECT_EQ(dialogs_.saveTitles, QStringList{"Export as PNG"});
  EXPECT_EQ(dialogs_.initialPaths, QStringList{QString::fromStdString(png)});
  EXPECT_TRUE(dialogs_.boxes.empty());
  QImage written(QString::fromStdString(png));
  ASSERT_EQ(written.size(), QSize(12, 7));
  EXPECT_EQ(written.text("Title"), "sunset");
  EXPECT_EQ(qAlpha(written.pixel(3, 2)), Stored(planes, 3, 3, 2));

  // Over its own file, however named: refused with a box, the file untouched.
  const auto before = fs::file_size(path.constData());
  fs::create_symlink(path.constData(), dir_ / "alias.png");
  dialogs_.answers.push_back(QString::fromStdString((dir_ / "alias.png").string()));
  Trigger("mnuExport");
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_TRUE(dialogs_.boxes[0].text.startsWith("The picture could not be exported:\r\n"));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy pointer outlived the export";
  EXPECT_EQ(fs::file_size(path.constData()), before);
  EXPECT_EQ(fs::read_symlink(dir_ / "alias.png"), fs::path(path.constData()));
}

// Names travel as the file system's bytes: a folder and a file whose names are not UTF-8 are
// offered as addresses that keep their bytes, exported where they lie, and their time is known;
// a name given relative to the working folder is offered as an absolute address.
TEST_F(PictureTest, NamesThatAreNotUtf8AndRelativeNamesKeepTheirBytes) {
  const auto bytes = sgi::Verbatim({.name = "cafe"}, sgi::Pattern(6, 4, 3));
  const QByteArray folder = QByteArray(dir_.path().c_str()) + "/d\xE9";
  fs::create_directory(folder.constData());
  const QByteArray path = folder + "/caf\xE9.rgb";
  Write("d\xE9/caf\xE9.rgb", bytes);
  form_.OpenFile(path);
  Trigger("mnuCopy");
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  const QByteArray address = "file://" + folder.toPercentEncoding("/") + "/caf%E9.rgb";
  EXPECT_EQ(data->data("text/uri-list").trimmed(), address);
  EXPECT_EQ(data->data("x-special/gnome-copied-files"), "copy\n" + address);

  const QByteArray png = folder + "/caf\xE9.png";
  dialogs_.answers.push_back(QFile::decodeName(png));  // the suggestion, as the dialog shows it
  Trigger("mnuExport");
  EXPECT_EQ(dialogs_.initialPaths.last(), QFile::decodeName(png));
  EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.boxes[0].text.toStdString();
  EXPECT_TRUE(fs::exists(png.constData()));

  Item("mnuProperties").trigger();
  ASSERT_EQ(dialogs_.facts.size(), 1);
  for (const auto& [label, value] : dialogs_.facts[0])
    if (label == "Modified") {
      EXPECT_FALSE(value.isEmpty());
    }

  const fs::path working = fs::current_path();
  fs::current_path(folder.constData());
  Write("d\xE9/here.bw", sgi::Verbatim({}, sgi::Pattern(3, 2, 1)));
  form_.OpenFile("./here.bw");
  fs::current_path(working);
  Trigger("mnuCopy");
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/uri-list").trimmed(),
            "file://" + folder.toPercentEncoding("/") + "/here.bw");
}

}  // namespace
