#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "image_header.h"

namespace lumenor {

class SaveFile;
struct StoredImage;

// How the pixel data is compressed. The defaults were chosen by measurement (png_settings_bench
// on a 4096 x 4096 photo-like picture): each row filtered by the average of its left and upper
// neighbours, then only runs looked for (zlib's run-length strategy, for which the level does
// not matter) was the fastest of every level, filter and strategy tried, and as small as the
// slowest. The filter turns flat areas into runs of zeros, which the runs then take.
enum class PngFilter { kNone, kSub, kUp, kAverage, kPaeth };
enum class PngStrategy { kDefault, kFiltered, kRunLength, kHuffmanOnly };
struct PngSettings {
  int zlibLevel = 1;
  PngFilter filter = PngFilter::kAverage;
  PngStrategy strategy = PngStrategy::kRunLength;
};

// Writes a PNG of 8 or 16 bits a channel row by row, top row first: grey (1 channel), grey and
// alpha (2), RGB (3) or RGBA (4), the bytes of a row as the picture's stored values lay them out
// (16-bit values big-endian, as PNG has them). It holds a few
// rows, never the picture. The encoded bytes go to sink, which returns false to stop; after a
// failure every call returns false and Error() says why.
class PngWriter {
 public:
  using Sink = std::function<bool(std::span<const std::uint8_t>)>;

  // title: the picture's name in Latin-1, up to its first zero byte; written as the PNG's
  // "Title" text, without the control characters PNG text may not hold. None when empty.
  PngWriter(Sink sink, int width, int height, unsigned channels,
            std::span<const std::uint8_t> title = {}, const PngSettings& settings = {},
            int bitDepth = 8);
  ~PngWriter();
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  // width * channels values, bitDepth / 8 bytes each.
  bool WriteRow(const std::uint8_t* row);
  // After the last row: ends the PNG.
  bool Finish();
  bool Ok() const;
  const std::string& Error() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The text a picture name becomes in a PNG's Title: the bytes up to the first zero, each control
// character (PNG text holds none but line feed) a blank.
std::string PngTitleText(std::span<const std::uint8_t> latin1Name);

// The picture's stored values as a PNG with its name as Title, written to file and committed.
// False on failure, with file.Error() saying why; nothing is then left behind.
bool WriteStoredImagePng(const StoredImage& image, SaveFile& file,
                         const PngSettings& settings = {});
// The picture's stored values as PNG into sink, its image name as the Title: an empty string, or
// why it failed.
std::string EncodeStoredImagePng(const StoredImage& image, PngWriter::Sink sink,
                                 const PngSettings& settings = {});

// The same PNG as EncodeStoredImagePng(LoadStoredImage(fileName)), byte for byte, read from the
// file a row at a time as it is written: memory is a few rows and the tables, never the picture.
// For a file whose load gives values (LoadOutcome::HasValues): an empty string, or why it failed.
// Pictures of 16 bits (with options.sixteenBit) give 16-bit PNGs of their stored values.
std::string EncodeFilePng(const std::string& fileName, PngWriter::Sink sink,
                          const PngSettings& settings = {}, const DecodeOptions& options = {});
// That PNG written to file and committed; false with file.Error() saying why, nothing left behind.
bool WriteFilePng(const std::string& fileName, SaveFile& file, const PngSettings& settings = {},
                  const DecodeOptions& options = {});

}  // namespace lumenor
