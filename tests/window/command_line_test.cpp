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
      {{"--fps", "23.976", "a.rgb"}, A::Run, 0, "", QByteArray("a.rgb")},
      {{"--fps", "0.5", "a.rgb"}, A::Exit, 2, "--fps takes 1 to 120", std::nullopt},
      {{"--fps", "1e2", "a.rgb"}, A::Exit, 2, "not '1e2'", std::nullopt},
      {{"--cache", "3000", "a.rgb"}, A::Run, 0, "", QByteArray("a.rgb")},
      {{"--cache", "lots", "a.rgb"}, A::Exit, 2, "--cache takes a number of MiB", std::nullopt},
      {{"--cache", "8", "a.rgb"}, A::Exit, 2, "16 or more, not '8'", std::nullopt},
      {{"--compare", "b.rgb", "a.rgb"}, A::Run, 0, "", QByteArray("a.rgb")},
      {{"a.rgb", "--compare=b\xE9.rgb"}, A::Run, 0, "", QByteArray("a.rgb")},
      {{"--compare", "b.rgb"}, A::Exit, 2, "--compare needs a FILE", std::nullopt},
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
  EXPECT_TRUE(playing.rate == (FrameRate{60, 1}));
  const char* cached[] = {"lumenor", "--cache", "3000", "a.rgb"};
  EXPECT_EQ(ParseCommandLine(4, cached, QStringLiteral("9.8")).cacheMiB, 3000u);
  const char* compared[] = {"lumenor", "--compare", "b\xE9.rgb", "a.rgb"};  // B's bytes as given
  EXPECT_EQ(ParseCommandLine(4, compared, QStringLiteral("9.8")).compare, QByteArray("b\xE9.rgb"));
}

// Rates as people write them: the NTSC family to two or three decimals is the exact fraction.
TEST(CommandLine, Rates) {
  const struct {
    const char* text;
    std::optional<FrameRate> rate;
  } cases[] = {
      {"24", FrameRate{24, 1}},
      {"23.976", FrameRate{24000, 1001}},
      {"23.98", FrameRate{24000, 1001}},
      {"29.97", FrameRate{30000, 1001}},
      {"59.94", FrameRate{60000, 1001}},
      {"24.000", FrameRate{24, 1}},
      {"12.5", FrameRate{25, 2}},
      {"23.9", FrameRate{239, 10}},
      {"", std::nullopt},
      {"-24", std::nullopt},
      {"24fps", std::nullopt},
      {"2.4.1", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto rate = ParseRate(QString::fromLatin1(c.text));
    EXPECT_EQ(rate.has_value(), c.rate.has_value()) << c.text;
    if (rate && c.rate) {
      EXPECT_TRUE(*rate == *c.rate) << c.text << ": " << rate->num << "/" << rate->den;
    }
  }
}

}  // namespace
