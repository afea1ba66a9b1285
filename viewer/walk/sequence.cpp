#include "sequence.h"

#include <algorithm>

#include "frame_number.h"

std::optional<Sequence> Sequence::Of(const std::vector<std::string>& names,
                                     std::string_view shown) {
  const auto shownFrame = lumenor::SplitFrameName(shown);
  if (!shownFrame) return std::nullopt;
  Sequence sequence;
  sequence.prefix_ = shownFrame->prefix;
  sequence.suffix_ = shownFrame->suffix;
  const auto number = [](std::uint64_t n) { return static_cast<std::int64_t>(n); };
  sequence.frames_.push_back({number(shownFrame->number), std::string(shown)});
  for (const std::string& name : names) {
    if (name == shown) continue;
    const auto frame = lumenor::SplitFrameName(name);
    if (frame && frame->prefix == sequence.prefix_ && frame->suffix == sequence.suffix_)
      sequence.frames_.push_back({number(frame->number), name});
  }
  // By number; of two with one number, the first (the one shown, then the order given) stays.
  std::stable_sort(sequence.frames_.begin(), sequence.frames_.end(),
                   [](const Frame& a, const Frame& b) { return a.number < b.number; });
  sequence.frames_.erase(
      std::unique(sequence.frames_.begin(), sequence.frames_.end(),
                  [](const Frame& a, const Frame& b) { return a.number == b.number; }),
      sequence.frames_.end());
  const auto lowest = lumenor::SplitFrameName(sequence.frames_.front().name);
  sequence.digits_ = lowest ? lowest->digits.size() : shownFrame->digits.size();
  return sequence;
}

const Sequence::Frame* Sequence::Find(std::int64_t number) const {
  const auto at = std::lower_bound(frames_.begin(), frames_.end(), number,
                                   [](const Frame& f, std::int64_t n) { return f.number < n; });
  return at != frames_.end() && at->number == number ? &*at : nullptr;
}

std::optional<std::int64_t> Sequence::NumberOf(std::string_view name) const {
  for (const Frame& frame : frames_)
    if (frame.name == name) return frame.number;
  return std::nullopt;
}

std::vector<Sequence::Run> Sequence::MissingRuns() const {
  std::vector<Run> runs;
  for (std::size_t i = 1; i < frames_.size(); ++i)
    if (frames_[i].number > frames_[i - 1].number + 1)
      runs.emplace_back(frames_[i - 1].number + 1, frames_[i].number - 1);
  return runs;
}

std::string Sequence::Pattern() const { return prefix_ + std::string(digits_, '#') + suffix_; }

bool Sequence::operator==(const Sequence& other) const {
  return prefix_ == other.prefix_ && suffix_ == other.suffix_ &&
         frames_.size() == other.frames_.size() &&
         std::equal(frames_.begin(), frames_.end(), other.frames_.begin(),
                    [](const Frame& a, const Frame& b) {
                      return a.number == b.number && a.name == b.name;
                    });
}
