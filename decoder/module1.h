#pragma once

#include <cstdint>
#include <string>

#include "byte_source.h"
#include "canvas.h"

namespace lumenor {

// The largest width and height the viewer shows.
constexpr int kMaxImageSide = 32767;

// Loads the SGI image file at fileName onto the canvas: checks the header, sizes the canvas,
// names the picture in the title and paints it row by row from the bottom up. Every outcome is
// reported through the canvas; nothing is thrown.
void LoadImageFile(const std::string& fileName, Canvas& canvas);

// The same load from bytes already at hand (the fuzzer, tests).
void LoadImage(ByteSource& source, Canvas& canvas);

// A header value as the reports show it: a signed 16-bit number, with a leading blank when it
// is not negative (" 2", "-9727").
std::string FormatReportValue(unsigned value);

}  // namespace lumenor
