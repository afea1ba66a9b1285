#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(CommandLine, Table) {
  struct Case {
    std::vector<const char*> args;  // after the program name
    CommandLine::Action action;
    int exitCode;
    const char* output;  // a part of what is printed
    std::optional<QByteArray> file;
  };
  using A = CommandLine::Action;
  const Case cases[] = {
      {{}, A::Run, 0, "", std::nullopt},
      {{"--version"}, A::Exit, 0, "Lumenor 9.8\n", std::nullopt},
      {{"-v"}, A::Exit, 0, "Lumenor 9.8\n", std::nullopt},
      {{"--help"}, A::Exit, 0, "Usage: lumenor [options] [FILE]", std::nullopt},
      {{"a.rgb", "--help"}, A::Exit, 0, "two or more FILEs are a usage error", std::nullopt},
      {{"my picture.rgb"}, A::Run, 0, "", QByteArray("my picture.rgb")},
      {{"caf\xE9.bw"}, A::Run, 0, "", QByteArray("caf\xE9.bw")},  // not UTF-8: the bytes as given
      {{"--", "-dash.rgb"}, A::Run, 0, "", QByteArray("-dash.rgb")},
      {{"a.rgb", "--"}, A::Run, 0, "", QByteArray("a.rgb")},
      {{"--help-all"}, A::Exit, 0, "Usage: lumenor [options] [FILE]", std::nullopt},
      {{"a.rgb", "b.rgb"}, A::Exit, 2, "one FILE at most, 2 were given", std::nullopt},
      {{"--bogus"}, A::Exit, 2, "Unknown option 'bogus'", std::nullopt},
      {{"--play", "--fps", "60", "shot.0001.rgb"}, A::Run, 0, "", QByteArray("shot.0001.rgb")},
      {{"--fps=12", "--play", "--", "-x.rgb"}, A::Run, 0, "", QByteArray("-x.rgb")},
      {{"--play", "--fps", "121", "a.rgb"}, A::Exit, 2, "--fps takes 1 to 120", std::nullopt},
      {{"--fps", "0", "a.rgb"}, A::Exit, 2, "--fps takes 1 to 120", std::nullopt},
      {{"--fps", "fast", "a.rgb"}, A::Exit, 2, "not 'fast'", std::nullopt},
      {{"--play"}, A::Exit, 2, "--play needs a FILE", std::nullopt},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"/usr/bin/lumenor"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const CommandLine got =
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), QStringLiteral("9.8"));
    const QString what = c.args.empty() ? QString() : QString::fromLatin1(c.args[0]);
    EXPECT_EQ(got.action, c.action) << what.toStdString();
    EXPECT_EQ(got.exitCode, c.exitCode) << what.toStdString();
    EXPECT_TRUE(got.output.contains(QString::fromLatin1(c.output)))
        << what.toStdString() << ": " << got.output.toStdString();
    EXPECT_EQ(got.file, c.file) << what.toStdString();
  }
  const char* play[] = {"lumenor", "--play", "--fps", "60", "a.rgb"};
  const CommandLine playing = ParseCommandLine(5, play, QStringLiteral("9.8"));
  EXPECT_TRUE(playing.play);
  EXPECT_EQ(playing.framesPerSecond, 60);
}

}  // namespace
