#include "image_header.h"

#include "image_file.h"
#include "load_failure.h"

namespace lumenor {

namespace {

constexpr unsigned kMagic = 474;

}  // namespace

ImageHeader ReadHeader(ByteSource& source) {
  ImageFile file(source);
  ImageHeader h;
  h.magic = file.ReadWord();
  h.storage = file.ReadByte();
  h.bytesPerChannel = file.ReadByte();
  h.dimension = file.ReadWord();
  h.width = file.ReadWord();
  h.height = file.ReadWord();
  h.channels = file.ReadWord();
  h.pixelMin = file.ReadLong();
  h.pixelMax = file.ReadLong();
  file.Skip(4);
  file.ReadBytes(h.name);
  h.colourMap = file.ReadLong();
  return h;
}

std::optional<std::string> HeaderRejection(const ImageHeader& h, const DecodeOptions& options) {
  if (h.magic != kMagic) return "Header doesn't check out: " + FormatReportValue(h.magic);
  if (h.storage > 1) return "Unsupported compression flag: " + FormatReportValue(h.storage);
  if (h.bytesPerChannel != 1 && !(h.bytesPerChannel == 2 && options.sixteenBit))
    return "Unsupported bytes per component: " + FormatReportValue(h.bytesPerChannel);
  if (h.dimension < 1 || h.dimension > 3)
    return "Unsupported Dimension: " + FormatReportValue(h.dimension);
  return std::nullopt;
}

void CheckSize(const ImageHeader& h) {
  if (h.width > kMaxImageSide || h.height > kMaxImageSide)
    throw LoadFailure("The picture is " + SizeText(h.width, h.height) +
                      " pixels; the largest that can be shown is " +
                      SizeText(kMaxImageSide, kMaxImageSide));
}

std::string ChannelRejection(unsigned channels) {
  return "Unsupported number of channels: " + FormatReportValue(channels);
}

std::string NameText(const ImageHeader& h) {
  std::string utf8;
  for (const unsigned c : h.name) {
    if (c == 0) break;
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string SizeText(long long width, long long height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// GCC 12 at -O3 takes the inlined " " + std::string for an overlapping memcpy, a known false
// positive of its optimiser: -Wrestrict is silenced for this one function.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
std::string FormatReportValue(unsigned value) {
  const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  return v < 0 ? std::to_string(v) : " " + std::to_string(v);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace lumenor
