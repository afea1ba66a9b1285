// Lumenor's own window playing a folder as a flipbook, as a person would: the first frame opened,
// the view set (100 %, or Fit to Window) in a client area of a given size, Go > Play at a frame
// rate, for some seconds from a cold start (nothing decoded before Play). Prints the rate shown,
// the frames skipped and the peak memory; passes or fails nothing. Run it under a real X server
// (xvfb-run, QT_QPA_PLATFORM=xcb) for the real window's costs.
//   flipbook_bench [--fps N] [--fit] [--client WIDTH HEIGHT] [--seconds S] FIRST_FRAME
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake_dialogs.h"
#include "folder.h"
#include "form1.h"
#include "picture1.h"
#include "player.h"
#include "resident_memory.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: flipbook_bench [--fps N] [--fit] [--client WIDTH HEIGHT] [--seconds S] "
               "FIRST_FRAME\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const QTemporaryDir config;  // the user's settings play no part
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  QApplication app(argc, argv);
  int fps = 24, width = 1600, height = 1100;
  double seconds = 5;
  bool fit = false;
  QByteArray first;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fps" && i + 1 < argc)
      fps = std::atoi(argv[++i]);
    else if (arg == "--fit")
      fit = true;
    else if (arg == "--client" && i + 2 < argc)
      width = std::atoi(argv[++i]), height = std::atoi(argv[++i]);
    else if (arg == "--seconds" && i + 1 < argc)
      seconds = std::atof(argv[++i]);
    else if (first.isEmpty() && arg[0] != '-')
      first = argv[i];
    else
      return Usage();
  }
  if (first.isEmpty()) return Usage();

  FakeDialogs dialogs;
  Form1 form(dialogs);
  form.show();
  form.resize(width, height + form.height() - form.ClientArea().height());
  (void)QTest::qWaitForWindowExposed(&form);
  QApplication::processEvents();
  form.OpenFile(first);
  (void)QTest::qWaitFor([&] { return form.PictureFolder().Listed(); }, 10000);
  if (fit) form.FitItem().trigger();
  form.SetFrameRate(fps);
  const double before = ResidentMiB();
  Player& player = form.FramePlayer();
  form.findChild<QAction*>("mnuPlay")->trigger();
  double peak = before;
  QElapsedTimer played;
  played.start();
  // The event loop as the program runs it (QTest::qWait would sleep between its turns).
  QEventLoop loop;
  QTimer sample;
  QObject::connect(&sample, &QTimer::timeout, [&] { peak = std::max(peak, ResidentMiB()); });
  sample.start(50);
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
  const Player::Counts counts = player.GetCounts();
  const double elapsed = double(played.nsecsElapsed()) / 1e9;
  form.findChild<QAction*>("mnuPlay")->trigger();  // pause
  const std::int64_t due = counts.shown + counts.Skipped();
  std::printf("%s, %d x %d picture, client %d x %d, %s, %d fps asked, %.1f s\n",
              qPrintable(QGuiApplication::platformName()), form.Canvas().ImageWidth(),
              form.Canvas().ImageHeight(), form.ScaleWidth(), form.ScaleHeight(),
              fit ? "Fit to Window" : "100 %", fps, elapsed);
  std::printf(
      "  shown %lld (%.1f a second), skipped %lld of %lld due (%.1f %%: %lld late, %lld "
      "broken); %zu box(es)\n",
      static_cast<long long>(counts.shown), double(counts.shown) / elapsed,
      static_cast<long long>(counts.Skipped()), static_cast<long long>(due),
      due ? 100.0 * double(counts.Skipped()) / double(due) : 0.0,
      static_cast<long long>(counts.late), static_cast<long long>(counts.broken),
      dialogs.boxes.size());
  std::printf("  resident memory %.0f MiB before Play, at most %.0f MiB while playing\n", before,
              peak);
  return 0;
}
