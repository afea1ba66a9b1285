// Walking the picture's folder from the window: the Go menu and the keys, its ends, trouble on
// the way, steps during a load, and a picture that follows its file.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <filesystem>

#include "completeness.h"
#include "decode_helpers.h"
#include "fake_dialogs.h"
#include "folder.h"
#include "form1.h"
#include "picture1.h"
#include "pixel_memory.h"
#include "player.h"
#include "scratch_dir.h"
#include "status_readout.h"

namespace {

namespace fs = std::filesystem;

class WalkTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    QCoreApplication::processEvents();
  }
  // A picture whose image name is its file name without the extension.
  void Picture(const std::string& name, unsigned width = 40, unsigned height = 30) {
    dir_.Write(name, sgi::Verbatim({.name = name.substr(0, name.find('.'))},
                                   sgi::Pattern(width, height, 1)));
  }
  QByteArray Path(const std::string& name) { return QByteArray((dir_ / name).c_str()); }
  // Opens a picture as File > Open does and waits for its folder's list.
  void Open(const std::string& name) {
    form_.OpenFile(Path(name));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_.PictureFolder().Listed(); }, 5000));
    Settle();
  }
  // Lets steps, which run from the event loop, and their loads finish.
  void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_.Loading(); }, 5000));
    QCoreApplication::processEvents();
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&form_.Canvas(), static_cast<Qt::Key>(key), modifiers);
    Settle();
  }
  QAction& Item(const char* name) { return *form_.findChild<QAction*>(name); }
  QString Shown() { return form_.windowTitle().remove("Lumenor - "); }

  ScratchDir dir_;
  FakeDialogs dialogs_;
  Form1 form_{dialogs_};
};

TEST_F(WalkTest, KeysWalkWhenNothingIsLeftToPanAndStopAtTheEnds) {
  for (const char* name : {"pic1.bw", "pic2.bw", "pic10.bw", "zed.bw"}) Picture(name);
  Picture("pic3.bw", 2000, 1500);  // larger than the window
  EXPECT_FALSE(Item("mnuNext").isEnabled()) << "nothing came from a file yet";
  EXPECT_FALSE(Item("mnuFirst").isEnabled());
  Open("pic1.bw");
  struct Step {
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* shown;
  };
  const Step steps[] = {
      {Qt::Key_Right, Qt::NoModifier, "pic2"},      {Qt::Key_Right, Qt::NoModifier, "pic3"},
      {Qt::Key_Right, Qt::NoModifier, "pic3"},  // too wide: it pans
      {Qt::Key_End, Qt::NoModifier, "pic3"},    // pans to the far corner
      {Qt::Key_Space, Qt::NoModifier, "pic10"},     {Qt::Key_End, Qt::NoModifier, "zed"},
      {Qt::Key_Space, Qt::NoModifier, "zed"},  // the last: no wrap
      {Qt::Key_Backspace, Qt::NoModifier, "pic10"}, {Qt::Key_Home, Qt::NoModifier, "pic1"},
      {Qt::Key_Left, Qt::NoModifier, "pic1"},  // the first
      {Qt::Key_End, Qt::ControlModifier, "zed"},    {Qt::Key_Home, Qt::ControlModifier, "pic1"},
      {Qt::Key_Down, Qt::NoModifier, "pic1"},  // only pans
  };
  int i = 0;
  for (const auto& s : steps) {
    Key(s.key, s.modifiers);
    EXPECT_EQ(Shown(), s.shown) << "step " << i++;
  }
  EXPECT_FALSE(Item("mnuPrevious").isEnabled());
  EXPECT_TRUE(Item("mnuNext").isEnabled());
  EXPECT_EQ(form_.PictureFolder().Position(), 0);
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(WalkTest, GoesOnPastBrokenAndDeletedFiles) {
  Picture("a1.bw");
  dir_.Write("a2.bw", sgi::EncodeHeader({.storage = 2}));  // refused
  Picture("a3.bw");
  Picture("a4.bw");
  Picture("a5.bw");
  Open("a1.bw");
  Item("mnuNext").trigger();
  Settle();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Unsupported compression flag:  2");
  EXPECT_EQ(Shown(), "a1") << "a refused header leaves the title";
  EXPECT_EQ(form_.PictureFolder().Position(), 1) << "but the walk moves on to it";
  Item("mnuNext").trigger();
  Settle();
  EXPECT_EQ(Shown(), "a3");
  fs::remove(dir_ / "a4.bw");
  Item("mnuNext").trigger();
  Settle();
  EXPECT_EQ(Shown(), "a5") << "a file deleted since the listing is skipped";
  EXPECT_TRUE(form_.OpenItem().isEnabled());
}

TEST_F(WalkTest, AStepDuringALoadEndsItAndOpensOnlyTheLatest) {
  for (const char* name : {"t1.bw", "t2.bw", "t3.bw", "t4.bw", "t5.bw"}) Picture(name, 64, 4000);
  Open("t1.bw");
  const int beeps = dialogs_.beeps;
  int presses = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (form_.Loading() && presses < 3) {
      ++presses;
      QTest::keyClick(&form_.Canvas(), Qt::Key_Space);
    }
  });
  timer.start(0);
  Item("mnuNext").trigger();
  Settle();
  timer.stop();
  ASSERT_EQ(presses, 3);
  EXPECT_EQ(Shown(), "t5") << "the picture the keys reached";
  EXPECT_EQ(dialogs_.beeps, beeps + 1) << "loads ended early do not beep";
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_TRUE(form_.OpenItem().isEnabled());
}

// A file rewritten while it loads is loaded again once the load is done, never restarted; the
// program's own reload is quiet.
TEST_F(WalkTest, AFileChangedDuringItsLoadIsReloadedAfterIt) {
  Picture("slow.bw", 64, 4000);
  Open("slow.bw");
  const int beeps = dialogs_.beeps;
  int changes = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (form_.Loading() && changes < 3) {
      if (++changes == 1)
        dir_.Write("slow.bw", sgi::Verbatim({.name = "rewritten"}, sgi::Pattern(64, 4000, 1, 5)));
      emit form_.PictureFolder().currentFileChanged();
    }
  });
  timer.start(0);
  Item("mnuReload").trigger();
  Settle();
  timer.stop();
  ASSERT_EQ(changes, 3);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Shown() == "rewritten"; }, 5000));
  EXPECT_EQ(dialogs_.beeps, beeps + 1) << "the load ran to its end; the reload after it is quiet";
  EXPECT_TRUE(dialogs_.boxes.empty());
}

// A writer that empties the file first (a shell redirect, a program rewriting it in place): the
// reload the program starts by itself shows no box and keeps the last good picture, and the
// finished file is shown when it comes.
TEST_F(WalkTest, AnAutomaticReloadOfAFileBeingWrittenKeepsTheLastGoodPicture) {
  Picture("render.bw", 300, 200);
  Open("render.bw");
  Item("mnuStatusBar").trigger();
  const QImage before = form_.Canvas().Image().copy();
  const int beeps = dialogs_.beeps;
  struct Step {
    const char* what;
    sgi::Bytes bytes;
  };
  const Step steps[] = {
      {"empty", {}},
      {"refused", sgi::EncodeHeader({.magic = 0})},
      {"a row that overflows",
       [] {
         const auto planes = sgi::Pattern(300, 200, 3);
         std::vector<sgi::Bytes> rows;
         for (unsigned c = 0; c < 3; ++c)
           for (unsigned r = 0; r < 200; ++r)
             rows.push_back(sgi::EncodeRleRow(planes.row(c, r), 300));
         const std::vector<std::uint8_t> wide(301, 7);
         rows[150] = sgi::EncodeRleRow(wide.data(), wide.size());  // 301 values in a row of 300
         return sgi::RleFromRows({.xsize = 300, .ysize = 200, .zsize = 3, .name = "broken"}, rows,
                                 sgi::Layout::kBottomFirst);
       }()},
  };
  for (const Step& step : steps) {
    dir_.Write("render.bw", step.bytes);
    emit form_.PictureFolder().currentFileChanged();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form_.Status()->Text().startsWith("render.bw   being written   "); }, 5000))
        << step.what << ": " << form_.Status()->Text().toStdString();
    EXPECT_TRUE(dialogs_.boxes.empty()) << step.what;
    EXPECT_EQ(form_.Canvas().Image(), before) << step.what;
    EXPECT_EQ(Shown(), "render") << step.what;
    EXPECT_TRUE(form_.OpenItem().isEnabled());
  }
  // Written half-way: the header and the first rows, the rest to come.
  const auto finished = sgi::Verbatim({.name = "finished"}, sgi::Pattern(300, 200, 1, 4));
  dir_.Write("render.bw", sgi::Bytes(finished.begin(), finished.begin() + 512 + 300 * 80));
  emit form_.PictureFolder().currentFileChanged();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return form_.Status()->Text().startsWith("render.bw   being written   "); }, 5000));
  EXPECT_EQ(form_.Canvas().Image(), before) << "an incomplete file waits for the rest";
  dir_.Write("render.bw", finished);
  emit form_.PictureFolder().currentFileChanged();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() == "finished"; }, 5000));
  EXPECT_FALSE(form_.Status()->Text().contains("being written"));
  const auto want = testing_support::Expected(sgi::Pattern(300, 200, 1, 4), 0);
  EXPECT_EQ(form_.Canvas().Image().pixel(7, 5) & 0xFFFFFF, want[5 * 300 + 7] & 0xFFFFFF);
  EXPECT_EQ(dialogs_.beeps, beeps);
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(WalkTest, ThePictureFollowsItsFile) {
  Picture("shown.bw", 600, 500);
  Open("shown.bw");
  Item("mnuZoomIn").trigger();
  form_.Canvas().Move(-300, -200);
  const QRect before = form_.Canvas().CanvasRect();
  Item("mnuReload").trigger();
  Settle();
  EXPECT_EQ(form_.Canvas().CanvasRect(), before) << "Reload keeps the zoom and the place";

  // Another file renamed over it, as editors and renderers save.
  dir_.Write("shown.bw.tmp", sgi::Verbatim({.name = "rewritten"}, sgi::Pattern(600, 500, 1, 7)));
  fs::rename(dir_ / "shown.bw.tmp", dir_ / "shown.bw");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Shown() == "rewritten"; }, 5000));
  Settle();
  EXPECT_EQ(form_.Canvas().CanvasRect(), before);
  // Written again in place, after the rename: the new file is watched too.
  dir_.Write("shown.bw", sgi::Verbatim({.name = "again"}, sgi::Pattern(600, 500, 1, 9)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Shown() == "again"; }, 5000));
  // A file that goes leaves the picture on screen.
  Settle();
  fs::remove(dir_ / "shown.bw");
  QTest::qWait(600);
  EXPECT_EQ(Shown(), "again");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

// A file that ends early is painted as it is, with no box, and said to be incomplete: in the
// status bar and in Properties. F5 loads it as it is.
TEST_F(WalkTest, AFileThatEndsEarlyIsSaidToBeIncomplete) {
  auto bytes = sgi::Rle({.name = "cut"}, sgi::Pattern(40, 30, 3));
  bytes.resize(bytes.size() * 2 / 3);
  dir_.Write("cut.rgb", bytes);
  Item("mnuStatusBar").trigger();
  Open("cut.rgb");
  EXPECT_TRUE(dialogs_.boxes.empty());
  const lumenor::Completeness c = lumenor::CheckFileCompleteness((dir_ / "cut.rgb").string());
  ASSERT_EQ(c.state, lumenor::Completeness::State::kIncomplete);
  const QString incomplete = QStringLiteral("incomplete: %1 of 30 rows").arg(c.completeRows);
  EXPECT_TRUE(form_.Status()->Text().contains(incomplete)) << form_.Status()->Text().toStdString();
  Item("mnuProperties").trigger();
  ASSERT_EQ(dialogs_.facts.size(), 1);
  EXPECT_TRUE(dialogs_.facts[0].contains(
      {"Stored rows", QStringLiteral("%1 of 30 (the file ends early)").arg(c.completeRows)}));
  Item("mnuReload").trigger();
  Settle();
  EXPECT_EQ(Shown(), "cut");
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_TRUE(form_.Status()->Text().contains(incomplete));
}

// While frames go by, the Go menu's items and the values under a pointer that rests on the
// picture follow the frame shown, and Space and Backspace pause and step from it.
TEST_F(WalkTest, DuringPlayTheItemsAndValuesFollowTheFrameShown) {
  const char* names[] = {"p1.bw", "p2.bw", "p3.bw", "p4.bw"};
  for (int i = 0; i < 4; ++i)
    dir_.Write(names[i], sgi::Verbatim({.name = std::string(names[i]).substr(0, 2)},
                                       sgi::Pattern(40, 30, 1, 10 + i)));
  Open("p4.bw");  // the last: Next is disabled when play starts
  Item("mnuStatusBar").trigger();
  const QPointF at = QPointF(5.5, 3.5) / form_.Canvas().devicePixelRatioF();
  QMouseEvent move(QEvent::MouseMove, at, form_.Canvas().mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form_.Canvas(), &move);
  const auto valueAt = [](int i) {  // grey value at (5, 3) of picture i
    const auto planes = sgi::Pattern(40, 30, 1, 10 + i);
    return QStringLiteral("5, 3: V %1").arg(planes.at(0, 30 - 1 - 3, 5));
  };
  form_.SetFrameRate(60);
  Item("mnuPlay").trigger();
  for (const int i : {0, 3, 1}) {
    const QString name = QString(names[i]).left(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() == name; }, 10000)) << i;
    EXPECT_EQ(Item("mnuNext").isEnabled(), i < 3) << i;
    EXPECT_EQ(Item("mnuPrevious").isEnabled(), i > 0) << i;
    EXPECT_EQ(form_.Status()->ValueText(), valueAt(i)) << i;
  }
  for (const auto& [key, step] : {std::pair{Qt::Key_Space, 1}, std::pair{Qt::Key_Backspace, -1}}) {
    if (!form_.FramePlayer().Playing()) Item("mnuPlay").trigger();
    // On a frame with somewhere to step to.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() == "p2" || Shown() == "p3"; }, 10000));
    const int from = Shown().mid(1).toInt();
    QTest::keyClick(&form_.Canvas(), key);
    EXPECT_FALSE(form_.FramePlayer().Playing()) << key;
    Settle();
    EXPECT_EQ(Shown(), "p" + QString::number(from + step)) << key;
  }
}

// Frames prepared ahead are let go once the picture shown no longer comes from play.
TEST_F(WalkTest, ALoadLetsGoOfTheFramesPreparedAhead) {
  for (const char* name : {"m1.rgb", "m2.rgb", "m3.rgb", "m4.rgb", "m5.rgb"})
    dir_.Write(name, sgi::Rle({}, sgi::Pattern(500, 400, 3)));
  fs::create_directory(dir_ / "elsewhere");
  dir_.Write("elsewhere/small.bw", sgi::Verbatim({.name = "small"}, sgi::Pattern(61, 43, 1)));
  Open("m1.rgb");
  form_.SetFrameRate(60);
  Item("mnuPlay").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_.FramePlayer().FramesReady() >= 2; }, 10000));
  Item("mnuPlay").trigger();  // pauses: the frames ready stay for the next Play
  form_.OpenFile(Path("elsewhere/small.bw"));
  Settle();
  EXPECT_EQ(Shown(), "small");
  const std::size_t small = 61 * 43 * sizeof(lumenor::Pixel);
  EXPECT_TRUE(QTest::qWaitFor([&] { return lumenor::PixelBytesInUse() <= small; }, 5000))
      << lumenor::PixelBytesInUse() << " bytes of pixels held";
  EXPECT_EQ(form_.FramePlayer().BytesAhead(), 0u);
}

TEST_F(WalkTest, PlayGoesRoundTheFolderAndAStepPausesOnTheFrameShown) {
  for (const char* name : {"f1.bw", "f2.bw", "f3.bw"}) Picture(name);
  dir_.Write("f4.bw", sgi::EncodeHeader({.storage = 2}));  // skipped while playing, no box
  Open("f1.bw");
  form_.SetFrameRate(60);
  Item("mnuPlay").trigger();
  EXPECT_TRUE(Item("mnuPlay").isChecked());
  QStringList seen;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (!seen.contains(Shown())) seen << Shown();
        return seen.size() == 3 && Shown() == "f1";  // round the folder and back to the start
      },
      10000))
      << seen.join(' ').toStdString();
  EXPECT_FALSE(Item("mnuCopy").isEnabled()) << "nothing to copy while frames go by";
  Item("mnuPlay").trigger();  // pauses on the frame shown
  EXPECT_FALSE(Item("mnuPlay").isChecked());
  EXPECT_FALSE(form_.FramePlayer().Playing());
  const QString paused = Shown();
  EXPECT_EQ(form_.PictureFolder().Current(), Path(paused.toStdString() + ".bw"));
  EXPECT_TRUE(Item("mnuCopy").isEnabled());

  // Playing again, a step pauses and loads the picture after the frame shown, as File > Open
  // does (the broken one gets its box then).
  const QStringList order = {"f1", "f2", "f3", "f4"};
  Item("mnuPlay").trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() != paused; }, 10000));
  Item("mnuPlay").trigger();
  const QString from = Shown();
  Key(Qt::Key_Space);
  EXPECT_FALSE(form_.FramePlayer().Playing());
  EXPECT_FALSE(Item("mnuPlay").isChecked());
  const QString next = order[order.indexOf(from) + 1];
  EXPECT_EQ(form_.PictureFolder().Current(), Path(next.toStdString() + ".bw"));
  if (next == "f4") {
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].text, "Unsupported compression flag:  2");
  } else {
    EXPECT_EQ(Shown(), next);
    EXPECT_TRUE(dialogs_.boxes.empty()) << "no box while playing past the broken file";
  }
}

}  // namespace
