#pragma once

#include <optional>
#include <string>
#include <vector>

#include "byte_source.h"
#include "image_header.h"

namespace lumenor {

// What a load of a file comes to, without its picture: the header, the name the title gives it
// and the texts of its boxes, word for word. Every row the load decodes is decoded, so a broken
// row is found where the load finds it, and none is kept: memory is a few rows and the tables,
// whatever size the header claims, and the cost is that of the bytes the file holds.
struct LoadOutcome {
  ImageHeader header;
  // Set once the header passed its checks: when the window names the picture.
  std::optional<std::string> name;
  std::vector<std::string> messages;

  // Whether the load has values to give: named, with a channel count it decodes and a pixel.
  bool HasValues() const {
    return name && HasPixelPath(header.channels) && header.width > 0 && header.height > 0;
  }
};

LoadOutcome CheckLoad(const std::string& fileName, const DecodeOptions& options = {});
LoadOutcome CheckLoad(ByteSource& source, const DecodeOptions& options = {});

}  // namespace lumenor
