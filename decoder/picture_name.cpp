#include "picture_name.h"

#include <algorithm>
#include <array>

namespace lumenor {

std::size_t PictureExtensionLength(std::string_view name) {
  static constexpr std::array<std::string_view, 6> kExtensions = {"rgb", "rgba", "bw",
                                                                  "sgi", "int",  "inta"};
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return 0;
  const std::string_view extension = name.substr(dot + 1);
  const bool known =
      std::any_of(kExtensions.begin(), kExtensions.end(), [&](std::string_view candidate) {
        return candidate.size() == extension.size() &&
               std::equal(
                   candidate.begin(), candidate.end(), extension.begin(), [](char k, char e) {
                     return k == (e >= 'A' && e <= 'Z' ? static_cast<char>(e - 'A' + 'a') : e);
                   });
      });
  return known ? name.size() - dot : 0;
}

}  // namespace lumenor
