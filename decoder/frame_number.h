#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumenor {

// A file name around its frame number: "shot.0017.rgb" is "shot." + "0017" + ".rgb". Files of one
// folder whose names share prefix and suffix are frames of one sequence, numbered by value
// (padding may differ: "shot.17.rgb" is frame 17 of the same sequence).
struct FrameName {
  std::string_view prefix;
  std::string_view digits;
  std::string_view suffix;  // from the end of the digits on, the extension included
  std::uint64_t number = 0;
};

// The last run of digits in name before its extension (an SGI picture extension in any case, or
// else what follows the last dot that does not start the name), or nothing when there is none or
// it has more than 18 digits. Case is kept: "Shot.01.RGB" and "shot.02.rgb" are two sequences.
std::optional<FrameName> SplitFrameName(std::string_view name);

}  // namespace lumenor
