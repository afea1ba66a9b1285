#include "form1.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <filesystem>
#include <fstream>

#include "decode_helpers.h"
#include "fake_dialogs.h"
#include "picture1.h"
#include "pixel_memory.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

class Form1Test : public testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    QCoreApplication::processEvents();
  }

  QString Write(const std::string& name, const sgi::Bytes& bytes) {
    return QString::fromStdString(dir_.Write(name, bytes).string());
  }
  void Open(const QString& path) {
    dialogs_.answers.push_back(path);
    form_.mnuOpen_Click();
  }
  QRgb CanvasPixel(int x, int y) const { return form_.Canvas().Image().pixel(x, y) & 0xFFFFFF; }

  ScratchDir dir_;
  FakeDialogs dialogs_;
  Form1 form_{dialogs_};
};

TEST_F(Form1Test, StartsAsDescribed) {
  EXPECT_EQ(form_.windowTitle(), "Lumenor 1.0 by Vantris");
  EXPECT_EQ(form_.ClientArea().size(), QSize(449, 343));
  EXPECT_EQ(form_.Canvas().CanvasRect(), QRect(0, 0, 25, 19));
  EXPECT_EQ(form_.Canvas().Image().size(), QSize(25, 19));
  EXPECT_EQ(form_.ClientArea().palette().color(form_.ClientArea().backgroundRole()),
            form_.palette().color(QPalette::Dark));
  // The headless tool paints the same grey behind pictures.
  EXPECT_EQ(form_.palette().color(QPalette::Dark).rgb() & 0xFFFFFF,
            lumenor::kWorkspaceGrey & 0xFFFFFF);

  QStringList menu;
  for (QAction* top : form_.menuBar()->actions()) {
    menu << top->text();
    for (QAction* item : top->menu()->actions()) menu << (item->isSeparator() ? "-" : item->text());
  }
  // The described menus, with what walking, playing and looking closer added to them.
  EXPECT_EQ(menu.join('|'),
            "&File|&Open|Co&mpare With...|&Stop Comparing|E&xport as PNG...|P&roperties|-|"
            "&Exit|&Edit|&Copy|Pr&eferences...|"
            "&View|Zoom &In|"
            "Zoom &Out|&Actual Size|&Fit to Window|-|&Status Bar|F&ull Screen|&Timeline|"
            "&Heads-Up Display|-|&Reload|-|&Compare|Cha&nnels|Chec&kerboard|-|Rotate Ri&ght|"
            "Rotate &Left|&Mirror Horizontally|Mirror &Vertically|R&eset Orientation|&Go|&Next Picture|&Previous Picture|&First Picture|"
            "&Last Picture|-|Pl&ay|Play &Backwards|Set &In Point|Set &Out Point|Loop &Mode|"
            "Frame &Rate|&Help|&About...");
  // Nothing that needs a picture before there is one; no status bar, nothing remembered.
  for (const char* name : {"mnuExport", "mnuProperties", "mnuCopy", "mnuNext", "mnuReload",
                           "mnuCompareWith", "mnuStopComparing", "mnuWipe", "keyFlip"})
    EXPECT_FALSE(form_.findChild<QAction*>(name)->isEnabled()) << name;
  EXPECT_EQ(form_.Status(), nullptr);
  EXPECT_TRUE(form_.CurrentZoom() == lumenor::Zoom{});
}

TEST_F(Form1Test, CanvasOperations) {
  Picture1& canvas = form_.Canvas();
  ASSERT_TRUE(canvas.SetSize(10, 4));
  canvas.Clear();
  canvas.SetPixel(2, 1, lumenor::MakeColour(1, 2, 3));
  canvas.SetPixel(10, 1, lumenor::MakeColour(9, 9, 9));  // outside: dropped
  canvas.SetPixel(-1, 0, lumenor::MakeColour(9, 9, 9));
  EXPECT_EQ(canvas.GetPixel(2, 1), 0x030201u);  // red in the low byte
  EXPECT_EQ(CanvasPixel(2, 1), 0x010203u);
  canvas.FillSpan(7, 3, 10, lumenor::MakeColour(200, 0, 0));  // clipped at the right edge
  canvas.FillSpan(-3, 2, 5, lumenor::MakeColour(0, 200, 0));  // and at the left
  canvas.FillSpan(0, 9, 5, lumenor::MakeColour(0, 0, 200));   // below: nothing
  EXPECT_EQ(canvas.GetPixel(6, 3),
            lumenor::PixelToColour(form_.palette().color(QPalette::Dark).rgb()));
  EXPECT_EQ(canvas.GetPixel(9, 3), lumenor::MakeColour(200, 0, 0));
  EXPECT_EQ(canvas.GetPixel(1, 2), lumenor::MakeColour(0, 200, 0));
  EXPECT_EQ(canvas.GetPixel(2, 2),
            lumenor::PixelToColour(form_.palette().color(QPalette::Dark).rgb()));
  // Resizing keeps what overlaps.
  ASSERT_TRUE(canvas.SetSize(3, 2));
  EXPECT_EQ(canvas.GetPixel(2, 1), 0x030201u);
  EXPECT_EQ(canvas.CanvasRect().size(), QSize(3, 2));
}

TEST_F(Form1Test, CancelLeavesEverythingUntouched) {
  Open(Write("a.rgb", sgi::Verbatim({.name = "first"}, sgi::Pattern(40, 30, 3))));
  const QImage before = form_.Canvas().Image();
  dialogs_.answers.push_back(QString());
  form_.mnuOpen_Click();
  EXPECT_EQ(form_.Canvas().Image(), before);
  EXPECT_EQ(form_.windowTitle(), "Lumenor - first");
  EXPECT_TRUE(form_.OpenItem().isEnabled());
  EXPECT_EQ(dialogs_.beeps, 1);
}

TEST_F(Form1Test, SuccessfulOpen) {
  const auto planes = sgi::Pattern(600, 450, 3);
  const QString path = Write("sunset.rgb", sgi::Rle({.name = "sunset"}, planes));
  form_.Canvas().Move(-100, -50);
  Open(path);
  EXPECT_EQ(dialogs_.openTitles, QStringList{"Select a RGB Image"});
  EXPECT_EQ(dialogs_.openFilters,
            QStringList{"RGB Images (*.bw, *.rgb)|*.bw; *.rgb|All SGI Images (*.bw *.int *.inta "
                        "*.rgb *.rgba *.sgi)|*.bw; *.int; *.inta; *.rgb; *.rgba; *.sgi|All Files "
                        "(*)|*"});
  EXPECT_EQ(form_.windowTitle(), "Lumenor - sunset");
  EXPECT_EQ(form_.Canvas().CanvasRect(), QRect(-100, -50, 600, 450));  // still covers: kept
  EXPECT_TRUE(form_.OpenItem().isEnabled());
  EXPECT_EQ(dialogs_.beeps, 1);
  EXPECT_TRUE(dialogs_.boxes.empty());
  const auto want = testing_support::Expected(planes, 0);
  for (int y = 0; y < 450; ++y)
    for (int x = 0; x < 600; ++x)
      ASSERT_EQ(CanvasPixel(x, y), want[y * 600 + x] & 0xFFFFFF) << x << "," << y;
  // The file chosen last is offered again.
  dialogs_.answers.push_back(QString());
  form_.mnuOpen_Click();
  EXPECT_EQ(dialogs_.initialNames.last(), path);
}

TEST_F(Form1Test, ANewPictureIsPulledBackIntoView) {
  struct Case {
    QPoint before;  // where a 1000 x 800 canvas was panned to
    int width, height;
    QPoint after;
  };
  const Case cases[] = {
      {{-551, -457}, 37, 5, {0, 0}},            // wholly outside otherwise
      {{-551, -457}, 1000, 800, {-551, -457}},  // the same picture again: the view is kept
      {{-551, -457}, 700, 500, {-251, -157}},   // flush with the right and bottom edges
      {{-100, -20}, 300, 800, {0, -20}},        // only a gap on the right
      {{0, 0}, 37, 5, {0, 0}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(form_.Canvas().SetSize(1000, 800));
    form_.Canvas().Move(c.before.x(), c.before.y());
    Open(Write("p.rgb", sgi::Verbatim({}, sgi::Pattern(c.width, c.height, 1))));
    EXPECT_EQ(form_.Canvas().CanvasRect(), QRect(c.after, QSize(c.width, c.height)))
        << c.width << "x" << c.height;
  }
}

TEST_F(Form1Test, RejectedHeaderClearsCanvasKeepsSizeAndTitle) {
  Open(Write("a.rgb", sgi::Verbatim({.name = "first"}, sgi::Pattern(40, 30, 3))));
  auto bad = sgi::EncodeHeader({.xsize = 300, .ysize = 200, .zsize = 3});
  sgi::PutWord(bad, 0, 0xDA01);
  Open(Write("bad.rgb", bad));
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].title, "Error");
  EXPECT_EQ(dialogs_.boxes[0].icon, Dialogs::Icon::Critical);
  EXPECT_EQ(dialogs_.boxes[0].text, "Header doesn't check out: -9727");
  EXPECT_EQ(form_.windowTitle(), "Lumenor - first");
  EXPECT_EQ(form_.Canvas().CanvasRect().size(), QSize(40, 30));
  EXPECT_EQ(CanvasPixel(5, 5), form_.palette().color(QPalette::Dark).rgb() & 0xFFFFFF);  // cleared
  EXPECT_EQ(dialogs_.beeps, 2);
  EXPECT_TRUE(form_.OpenItem().isEnabled());
}

TEST_F(Form1Test, ReadErrorsReEnableOpen) {
  Open(QString::fromStdString((dir_ / "missing.rgb").string()));
  Open(QString::fromStdString(dir_.path().string()));
  ASSERT_EQ(dialogs_.boxes.size(), 2u);
  for (const auto& box : dialogs_.boxes)
    EXPECT_TRUE(box.text.startsWith("There was an error reading the file:\r\n"));
  EXPECT_FALSE(fs::exists(dir_ / "missing.rgb"));
  EXPECT_TRUE(form_.OpenItem().isEnabled());
  EXPECT_EQ(dialogs_.beeps, 2);
}

// A drag of what mime holds over the window, dropped when it is accepted; whether it was.
bool DragAndDrop(Form1& form, QMimeData& mime) {
  const QPoint at(100, 100);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &drop);
  QCoreApplication::processEvents();
  return drop.isAccepted();
}

TEST_F(Form1Test, DropsOfOneLocalFileOpenIt) {
  const auto bytes = sgi::Verbatim({.name = "dropped"}, sgi::Pattern(5, 4, 1));
  const QString plain = Write("drop me.bw", bytes);
  const std::string raw = (dir_ / "caf\xE9.bw").string();  // a name that is not UTF-8
  std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 512 + 20);
  const auto url = [](const QString& path) { return QUrl::fromLocalFile(path); };
  struct Case {
    const char* what;
    QList<QUrl> urls;
    QString text;
    bool taken;
  };
  const Case cases[] = {
      {"one file", {url(plain)}, {}, true},
      {"a file on another host",
       {QUrl("file://otherhost" + QUrl::fromLocalFile(plain).path())},
       {},
       false},
      {"a file on localhost",
       {QUrl("file://localhost" + QUrl::fromLocalFile(plain).path())},
       {},
       true},
      {"a name that is not UTF-8",
       {QUrl::fromEncoded("file://" + QByteArray(raw.c_str()).toPercentEncoding("/"))},
       {},
       true},
      {"two files", {url(plain), url(plain)}, {}, false},
      {"a folder", {url(QString::fromStdString(dir_.path().string()))}, {}, false},
      {"a remote address", {QUrl("https://example.org/a.rgb")}, {}, false},
      {"text", {}, plain, false},
  };
  for (const auto& c : cases) {
    form_.setWindowTitle("before");
    QMimeData mime;
    if (!c.urls.isEmpty()) mime.setUrls(c.urls);
    if (!c.text.isEmpty()) mime.setText(c.text);
    EXPECT_EQ(DragAndDrop(form_, mime), c.taken) << c.what;
    EXPECT_EQ(form_.windowTitle(), c.taken ? "Lumenor - dropped" : "before") << c.what;
  }
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_EQ(dialogs_.beeps, 3);
  EXPECT_TRUE(dialogs_.openTitles.isEmpty());  // no file dialog on the way
  // The file dialog then starts at the picture dropped last.
  dialogs_.answers.push_back(QString());
  form_.mnuOpen_Click();
  EXPECT_EQ(dialogs_.initialNames.last(), QFile::decodeName(QByteArray(raw.c_str())));
}

// A source that offers copy, move and link (and whose user holds Shift, which asks for a move) is
// told its file was copied: some sources delete the original after a move.
TEST_F(Form1Test, ADropIsTakenAsACopyNeverAMove) {
  const QString path = Write("kept.bw", sgi::Verbatim({.name = "kept"}, sgi::Pattern(5, 4, 1)));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  const QPoint at(100, 100);
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
  ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
  QCoreApplication::sendEvent(&form_, &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
  QDropEvent drop(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
  QCoreApplication::sendEvent(&form_, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
  QCoreApplication::processEvents();
  EXPECT_EQ(form_.windowTitle(), "Lumenor - kept");
  // A source that offers only a move is refused: nothing of its file is promised to it.
  QDragEnterEvent moveOnly(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form_, &moveOnly);
  EXPECT_FALSE(moveOnly.isAccepted());
}

// The command line's picture is opened once the window is on screen, so that a box it brings is
// shown over the window, not before it.
TEST(Form1Start, TheCommandLinesBoxComesOnceTheWindowIsOnScreen) {
  FakeDialogs dialogs;
  Form1 form(dialogs);
  bool windowWasUp = false;
  dialogs.onBox = [&] {
    windowWasUp = form.isVisible() && form.windowHandle() && form.windowHandle()->isExposed();
  };
  form.OpenFileSoon(QFile::encodeName(QDir::tempPath()));  // a folder: refused with a box
  QCoreApplication::processEvents();
  form.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.boxes.empty(); }, 5000));
  EXPECT_TRUE(windowWasUp);
  EXPECT_TRUE(dialogs.boxes[0].text.startsWith("There was an error reading the file:\r\n"));
}

TEST_F(Form1Test, DropsDuringALoadAreRefused) {
  const QString big = Write("tall.bw", sgi::Verbatim({}, sgi::Pattern(64, 2000, 1)));
  const QString small = Write("small.bw", sgi::Verbatim({.name = "small"}, sgi::Pattern(3, 3, 1)));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(small)});
  int refused = 0, tries = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++tries;
    refused += DragAndDrop(form_, mime) ? 0 : 1;
  });
  timer.start(0);
  Open(big);
  timer.stop();
  ASSERT_GT(tries, 0);
  EXPECT_EQ(refused, tries);
  QCoreApplication::processEvents();
  EXPECT_EQ(form_.windowTitle(), "Lumenor - test");  // nothing was queued for after the load
  EXPECT_TRUE(DragAndDrop(form_, mime));             // and now it is taken
  EXPECT_EQ(form_.windowTitle(), "Lumenor - small");

  // A load waiting to start (the command line's) refuses drops as a running one does.
  form_.OpenFileSoon(QFile::encodeName(big));
  EXPECT_FALSE(form_.OpenItem().isEnabled());
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form_, &enter);
  EXPECT_FALSE(enter.isAccepted());
  QCoreApplication::processEvents();
  EXPECT_EQ(form_.windowTitle(), "Lumenor - test");
}

TEST_F(Form1Test, ANewPictureReplacesTheOldOneRatherThanJoiningIt) {
  const sgi::Bytes bytes = sgi::Verbatim({}, sgi::Pattern(2000, 1500, 1));
  const std::size_t picture = 2000u * 1500u * sizeof(lumenor::Pixel);
  Open(Write("first.bw", bytes));
  lumenor::ResetPeakPixelBytes();
  Open(Write("second.bw", bytes));
  EXPECT_TRUE(dialogs_.boxes.empty());
  // Never two backing images at once (the old is all background once the load clears it).
  EXPECT_LT(lumenor::PeakPixelBytes(), picture + picture / 4);
}

TEST_F(Form1Test, AboutBox) {
  form_.mnuAbout_Click();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].title, "About...");
  EXPECT_EQ(dialogs_.boxes[0].icon, Dialogs::Icon::Information);
  const QStringList lines = dialogs_.boxes[0].text.split("\r\n");
  ASSERT_EQ(lines.size(), 6);
  EXPECT_TRUE(lines[0].startsWith("Lumenor 1.0 by Vantris ("));
  EXPECT_TRUE(lines[0].endsWith(")"));
  EXPECT_TRUE(lines[0].contains('@'));
  EXPECT_TRUE(lines[1].contains("RGB") && lines[1].contains("BW"));
  EXPECT_TRUE(lines[2].isEmpty());
  EXPECT_TRUE(lines[3].contains("2003"));
  EXPECT_TRUE(lines[4].isEmpty());
  EXPECT_TRUE(lines[5].startsWith("https://"));
  EXPECT_FALSE(dialogs_.boxes[0].text.contains(QRegularExpression("[^\r]\n")));
}

TEST_F(Form1Test, WindowStaysLiveDuringALoadAndOpenStaysDisabled) {
  const QString path = Write("tall.bw", sgi::Verbatim({}, sgi::Pattern(64, 400, 1)));
  int ticks = 0;
  bool openWasEnabled = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    openWasEnabled |= form_.OpenItem().isEnabled();
    form_.mnuOpen_Click();  // ignored: loads never nest
  });
  timer.start(0);
  Open(path);
  timer.stop();
  EXPECT_GT(ticks, 0);
  EXPECT_FALSE(openWasEnabled);
  EXPECT_EQ(dialogs_.openTitles.size(), 1);
  EXPECT_TRUE(form_.OpenItem().isEnabled());
}

TEST_F(Form1Test, ExitInTheMiddleOfALoadEndsItAtTheNextProgressPoint) {
  for (const auto& bytes :
       {sgi::Verbatim({}, sgi::Pattern(64, 3000, 3)), sgi::Rle({}, sgi::Pattern(64, 3000, 4))}) {
    FakeDialogs dialogs;
    auto form = std::make_unique<Form1>(dialogs);
    form->show();
    const QString path = Write("big.rgb", bytes);
    dialogs.answers.push_back(path);
    QTimer::singleShot(0, form.get(), [&] { form->findChild<QAction*>("mnuExit")->trigger(); });
    form->mnuOpen_Click();
    EXPECT_TRUE(form->Ending());
    EXPECT_FALSE(form->Loading());
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(dialogs.beeps, 0);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(form->Canvas().Image().pixel(0, 0),
              form->palette().color(QPalette::Dark).rgb());  // top never reached
    form.reset();  // the window goes; nothing of the load may touch it afterwards
  }
}

TEST_F(Form1Test, CloseBoxDuringALoadEndsItToo) {
  const QString path = Write("big.bw", sgi::Rle({}, sgi::Pattern(64, 3000, 1)));
  QTimer::singleShot(0, &form_, [&] { form_.close(); });
  Open(path);
  EXPECT_TRUE(form_.Ending());
  EXPECT_EQ(dialogs_.beeps, 0);
}

}  // namespace
