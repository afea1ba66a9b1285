#include "scale.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <numeric>

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

PictureScaler::PictureScaler(int width, int height, Zoom zoom)
    : zoom_(zoom),
      scaledWidth_(static_cast<int>(zoom.ScaledLength(width))),
      scaledHeight_(static_cast<int>(zoom.ScaledLength(height))) {
  if (zoom.Shrinks()) {
    columns_ = AxisWeights(width, zoom);
    rows_ = AxisWeights(height, zoom);
    if (zoom.den <= 257)
      sums16_.resize(static_cast<std::size_t>(width) * 4);
    else
      sums32_.resize(static_cast<std::size_t>(width) * 4);
    columnShares_.resize(columns_.WeightCount());
    for (int c = 0; c < columns_.Length(); ++c)
      for (int k = 0; k < columns_.Count(c); ++k)
        columnShares_[columns_.WeightsAt(c) + static_cast<std::size_t>(k)] =
            static_cast<float>(columns_.Weights(c)[k]) / static_cast<float>(columns_.Total(c));
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

namespace {

// sums[i] += bytes[i] * weight: plain loops over bytes the compiler turns into vector code, kept
// out of line so that it sees the narrow types it may multiply in.
template <typename Sum>
[[gnu::noinline]] void AddWeighted(Sum* __restrict sums, const std::uint8_t* __restrict bytes,
                                   std::size_t count, std::uint16_t weight) {
  for (std::size_t i = 0; i < count; ++i) sums[i] = static_cast<Sum>(sums[i] + bytes[i] * weight);
}

using Float4 = float __attribute__((vector_size(16)));

// The four sums of one pixel as floats.
#if defined(__SSE2__)
Float4 LoadFloat4(const std::uint16_t* at) {
  const __m128i sums = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(sums, _mm_setzero_si128()));
}

Float4 LoadFloat4(const std::uint32_t* at) {  // below 2^24, so read as signed all the same
  return _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}
#else
template <typename Sum>
Float4 LoadFloat4(const Sum* at) {
  return Float4{static_cast<float>(at[0]), static_cast<float>(at[1]), static_cast<float>(at[2]),
                static_cast<float>(at[3])};
}
#endif

// A pixel from its four byte values (blue, green, red, alpha) given as floats from 0 to 255.9.
#if defined(__SSE2__)
Pixel PackPixel(Float4 bytes) {
  const __m128i words = _mm_cvttps_epi32(bytes);
  const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(words, words), words);
  return static_cast<Pixel>(_mm_cvtsi128_si32(packed)) | 0xFF000000u;
}
#else
Pixel PackPixel(Float4 bytes) {
  return MakePixel(static_cast<unsigned>(bytes[2]), static_cast<unsigned>(bytes[1]),
                   static_cast<unsigned>(bytes[0]));
}
#endif

template <typename Sum>
[[gnu::noinline]] void AddPlain(Sum* __restrict sums, const std::uint8_t* __restrict bytes,
                                std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) sums[i] = static_cast<Sum>(sums[i] + bytes[i]);
}

}  // namespace

void PictureScaler::Shrink(const Pixel* picture, std::size_t stride, int x, int y, int columns,
                           int rows, Pixel* out, std::size_t outStride) {
  // The sums of a scaled row weigh den at most; below 257 they fit 16 bits, half the work.
  if (zoom_.den <= 257)
    ShrinkWith(sums16_, picture, stride, x, y, columns, rows, out, outStride);
  else
    ShrinkWith(sums32_, picture, stride, x, y, columns, rows, out, outStride);
}

template <typename Sum>
void PictureScaler::ShrinkWith(std::vector<Sum>& sums, const Pixel* picture, std::size_t stride,
                               int x, int y, int columns, int rows, Pixel* out,
                               std::size_t outStride) const {
  // A strip of scaled columns at a time, narrow enough that its sums stay in the nearest cache.
  constexpr int kStripPixels = 1024;
  for (int strip = x; strip < x + columns;) {
    const int from = columns_.First(strip);
    int end = strip + 1;
    while (end < x + columns && columns_.First(end) + columns_.Count(end) - from <= kStripPixels)
      ++end;
    const int last = columns_.First(end - 1) + columns_.Count(end - 1) - 1;
    const auto bytes = static_cast<std::size_t>(last - from + 1) * 4;
    for (int o = y; o < y + rows; ++o) {
      // Down the columns first: each picture row weighted by how much of it the scaled row
      // covers.
      std::fill_n(sums.data(), bytes, Sum{0});
      const std::uint32_t* weights = rows_.Weights(o);
      for (int k = 0; k < rows_.Count(o); ++k) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(
            picture + static_cast<std::size_t>(rows_.First(o) + k) * stride + from);
        if (weights[k] == 1)
          AddPlain(sums.data(), row, bytes);
        else  // weights are at most num, and num < den <= 65535
          AddWeighted(sums.data(), row, bytes, static_cast<std::uint16_t>(weights[k]));
      }
      AverageAcross(sums.data(), from, strip, end - strip,
                    out + static_cast<std::size_t>(o - y) * outStride + (strip - x),
                    1.0f / static_cast<float>(rows_.Total(o)));
    }
    strip = end;
  }
}

// Each scaled pixel of columns first..first + count - 1 is the weighted average of the sums
// under it (sums start at picture column from). The sums are below 2^24, so floats hold them
// exactly; the four bytes of a pixel are summed side by side, alpha's among them.
template <typename Sum>
void PictureScaler::AverageAcross(const Sum* sums, int from, int first, int count, Pixel* out,
                                  float rowScale) const {
  for (int c = first; c < first + count; ++c) {
    const float* shares = columnShares_.data() + columns_.WeightsAt(c);
    const Sum* at = sums + static_cast<std::size_t>(columns_.First(c) - from) * 4;
    Float4 total = {0, 0, 0, 0};
    for (int k = 0; k < columns_.Count(c); ++k, at += 4) total += LoadFloat4(at) * shares[k];
    out[c - first] = PackPixel(total * rowScale + 0.5f);
  }
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
