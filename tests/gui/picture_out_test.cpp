// The picture as its file stores it, out of the window: Copy, Export as PNG, Properties and the
// status bar's values under the pointer.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "decode_helpers.h"
#include "fake_dialogs.h"
#include "folder.h"
#include "form1.h"
#include "picture1.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

class PictureOutTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    QCoreApplication::processEvents();
  }
  QByteArray Write(const std::string& name, const sgi::Bytes& bytes) {
    return QByteArray(dir_.Write(name, bytes).c_str());
  }
  QAction& Item(const char* name) { return *form_.findChild<QAction*>(name); }
  // Copy and Export encode on a thread of their own: until they are done, neither can be chosen.
  void Trigger(const char* name) {
    Item(name).trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Item("mnuCopy").isEnabled(); }, 10000));
    QCoreApplication::processEvents();
  }
  // The pointer at the centre of picture pixel (x, y), at 100 % with the canvas at (0, 0).
  void PointAt(int x, int y) {
    const QPointF at = QPointF(x + 0.5, y + 0.5) / form_.Canvas().devicePixelRatioF();
    QMouseEvent move(QEvent::MouseMove, at, form_.Canvas().mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form_.Canvas(), &move);
  }

  ScratchDir dir_;
  FakeDialogs dialogs_;
  Form1 form_{dialogs_};
};

// 1234567 as "1,234,567".
QString Grouped(std::size_t value) {
  QString digits = QString::number(value);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, ',');
  return digits;
}

// The value of channel c at picture pixel (x, y) (y from the top) of planes.
int Stored(const sgi::Planes& planes, unsigned c, int x, int y) {
  return planes.at(c, planes.height - 1 - static_cast<unsigned>(y), static_cast<unsigned>(x));
}

TEST_F(PictureOutTest, CopyOffersThePictureAsStoredAndItsFile) {
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

TEST_F(PictureOutTest, ExportWritesThePngBesideThePictureAndNeverOverIt) {
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
TEST_F(PictureOutTest, NamesThatAreNotUtf8AndRelativeNamesKeepTheirBytes) {
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

TEST_F(PictureOutTest, PropertiesOfARunLengthRgbaFile) {
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

TEST_F(PictureOutTest, TheStatusBarShowsTheStoredValuesUnderThePointer) {
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
