// The save file: what a commit leaves in the folder, and that anything short of one leaves the
// folder as it was.
#include "save_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <stdexcept>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

fs::perms Permissions(const fs::path& path) {
  return fs::status(path).permissions() & fs::perms::all;
}

TEST(SaveFile, CommitPutsTheFileWhereTheNameSays) {
  struct Case {
    std::string label;
    std::function<void(const fs::path&)> before;  // what the folder holds before
    std::string written;                          // the name written, relative to the folder
    std::string holder;    // the regular file that holds the bytes afterwards
    std::string linkName;  // a symbolic link that must still be one afterwards
  };
  const auto oldFile = [](const fs::path& at, fs::perms perms) {
    std::ofstream(at) << "old contents, longer than the new";
    fs::permissions(at, perms);
  };
  const Case cases[] = {
      {"a new file", [](const fs::path&) {}, "out.png", "out.png", ""},
      {"an existing file keeps its permissions",
       [&](const fs::path& d) { oldFile(d / "out.png", fs::perms(0640)); }, "out.png", "out.png",
       ""},
      {"a link to a file: the file is replaced",
       [&](const fs::path& d) {
         oldFile(d / "real.png", fs::perms(0600));
         fs::create_symlink("real.png", d / "out.png");
       },
       "out.png", "real.png", "out.png"},
      {"a link to a file not there yet: it is made",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         fs::create_symlink("sub/new.png", d / "out.png");
       },
       "out.png", "sub/new.png", "out.png"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    c.before(dir.path());
    // What a plain new file gets from this process's umask, or what the old file had.
    std::ofstream(dir / "reference");
    const fs::perms wantPerms =
        fs::exists(dir / c.holder) ? Permissions(dir / c.holder) : Permissions(dir / "reference");
    fs::remove(dir / "reference");
    std::set<std::string> wantNames = Names(dir.path());
    wantNames.insert(fs::path(c.written).begin()->string());

    lumenor::SaveFile file((dir / c.written).string());
    ASSERT_TRUE(file.Write("new ") && file.Write("bytes")) << c.label << ": " << file.Error();
    ASSERT_TRUE(file.Commit()) << c.label << ": " << file.Error();

    EXPECT_EQ(Contents(dir / c.holder), "new bytes") << c.label;
    EXPECT_EQ(Permissions(dir / c.holder), wantPerms) << c.label;
    EXPECT_EQ(Names(dir.path()), wantNames) << c.label;
    EXPECT_TRUE(c.linkName.empty() || fs::is_symlink(dir / c.linkName)) << c.label;
  }
}

TEST(SaveFile, AnythingButACommitLeavesTheFolderAsItWas) {
  struct Case {
    std::string label;
    std::function<void(lumenor::SaveFile&)> write;
    std::string error;  // what Error() says, empty when no failure was seen
  };
  const Case cases[] = {
      {"destroyed before the commit", [](lumenor::SaveFile& f) { f.Write("partial"); }, ""},
      {"an exception while writing",
       [](lumenor::SaveFile& f) {
         f.Write("partial");
         throw std::runtime_error("the picture failed");
       },
       ""},
      {"abandoned",
       [](lumenor::SaveFile& f) {
         f.Write("partial");
         f.Abandon("no thanks");
         EXPECT_FALSE(f.Commit());
       },
       "out.png: no thanks"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    std::ofstream(dir / "out.png") << "old";
    std::string error;
    try {
      lumenor::SaveFile file((dir / "out.png").string());
      c.write(file);
      error = file.Error();
    } catch (const std::runtime_error&) {  // the save file is gone by now
    }
    EXPECT_EQ(error.empty() ? "" : error.substr(dir.path().string().size() + 1), c.error)
        << c.label;
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"out.png"}) << c.label;
    EXPECT_EQ(Contents(dir / "out.png"), "old") << c.label;
  }
}

}  // namespace
