// The folder walk through the window (Qt's offscreen platform): the time to the first picture in
// a folder of 20,000 files against a folder of one, steps while Space is held over 200 pictures of
// 1024 x 1024 (every press shown or superseded, none stacked), and the reloads a picture costs
// while its file is rewritten 100 times a second. Prints figures; passes or fails nothing.
//   walk_bench [SCRATCH_FOLDER]
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "fake_dialogs.h"
#include "folder.h"
#include "form1.h"
#include "picture1.h"
#include "sgi_builder.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const sgi::Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

QByteArray Bytes(const fs::path& path) { return QByteArray::fromStdString(path.native()); }

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QTemporaryDir config;  // the user's settings play no part
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  QApplication app(argc, argv);
  const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "walk_bench";
  fs::remove_all(root);
  fs::create_directories(root);

  // Folders of 1 and of 20,000 files, each holding the same 1024 x 1024 run-length picture.
  const sgi::Bytes picture = sgi::Rle({.name = "first"}, sgi::Pattern(1024, 1024, 3));
  for (const int count : {1, 20000}) {
    const fs::path folder = root / ("of_" + std::to_string(count));
    fs::create_directories(folder);
    WriteFile(folder / "first.rgb", picture);
    for (int i = 1; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "frame.%05d.rgb", i);
      std::ofstream(folder / name).put('x');
    }
  }

  FakeDialogs dialogs;
  Form1 form(dialogs);
  form.show();
  QApplication::processEvents();

  // Each open starts in a folder other than the last, so each lists its folder afresh.
  std::vector<double> one, many;
  for (int run = 0; run < 9; ++run)
    for (const int count : {1, 20000}) {
      QElapsedTimer timer;
      timer.start();
      form.OpenFile(Bytes(root / ("of_" + std::to_string(count)) / "first.rgb"));
      (count == 1 ? one : many).push_back(double(timer.nsecsElapsed()) / 1e6);
      (void)QTest::qWaitFor([&] { return form.PictureFolder().Listed(); }, 10000);
    }
  std::printf("time to the first picture (1024 x 1024 RGB, run-length), ms, median of 9:\n");
  std::printf("  folder of 1 file       %8.2f\n  folder of 20,000 files %8.2f  (%.2f times)\n",
              Median(one), Median(many), Median(many) / Median(one));

  const fs::path walk = root / "walk";
  fs::create_directories(walk);
  for (int i = 0; i < 200; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "pic%03d.rgb", i);
    WriteFile(walk / name, sgi::Rle({.name = name}, sgi::Pattern(1024, 1024, 3, unsigned(i))));
  }
  // Space held down at a desktop's key repeat (30 a second), then as fast as keys can come.
  for (const int interval : {1000 / 30, 1}) {
    form.OpenFile(Bytes(walk / "pic000.rgb"));
    (void)QTest::qWaitFor([&] { return form.PictureFolder().Listed(); }, 10000);
    const int beepsBefore = dialogs.beeps;
    int presses = 0;
    QTimer repeat;
    repeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&repeat, &QTimer::timeout, [&] {
      if (presses < 199) QTest::keyClick(&form.Canvas(), Qt::Key_Space);
      presses = std::min(presses + 1, 199);
    });
    QElapsedTimer held;
    held.start();
    repeat.start(interval);
    (void)QTest::qWaitFor([&] { return presses >= 199 || held.elapsed() > 4000; }, 10000);
    repeat.stop();
    const double seconds = double(held.nsecsElapsed()) / 1e9;
    (void)QTest::qWaitFor([&] { return !form.Loading(); }, 10000);
    QApplication::processEvents();
    const int shown = dialogs.beeps - beepsBefore;
    std::printf("\nSpace held over 200 pictures of 1024 x 1024, a press every %d ms, %.2f s:\n",
                interval, seconds);
    std::printf(
        "  %d presses (%.1f a second); %d pictures shown to the end (%.1f a second), %d "
        "ended early by the next press\n",
        presses, presses / seconds, shown, shown / seconds, presses - shown);
    std::printf("  landed on the %d-th picture, as the keys reached: %s; loads still running: %d\n",
                form.PictureFolder().Position() + 1,
                form.PictureFolder().Position() == presses ? "yes" : "no", form.Loading() ? 1 : 0);
  }

  // The picture shown while its file is rewritten in place 100 times a second.
  const fs::path rewritten = walk / "pic000.rgb";
  form.OpenFile(Bytes(rewritten));
  QApplication::processEvents();
  const int reloadsBefore = dialogs.beeps;
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    const sgi::Bytes small = sgi::Rle({.name = "rewritten"}, sgi::Pattern(256, 256, 3));
    while (writing) {
      WriteFile(rewritten, small);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  QTest::qWait(5000);
  writing = false;
  writer.join();
  const int during = dialogs.beeps - reloadsBefore;
  QTest::qWait(1500);
  std::printf(
      "\na file rewritten 100 times a second for 5 s: %d reloads (%.1f a second), %d more "
      "once the writer stopped\n",
      during, during / 5.0, dialogs.beeps - reloadsBefore - during);
  fs::remove_all(root);
  return 0;
}
