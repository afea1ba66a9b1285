#pragma once

#include <stdexcept>
#include <string>

namespace lumenor {

// A file that cannot be shown (unreadable, truncated in a way that matters, a row that overflows
// the picture). Caught by the load's error trap and reported as a read error.
class LoadFailure : public std::runtime_error {
 public:
  explicit LoadFailure(const std::string& description) : std::runtime_error(description) {}
};

// The program is ending in the middle of a load: unwind quietly.
struct LoadAbandoned {};

}  // namespace lumenor
