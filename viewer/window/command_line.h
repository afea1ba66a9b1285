#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What lumenor's command line asks for. --help and --version are answered before any window
// exists, so they work without a display.
struct CommandLine {
  enum class Action { Run, Exit };
  Action action = Action::Run;
  int exitCode = 0;
  QString output;  // printed on stdout (exit code 0) or stderr before exiting
  // The picture to open at start, as the bytes the system gave: file names need not be UTF-8.
  std::optional<QByteArray> file;
  bool play = false;        // play file's folder from it at once
  int framesPerSecond = 0;  // as given with --fps; 0 when not given
};

// Reads argv (without Qt's own options when a QApplication has already taken them).
CommandLine ParseCommandLine(int argc, const char* const* argv, const QString& version);

// One line saying why no window can open, or nothing when a display is there to be used.
std::optional<QString> MissingDisplay(int argc, const char* const* argv);
