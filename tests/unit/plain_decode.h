#pragma once

// What a file's pixels come to, worked out the plain way, one value at a time and independently
// of the decoder: the stored values, and the canvas a load paints over a background. Bytes past
// the end of the file read as zeros. A run-length channel row keeps, beyond its last value, what
// the rows below it left; a grey run-length row leaves the rest of the canvas row alone (stored:
// zeros). A negative offset, or a colour row longer than the width, stops the load at that row.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"
#include "sgi_builder.h"

namespace testing_support {

struct PlainDecode {
  int width = 0, height = 0, channels = 0;
  std::vector<std::uint8_t> values;  // top row first, channels bytes a pixel
  std::vector<bool> decoded;         // per pixel: whether the file gave it a value
  int failedRow = -1;                // the file row (from the bottom) a load stops at, or -1

  std::uint8_t At(int x, int y, int c) const {
    return values[(static_cast<std::size_t>(y) * width + x) * channels + c];
  }
};

inline PlainDecode DecodePlainly(const sgi::Bytes& file) {
  const auto byte = [&](std::uint64_t at) -> unsigned { return at < file.size() ? file[at] : 0; };
  const auto word = [&](std::uint64_t at) { return byte(at) << 8 | byte(at + 1); };
  PlainDecode d;
  d.width = static_cast<int>(word(6));
  d.height = static_cast<int>(word(8));
  d.channels = static_cast<int>(word(10));
  const bool rle = byte(2) == 1;
  const std::size_t w = d.width, h = d.height, z = d.channels;
  d.values.assign(w * h * z, 0);
  d.decoded.assign(w * h, false);
  std::vector<std::vector<std::uint8_t>> rows(z, std::vector<std::uint8_t>(w, 0));
  std::vector<std::size_t> counts(z, w);
  for (std::size_t r = 0; r < h && d.failedRow < 0; ++r) {
    for (std::size_t c = 0; c < z && d.failedRow < 0; ++c) {
      if (!rle) {
        for (std::size_t x = 0; x < w; ++x)
          rows[c][x] = std::uint8_t(byte(512 + (c * h + r) * w + x));
        continue;
      }
      const std::uint64_t entry = 512 + 4 * (r + c * h);
      const auto offset = static_cast<std::int32_t>(word(entry) << 16 | word(entry + 2));
      if (offset < 0) {
        d.failedRow = int(r);
        break;
      }
      std::uint64_t at = std::uint64_t(offset);
      std::size_t i = 0;
      for (;;) {
        const unsigned k = byte(at++);
        const std::size_t n = k & 0x7F;
        if (n == 0) break;
        if (i + n > w && z > 1) {
          d.failedRow = int(r);
          break;
        }
        for (std::size_t m = 0; m < n; ++m, ++i)
          if (i < w) rows[c][i] = std::uint8_t(byte(k & 0x80 ? at++ : at));
        if (!(k & 0x80)) ++at;
      }
      counts[c] = std::min(i, w);
    }
    if (d.failedRow >= 0) break;
    const std::size_t y = h - 1 - r;
    const std::size_t painted = rle && z == 1 ? counts[0] : w;
    for (std::size_t x = 0; x < painted; ++x) {
      d.decoded[y * w + x] = true;
      for (std::size_t c = 0; c < z; ++c) d.values[(y * w + x) * z + c] = rows[c][x];
    }
  }
  return d;
}

// The canvas a load of the file paints over background: grey and RGB as they are, alpha laid over
// the background with old + round((source - old) * alpha / 255).
inline std::vector<lumenor::Pixel> PlainCanvas(const PlainDecode& d, lumenor::Pixel background) {
  std::vector<lumenor::Pixel> out(static_cast<std::size_t>(d.width) * d.height, background);
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) {
      if (!d.decoded[static_cast<std::size_t>(y) * d.width + x]) continue;
      const bool grey = d.channels <= 2;
      unsigned rgb[3] = {d.At(x, y, 0), d.At(x, y, grey ? 0 : 1), d.At(x, y, grey ? 0 : 2)};
      if (d.channels == 2 || d.channels == 4) {
        const double alpha = d.At(x, y, d.channels - 1);
        const unsigned old[3] = {lumenor::RedOf(background), lumenor::GreenOf(background),
                                 lumenor::BlueOf(background)};
        for (int i = 0; i < 3; ++i)
          rgb[i] = static_cast<unsigned>(old[i] +
                                         std::nearbyint((double(rgb[i]) - old[i]) * alpha / 255.0));
      }
      out[static_cast<std::size_t>(y) * d.width + x] = lumenor::MakePixel(rgb[0], rgb[1], rgb[2]);
    }
  return out;
}

// A run-length file whose rows end early, at random, in every channel: some hold no values at
// all, some all of them; identical rows are shared when the layout says so.
inline sgi::Bytes RaggedRle(const sgi::Planes& planes, sgi::Layout layout, unsigned seed) {
  std::vector<sgi::Bytes> rows;
  std::uint32_t state = seed;
  for (unsigned c = 0; c < planes.channels; ++c)
    for (unsigned r = 0; r < planes.height; ++r) {
      state = state * 1664525u + 1013904223u;
      const unsigned pick = state >> 24;
      const unsigned count = pick < 64 ? 0 : pick < 160 ? pick % (planes.width + 1) : planes.width;
      rows.push_back(sgi::EncodeRleRow(planes.row(c, r), count));
    }
  return sgi::RleFromRows({.xsize = planes.width, .ysize = planes.height, .zsize = planes.channels},
                          rows, layout);
}

// Files of every shape cut short, or with ragged, shared or broken rows.
struct DamagedFile {
  std::string what;
  sgi::Bytes bytes;
};

inline std::vector<DamagedFile> DamagedFiles() {
  const char* const shapes[] = {"", "grey", "grey_alpha", "rgb", "rgba"};
  std::vector<DamagedFile> files;
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    const std::string shape = shapes[channels];
    const auto planes = sgi::Pattern(37, 21, channels, 3 * channels);
    const std::size_t plane = std::size_t{37} * 21;
    const auto verbatim = sgi::Verbatim({}, planes);
    const std::size_t verbatimCuts[] = {512, 512 + 37 * 5 + 11, 512 + plane, 512 + plane + 100,
                                        512 + plane * channels - 40};
    for (const std::size_t size : verbatimCuts)
      files.push_back(
          {shape + " verbatim cut at " + std::to_string(size),
           sgi::Bytes(verbatim.begin(),
                      verbatim.begin() + std::ptrdiff_t(std::min(size, verbatim.size())))});
    const auto rle = sgi::Rle({}, planes, sgi::Layout::kBottomFirst);
    const std::size_t tables = 512 + std::size_t{8} * 21 * channels;
    const std::size_t rleCuts[] = {512, tables - 4, tables, tables + 300, rle.size() - 90};
    for (const std::size_t size : rleCuts)
      files.push_back(
          {shape + " rle cut at " + std::to_string(size),
           sgi::Bytes(rle.begin(), rle.begin() + std::ptrdiff_t(std::min(size, rle.size())))});
    for (auto layout : {sgi::Layout::kTopFirst, sgi::Layout::kShuffled, sgi::Layout::kShared})
      files.push_back(
          {shape + " ragged " + sgi::LayoutName(layout), RaggedRle(planes, layout, channels)});
    auto rows = std::vector<sgi::Bytes>(21 * channels, sgi::Bytes{37, 0x40, 0});
    rows[9 + 21 * (channels - 1)] = {38, 0x41, 0};  // row 9 of the last channel
    files.push_back(
        {shape + " row 9 too long", sgi::RleFromRows({.xsize = 37, .ysize = 21, .zsize = channels},
                                                     rows, sgi::Layout::kShuffled)});
    auto negative = sgi::Rle({}, planes, sgi::Layout::kPlanar);
    sgi::PutLong(negative, 512 + 4 * (12 + 21 * (channels - 1)), 0x80000000u);
    files.push_back({shape + " row 12 negative", negative});
  }
  return files;
}

}  // namespace testing_support
