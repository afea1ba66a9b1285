#include "sequence_check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>

#include "completeness.h"
#include "frame_number.h"
#include "one_line.h"
#include "picture_name.h"

namespace {

namespace fs = std::filesystem;

struct Frame {
  std::string path;    // as it is printed
  std::string folder;  // as given, "" for the current one
  std::string name;
  std::optional<lumenor::FrameName> frame;  // views into name
};

// A folder's SGI pictures (not hidden ones), by sequence, then number, then name.
std::vector<std::string> PicturesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code failed;
  for (const auto& entry : fs::directory_iterator(folder, failed)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.' || lumenor::PictureExtensionLength(name) == 0) continue;
    if (entry.is_regular_file(failed)) names.push_back(name);
  }
  const auto key = [](const std::string& name) {
    const auto frame = lumenor::SplitFrameName(name);
    return frame ? std::tuple(std::string(frame->prefix), std::string(frame->suffix), frame->number,
                              name)
                 : std::tuple(name, std::string(), std::uint64_t{0}, name);
  };
  std::sort(names.begin(), names.end(),
            [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
  return names;
}

// The numbers missing between those present, "17, 18, 120"; a gap of three or more as
// "200-900", so the line stays short whatever is missing.
std::string Missing(const std::vector<std::uint64_t>& present) {
  std::string text;
  const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  for (std::size_t i = 1; i < present.size(); ++i) {
    const std::uint64_t from = present[i - 1] + 1, to = present[i] - 1;
    if (from > to) continue;
    if (to - from >= 2) {
      add(std::to_string(from) + "-" + std::to_string(to));
    } else {
      for (std::uint64_t n = from; n <= to; ++n) add(std::to_string(n));
    }
  }
  return text;
}

}  // namespace

int CheckSequences(const std::vector<std::string>& arguments) {
  std::vector<Frame> files;
  for (const auto& argument : arguments) {
    std::error_code failed;
    if (fs::is_directory(argument, failed)) {
      const std::string prefix = argument.back() == '/' ? argument : argument + "/";
      for (auto& name : PicturesIn(argument)) files.push_back({prefix + name, argument, name, {}});
    } else {
      const fs::path path(argument);
      files.push_back({argument, path.parent_path().string(), path.filename().string(), {}});
    }
  }
  bool allGood = true;
  std::string out;
  constexpr lumenor::DecodeOptions kSixteenBit{.sixteenBit = true};
  for (auto& file : files) {
    const auto checked = lumenor::CheckFileCompleteness(file.path, kSixteenBit);
    using State = lumenor::Completeness::State;
    out += file.path + ": ";
    switch (checked.state) {
      case State::kComplete:
        out += "ok\n";
        break;
      case State::kIncomplete:
        out += "incomplete: " + std::to_string(checked.completeRows) + " of " +
               std::to_string(checked.rows) + " rows\n";
        break;
      case State::kRefused:
        out += "refused: " + OneLine(checked.refusal) + "\n";
        break;
    }
    allGood = allGood && checked.state == State::kComplete;
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }

  // Sequences in the order their first file came.
  struct Sequence {
    std::string pattern;  // folder, prefix, a # a digit of the lowest number's, suffix
    std::uint64_t lowest = UINT64_MAX;
    std::vector<std::uint64_t> numbers;
  };
  std::vector<Sequence> sequences;
  std::map<std::tuple<std::string, std::string, std::string>, std::size_t> index;
  for (auto& file : files) {
    file.frame = lumenor::SplitFrameName(file.name);
    if (!file.frame) continue;
    const auto key =
        std::tuple(file.folder, std::string(file.frame->prefix), std::string(file.frame->suffix));
    const auto [at, added] = index.try_emplace(key, sequences.size());
    if (added) sequences.push_back({});
    Sequence& sequence = sequences[at->second];
    if (file.frame->number < sequence.lowest) {
      sequence.lowest = file.frame->number;
      const std::string folder = file.path.substr(0, file.path.size() - file.name.size());
      sequence.pattern = folder + std::string(file.frame->prefix) +
                         std::string(file.frame->digits.size(), '#') +
                         std::string(file.frame->suffix);
    }
    sequence.numbers.push_back(file.frame->number);
  }
  for (auto& sequence : sequences) {
    auto& numbers = sequence.numbers;
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    const std::string missing = Missing(numbers);
    out += sequence.pattern + ": " + std::to_string(numbers.front());
    if (numbers.back() != numbers.front()) out += "-" + std::to_string(numbers.back());
    if (!missing.empty()) out += ", missing " + missing;
    out += "\n";
    allGood = allGood && missing.empty();
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return allGood ? 0 : 1;
}
