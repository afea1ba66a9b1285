#include "sgi_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <random>

namespace sgi {

Planes Pattern(unsigned width, unsigned height, unsigned channels, unsigned seed) {
  Planes p{width, height, channels, {}};
  p.values.resize(static_cast<std::size_t>(width) * height * channels);
  std::mt19937 random(seed);
  for (unsigned c = 0; c < channels; ++c)
    for (unsigned r = 0; r < height; ++r)
      for (unsigned x = 0; x < width; ++x) {
        // Runs and noise mixed, so both packet kinds appear.
        const unsigned band = (x / 5 + r / 3 + c * 7) % 4;
        p.at(c, r, x) = static_cast<std::uint8_t>(
            band == 0 ? random() : (x * 3 + r * 11 + c * 50 + seed) & 0xF0);
      }
  return p;
}

Planes16 Pattern16(unsigned width, unsigned height, unsigned channels, unsigned seed) {
  Planes16 p{width, height, channels, {}};
  p.values.reserve(static_cast<std::size_t>(width) * height * channels);
  std::mt19937 random(seed);
  for (unsigned c = 0; c < channels; ++c)
    for (unsigned r = 0; r < height; ++r)
      for (unsigned x = 0; x < width; ++x) {
        const unsigned band = (x / 5 + r / 3 + c * 7) % 5;
        const unsigned k = (x * 3 + r * 11 + c * 50 + seed) % 256;
        const unsigned value = band == 0   ? random() & 0xFFFF
                               : band == 1 ? 257 * k + 128 + (x & 1)  // either side of a turn
                               : band == 2 ? (x + r) % 2 * 65535
                                           : (k & 0xF0) * 257;
        p.values.push_back(static_cast<std::uint16_t>(std::min(value, 65535u)));
      }
  return p;
}

Planes Narrowed(const Planes16& planes) {
  Planes out{planes.width, planes.height, planes.channels, {}};
  for (const std::uint16_t v : planes.values)
    out.values.push_back(static_cast<std::uint8_t>(std::lround(v * 255.0 / 65535.0)));
  return out;
}

std::string LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kBottomFirst:
      return "bottom_first";
    case Layout::kTopFirst:
      return "top_first";
    case Layout::kPlanar:
      return "planar";
    case Layout::kShuffled:
      return "shuffled";
    case Layout::kShared:
      return "shared";
  }
  return "?";
}

void PutWord(Bytes& out, std::size_t at, unsigned value) {
  out[at] = static_cast<std::uint8_t>(value >> 8);
  out[at + 1] = static_cast<std::uint8_t>(value);
}

void PutLong(Bytes& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

Bytes EncodeHeader(const Header& h) {
  Bytes out(512, 0);
  PutWord(out, 0, h.magic);
  out[2] = static_cast<std::uint8_t>(h.storage);
  out[3] = static_cast<std::uint8_t>(h.bpc);
  PutWord(out, 4, h.dimension);
  PutWord(out, 6, h.xsize);
  PutWord(out, 8, h.ysize);
  PutWord(out, 10, h.zsize);
  PutLong(out, 16, 255);
  std::copy_n(h.name.begin(), std::min<std::size_t>(h.name.size(), 80), out.begin() + 24);
  return out;
}

Bytes Verbatim(Header header, const Planes& planes) {
  header.storage = 0;
  header.xsize = planes.width;
  header.ysize = planes.height;
  header.zsize = planes.channels;
  Bytes out = EncodeHeader(header);
  out.insert(out.end(), planes.values.begin(), planes.values.end());
  return out;
}

Bytes Verbatim16(Header header, const Planes16& planes) {
  header.storage = 0;
  header.bpc = 2;
  header.xsize = planes.width;
  header.ysize = planes.height;
  header.zsize = planes.channels;
  Bytes out = EncodeHeader(header);
  for (const std::uint16_t v : planes.values) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
  }
  return out;
}

Bytes EncodeRleRow16(const std::uint16_t* values, std::size_t count, std::uint8_t highByte) {
  Bytes out;
  const auto word = [&out](unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
  };
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 127 && values[i + run] == values[i]) ++run;
    if (run >= 3) {  // as EncodeRleRow: the same packets for the same values
      word(highByte << 8 | run);
      word(values[i]);
      i += run;
      continue;
    }
    std::size_t literal = 0;
    while (i + literal < count && literal < 127) {
      const std::size_t j = i + literal;
      if (j + 2 < count && values[j] == values[j + 1] && values[j] == values[j + 2]) break;
      ++literal;
    }
    word(highByte << 8 | 0x80 | literal);
    for (std::size_t m = 0; m < literal; ++m) word(values[i + m]);
    i += literal;
  }
  word(highByte << 8);
  return out;
}

Bytes EncodeRleRow(const std::uint8_t* values, std::size_t count) {
  Bytes out;
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 127 && values[i + run] == values[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<std::uint8_t>(run));
      out.push_back(values[i]);
      i += run;
      continue;
    }
    std::size_t literal = 0;
    while (i + literal < count && literal < 127) {
      const std::size_t j = i + literal;
      if (j + 2 < count && values[j] == values[j + 1] && values[j] == values[j + 2]) break;
      ++literal;
    }
    out.push_back(static_cast<std::uint8_t>(0x80 | literal));
    out.insert(out.end(), values + i, values + i + literal);
    i += literal;
  }
  out.push_back(0);
  return out;
}

Bytes RleFromRows(Header header, const std::vector<Bytes>& rows, Layout layout) {
  header.storage = 1;
  const unsigned height = header.ysize;
  const std::size_t count = rows.size();
  std::vector<std::size_t> order;  // indices r + c * height in storage order
  for (std::size_t i = 0; i < count; ++i) order.push_back(i);
  const unsigned channels = height == 0 ? 0 : static_cast<unsigned>(count / height);
  switch (layout) {
    case Layout::kBottomFirst:
    case Layout::kShared:
    case Layout::kTopFirst:
      order.clear();
      for (unsigned k = 0; k < height; ++k) {
        const unsigned r = layout == Layout::kTopFirst ? height - 1 - k : k;
        for (unsigned c = 0; c < channels; ++c)
          order.push_back(r + static_cast<std::size_t>(c) * height);
      }
      break;
    case Layout::kPlanar:
      break;
    case Layout::kShuffled:
      std::shuffle(order.begin(), order.end(), std::mt19937(42));
      break;
  }
  Bytes out = EncodeHeader(header);
  const std::size_t tableStart = out.size();
  out.resize(tableStart + count * 8, 0);
  // Our own ordering, not vector's: GCC 12 at -O3 reports a false -Wstringop-overread in the
  // memcmp that vector's operator<=> inlines into std::map.
  const auto bySizeThenBytes = [](const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    return !a.empty() && std::memcmp(a.data(), b.data(), a.size()) < 0;
  };
  std::map<Bytes, std::uint32_t, decltype(bySizeThenBytes)> stored(bySizeThenBytes);
  for (const std::size_t index : order) {
    std::uint32_t offset = static_cast<std::uint32_t>(out.size());
    const auto found = stored.find(rows[index]);
    if (layout == Layout::kShared && found != stored.end()) {
      offset = found->second;
    } else {
      stored.emplace(rows[index], offset);
      out.insert(out.end(), rows[index].begin(), rows[index].end());
    }
    PutLong(out, tableStart + index * 4, offset);
    PutLong(out, tableStart + (count + index) * 4, static_cast<std::uint32_t>(rows[index].size()));
  }
  return out;
}

Bytes Rle16(Header header, const Planes16& planes, Layout layout) {
  header.bpc = 2;
  header.xsize = planes.width;
  header.ysize = planes.height;
  header.zsize = planes.channels;
  std::vector<Bytes> rows;
  for (unsigned c = 0; c < planes.channels; ++c)
    for (unsigned r = 0; r < planes.height; ++r)
      rows.push_back(EncodeRleRow16(planes.row(c, r), planes.width, 0xA5));
  return RleFromRows(header, rows, layout);
}

Bytes Rle(Header header, const Planes& planes, Layout layout) {
  header.xsize = planes.width;
  header.ysize = planes.height;
  header.zsize = planes.channels;
  std::vector<Bytes> rows;
  for (unsigned c = 0; c < planes.channels; ++c)
    for (unsigned r = 0; r < planes.height; ++r)
      rows.push_back(EncodeRleRow(planes.row(c, r), planes.width));
  return RleFromRows(header, rows, layout);
}

}  // namespace sgi
