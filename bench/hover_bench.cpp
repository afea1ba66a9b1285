// The status bar's values under the pointer: what a pointer move costs the window once the row
// under it has been read, and what a move onto a new row costs, on a 4096 x 4096 run-length RGB
// picture (Qt's offscreen platform). Prints figures; passes or fails nothing.
//   hover_bench [FILE]      (a generated picture when none is given)
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "fake_dialogs.h"
#include "form1.h"
#include "picture1.h"
#include "sgi_builder.h"

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QTemporaryDir scratch;  // the settings, and the picture when none is given
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path()));
  QApplication app(argc, argv);
  QByteArray file = argc > 1 ? QByteArray(argv[1]) : QFile::encodeName(scratch.filePath("p.rgb"));
  if (argc == 1) {
    const sgi::Bytes bytes = sgi::Rle({.name = "hover"}, sgi::Pattern(4096, 4096, 3));
    std::ofstream(file.constData(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  FakeDialogs dialogs;
  Form1 form(dialogs);
  form.show();
  form.resize(1600, 1200);
  QApplication::processEvents();
  form.OpenFile(file);
  form.findChild<QAction*>("mnuStatusBar")->trigger();
  QApplication::processEvents();
  Picture1& canvas = form.Canvas();
  const auto move = [&](int x, int y) {
    const QPointF at = QPointF(x + 0.5, y + 0.5) / canvas.devicePixelRatioF();
    QMouseEvent event(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QElapsedTimer timer;
    timer.start();
    QCoreApplication::sendEvent(&canvas, &event);
    return double(timer.nsecsElapsed()) / 1e3;
  };
  std::vector<double> newRow, sameRow;
  for (int y = 0; y < 400; y += 4) {
    newRow.push_back(move(0, y));
    for (int x = 1; x < 40; ++x) sameRow.push_back(move(x * 7, y));
  }
  std::printf("%s: %d x %d picture, status bar on, offscreen\n", file.constData(),
              canvas.ImageWidth(), canvas.ImageHeight());
  std::printf(
      "  a pointer move onto a new row (the row read from the file): median %.1f us, "
      "longest %.1f us\n",
      Median(newRow), *std::max_element(newRow.begin(), newRow.end()));
  std::printf("  a pointer move along a row read already: median %.1f us, longest %.1f us\n",
              Median(sameRow), *std::max_element(sameRow.begin(), sameRow.end()));
  return 0;
}
