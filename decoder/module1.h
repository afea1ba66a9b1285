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
// With options: pictures of 16 bits a channel too (their values reach the canvas as
// round(v * 255 / 65535), and alpha is laid over the canvas on those).
void LoadImageFile(const std::string& fileName, Canvas& canvas, const DecodeOptions& options);

// The same load from bytes already at hand (the fuzzer, tests).
void LoadImage(ByteSource& source, Canvas& canvas);
void LoadImage(ByteSource& source, Canvas& canvas, const DecodeOptions& options);

}  // namespace lumenor
