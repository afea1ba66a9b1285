#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "byte_source.h"

namespace lumenor {

// The largest width and height the viewer shows.
constexpr int kMaxImageSide = 32767;

// Where the pixel data (or the run-length tables) start.
constexpr std::uint64_t kHeaderSize = 512;

// The 512-byte header as the file holds it (sizes as read, 0 to 65535).
struct ImageHeader {
  unsigned magic = 0;
  unsigned storage = 0;  // 0 = uncompressed, 1 = run-length encoded
  unsigned bytesPerChannel = 0;
  unsigned dimension = 0;
  int width = 0;
  int height = 0;
  unsigned channels = 0;
  std::int32_t pixelMin = 0;
  std::int32_t pixelMax = 0;
  std::array<std::uint8_t, 80> name{};
  std::int32_t colourMap = 0;
};

// What a load may decode beyond what the window shows by default.
struct DecodeOptions {
  // Pictures of two bytes a channel (values 0 to 65535). Off, they are refused with the bytes per
  // channel report, as the window does unless asked.
  bool sixteenBit = false;
};

// Reads the header; bytes past the end of the file read as zeros.
ImageHeader ReadHeader(ByteSource& source);

// The box for a header whose pixels cannot be looked at (magic number, storage, bytes per
// channel and dimension, checked in that order), or nothing when those pass.
std::optional<std::string> HeaderRejection(const ImageHeader& header,
                                           const DecodeOptions& options = {});

// Throws LoadFailure for a picture larger than kMaxImageSide on a side.
void CheckSize(const ImageHeader& header);

// Grey, grey with alpha, RGB and RGBA can be decoded; other channel counts are reported.
constexpr bool HasPixelPath(unsigned channels) { return channels >= 1 && channels <= 4; }
constexpr bool HasAlpha(unsigned channels) { return channels == 2 || channels == 4; }
std::string ChannelRejection(unsigned channels);

// The image name as UTF-8: the field's bytes up to the first zero, read as Latin-1.
std::string NameText(const ImageHeader& header);

std::string SizeText(long long width, long long height);

// A header value as the reports show it: a signed 16-bit number, with a leading blank when it
// is not negative (" 2", "-9727").
std::string FormatReportValue(unsigned value);

}  // namespace lumenor
