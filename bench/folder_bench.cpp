// The folder walk without a window (Qt Core, no display needed): how long a folder takes to list
// and how long the UI thread's event loop goes without a turn meanwhile, what a step costs in a
// large folder, and how many reloads a file rewritten 100 times a second costs, written in place
// and renamed over. Prints figures; passes or fails nothing.
//   folder_bench [FILES [SECONDS]]     (20000 files, 5 seconds of rewriting by default)
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "folder.h"

namespace {

namespace fs = std::filesystem;

double Milliseconds(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double ThreadCpuMilliseconds() {
  timespec time{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
  return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
}

QByteArray Bytes(const fs::path& path) { return QByteArray::fromStdString(path.native()); }

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// A folder of `count` pictures named as a renderer names frames, made in no particular order.
fs::path MakeFolder(const fs::path& root, int count) {
  const fs::path folder = root / ("files_" + std::to_string(count));
  fs::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    const int frame = int((std::int64_t{i} * 7919) % count);  // 7919 is prime: a permutation
    char name[32];
    std::snprintf(name, sizeof name, "frame.%05d.rgb", frame);
    std::ofstream(folder / name).put('x');
  }
  return folder;
}

struct ListingFigures {
  double setCurrentMs = 0;  // the call itself, on the UI thread
  double listedMs = 0;      // from the call until the list arrived
  double uiCpuMs = 0;       // CPU time the UI thread spent meanwhile
  double longestGapMs = 0;  // the longest the event loop went without a turn meanwhile
  double turningMs = 0;     // until the list came, with the event loop kept turning
  double idleGapMs = 0;     // the same, for as long again with nothing to do
  double floorMs = 0;       // reading the folder's names and sorting them by bytes, nothing else
};

// Counts the event loop's turns with a zero-interval timer, which fires at every turn.
class TurnGaps {
 public:
  TurnGaps() {
    turns_.setInterval(0);
    QObject::connect(&turns_, &QTimer::timeout, [this] { Turn(); });
    turns_.start();
    sinceTurn_.start();
  }
  void Turn() {
    longestMs_ = std::max(longestMs_, Milliseconds(sinceTurn_));
    sinceTurn_.start();
  }
  double LongestMs() const { return longestMs_; }

 private:
  QTimer turns_;
  QElapsedTimer sinceTurn_;
  double longestMs_ = 0;
};

// Waits until `folder` has its list.
void WaitForList(Folder& folder) {
  QEventLoop loop;
  const QMetaObject::Connection connection = QObject::connect(&folder, &Folder::listChanged, [&] {
    if (folder.Listed()) loop.quit();
  });
  if (!folder.Listed()) loop.exec();
  QObject::disconnect(connection);
}

// SetCurrent with a picture of another folder than the one before, as the window does, until the
// list comes. With `turns`, the event loop is kept turning (which costs the UI thread CPU of its
// own), so the CPU time is taken without it.
void ListOnce(Folder& folder, const QByteArray& picture, const QByteArray& elsewhere,
              ListingFigures& figures, bool turns) {
  folder.SetCurrent(elsewhere);
  WaitForList(folder);
  QEventLoop loop;
  QElapsedTimer sinceStart;
  std::optional<TurnGaps> gaps;
  if (turns) gaps.emplace();
  double cpuStart = 0;
  const QMetaObject::Connection connection = QObject::connect(&folder, &Folder::listChanged, [&] {
    if (!folder.Listed()) return;
    if (turns) {
      gaps->Turn();
      figures.longestGapMs = gaps->LongestMs();
      figures.turningMs = Milliseconds(sinceStart);
    } else {
      figures.listedMs = Milliseconds(sinceStart);
      figures.uiCpuMs = ThreadCpuMilliseconds() - cpuStart;
    }
    loop.quit();
  });
  cpuStart = ThreadCpuMilliseconds();
  sinceStart.start();
  if (turns) gaps->Turn();
  folder.SetCurrent(picture);
  if (!turns) figures.setCurrentMs = Milliseconds(sinceStart);
  if (!folder.Listed()) loop.exec();
  QObject::disconnect(connection);
}

double FloorMs(const fs::path& folder) {
  QElapsedTimer timer;
  timer.start();
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().native());
  }
  std::sort(names.begin(), names.end());
  return Milliseconds(timer);
}

ListingFigures TimeListing(Folder& folder, const QByteArray& picture, const QByteArray& elsewhere) {
  ListingFigures figures;
  ListOnce(folder, picture, elsewhere, figures, false);
  ListOnce(folder, picture, elsewhere, figures, true);
  TurnGaps idle;
  QEventLoop loop;
  QTimer::singleShot(std::max(1, int(figures.turningMs + 0.5)), &loop, &QEventLoop::quit);
  loop.exec();
  idle.Turn();
  figures.idleGapMs = idle.LongestMs();
  figures.floorMs = FloorMs(fs::path(picture.toStdString()).parent_path());
  return figures;
}

void ReportListing(const char* what, const QByteArray& picture, const QByteArray& elsewhere) {
  constexpr int kRuns = 7;
  Folder folder;
  std::vector<ListingFigures> runs;
  for (int run = 0; run < kRuns; ++run) runs.push_back(TimeListing(folder, picture, elsewhere));
  const auto median = [&](double ListingFigures::*figure) {
    std::vector<double> values;
    for (const ListingFigures& run : runs) values.push_back(run.*figure);
    return Median(values);
  };
  std::printf("  %-12s %10.3f %10.2f %10.2f %10.2f %10.2f %10.2f\n", what,
              median(&ListingFigures::setCurrentMs), median(&ListingFigures::listedMs),
              median(&ListingFigures::floorMs), median(&ListingFigures::uiCpuMs),
              median(&ListingFigures::longestGapMs), median(&ListingFigures::idleGapMs));
}

// Walks `steps` pictures of a listed folder as the window does: Next, then SetCurrent with it.
void ReportSteps(const QByteArray& picture, int steps) {
  Folder folder;
  folder.SetCurrent(picture);
  WaitForList(folder);
  QElapsedTimer timer;
  timer.start();
  int taken = 0;
  for (; taken < steps; ++taken) {
    const QByteArray next = folder.Next();
    if (next.isEmpty()) break;
    folder.SetCurrent(next);
  }
  std::printf("  a step (Next, then SetCurrent) in a folder of %d: %.1f us\n", folder.Count(),
              Milliseconds(timer) * 1e3 / std::max(taken, 1));
}

// Rewrites `file` 100 times a second for `seconds` on another thread and counts the reloads
// asked for meanwhile and after.
void ReportReloads(const char* what, const fs::path& file, double seconds, bool renameOver) {
  WriteFile(file, "first");
  Folder folder;
  folder.SetCurrent(Bytes(file));
  QElapsedTimer clock;
  int reloadsWhileWriting = 0, reloadsAfter = 0;
  double lastReloadMs = 0;
  std::atomic<bool> writing = true;
  std::atomic<double> lastWriteMs = 0;
  QObject::connect(&folder, &Folder::currentFileChanged, [&] {
    (writing ? reloadsWhileWriting : reloadsAfter) += 1;
    lastReloadMs = Milliseconds(clock);
  });
  const double cpuBefore = ThreadCpuMilliseconds();
  clock.start();
  std::thread writer([&] {
    const auto start = std::chrono::steady_clock::now();
    const int writes = int(seconds * 100);
    for (int i = 0; i < writes; ++i) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * i));
      const std::string content = "write " + std::to_string(i) + std::string(4096, 'x');
      if (renameOver) {
        const fs::path partial = file.string() + ".partial";
        WriteFile(partial, content);
        fs::rename(partial, file);
      } else {
        WriteFile(file, content);
      }
      lastWriteMs = Milliseconds(clock);
    }
    writing = false;
  });
  QEventLoop loop;
  QTimer::singleShot(int(seconds * 1000) + 2000, &loop, &QEventLoop::quit);
  loop.exec();
  writer.join();
  const double cpu = ThreadCpuMilliseconds() - cpuBefore;
  std::printf(
      "  %-13s %5.2f reloads/s over %.1f s of writing, %d after it; the last %4.0f ms after the "
      "last write; UI thread CPU %.1f %%\n",
      what, reloadsWhileWriting / seconds, seconds, reloadsAfter, lastReloadMs - lastWriteMs,
      100 * cpu / Milliseconds(clock));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
  const double seconds = argc > 2 ? std::atof(argv[2]) : 5.0;
  if (files < 1 || seconds <= 0) {
    std::fprintf(stderr, "usage: folder_bench [FILES [SECONDS]]\n");
    return 2;
  }
  const fs::path root =
      fs::temp_directory_path() /
      ("lumenor_folder_bench_" + std::to_string(QCoreApplication::applicationPid()));
  fs::remove_all(root);
  const fs::path large = MakeFolder(root, files);
  const fs::path single = MakeFolder(root, 1);

  std::printf(
      "listing, ms (median of 7 runs, each after a picture of another folder, files in the\n"
      "page cache): the SetCurrent call; until the list came; the floor (read the names, sort\n"
      "them by bytes); the UI thread's CPU time until the list came; the longest the event loop\n"
      "went without a turn meanwhile, and for as long again with nothing to do\n"
      "  %-12s %10s %10s %10s %10s %10s %10s\n",
      "folder", "SetCurrent", "list came", "floor", "UI CPU", "worst gap", "idle gap");
  const std::string largeName = std::to_string(files) + " files";
  const QByteArray elsewhere = Bytes(root / "elsewhere.rgb");
  WriteFile(root / "elsewhere.rgb", "x");
  ReportListing("1 file", Bytes(single / "frame.00000.rgb"), elsewhere);
  ReportListing(largeName.c_str(), Bytes(large / "frame.00000.rgb"), elsewhere);
  std::printf("walking\n");
  ReportSteps(Bytes(large / "frame.00000.rgb"), 2000);
  std::printf(
      "a file rewritten 100 times a second (default intervals: settle 300 ms, 1 s at most)\n");
  const fs::path rewritten = root / "rewritten";
  fs::create_directories(rewritten);
  ReportReloads("in place", rewritten / "render.rgb", seconds, false);
  ReportReloads("renamed over", rewritten / "render.rgb", seconds, true);
  fs::remove_all(root);
  return 0;
}
