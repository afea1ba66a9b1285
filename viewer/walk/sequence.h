#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The frames of a sequence: the pictures of one folder whose names differ only in their frame
// number, the last run of digits before the extension ("shot.0012.rgb", "shot_12.rgb"), with the
// same text before and after it; padding may differ ("shot.9.rgb" and "shot.0010.rgb" belong
// together). Its range runs from the lowest number present to the highest, and the numbers absent
// inside it are its missing frames. Names and numbers only: nothing here reads a file.
class Sequence {
 public:
  using Run = std::pair<std::int64_t, std::int64_t>;  // numbers from, to
  struct Frame {
    std::int64_t number = 0;
    std::string name;
  };

  // The sequence of the picture named shown among names (the pictures of its folder, in the order
  // they are walked); nothing when that name has no frame number. Of two names with one number,
  // the one shown is taken, else the first in the order given.
  static std::optional<Sequence> Of(const std::vector<std::string>& names, std::string_view shown);

  std::int64_t First() const { return frames_.front().number; }
  std::int64_t Last() const { return frames_.back().number; }
  // The frames present, by number.
  const std::vector<Frame>& Frames() const { return frames_; }
  // Frame number, or nothing when it is missing.
  const Frame* Find(std::int64_t number) const;
  std::optional<std::int64_t> NumberOf(std::string_view name) const;
  std::vector<Run> MissingRuns() const;
  // The names' shape, a '#' for each digit of the lowest number's: "shot.####.rgb".
  std::string Pattern() const;

  bool operator==(const Sequence& other) const;
  // Whether other is this sequence, with the same or other frames.
  bool SameSequenceAs(const Sequence& other) const {
    return prefix_ == other.prefix_ && suffix_ == other.suffix_;
  }

 private:
  std::string prefix_, suffix_;
  std::size_t digits_ = 0;
  std::vector<Frame> frames_;  // never empty
};
