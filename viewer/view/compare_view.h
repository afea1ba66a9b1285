#pragma once

namespace lumenor {

// How two pictures are compared on screen: A alone, B alone, a wipe between them (A left of a
// vertical line, B right of it), their difference, or side by side in two halves of the client
// area.
enum class CompareMode { kA, kB, kWipe, kDifference, kSideBySide };

struct CompareView {
  bool comparing = false;
  CompareMode mode = CompareMode::kWipe;
  int gain = 1;   // the difference is multiplied by it: 1, 4 or 16
  int wipe = 0;   // the wipe line's column, in device pixels of the client area
  bool operator==(const CompareView&) const = default;
  // What is on screen: A alone when not comparing.
  CompareMode Shown() const { return comparing ? mode : CompareMode::kA; }
};

}  // namespace lumenor
