#include "picture_facts.h"

#include <cstdio>

namespace {

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string ColourMapText(std::int32_t mode) {
  switch (mode) {
    case 0:
      return "normal";
    case 1:
      return "dithered";
    case 2:
      return "screen";
    case 3:
      return "colour map";
    default:
      return Number(mode);
  }
}

}  // namespace

std::string ChannelsText(unsigned channels) {
  static const char* const kNames[] = {"grey", "grey with alpha", "RGB", "RGBA"};
  if (channels >= 1 && channels <= 4) return Number(channels) + " (" + kNames[channels - 1] + ")";
  return Number(channels);
}

std::string ImageNameText(const lumenor::ImageHeader& header) {
  // As the title shows it (each byte a Latin-1 character), but with control characters, which
  // would move or hide text, written out.
  std::string text;
  for (const std::uint8_t byte : header.name) {
    if (byte == 0) break;
    if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      text += escaped;
    } else if (byte < 0x80) {
      text += static_cast<char>(byte);
    } else {
      text += static_cast<char>(0xC0 | byte >> 6);
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

std::string GroupedNumber(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  return digits;
}

std::string ZoomText(lumenor::Zoom zoom) {
  // Tenths of a per cent, rounded; whole numbers without a fraction.
  const std::int64_t tenths = (std::int64_t{zoom.num} * 1000 * 2 + zoom.den) / (2 * zoom.den);
  std::string text = Number(tenths / 10);
  if (tenths % 10 != 0) text.append(1, '.').append(Number(tenths % 10));
  return text.append(" %");
}

std::string IncompleteText(int storedRows, int rows) {
  return "incomplete: " + Number(storedRows) + " of " + Number(rows) + " rows";
}

FactLines PropertyLines(const lumenor::ImageHeader& header, const FileFacts& file,
                        std::optional<int> storedRows) {
  FactLines lines = {
      {"File name", file.name},
      {"Folder", file.folder},
      {"File size", GroupedNumber(file.size) + " bytes"},
      {"Modified", file.modified},
      {"Size", Number(header.width) + " x " + Number(header.height) + " pixels"},
      {"Channels", ChannelsText(header.channels)},
      {"Storage", header.storage == 1 ? "run-length" : "uncompressed"},
      {"Bytes per channel", Number(header.bytesPerChannel)},
      {"Dimension", Number(header.dimension)},
      {"Pixel range", Number(header.pixelMin) + " to " + Number(header.pixelMax)},
      {"Colour map", ColourMapText(header.colourMap)},
      {"Image name", ImageNameText(header)},
  };
  if (header.storage == 1) {
    // What the rows take in the file (tables included) against the picture's own bytes.
    const std::uint64_t packed =
        file.size > lumenor::kHeaderSize ? file.size - lumenor::kHeaderSize : 0;
    const std::uint64_t unpacked = std::uint64_t(header.width) * std::uint64_t(header.height) *
                                   header.channels * header.bytesPerChannel;
    std::string value =
        GroupedNumber(packed) + " bytes packed, " + GroupedNumber(unpacked) + " unpacked";
    if (unpacked > 0)
      value += " (" + Number(std::int64_t((packed * 100 + unpacked / 2) / unpacked)) + " %)";
    lines.emplace_back("Packed size", value);
  }
  if (storedRows)
    lines.emplace_back("Stored rows", Number(*storedRows) + " of " + Number(header.height) +
                                          " (the file ends early)");
  return lines;
}

std::string ChannelValuesText(unsigned channels, const std::uint8_t* values,
                              unsigned bytesPerChannel) {
  static const char* const kLabels[][4] = {
      {"V"}, {"V", "A"}, {"R", "G", "B"}, {"R", "G", "B", "A"}};
  std::string text;
  if (channels < 1 || channels > 4) return text;
  for (unsigned c = 0; c < channels; ++c)
    text.append(c == 0 ? "" : " ")
        .append(kLabels[channels - 1][c])
        .append(1, ' ')
        .append(Number(bytesPerChannel == 2 ? values[2 * c] << 8 | values[2 * c + 1] : values[c]));
  return text;
}

std::string PixelValuesText(int x, int y, unsigned channels, const std::uint8_t* values,
                            unsigned bytesPerChannel) {
  const std::string text = Number(x) + ", " + Number(y) + ":";
  const std::string channelValues = ChannelValuesText(channels, values, bytesPerChannel);
  return channelValues.empty() ? text : text + " " + channelValues;
}
