#pragma once

// A small writer of SGI image files for tests, the fuzzer's seed corpus and benchmarks: any header
// values, uncompressed planes, and run-length files with their rows laid out in any order.
#include <cstdint>
#include <string>
#include <vector>

namespace sgi {

using Bytes = std::vector<std::uint8_t>;

struct Header {
  unsigned magic = 474;
  unsigned storage = 0;
  unsigned bpc = 1;
  unsigned dimension = 3;
  unsigned xsize = 0;
  unsigned ysize = 0;
  unsigned zsize = 0;
  std::string name = "test";
};

// Pixel values of a picture: value(c, r, x) for channel c, file row r (0 = bottom), column x.
struct Planes {
  unsigned width = 0;
  unsigned height = 0;
  unsigned channels = 0;
  std::vector<std::uint8_t> values;  // channel-major, then row, then column

  std::uint8_t& at(unsigned c, unsigned r, unsigned x) {
    return values[(static_cast<std::size_t>(c) * height + r) * width + x];
  }
  std::uint8_t at(unsigned c, unsigned r, unsigned x) const {
    return values[(static_cast<std::size_t>(c) * height + r) * width + x];
  }
  const std::uint8_t* row(unsigned c, unsigned r) const {
    return values.data() + (static_cast<std::size_t>(c) * height + r) * width;
  }
};

// A picture with some structure in every channel; seed varies it.
Planes Pattern(unsigned width, unsigned height, unsigned channels, unsigned seed = 1);

// The same for pictures of 16 bits a channel.
struct Planes16 {
  unsigned width = 0;
  unsigned height = 0;
  unsigned channels = 0;
  std::vector<std::uint16_t> values;  // channel-major, then row, then column

  std::uint16_t at(unsigned c, unsigned r, unsigned x) const {
    return values[(static_cast<std::size_t>(c) * height + r) * width + x];
  }
  const std::uint16_t* row(unsigned c, unsigned r) const {
    return values.data() + (static_cast<std::size_t>(c) * height + r) * width;
  }
};
// Runs and noise over the whole range, values near 0 and 65535 and half-way between 8-bit steps
// (v = 257k + 128 and + 129, where rounding to 8 bits turns) among them.
Planes16 Pattern16(unsigned width, unsigned height, unsigned channels, unsigned seed = 1);
// Each value as the screen shows it: round(v * 255 / 65535), worked out in floating point.
Planes Narrowed(const Planes16& planes);

enum class Layout {
  kBottomFirst,  // row-interleaved, row 0 first: r0c0 r0c1 r0c2 r1c0 ...
  kTopFirst,     // row-interleaved, top row first
  kPlanar,       // every row of channel 0, then channel 1, ...
  kShuffled,     // a fixed pseudo-random order
  kShared,       // identical rows stored once
};
std::string LayoutName(Layout layout);

void PutWord(Bytes& out, std::size_t at, unsigned value);
void PutLong(Bytes& out, std::size_t at, std::uint32_t value);

Bytes EncodeHeader(const Header& header);
Bytes Verbatim(Header header, const Planes& planes);
// Two bytes a value, big-endian; the header says BPC 2.
Bytes Verbatim16(Header header, const Planes16& planes);
// One run-length channel row, ending with a zero count byte.
Bytes EncodeRleRow(const std::uint8_t* values, std::size_t count);
// One run-length row of 16-bit values: count words (the count byte in the low byte, high byte
// highByte) followed by values, ending with a zero count word.
Bytes EncodeRleRow16(const std::uint16_t* values, std::size_t count, std::uint8_t highByte = 0);
// A run-length file; the header's sizes are taken from planes.
Bytes Rle(Header header, const Planes& planes, Layout layout = Layout::kBottomFirst);
// Its count words carry a high byte of 0xA5, which readers do not look at.
Bytes Rle16(Header header, const Planes16& planes, Layout layout = Layout::kBottomFirst);
// Same, with the given stored rows: rows[r + c * height] is what starttab points at for that row.
Bytes RleFromRows(Header header, const std::vector<Bytes>& rows, Layout layout);

}  // namespace sgi
