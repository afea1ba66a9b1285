// The window's peak memory across two loads of large pictures, one after the other, as a user
// opens one picture and then another: the old backing image must go before the new one comes.
// Prints figures; passes or fails nothing.
//   two_loads_bench FIRST SECOND      (Qt's offscreen platform unless QT_QPA_PLATFORM says)
#include <sys/resource.h>

#include <QApplication>
#include <cstdio>

#include "fake_dialogs.h"
#include "form1.h"
#include "picture1.h"
#include "pixel_memory.h"

namespace {

double PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: two_loads_bench FIRST SECOND\n");
    return 2;
  }
  FakeDialogs dialogs;
  Form1 form(dialogs);
  form.show();
  QApplication::processEvents();
  const double before = PeakResidentMiB();
  form.OpenFile(argv[1]);
  const double picture =
      double(form.Canvas().ImageWidth()) * form.Canvas().ImageHeight() * 4 / (1024.0 * 1024.0);
  const double first = PeakResidentMiB();
  lumenor::ResetPeakPixelBytes();
  form.OpenFile(argv[2]);
  const double second = PeakResidentMiB();
  std::printf("picture %d x %d: %.0f MiB of backing image\n", form.Canvas().ImageWidth(),
              form.Canvas().ImageHeight(), picture);
  std::printf(
      "peak resident: %.0f MiB before, %.0f MiB after the first load, %.0f MiB after the "
      "second (%.2f times the picture; bound 1.3 times plus 150 MiB = %.0f MiB)\n",
      before, first, second, second / picture, 1.3 * picture + 150);
  std::printf("backing images at most %.0f MiB during the second load; %zu box(es) shown\n",
              double(lumenor::PeakPixelBytes()) / (1024.0 * 1024.0), dialogs.boxes.size());
  return 0;
}
