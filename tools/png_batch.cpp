#include "png_batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

#include "completeness.h"
#include "image_header.h"
#include "load_outcome.h"
#include "one_line.h"
#include "picture_name.h"
#include "png_writer.h"
#include "save_file.h"

namespace {

namespace fs = std::filesystem;

// Why the file cannot be converted, or nothing once its PNG is in place.
// The load is checked first, then the PNG written from the file a row at a time: a worker holds a
// few rows, never a picture.
std::optional<std::string> Convert(const std::string& input, const std::string& output) {
  constexpr lumenor::DecodeOptions kSixteenBit{.sixteenBit = true};
  const lumenor::LoadOutcome outcome = lumenor::CheckLoad(input, kSixteenBit);
  if (!outcome.messages.empty()) {
    std::string why;
    for (const auto& message : outcome.messages)
      why += (why.empty() ? "" : "; ") + OneLine(message);
    return why;
  }
  if (!outcome.HasValues())
    return "the picture has no pixels (" +
           lumenor::SizeText(outcome.header.width, outcome.header.height) + ")";
  // The output's name is made up here, not given: a link found there is never followed.
  lumenor::SaveFile file(output, input, lumenor::SaveFile::Links::kRefuse);
  if (!lumenor::WriteFilePng(input, file, {}, kSixteenBit)) return file.Error();
  return std::nullopt;
}

// stderr as the user sees it: failure lines, and on a terminal one progress line kept last.
class Report {
 public:
  explicit Report(std::size_t total) : total_(total), terminal_(::isatty(STDERR_FILENO) == 1) {
    ShowProgress();
  }

  void Failed(const std::string& input, const std::string& why) {
    const std::lock_guard lock(mutex_);
    ClearProgress();
    std::fprintf(stderr, "%s: %s\n", input.c_str(), why.c_str());
    ShowProgress();
  }
  void Done() {
    const std::lock_guard lock(mutex_);
    ++done_;
    ClearProgress();
    ShowProgress();
  }
  void Finish() {
    const std::lock_guard lock(mutex_);
    if (terminal_) std::fputc('\n', stderr);
  }

 private:
  void ClearProgress() {
    if (terminal_) std::fputs("\r\033[K", stderr);
  }
  void ShowProgress() {
    if (terminal_) std::fprintf(stderr, "lumenor-decode: %zu of %zu done", done_, total_);
    std::fflush(stderr);
  }

  std::mutex mutex_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool terminal_;
};

}  // namespace

std::string PngPathFor(const std::string& folder, const std::string& input) {
  const std::string name = fs::path(input).filename().string();
  // A name that is nothing but the extension (a hidden file) keeps it.
  const std::size_t extension = lumenor::PictureExtensionLength(name);
  const std::string base = extension < name.size() ? name.substr(0, name.size() - extension) : name;
  return (fs::path(folder) / base).string() + ".png";
}

int ConvertToPngFolder(const std::string& folder, const std::vector<std::string>& inputs,
                       bool strict) {
  struct Job {
    std::string input, output;
    std::optional<std::string> refused;
  };
  // Refusals decided before any work, in the order the inputs were given: an output name that is
  // a symbolic link or anything but a regular file (nothing is written through it or over it), an
  // output that is one of the inputs (another worker may be reading it), and an output that an
  // earlier input already takes. Outputs are told apart by the file they are: two names of one
  // existing file are one output.
  std::set<std::pair<dev_t, ino_t>> inputFiles;
  for (const auto& input : inputs) {
    struct stat file {};
    if (::stat(input.c_str(), &file) == 0) inputFiles.emplace(file.st_dev, file.st_ino);
  }
  std::vector<Job> jobs;
  std::map<std::string, std::string> takenBy;  // an output's identity -> the input it is for
  for (const auto& input : inputs) {
    Job job{input, PngPathFor(folder, input), std::nullopt};
    struct stat existing {};
    const bool exists = ::lstat(job.output.c_str(), &existing) == 0;
    const std::string identity =
        exists ? "file " + std::to_string(existing.st_dev) + ":" + std::to_string(existing.st_ino)
               : "name " + job.output;
    if (exists && S_ISLNK(existing.st_mode)) {
      job.refused = job.output + ": is a symbolic link; not converted";
    } else if (exists && !S_ISREG(existing.st_mode)) {
      job.refused = job.output + ": is not a regular file; not converted";
    } else if (exists && inputFiles.count({existing.st_dev, existing.st_ino}) > 0) {
      job.refused = job.output + ": is one of the input files; it is never written over";
    } else if (const auto [taken, added] = takenBy.try_emplace(identity, input); !added) {
      job.refused = job.output + " is already the output of " + taken->second + "; not converted";
    }
    jobs.push_back(std::move(job));
  }

  if (jobs.empty()) return 0;
  Report report(jobs.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> anyFailed{false};
  const auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      const Job& job = jobs[i];
      std::optional<std::string> failure = job.refused;
      lumenor::Completeness completeness;
      try {
        if (!failure)
          completeness = lumenor::CheckFileCompleteness(job.input, {.sixteenBit = true});
        if (!failure) failure = Convert(job.input, job.output);
      } catch (const std::exception& e) {  // memory for the PNG's rows, a thread's own failure
        failure = e.what();
      }
      if (failure) {
        anyFailed = true;
        report.Failed(job.input, *failure);
      } else if (completeness.state == lumenor::Completeness::State::kIncomplete) {
        anyFailed = anyFailed || strict;
        report.Failed(job.input, "incomplete: " + std::to_string(completeness.completeRows) +
                                     " of " + std::to_string(completeness.rows) + " rows");
      }
      report.Done();
    }
  };
  const std::size_t workers =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, jobs.size());
  std::vector<std::jthread> threads;
  for (std::size_t w = 1; w < workers; ++w) threads.emplace_back(work);
  work();
  for (auto& thread : threads) thread.join();
  report.Finish();
  return anyFailed ? 1 : 0;
}
