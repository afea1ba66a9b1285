#pragma once

#include <string>

#include "byte_source.h"
#include "image_header.h"

namespace lumenor {

// Whether a file holds everything its header and run-length tables say it holds, worked out from
// those alone, never from pixels: cheap enough for every reload and for thousands of frames.
//   Uncompressed: complete when it has 512 + width * height * channels * bytes-per-channel bytes.
//   Run-length: complete when both tables fit and every row ends (offset + length) within the file.
// A picture row counts as complete when every channel's row of it is stored whole.
struct Completeness {
  enum class State { kComplete, kIncomplete, kRefused };
  State state = State::kRefused;
  int completeRows = 0;
  int rows = 0;  // the picture's height
  // For a refused file, the load's own box text: a header it cannot use, a size it does not show,
  // tables it cannot use (empty, or a negative offset the load would reach), a file it cannot read.
  std::string refusal;
};

Completeness CheckCompleteness(ByteSource& source, const DecodeOptions& options = {});
Completeness CheckFileCompleteness(const std::string& fileName, const DecodeOptions& options = {});

}  // namespace lumenor
