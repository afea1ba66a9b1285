#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image_header.h"
#include "scale.h"

// What the window says about a picture, as text: the Properties dialog's lines and the status
// bar's. Plain functions, the same on every machine and under every locale.

// What the file system says of the picture's file.
struct FileFacts {
  std::string name;    // UTF-8, as shown
  std::string folder;  // UTF-8, as shown
  std::uint64_t size = 0;
  std::string modified;  // already written out, as the desktop shows times
};

using FactLines = std::vector<std::pair<std::string, std::string>>;

// One line each, label and value: the file, then what its header says; for a file that ends
// early, how many of the picture's rows it stores whole (storedRows of the header's height).
FactLines PropertyLines(const lumenor::ImageHeader& header, const FileFacts& file,
                        std::optional<int> storedRows = std::nullopt);

// "incomplete: 200 of 480 rows": a file that ends early, as the status bar says it.
std::string IncompleteText(int storedRows, int rows);

// "1 (grey)", "2 (grey with alpha)", "3 (RGB)", "4 (RGBA)", or just the number.
std::string ChannelsText(unsigned channels);
// The image name up to its first zero byte as the window title shows it (Latin-1), with control
// characters written as \xNN.
std::string ImageNameText(const lumenor::ImageHeader& header);
// "1,234,567": digits in groups of three.
std::string GroupedNumber(std::uint64_t value);
// "100 %", "33.3 %", "3200 %".
std::string ZoomText(lumenor::Zoom zoom);

// The values the file stores for one pixel, before anything is laid over the background:
// "x, y: V v" (grey), "x, y: V v A a", "x, y: R r G g B b", "x, y: R r G g B b A a". values
// holds bytesPerChannel bytes a value, big-endian as the file stores them (0 to 65535 at two).
// ChannelValuesText is the part after the colon.
std::string ChannelValuesText(unsigned channels, const std::uint8_t* values,
                              unsigned bytesPerChannel = 1);
std::string PixelValuesText(int x, int y, unsigned channels, const std::uint8_t* values,
                            unsigned bytesPerChannel = 1);
