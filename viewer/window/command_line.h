#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "frame_clock.h"

// What lumenor's command line asks for. --help and --version are answered before any window
// exists, so they work without a display.
struct CommandLine {
  enum class Action { Run, Exit };
  Action action = Action::Run;
  int exitCode = 0;
  QString output;  // printed on stdout (exit code 0) or stderr before exiting
  // The picture to open at start, as the bytes the system gave: file names need not be UTF-8.
  std::optional<QByteArray> file;
  bool play = false;                      // play file's sequence (or folder) from it at once
  std::optional<FrameRate> rate;          // as given with --fps
  std::optional<std::uint64_t> cacheMiB;  // the frame cache's budget, as given with --cache
  std::optional<QByteArray> compare;      // B to compare file with, as given with --compare
};

// A rate given as a decimal number: 23.976, 29.97, 59.94 (and the like) are the NTSC rates,
// exactly 24000 / 1001 and so on; others are what they say ("12.5" is 25 / 2). Nothing for text
// that is not a number.
std::optional<FrameRate> ParseRate(const QString& text);

// Reads argv (without Qt's own options when a QApplication has already taken them).
CommandLine ParseCommandLine(int argc, const char* const* argv, const QString& version);

// One line saying why no window can open, or nothing when a display is there to be used.
std::optional<QString> MissingDisplay(int argc, const char* const* argv);
