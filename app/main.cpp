#include <QApplication>
#include <cstdio>

#include "command_line.h"
#include "form1.h"
#include "qt_dialogs.h"

namespace {

int Finish(const CommandLine& command) {
  std::FILE* stream = command.exitCode == 0 ? stdout : stderr;
  std::fputs(command.output.toLocal8Bit().constData(), stream);
  return command.exitCode;
}

}  // namespace

int main(int argc, char* argv[]) {
  const QString version = QStringLiteral(LUMENOR_VERSION);
  // --help and --version are answered before Qt looks for a display.
  const CommandLine early = ParseCommandLine(argc, argv, version);
  if (early.action == CommandLine::Action::Exit && early.exitCode == 0) return Finish(early);
  if (const auto missing = MissingDisplay(argc, argv)) {
    if (early.action == CommandLine::Action::Exit) return Finish(early);
    std::fprintf(stderr, "%s\n", missing->toLocal8Bit().constData());
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lumenor"));
  QApplication::setApplicationVersion(version);
  QApplication::setDesktopFileName(QStringLiteral("lumenor"));
  // Qt has taken its own options (-platform, -display...) out of argv by now.
  const CommandLine command = ParseCommandLine(argc, argv, version);
  if (command.action == CommandLine::Action::Exit) return Finish(command);

  QtDialogs dialogs;
  Form1 form(dialogs);
  form.show();
  if (command.rate) form.SetFrameRate(*command.rate);
  if (command.cacheMiB) form.SetCacheMiB(*command.cacheMiB);
  // Once the window is up, as if the names had been chosen in the dialogs.
  if (command.file) form.OpenFileSoon(*command.file, command.play);
  if (command.compare) form.CompareSoon(*command.compare);
  return QApplication::exec();
}
