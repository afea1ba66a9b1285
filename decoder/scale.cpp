#include "scale.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <numeric>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenor {

Zoom MakeZoom(std::int64_t num, std::int64_t den) {
  const std::int64_t divisor = std::gcd(num, den);
  return {static_cast<int>(num / divisor), static_cast<int>(den / divisor)};
}

AxisWeights::AxisWeights(int sourceLength, Zoom zoom) : zoom_(zoom) {
  // Weights are below den and must fit 16 bits; sums of a row are at most 255 * den.
  assert(!zoom.Enlarges() && zoom.num > 0 && zoom.den <= 65535);
  const auto length = static_cast<int>(zoom.ScaledLength(sourceLength));
  // In units of 1 / num of a picture pixel, picture pixel s spans [s * num, (s + 1) * num) and
  // scaled pixel o spans [o * den, (o + 1) * den); the picture ends at sourceLength * num.
  const std::int64_t num = zoom.num, den = zoom.den, end = std::int64_t{sourceLength} * num;
  first_.resize(static_cast<std::size_t>(length));
  total_.resize(static_cast<std::size_t>(length));
  start_.reserve(static_cast<std::size_t>(length) + 1);
  weights_.reserve(static_cast<std::size_t>(sourceLength) + static_cast<std::size_t>(length));
  for (int o = 0; o < length; ++o) {
    const std::int64_t from = o * den, to = std::min((o + 1) * den, end);
    first_[o] = static_cast<int>(from / num);
    total_[o] = static_cast<std::uint32_t>(to - from);
    start_.push_back(weights_.size());
    for (std::int64_t s = from / num; s * num < to; ++s)
      weights_.push_back(
          static_cast<std::uint32_t>(std::min((s + 1) * num, to) - std::max(s * num, from)));
  }
  start_.push_back(weights_.size());
}

int AxisWeights::FirstCovering(int s) const {
  return static_cast<int>(std::int64_t{s} * zoom_.num / zoom_.den);
}

int AxisWeights::LastCovering(int s) const {
  const std::int64_t last = ((std::int64_t{s} + 1) * zoom_.num - 1) / zoom_.den;
  return static_cast<int>(std::min<std::int64_t>(last, Length() - 1));
}

PictureScaler::PictureScaler(int width, int height, Zoom zoom, ScaledAlpha alpha)
    : zoom_(zoom),
      alpha_(alpha),
      alphaMask_(alpha == ScaledAlpha::kOpaque ? 0xFF000000u : 0u),
      width_(width),
      scaledWidth_(static_cast<int>(zoom.ScaledLength(width))),
      scaledHeight_(static_cast<int>(zoom.ScaledLength(height))) {
  if (!zoom.Shrinks()) return;
  columns_ = AxisWeights(width, zoom);
  rows_ = AxisWeights(height, zoom);
  const std::int64_t num = zoom.num, den = zoom.den;
  exact16_ = den <= 16;
  unitWeights_ = num == 1;
  int mostRows = 0;
  for (int o = 0; o < rows_.Length(); ++o) mostRows = std::max(mostRows, rows_.Count(o));
  terms_.resize(static_cast<std::size_t>(mostRows) * 2);
  // n scaled columns cover at most n * den / num + 2 picture columns.
  const std::int64_t chunkPixels = exact16_ ? 512 : 256;
  columnsPerChunk_ = static_cast<int>(std::max<std::int64_t>(1, (chunkPixels - 2) * num / den));
  const auto chunkSpan =
      static_cast<std::size_t>(std::min<std::int64_t>(width, columnsPerChunk_ * den / num + 2));
  const int last = columns_.Length() - 1;
  if (exact16_) {
    // Whole periods of the picture's columns: den of them make num scaled columns, every period
    // alike; only a last scaled column cut short by the picture's edge differs.
    const AxisWeights period(zoom.den, zoom);
    fullColumns_ = static_cast<int>(width * num / den);
    for (int j = 0; j < period.Length(); ++j) span_ = std::max(span_, period.Count(j));
    span_ = std::max(span_, columns_.Count(last));
    const auto lanes = static_cast<std::size_t>(span_) * 8;
    periodWeights_.resize(static_cast<std::size_t>(period.Length()) * lanes);
    periodFirst_.resize(static_cast<std::size_t>(period.Length()));
    for (int j = 0; j < period.Length(); ++j) {
      periodFirst_[j] = period.First(j);
      for (int k = 0; k < period.Count(j); ++k)
        std::fill_n(periodWeights_.begin() + static_cast<std::ptrdiff_t>(j * lanes + k * 8), 8,
                    static_cast<std::uint16_t>(period.Weights(j)[k]));
    }
    lastWeights_.resize(lanes);
    for (int k = 0; k < columns_.Count(last); ++k)
      std::fill_n(lastWeights_.begin() + k * 8, 8,
                  static_cast<std::uint16_t>(columns_.Weights(last)[k]));
    // Sums past a column's own are read with weight 0, and blocks of 4 run past the chunk.
    sums16_.resize((chunkSpan + static_cast<std::size_t>(span_) + 4) * 8);
  } else {
    for (int c = 0; c < columns_.Length(); ++c) span_ = std::max(span_, columns_.Count(c));
    // Shares of 0 pad every column to span_: adding 0 to a sum leaves it as it was.
    const auto lanes = static_cast<std::size_t>(span_) * 4;
    columnShares_.resize(static_cast<std::size_t>(columns_.Length()) * lanes);
    for (int c = 0; c < columns_.Length(); ++c)
      for (int k = 0; k < columns_.Count(c); ++k)
        std::fill_n(
            columnShares_.begin() + static_cast<std::ptrdiff_t>(c * lanes + k * 4), 4,
            static_cast<float>(columns_.Weights(c)[k]) / static_cast<float>(columns_.Total(c)));
    sumsFloat_.resize((chunkSpan + static_cast<std::size_t>(span_) + 4) * 8);
  }
}

int PictureScaler::FirstScaledRow(int top) const {
  return zoom_.Shrinks() ? rows_.FirstCovering(top) : top * zoom_.num / zoom_.den;
}

int PictureScaler::LastScaledRow(int bottom) const {
  return zoom_.Shrinks() ? rows_.LastCovering(bottom) : (bottom + 1) * zoom_.num / zoom_.den - 1;
}

int PictureScaler::FirstPictureRow(int o) const {
  return zoom_.Shrinks() ? rows_.First(o) : o / zoom_.num;
}

int PictureScaler::LastPictureRow(int o) const {
  return zoom_.Shrinks() ? rows_.First(o) + rows_.Count(o) - 1 : o / zoom_.num;
}

void PictureScaler::Scale(const Pixel* picture, std::size_t stride, int x, int y, int columns,
                          int rows, Pixel* out, std::size_t outStride) {
  assert(x >= 0 && y >= 0 && x + columns <= scaledWidth_ && y + rows <= scaledHeight_);
  if (columns <= 0 || rows <= 0) return;
  if (zoom_.Shrinks())
    Shrink(picture, stride, x, y, columns, rows, out, outStride);
  else
    Enlarge(picture, stride, x, y, columns, rows, out, outStride);
}

void PictureScaler::Shrink(const Pixel* picture, std::size_t stride, int x, int y, int columns,
                           int rows, Pixel* out, std::size_t outStride) {
  // Two scaled rows at a time, so that every sum across serves two pixels.
  for (int o = y; o < y + rows; o += 2) {
    const bool pair = o + 1 < y + rows;
    RowTerm* const termsA = terms_.data();
    const int countA = SetRowTerms(picture, stride, o, termsA);
    RowTerm* const termsB = termsA + countA;
    const int countB = pair ? SetRowTerms(picture, stride, o + 1, termsB) : 0;
    const int totalA = static_cast<int>(rows_.Total(o));
    const int totalB = pair ? static_cast<int>(rows_.Total(o + 1)) : totalA;
    Pixel* const outA = out + static_cast<std::size_t>(o - y) * outStride;
    Pixel* const outB = pair ? outA + outStride : outA;  // a single row: b is a again
    for (int first = x; first < x + columns; first += columnsPerChunk_) {
      const int end = std::min(first + columnsPerChunk_, x + columns);
      const int from = columns_.First(first);
      SumDown(termsA, countA, termsB, countB, from,
              columns_.First(end - 1) + columns_.Count(end - 1));
      Pixel* const chunkA = outA + (first - x);
      Pixel* const chunkB = outB + (first - x);
      if (exact16_)
        AverageAcrossExact(first, end, from, totalA, totalB, chunkA, chunkB);
      else
        AverageAcrossFloat(first, end, from, totalA, totalB, chunkA, chunkB);
    }
  }
}

int PictureScaler::SetRowTerms(const Pixel* picture, std::size_t stride, int o,
                               RowTerm* terms) const {
  const std::uint32_t* weights = rows_.Weights(o);
  const auto row = [&](int k) {
    return reinterpret_cast<const std::uint8_t*>(
        picture + static_cast<std::size_t>(rows_.First(o) + k) * stride);
  };
  if (zoom_.den <= 257) {  // weights below 257
    for (int k = 0; k < rows_.Count(o); ++k) {
      terms[k].bytes = row(k);
      std::fill_n(terms[k].weight16, 8, static_cast<std::uint16_t>(weights[k]));
    }
    return rows_.Count(o);
  }
  // Pairs of rows; weights must be below 2^15, so a larger one is split in two halves of the row.
  int count = 0;
  bool half = false;  // the first half of a row is placed
  for (int k = 0; k < rows_.Count(o);) {
    const std::uint32_t weight = weights[k];
    const std::uint32_t part = weight < 32768 ? weight : half ? weight / 2 : weight - weight / 2;
    RowTerm& term = terms[count / 2];
    if (count % 2 == 0) {
      term.bytes = term.partner = row(k);
      std::fill_n(term.weight16, 8, std::uint16_t{0});
    } else {
      term.partner = row(k);
    }
    for (int lane = count % 2; lane < 8; lane += 2)
      term.weight16[lane] = static_cast<std::uint16_t>(part);
    ++count;
    half = weight >= 32768 && !half;
    if (!half) ++k;
  }
  return (count + 1) / 2;
}

void PictureScaler::Enlarge(const Pixel* picture, std::size_t stride, int x, int y, int columns,
                            int rows, Pixel* out, std::size_t outStride) const {
  const int factor = zoom_.num;  // a whole number, den == 1
  for (int o = y; o < y + rows; ++o) {
    Pixel* line = out + static_cast<std::size_t>(o - y) * outStride;
    if (o > y && o / factor == (o - 1) / factor) {  // the same picture row as the line above
      std::memcpy(line, line - outStride, static_cast<std::size_t>(columns) * sizeof(Pixel));
      continue;
    }
    const Pixel* row = picture + static_cast<std::size_t>(o / factor) * stride;
    int c = x;
    for (Pixel* at = line; c < x + columns;) {
      const Pixel value = row[c / factor];
      const int run = std::min(factor - c % factor, x + columns - c);
      at = std::fill_n(at, run, value);
      c += run;
    }
  }
}

}  // namespace lumenor
