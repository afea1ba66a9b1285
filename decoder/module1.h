#pragma once

#include <cstdint>
#include <string>

#include "byte_source.h"
#include "canvas.h"
#include "image_header.h"

namespace lumenor {

// Loads the SGI image file at fileName onto the canvas: checks the header, sizes the canvas,
// names the picture in the title and paints it row by row from the bottom up. Every outcome is
// reported through the canvas; nothing is thrown.
void LoadImageFile(const std::string& fileName, Canvas& canvas);

// The same load from bytes already at hand (the fuzzer, tests).
void LoadImage(ByteSource& source, Canvas& canvas);

}  // namespace lumenor
