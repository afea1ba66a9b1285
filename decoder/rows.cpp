#include "rows.h"

#include "blend.h"

namespace lumenor {

void WriteGreyRow(Pixel* line, const std::uint8_t* grey, std::size_t count) {
  for (std::size_t x = 0; x < count; ++x) line[x] = GreyPixel(grey[x]);
}

void WriteColourRow(Pixel* line, const std::array<std::vector<std::uint8_t>, 4>& channels,
                    bool withAlpha) {
  const std::uint8_t* red = channels[0].data();
  const std::uint8_t* green = channels[1].data();
  const std::uint8_t* blue = channels[2].data();
  const std::size_t width = channels[0].size();
  if (withAlpha) {
    const std::uint8_t* alpha = channels[3].data();
    for (std::size_t x = 0; x < width; ++x)
      line[x] = BlendPixel(line[x], red[x], green[x], blue[x], alpha[x]);
  } else {
    for (std::size_t x = 0; x < width; ++x) line[x] = MakePixel(red[x], green[x], blue[x]);
  }
}

}  // namespace lumenor
