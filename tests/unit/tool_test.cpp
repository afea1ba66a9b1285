// lumenor-decode as a user runs it: exit codes, title on stdout, messages on stderr, PPM output.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "scratch_dir.h"
#include "sgi_builder.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exitCode;
  std::string out, err;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Tool : public testing::Test {
 protected:
  fs::path Write(const std::string& name, const sgi::Bytes& bytes) {
    return dir_.Write(name, bytes);
  }
  ToolRun Decode(const std::string& args) {
    const std::string command = std::string(LUMENOR_DECODE_TOOL) + " " + args + " >" +
                                (dir_ / "out").string() + " 2>" + (dir_ / "err").string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(dir_ / "out"),
            ReadAll(dir_ / "err")};
  }

  ScratchDir dir_;
};

TEST_F(Tool, ExitCodesAndStreams) {
  const auto good = Write("good.rgb", sgi::Verbatim({.name = "two"}, sgi::Pattern(2, 2, 3)));
  auto badBytes = sgi::EncodeHeader({.storage = 2});
  const auto bad = Write("bad.rgb", badBytes);
  struct Case {
    std::string args;
    int exitCode;
    std::string out, err;
  };
  const Case cases[] = {
      {good.string(), 0, "Lumenor - two\n", ""},
      {bad.string(), 1, "Lumenor 1.0 by Vantris\n", "Unsupported compression flag:  2\n"},
      {(dir_ / "missing.bw").string(), 1, "Lumenor 1.0 by Vantris\n",
       "There was an error reading the file:\r\nNo such file or directory (" +
           (dir_ / "missing.bw").string() + ")\n"},
      {"", 2, "", "usage: lumenor-decode FILE [-o OUT.ppm] [--background RRGGBB]\n"},
      {good.string() + " --background 12345", 2, "",
       "usage: lumenor-decode FILE [-o OUT.ppm] [--background RRGGBB]\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Decode(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(run.out, c.out) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing.bw"));
}

TEST_F(Tool, WritesTheCanvasAsPpm) {
  sgi::Planes planes{2, 1, 4, {10, 20, 30, 40, 50, 60, 255, 0}};
  const auto input = Write("in.rgb", sgi::Verbatim({}, planes));
  const auto output = dir_ / "out.ppm";
  ASSERT_EQ(Decode(input.string() + " -o " + output.string() + " --background 0000FF").exitCode, 0);
  const std::string want =
      std::string("P6\n2 1\n255\n") + std::string{10, 30, 50} + std::string{0, 0, char(0xFF)};
  EXPECT_EQ(ReadAll(output), want);
}

}  // namespace
