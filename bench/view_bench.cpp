// The window's side of showing a picture, with Qt's offscreen platform (or any other, through
// QT_QPA_PLATFORM): how long one repaint of a client area filled by a 4096 x 4096 picture takes
// at every zoom (after a zoom, when the scaled picture is made; then as it stands; then after a
// small pan), and a whole load shown at Fit to Window against the same load without a window.
// Prints figures; passes or fails nothing.
//   view_bench FILE [WIDTH HEIGHT]     (the client area, 1600 x 1200 by default)
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "fake_dialogs.h"
#include "form1.h"
#include "memory_canvas.h"
#include "module1.h"
#include "picture1.h"

namespace {

double Milliseconds(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <typename Work>
double TimeOnce(const Work& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return Milliseconds(timer);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: view_bench FILE [WIDTH HEIGHT]\n");
    return 2;
  }
  const QByteArray file = argv[1];
  const int width = argc == 4 ? std::atoi(argv[2]) : 1600;
  const int height = argc == 4 ? std::atoi(argv[3]) : 1200;

  FakeDialogs dialogs;
  Form1 form(dialogs);
  form.show();
  form.resize(width, height + form.height() - form.ClientArea().height());
  QApplication::processEvents();
  form.OpenFile(file);
  Picture1& picture = form.Canvas();
  std::printf("%s: %d x %d picture, %d x %d client area (device pixels), %s platform\n",
              file.constData(), picture.ImageWidth(), picture.ImageHeight(), form.ScaleWidth(),
              form.ScaleHeight(), qPrintable(QGuiApplication::platformName()));

  std::printf(
      "\nrepaint of the client area, ms: after the zoom / as it stands (median of 9) / "
      "after a pan of 8 pixels\n");
  const lumenor::Zoom zooms[] = {{1, 32}, {1, 8}, {1, 3}, {1, 2}, {2, 3},
                                 {1, 1},  {2, 1}, {3, 1}, {8, 1}, {32, 1}};
  for (const lumenor::Zoom zoom : zooms) {
    picture.View().ZoomAbout(zoom, 0, 0);
    picture.View().SetLeft(std::min(0, form.ScaleWidth() - picture.Width()) / 2);
    picture.View().SetTop(std::min(0, form.ScaleHeight() - picture.Height()) / 2);
    picture.ViewChanged();
    const double first = TimeOnce([&] { picture.repaint(); });
    std::vector<double> steady;
    for (int i = 0; i < 9; ++i) steady.push_back(TimeOnce([&] { picture.repaint(); }));
    const double panned = TimeOnce([&] {
      picture.Move(std::min(0, picture.Left() + 8), picture.Top());
      picture.repaint();
    });
    std::printf("  %2d/%-2d %8.2f %8.2f %8.2f\n", zoom.num, zoom.den, first, Median(steady),
                panned);
  }

  // Each load starts where a user's would: another picture on the canvas (the one given, cut to
  // a quarter), so that the backing image is new, as it is for the headless load.
  const QByteArray small = QByteArray(argv[0]) + ".small.sgi";
  {
    QFile out(QFile::decodeName(small));
    QFile in(QFile::decodeName(file));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return 1;
    QByteArray header = in.read(512);
    header[6] = static_cast<char>(4);  // 1024 x 1024 or so: a width and height a quarter as large
    header[8] = static_cast<char>(4);
    header[7] = header[9] = 0;
    header[2] = 0;  // uncompressed
    out.write(header);
    out.write(QByteArray(1024 * 1024 * 4, '\x40'));
  }
  std::printf("\nwhole load, ms (median of 5)\n");
  std::vector<double> headless, window, actual;
  for (int i = 0; i < 5; ++i) {
    headless.push_back(TimeOnce([&] {
      lumenor::MemoryCanvas canvas;
      lumenor::LoadImageFile(file.toStdString(), canvas);
    }));
    form.OpenFile(small);
    actual.push_back(TimeOnce([&] { form.OpenFile(file); }));
    form.FitItem().trigger();
    form.OpenFile(small);
    window.push_back(TimeOnce([&] { form.OpenFile(file); }));
    form.FitItem().trigger();
  }
  QFile::remove(QFile::decodeName(small));
  std::printf("  without a window %8.2f\n  shown at 100 %%   %8.2f  (%.2f times)\n",
              Median(headless), Median(actual), Median(actual) / Median(headless));
  form.FitItem().trigger();
  std::printf("  shown at Fit     %8.2f  (%.2f times), zoom %d/%d\n", Median(window),
              Median(window) / Median(headless), form.CurrentZoom().num, form.CurrentZoom().den);
  return 0;
}
