#include "folder.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Short enough that the waits below stay short; the rule itself is tested with WriteSettler. No
// polling, which would hide a watch that is missing.
constexpr Folder::Intervals kQuick = {.relistDelayMs = 10,
                                      .firstLookMs = 10,
                                      .settleMs = 40,
                                      .longestWaitMs = 400,
                                      .pollMs = 600'000};
constexpr int kGenerousMs = 5000;  // how long a test waits for what must come

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

void MakeSocket(const fs::path& path) {
  const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(socketFd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.native().size(), sizeof(address.sun_path));
  std::strcpy(address.sun_path, path.c_str());
  EXPECT_EQ(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ::close(socketFd);
}

std::vector<std::string> Strings(const std::vector<QByteArray>& names) {
  std::vector<std::string> strings;
  for (const QByteArray& name : names) strings.push_back(name.toStdString());
  return strings;
}

class FolderTest : public testing::Test {
 protected:
  QByteArray Path(const std::string& name) const {
    return QByteArray::fromStdString((dir_ / name).native());
  }
  fs::path Touch(const std::string& name) {
    WriteFile(dir_ / name, name);
    return dir_ / name;
  }
  void TouchAll(const std::vector<std::string>& names) {
    for (const std::string& name : names) Touch(name);
  }
  // SetCurrent and the wait for the list it starts.
  void Open(const std::string& name) {
    folder_.SetCurrent(Path(name));
    ASSERT_TRUE(QTest::qWaitFor([&] { return folder_.Listed(); }, kGenerousMs));
  }
  std::string NameOf(const QByteArray& path) const {
    if (path.isEmpty()) return "(none)";
    EXPECT_TRUE(path.startsWith(Path(""))) << path.toStdString();
    return path.mid(Path("").size()).toStdString();
  }

  ScratchDir dir_;
  Folder folder_{kQuick};
};

TEST_F(FolderTest, ListsRegularFilesWithPictureNamesOnlyAndNeverWaitsForTheList) {
  TouchAll({"a.rgb", "B.RGB", "c.Rgba", "d.bw", "e.SGI", "f.int", "g.InTa", "h.rgb.txt", "i.png",
            "rgb", ".hidden.rgb"});
  ASSERT_EQ(::mkfifo((dir_ / "fifo.rgb").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder.rgb");
  fs::create_symlink(dir_ / "a.rgb", dir_ / "link.rgb");
  fs::create_symlink(dir_ / "missing.rgb", dir_ / "dangling.rgb");
  fs::create_symlink(dir_ / "folder.rgb", dir_ / "link_to_folder.bw");
  MakeSocket(dir_ / "socket.rgb");

  QSignalSpy listChanged(&folder_, &Folder::listChanged);
  folder_.SetCurrent(Path("a.rgb"));
  // The list comes from another thread through the event loop, so not before it runs.
  EXPECT_FALSE(folder_.Listed());
  EXPECT_EQ(folder_.Count(), 0);
  EXPECT_FALSE(folder_.HasNext());
  EXPECT_TRUE(folder_.Next().isEmpty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return folder_.Listed(); }, kGenerousMs));
  EXPECT_GE(listChanged.count(), 1);
  EXPECT_EQ(Strings(folder_.Names()),
            (std::vector<std::string>{"a.rgb", "B.RGB", "c.Rgba", "d.bw", "e.SGI", "f.int",
                                      "g.InTa", "link.rgb"}));
}

TEST_F(FolderTest, HiddenFilesOnlyWithAHiddenCurrentAndTheCurrentAlwaysIn) {
  TouchAll({"a.rgb", "c.rgb", ".h1.rgb", ".h2.bw", "notes.txt", "b.txt"});
  struct Case {
    std::string current;
    std::vector<std::string> names;
    int position;
  };
  const Case cases[] = {
      {"a.rgb", {"a.rgb", "c.rgb"}, 0},
      {".h2.bw", {".h1.rgb", ".h2.bw", "a.rgb", "c.rgb"}, 1},
      {"b.txt", {"a.rgb", "b.txt", "c.rgb"}, 1},  // another extension, in its natural place
      {"gone.rgb", {"a.rgb", "c.rgb", "gone.rgb"}, 2},
      {"c.rgb", {"a.rgb", "c.rgb"}, 1},  // and out again when it is no longer current
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.current);
    Open(test.current);
    EXPECT_EQ(Strings(folder_.Names()), test.names);
    EXPECT_EQ(folder_.Position(), test.position);
    EXPECT_EQ(folder_.Count(), static_cast<int>(test.names.size()));
    EXPECT_EQ(folder_.Current(), Path(test.current));
  }
}

TEST_F(FolderTest, AnotherFolderReplacesTheList) {
  fs::create_directory(dir_ / "one");
  fs::create_directory(dir_ / "two");
  TouchAll({"one/a.rgb", "one/b.rgb", "two/c.rgb"});
  Open("one/a.rgb");
  EXPECT_EQ(Strings(folder_.Names()), (std::vector<std::string>{"a.rgb", "b.rgb"}));
  Open("two/c.rgb");
  EXPECT_EQ(Strings(folder_.Names()), std::vector<std::string>{"c.rgb"});
  // Back before the list of "one" came: that list must not take the place of this one. The
  // pause without events lets it be made and sent, so that it does come, and late.
  folder_.SetCurrent(Path("one/b.rgb"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::vector<std::vector<std::string>> listsSeen;
  QObject::connect(&folder_, &Folder::listChanged, [&] {
    if (folder_.Listed()) listsSeen.push_back(Strings(folder_.Names()));
  });
  Open("two/c.rgb");
  EXPECT_EQ(Strings(folder_.Names()), std::vector<std::string>{"c.rgb"});
  EXPECT_EQ(folder_.Position(), 0);
  for (const auto& names : listsSeen) EXPECT_EQ(names, std::vector<std::string>{"c.rgb"});
}

TEST_F(FolderTest, ListsInNaturalOrder) {
  const std::vector<std::string> natural = {
      "1.rgb",     "B2.rgb",     "b3.rgb",        "b10.rgb",       "pic.rgb",      "pic2.rgb",
      "pic10.rgb", "shot.9.rgb", "shot.0010.rgb", "shot.0011.rgb", "shot.100.rgb", "Zebra.rgb"};
  TouchAll({natural.rbegin(), natural.rend()});
  Open("pic.rgb");
  EXPECT_EQ(Strings(folder_.Names()), natural);
}

TEST_F(FolderTest, StepsStopAtTheEnds) {
  TouchAll({"a.rgb", "b.rgb", "c.rgb"});
  struct Case {
    std::string current;
    bool hasPrevious, hasNext;
    std::string previous, next;
  };
  const Case cases[] = {
      {"a.rgb", false, true, "(none)", "b.rgb"},
      {"b.rgb", true, true, "a.rgb", "c.rgb"},
      {"c.rgb", true, false, "b.rgb", "(none)"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.current);
    Open(test.current);
    EXPECT_EQ(folder_.HasPrevious(), test.hasPrevious);
    EXPECT_EQ(folder_.HasNext(), test.hasNext);
    EXPECT_EQ(NameOf(folder_.Previous()), test.previous);
    EXPECT_EQ(NameOf(folder_.Next()), test.next);
    EXPECT_EQ(NameOf(folder_.First()), "a.rgb");
    EXPECT_EQ(NameOf(folder_.Last()), "c.rgb");
  }
}

TEST_F(FolderTest, FilesDeletedSinceTheListingAreSkipped) {
  TouchAll({"a.rgb", "b.rgb", "c.rgb", "d.rgb"});
  Open("b.rgb");
  // No event is handled between the deletes and the steps: the steps themselves must notice.
  fs::remove(dir_ / "a.rgb");
  fs::remove(dir_ / "c.rgb");
  EXPECT_EQ(NameOf(folder_.Next()), "d.rgb");
  EXPECT_EQ(NameOf(folder_.Previous()), "(none)");
  EXPECT_EQ(NameOf(folder_.First()), "b.rgb");
  EXPECT_EQ(Strings(folder_.Names()), (std::vector<std::string>{"b.rgb", "d.rgb"}));
  EXPECT_EQ(folder_.Position(), 0);
  fs::remove(dir_ / "d.rgb");
  EXPECT_EQ(NameOf(folder_.Last()), "b.rgb");
  EXPECT_FALSE(folder_.HasNext());
  // The current file deleted too: no step lands on it, though the walk goes on from its place.
  TouchAll({"a.rgb", "c.rgb"});
  Open("a.rgb");
  fs::remove(dir_ / "a.rgb");
  EXPECT_EQ(NameOf(folder_.First()), "b.rgb");
  EXPECT_EQ(NameOf(folder_.Next()), "b.rgb");
  Open("c.rgb");
  fs::remove(dir_ / "c.rgb");
  EXPECT_EQ(NameOf(folder_.Last()), "b.rgb");
  fs::remove(dir_ / "b.rgb");
  EXPECT_EQ(NameOf(folder_.First()), "(none)");
}

TEST_F(FolderTest, FilesAddedAreSeenAtTheNextStep) {
  TouchAll({"a.rgb", "c.rgb"});
  Open("a.rgb");
  ASSERT_EQ(NameOf(folder_.Next()), "c.rgb");
  Touch("b.rgb");
  Touch("0.rgb");
  ASSERT_TRUE(QTest::qWaitFor([&] { return folder_.Count() == 4; }, kGenerousMs));
  EXPECT_EQ(folder_.Position(), 1);
  EXPECT_EQ(NameOf(folder_.Next()), "b.rgb");
  EXPECT_EQ(NameOf(folder_.Previous()), "0.rgb");
}

TEST_F(FolderTest, FollowsTheCurrentFileRewrittenOrReplaced) {
  const fs::path current = Touch("a.rgb");
  Touch("b.rgb");
  const std::function<void()> rewriteInPlace = [&] { WriteFile(current, "written in place"); };
  const std::function<void()> renameOver = [&] {
    WriteFile(dir_ / "a.rgb.partial", "renamed over it");
    fs::rename(dir_ / "a.rgb.partial", current);
  };
  struct Case {
    const char* what;
    std::function<void()> write;
  };
  // Rewrites after a rename over the file: the name is watched again, not the file replaced.
  const Case cases[] = {{"in place", rewriteInPlace},
                        {"renamed over", renameOver},
                        {"in place after a rename over", rewriteInPlace},
                        {"renamed over again", renameOver},
                        {"in place again", rewriteInPlace}};
  Open("a.rgb");
  QSignalSpy changed(&folder_, &Folder::currentFileChanged);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    changed.clear();
    test.write();
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() > 0; }, kGenerousMs));
  }
}

TEST_F(FolderTest, AFileThatVanishesIsLeftAloneUntilItComesBack) {
  const fs::path current = Touch("a.rgb");
  Open("a.rgb");
  QSignalSpy changed(&folder_, &Folder::currentFileChanged);
  fs::remove(current);
  // Long enough for the notice, the looks and a settle several times over.
  QTest::qWait(10 * kQuick.settleMs);
  EXPECT_EQ(changed.count(), 0);
  WriteFile(current, "back");
  EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() > 0; }, kGenerousMs));
}

TEST_F(FolderTest, NamesNeedNotBeUtf8) {
  const std::string folder = "caf\xe9";  // Latin-1, not UTF-8
  fs::create_directory(dir_ / folder);
  TouchAll({folder + "/b.bw", folder + "/a.rgb", folder + "/\xe9t\xe9.rgb"});
  Open(folder + "/\xe9t\xe9.rgb");
  EXPECT_EQ(Strings(folder_.Names()), (std::vector<std::string>{"a.rgb", "b.bw", "\xe9t\xe9.rgb"}));
  EXPECT_EQ(NameOf(folder_.Previous()), folder + "/b.bw");
  QSignalSpy changed(&folder_, &Folder::currentFileChanged);
  WriteFile(dir_ / folder / "\xe9t\xe9.rgb", "written again");
  EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() > 0; }, kGenerousMs));
}

// The rule of when to reload, by the clock it is handed.
TEST(WriteSettler, ReloadsOnceStillOrAtTheLatestAfterTheLongestWait) {
  const auto stamp = [](std::int64_t size) { return FileStamp{true, 1, 2, size, size, size}; };
  const FileStamp shown = stamp(100), gone{};
  struct Look {
    std::int64_t atMs;
    FileStamp seen;
    WriteSettler::Verdict verdict;
  };
  struct Case {
    const char* what;
    std::vector<Look> looks;
  };
  const Case cases[] = {
      {"unchanged", {{50, shown, {false, -1}}}},
      {"written once",
       {{50, stamp(1), {false, 300}}, {350, stamp(1), {true, -1}}, {700, stamp(1), {false, -1}}}},
      {"still changing at each look",
       {{50, stamp(1), {false, 300}},
        {350, stamp(2), {false, 300}},
        {650, stamp(3), {false, 300}},
        {950, stamp(4), {false, 100}},
        {1050, stamp(5), {true, -1}},
        {1100, stamp(6), {false, 300}}}},
      {"looked at early", {{50, stamp(1), {false, 300}}, {200, stamp(1), {false, 150}}}},
      {"gone, then back",
       {{50, gone, {false, -1}}, {5000, stamp(1), {false, 300}}, {5300, stamp(1), {true, -1}}}},
      {"gone while settling", {{50, stamp(1), {false, 300}}, {350, gone, {false, -1}}}},
      {"back as it was shown", {{50, stamp(1), {false, 300}}, {350, shown, {false, -1}}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    WriteSettler settler({.settleMs = 300, .longestWaitMs = 1000});
    settler.Shown(shown);
    for (const Look& look : test.looks) {
      const WriteSettler::Verdict verdict = settler.Look(look.seen, look.atMs);
      EXPECT_EQ(verdict.reload, look.verdict.reload) << "at " << look.atMs;
      EXPECT_EQ(verdict.nextLookMs, look.verdict.nextLookMs) << "at " << look.atMs;
    }
  }
}

// The window's rule: no longest wait, a file rewritten without pause is loaded once it is still.
TEST(WriteSettler, WithoutALongestWaitOnlyStillnessReloads) {
  const auto stamp = [](std::int64_t size) { return FileStamp{true, 1, 2, size, size, size}; };
  WriteSettler settler({.settleMs = 300});
  settler.Shown(stamp(0));
  for (std::int64_t at = 0; at <= 3000; at += 100)
    ASSERT_FALSE(settler.Look(stamp(at + 1), at).reload) << "still changing at " << at;
  EXPECT_EQ(settler.Look(stamp(3001), 3200).nextLookMs, 100);
  EXPECT_TRUE(settler.Look(stamp(3001), 3300).reload);
}

}  // namespace
