#include "form1.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "decode_helpers.h"
#include "fake_dialogs.h"
#include "picture1.h"
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
  EXPECT_EQ(form_.Canvas().geometry(), QRect(0, 0, 25, 19));
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
  EXPECT_EQ(menu, QStringList({"&File", "&Open", "-", "&Exit", "&Help", "&About..."}));
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
  EXPECT_EQ(canvas.size(), QSize(3, 2));
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
  const auto planes = sgi::Pattern(60, 50, 3);
  const QString path = Write("sunset.rgb", sgi::Rle({.name = "sunset"}, planes));
  form_.Canvas().move(-100, -50);
  Open(path);
  EXPECT_EQ(dialogs_.openTitles, QStringList{"Select a RGB Image"});
  EXPECT_EQ(dialogs_.openFilters,
            QStringList{"RGB Images (*.bw, *.rgb)|*.bw; *.rgb|All Files (*.*)|*.*"});
  EXPECT_EQ(form_.windowTitle(), "Lumenor - sunset");
  EXPECT_EQ(form_.Canvas().geometry(), QRect(-100, -50, 60, 50));  // position kept
  EXPECT_TRUE(form_.OpenItem().isEnabled());
  EXPECT_EQ(dialogs_.beeps, 1);
  EXPECT_TRUE(dialogs_.boxes.empty());
  const auto want = testing_support::Expected(planes, 0);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x)
      ASSERT_EQ(CanvasPixel(x, y), want[y * 60 + x] & 0xFFFFFF) << x << "," << y;
  // The file chosen last is offered again.
  dialogs_.answers.push_back(QString());
  form_.mnuOpen_Click();
  EXPECT_EQ(dialogs_.initialNames.last(), path);
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
  EXPECT_EQ(form_.Canvas().size(), QSize(40, 30));
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
