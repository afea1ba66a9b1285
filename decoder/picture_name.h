#pragma once

#include <cstddef>
#include <string_view>

namespace lumenor {

// The length of the extension SGI pictures go by at the end of a file name, with its dot: .rgb,
// .rgba, .bw, .sgi, .int or .inta, in any case; 0 when the name has none.
std::size_t PictureExtensionLength(std::string_view name);

}  // namespace lumenor
