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

PictureScaler::PictureScaler(int width, int height, Zoom zoom)
    : zoom_(zoom),
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

namespace {

// 1 / d rounded up: a sum times it never falls short of the quotient, so that adding 1/2 and
// cutting off the fraction rounds an exact half up; and nothing else goes astray while d is small
// (at most 256 here, against float's 24 bits).
float ReciprocalUp(std::int64_t d) {
  float reciprocal = 1.0f / static_cast<float>(d);
  if (static_cast<double>(reciprocal) * static_cast<double>(d) < 1.0)
    reciprocal = std::nextafter(reciprocal, 2.0f);
  return reciprocal;
}

// Down the columns, for picture columns from..to - 1: the weighted sums of rows a and of rows b
// (or a again when there are none) side by side, 8 lanes a column, at out[(s - origin) * 8].
// One column at a time: at the picture's right edge, where a block of four would read past the
// row, and where there are no vectors.
template <bool kPairs, typename Sum, typename Term>
void SumDownEach(const Term* a, int countA, const Term* b, int countB, int from, int to, int origin,
                 Sum* out) {
  const auto sum = [](const Term* terms, int count, std::size_t at) {
    std::uint32_t total = 0;
    for (int t = 0; t < count; ++t) {
      total += terms[t].bytes[at] * std::uint32_t{terms[t].weight16[0]};
      if constexpr (kPairs) total += terms[t].partner[at] * std::uint32_t{terms[t].weight16[1]};
    }
    return total;
  };
  for (int s = from; s < to; ++s) {
    Sum* const sums = out + static_cast<std::size_t>(s - origin) * 8;
    for (int lane = 0; lane < 4; ++lane) {
      const auto at = static_cast<std::size_t>(s) * 4 + static_cast<std::size_t>(lane);
      const std::uint32_t sumA = sum(a, countA, at);
      sums[lane] = static_cast<Sum>(sumA);
      sums[lane + 4] = static_cast<Sum>(countB > 0 ? sum(b, countB, at) : sumA);
    }
  }
}

#if defined(__SSE2__)
// Sums s of up to 255 * d rounded to (s + d / 2) / d in 16-bit integers: (s + d / 2) * multiplier
// >> (16 + shift), with multiplier = ceil(2^(16 + shift) / d). It is the quotient while the sum
// times multiplier * d - 2^(16 + shift) stays below 2^(16 + shift), which holds for most d up to
// 256; where it holds for none, exact is false.
struct Divisor {
  bool exact = false;
  std::uint16_t half = 0;
  std::uint16_t multiplier = 0;
  int shift = 0;
};

Divisor MakeDivisor(std::int64_t d) {
  const std::int64_t most = 255 * d + d / 2;
  if (most > 65535) return {};
  for (int shift = 0; shift < 16; ++shift) {
    const std::int64_t power = std::int64_t{1} << (16 + shift);
    const std::int64_t multiplier = (power + d - 1) / d;
    if (multiplier > 65535) break;
    if (most * (multiplier * d - power) < power)
      return {true, static_cast<std::uint16_t>(d / 2), static_cast<std::uint16_t>(multiplier),
              shift};
  }
  return {};
}

const __m128i kOpaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));

// Two scaled pixels of each of two rows, as words (a's four bytes, then b's), to bytes, opaque.
// A single row passes outB == outA: b's are written first, then a's over them.
void StorePair(__m128i left, __m128i right, Pixel* outA, Pixel* outB) {
  const __m128i bytes = _mm_or_si128(
      _mm_shuffle_epi32(_mm_packus_epi16(left, right), _MM_SHUFFLE(3, 1, 2, 0)), kOpaque);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(outB), _mm_unpackhi_epi64(bytes, bytes));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(outA), bytes);
}

void StoreOne(__m128i words, Pixel* outA, Pixel* outB) {
  const __m128i bytes = _mm_or_si128(_mm_packus_epi16(words, words), kOpaque);
  *outB = static_cast<Pixel>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)));
  *outA = static_cast<Pixel>(_mm_cvtsi128_si32(bytes));
}

// The float sums of a scaled pixel of rows a and b, times their scales, rounded half up, as words.
__m128i RoundFloats(__m128 a, __m128 b, __m128 scaleA, __m128 scaleB) {
  const __m128 half = _mm_set1_ps(0.5f);
  return _mm_packs_epi32(_mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(a, scaleA), half)),
                         _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(b, scaleB), half)));
}

// Many rows at once are more streams than the hardware follows ahead of the reads.
constexpr std::size_t kPrefetchAhead = 128;

// The weighted sums of count rows for kBlocks blocks of four picture columns from byte at on,
// in 16-bit lanes: two registers a block, of two columns each.
template <int kBlocks, bool kUnitWeights, bool kPrefetch, typename Term>
[[gnu::always_inline]] inline void SumRows16(const Term* terms, int count, std::size_t at,
                                             __m128i* sums) {
  const __m128i zero = _mm_setzero_si128();
  for (int h = 0; h < 2 * kBlocks; ++h) sums[h] = zero;
  for (int t = 0; t < count; ++t) {
    const std::uint8_t* const bytes = terms[t].bytes + at;
    if constexpr (kPrefetch)
      _mm_prefetch(reinterpret_cast<const char*>(bytes + kPrefetchAhead), _MM_HINT_T0);
    const __m128i weight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(terms[t].weight16));
    for (int block = 0; block < kBlocks; ++block) {
      const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + block * 16));
      __m128i low = _mm_unpacklo_epi8(pixels, zero), high = _mm_unpackhi_epi8(pixels, zero);
      if constexpr (!kUnitWeights) {
        low = _mm_mullo_epi16(low, weight);
        high = _mm_mullo_epi16(high, weight);
      }
      sums[2 * block] = _mm_add_epi16(sums[2 * block], low);
      sums[2 * block + 1] = _mm_add_epi16(sums[2 * block + 1], high);
    }
  }
}

// Down the columns in 16-bit lanes, blocks of four picture columns from picture column from;
// store(i, aLow, aHigh, bLow, bHigh) takes block i's sums, two columns to a register.
template <bool kUnitWeights, bool kPrefetch, typename Term, typename Store>
void SumDown16(const Term* a, int countA, const Term* b, int countB, int from, int blocks,
               Store store) {
  const auto sumBlocks = [&](auto blockCount, int i) {
    constexpr int kBlocks = decltype(blockCount)::value;
    const auto at = (static_cast<std::size_t>(from) + static_cast<std::size_t>(i) * 4) * 4;
    __m128i sumsA[2 * kBlocks], sumsB[2 * kBlocks];
    SumRows16<kBlocks, kUnitWeights, kPrefetch>(a, countA, at, sumsA);
    if (countB > 0)
      SumRows16<kBlocks, kUnitWeights, kPrefetch>(b, countB, at, sumsB);
    else
      std::copy_n(sumsA, 2 * kBlocks, sumsB);
    for (int block = 0; block < kBlocks; ++block)
      store(i + block, sumsA[2 * block], sumsA[2 * block + 1], sumsB[2 * block],
            sumsB[2 * block + 1]);
  };
  int i = 0;
  for (; i + 1 < blocks; i += 2) sumBlocks(std::integral_constant<int, 2>{}, i);
  if (i < blocks) sumBlocks(std::integral_constant<int, 1>{}, i);
}

// Down the columns in 32-bit lanes, for den over 257: the rows in pairs, the bytes of a row and
// its partner side by side, multiplied and added at once. The sums are below 2^24, so floats hold
// them exactly; blocks of four picture columns from picture column from.
template <typename Term>
void SumDownPairs(const Term* a, int countA, const Term* b, int countB, int from, int blocks,
                  float* out) {
  const __m128i zero = _mm_setzero_si128();
  const auto sumRows = [zero](const Term* terms, int count, std::size_t at, __m128i* sums) {
    for (int p = 0; p < 4; ++p) sums[p] = zero;
    for (int t = 0; t < count; ++t) {
      _mm_prefetch(reinterpret_cast<const char*>(terms[t].bytes + at + kPrefetchAhead),
                   _MM_HINT_T0);
      _mm_prefetch(reinterpret_cast<const char*>(terms[t].partner + at + kPrefetchAhead),
                   _MM_HINT_T0);
      const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(terms[t].bytes + at));
      const __m128i second =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(terms[t].partner + at));
      const __m128i weights = _mm_loadu_si128(reinterpret_cast<const __m128i*>(terms[t].weight16));
      const __m128i low = _mm_unpacklo_epi8(first, second);
      const __m128i high = _mm_unpackhi_epi8(first, second);
      const __m128i pixels[4] = {_mm_unpacklo_epi8(low, zero), _mm_unpackhi_epi8(low, zero),
                                 _mm_unpacklo_epi8(high, zero), _mm_unpackhi_epi8(high, zero)};
      for (int p = 0; p < 4; ++p)
        sums[p] = _mm_add_epi32(sums[p], _mm_madd_epi16(pixels[p], weights));
    }
  };
  for (int i = 0; i < blocks; ++i) {
    const auto at = (static_cast<std::size_t>(from) + static_cast<std::size_t>(i) * 4) * 4;
    __m128i sumsA[4], sumsB[4];
    sumRows(a, countA, at, sumsA);
    if (countB > 0) sumRows(b, countB, at, sumsB);
    float* const block = out + static_cast<std::size_t>(i) * 32;
    for (int p = 0; p < 4; ++p) {
      _mm_storeu_ps(block + p * 8, _mm_cvtepi32_ps(sumsA[p]));
      _mm_storeu_ps(block + p * 8 + 4, _mm_cvtepi32_ps(countB > 0 ? sumsB[p] : sumsA[p]));
    }
  }
}

// Across, exactly: the sums of span picture columns from sums on, times their weights; below
// 2^16 in all.
template <int kSpan, bool kUnitWeights>
__m128i SumAcross(const std::uint16_t* sums, const std::uint16_t* weights, int span) {
  const int count = kSpan > 0 ? kSpan : span;
  __m128i total = _mm_setzero_si128();
  for (int k = 0; k < count; ++k) {
    __m128i column = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + k * 8));
    if constexpr (!kUnitWeights)
      column = _mm_mullo_epi16(column,
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + k * 8)));
    total = _mm_add_epi16(total, column);
  }
  return total;
}

// Exact sums to rounded averages: through the divisor when both rows have it, else in floats.
class ExactRounding {
 public:
  ExactRounding(std::int64_t totalA, std::int64_t totalB)
      : scaleA_(_mm_set1_ps(ReciprocalUp(totalA))), scaleB_(_mm_set1_ps(ReciprocalUp(totalB))) {
    const Divisor divisor = totalA == totalB ? MakeDivisor(totalA) : Divisor{};
    integer_ = divisor.exact;
    half_ = _mm_set1_epi16(static_cast<short>(divisor.half));
    multiplier_ = _mm_set1_epi16(static_cast<short>(divisor.multiplier));
    shift_ = _mm_cvtsi32_si128(divisor.shift);
  }
  bool Integer() const { return integer_; }

  template <bool kInteger>
  __m128i Round(__m128i sums) const {
    if constexpr (kInteger) {
      return _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(sums, half_), multiplier_), shift_);
    } else {
      const __m128i zero = _mm_setzero_si128();
      return RoundFloats(_mm_cvtepi32_ps(_mm_unpacklo_epi16(sums, zero)),
                         _mm_cvtepi32_ps(_mm_unpackhi_epi16(sums, zero)), scaleA_, scaleB_);
    }
  }

 private:
  __m128 scaleA_, scaleB_;
  bool integer_ = false;
  __m128i half_, multiplier_, shift_;
};

// Scaled columns first..end - 1, none cut short, whose sums start at picture column from.
template <int kSpan, bool kUnitWeights, bool kInteger>
void AverageAcrossPeriods(const std::uint16_t* sums, const int* periodFirst,
                          const std::uint16_t* periodWeights, Zoom zoom, int span, int first,
                          int end, int from, const ExactRounding& rounding, Pixel* outA,
                          Pixel* outB) {
  const auto weightsApart = static_cast<std::size_t>(kSpan > 0 ? kSpan : span) * 8;
  int j = first % zoom.num;                       // column first's place in its period
  int base = first / zoom.num * zoom.den - from;  // and where the period starts among the sums
  const std::uint16_t* weights = periodWeights + static_cast<std::size_t>(j) * weightsApart;
  const auto next = [&] {
    const __m128i total = SumAcross<kSpan, kUnitWeights>(
        sums + static_cast<std::size_t>(base + periodFirst[j]) * 8, weights, span);
    weights += weightsApart;
    if (++j == zoom.num) {
      j = 0;
      base += zoom.den;
      weights = periodWeights;
    }
    return rounding.Round<kInteger>(total);
  };
  int c = 0;
  for (; c + 1 < end - first; c += 2) {
    const __m128i left = next();
    StorePair(left, next(), outA + c, outB + c);
  }
  if (c < end - first) StoreOne(next(), outA + c, outB + c);
}

template <int kSpan, bool kUnitWeights>
void AverageAcrossPeriods(const std::uint16_t* sums, const int* periodFirst,
                          const std::uint16_t* periodWeights, Zoom zoom, int span, int first,
                          int end, int from, const ExactRounding& rounding, Pixel* outA,
                          Pixel* outB) {
  if (rounding.Integer())
    AverageAcrossPeriods<kSpan, kUnitWeights, true>(sums, periodFirst, periodWeights, zoom, span,
                                                    first, end, from, rounding, outA, outB);
  else
    AverageAcrossPeriods<kSpan, kUnitWeights, false>(sums, periodFirst, periodWeights, zoom, span,
                                                     first, end, from, rounding, outA, outB);
}
#endif

}  // namespace

void PictureScaler::SumDown(const RowTerm* a, int countA, const RowTerm* b, int countB, int from,
                            int to) {
#if defined(__SSE2__)
  // Blocks of four picture columns, but for those at the right edge that a block would read past.
  const int blocks = std::min((to - from + 3) / 4, (width_ - from) / 4);
  if (exact16_) {
    std::uint16_t* const out = sums16_.data();
    const auto store = [out](int i, __m128i aLow, __m128i aHigh, __m128i bLow, __m128i bHigh) {
      auto* const block = reinterpret_cast<__m128i*>(out + static_cast<std::size_t>(i) * 32);
      _mm_storeu_si128(block, _mm_unpacklo_epi64(aLow, bLow));
      _mm_storeu_si128(block + 1, _mm_unpackhi_epi64(aLow, bLow));
      _mm_storeu_si128(block + 2, _mm_unpacklo_epi64(aHigh, bHigh));
      _mm_storeu_si128(block + 3, _mm_unpackhi_epi64(aHigh, bHigh));
    };
    if (unitWeights_)
      SumDown16<true, false>(a, countA, b, countB, from, blocks, store);
    else
      SumDown16<false, false>(a, countA, b, countB, from, blocks, store);
  } else if (zoom_.den <= 257) {  // sums of a column weigh den at most: below 2^16
    float* const out = sumsFloat_.data();
    const auto store = [out](int i, __m128i aLow, __m128i aHigh, __m128i bLow, __m128i bHigh) {
      const __m128i zero = _mm_setzero_si128();
      float* const block = out + static_cast<std::size_t>(i) * 32;
      const __m128i sumsA[2] = {aLow, aHigh}, sumsB[2] = {bLow, bHigh};
      for (int half = 0; half < 2; ++half) {
        float* const at = block + half * 16;
        _mm_storeu_ps(at, _mm_cvtepi32_ps(_mm_unpacklo_epi16(sumsA[half], zero)));
        _mm_storeu_ps(at + 4, _mm_cvtepi32_ps(_mm_unpacklo_epi16(sumsB[half], zero)));
        _mm_storeu_ps(at + 8, _mm_cvtepi32_ps(_mm_unpackhi_epi16(sumsA[half], zero)));
        _mm_storeu_ps(at + 12, _mm_cvtepi32_ps(_mm_unpackhi_epi16(sumsB[half], zero)));
      }
    };
    if (unitWeights_)
      SumDown16<true, true>(a, countA, b, countB, from, blocks, store);
    else
      SumDown16<false, true>(a, countA, b, countB, from, blocks, store);
  } else {
    SumDownPairs(a, countA, b, countB, from, blocks, sumsFloat_.data());
  }
  const int each = from + blocks * 4;
#else
  const int each = from;
#endif
  if (exact16_)
    SumDownEach<false>(a, countA, b, countB, each, to, from, sums16_.data());
  else if (zoom_.den <= 257)
    SumDownEach<false>(a, countA, b, countB, each, to, from, sumsFloat_.data());
  else
    SumDownEach<true>(a, countA, b, countB, each, to, from, sumsFloat_.data());
}

void PictureScaler::AverageAcrossExact(int first, int end, int from, int totalA, int totalB,
                                       Pixel* outA, Pixel* outB) const {
  // Column weights times row weights: den * den in all but the last row and column.
  const std::int64_t den = zoom_.den;
  const int last = columns_.Length() - 1;
#if defined(__SSE2__)
  const int periodsEnd = std::min(end, fullColumns_);
  if (first < periodsEnd) {
    const ExactRounding rounding(totalA * den, totalB * den);
    const auto run = [&](auto average) {
      average(sums16_.data(), periodFirst_.data(), periodWeights_.data(), zoom_, span_, first,
              periodsEnd, from, rounding, outA, outB);
    };
    if (unitWeights_ && span_ == 2)  // every column spans den picture columns, of weight 1
      run(AverageAcrossPeriods<2, true>);
    else if (unitWeights_ && span_ == 3)
      run(AverageAcrossPeriods<3, true>);
    else if (unitWeights_)
      run(AverageAcrossPeriods<0, true>);
    else if (span_ == 2)
      run(AverageAcrossPeriods<2, false>);
    else if (span_ == 3)
      run(AverageAcrossPeriods<3, false>);
    else if (span_ == 4)
      run(AverageAcrossPeriods<4, false>);
    else
      run(AverageAcrossPeriods<0, false>);
  }
  if (periodsEnd < end) {  // the last column, cut short
    const std::int64_t total = columns_.Total(last);
    const int at = last - first;
    const ExactRounding rounding(totalA * total, totalB * total);
    StoreOne(rounding.Round<false>(SumAcross<0, false>(
                 sums16_.data() + static_cast<std::size_t>(columns_.First(last) - from) * 8,
                 lastWeights_.data(), span_)),
             outA + at, outB + at);
  }
#else
  for (int c = first; c < end; ++c) {
    const bool cut = c >= fullColumns_;
    const std::uint16_t* weights =
        cut ? lastWeights_.data()
            : periodWeights_.data() + static_cast<std::size_t>(c % zoom_.num) * span_ * 8;
    const std::uint16_t* sums =
        sums16_.data() + static_cast<std::size_t>(columns_.First(c) - from) * 8;
    const std::int64_t columnTotal = cut ? std::int64_t{columns_.Total(last)} : den;
    const float scales[2] = {ReciprocalUp(totalA * columnTotal),
                             ReciprocalUp(totalB * columnTotal)};
    unsigned bytes[8];
    for (int lane = 0; lane < 8; ++lane) {
      std::uint32_t sum = 0;
      for (int k = 0; k < span_; ++k) sum += std::uint32_t{sums[k * 8 + lane]} * weights[k * 8];
      bytes[lane] = static_cast<unsigned>(static_cast<float>(sum) * scales[lane / 4] + 0.5f);
    }
    outB[c - first] = MakePixel(bytes[6], bytes[5], bytes[4]);
    outA[c - first] = MakePixel(bytes[2], bytes[1], bytes[0]);
  }
#endif
}

void PictureScaler::AverageAcrossFloat(int first, int end, int from, int totalA, int totalB,
                                       Pixel* outA, Pixel* outB) const {
  const float rowScaleA = 1.0f / static_cast<float>(totalA);
  const float rowScaleB = 1.0f / static_cast<float>(totalB);
  const auto lanes = static_cast<std::size_t>(span_) * 4;
#if defined(__SSE2__)
  const __m128 scaleA = _mm_set1_ps(rowScaleA), scaleB = _mm_set1_ps(rowScaleB);
  const auto run = [&](auto spanConstant) {
    constexpr int kSpan = decltype(spanConstant)::value;
    const int span = kSpan > 0 ? kSpan : span_;
    const auto average = [&](int c) {
      const float* shares = columnShares_.data() + static_cast<std::size_t>(c) * lanes;
      const float* sums =
          sumsFloat_.data() + static_cast<std::size_t>(columns_.First(c) - from) * 8;
      __m128 a = _mm_setzero_ps(), b = _mm_setzero_ps();
      for (int k = 0; k < span; ++k) {
        const __m128 share = _mm_loadu_ps(shares + k * 4);
        a = _mm_add_ps(a, _mm_mul_ps(_mm_loadu_ps(sums + k * 8), share));
        b = _mm_add_ps(b, _mm_mul_ps(_mm_loadu_ps(sums + k * 8 + 4), share));
      }
      return RoundFloats(a, b, scaleA, scaleB);
    };
    int c = first;
    for (; c + 1 < end; c += 2) {
      const __m128i left = average(c);
      StorePair(left, average(c + 1), outA + (c - first), outB + (c - first));
    }
    if (c < end) StoreOne(average(c), outA + (c - first), outB + (c - first));
  };
  if (span_ == 2)
    run(std::integral_constant<int, 2>{});
  else if (span_ == 3)
    run(std::integral_constant<int, 3>{});
  else if (span_ == 4)
    run(std::integral_constant<int, 4>{});
  else if (span_ == 5)
    run(std::integral_constant<int, 5>{});
  else
    run(std::integral_constant<int, 0>{});
#else
  for (int c = first; c < end; ++c) {
    const float* shares = columnShares_.data() + static_cast<std::size_t>(c) * lanes;
    const float* sums = sumsFloat_.data() + static_cast<std::size_t>(columns_.First(c) - from) * 8;
    unsigned bytes[8];
    for (int lane = 0; lane < 8; ++lane) {
      float total = 0;
      for (int k = 0; k < span_; ++k) total += sums[k * 8 + lane] * shares[k * 4];
      bytes[lane] = static_cast<unsigned>(total * (lane < 4 ? rowScaleA : rowScaleB) + 0.5f);
    }
    outB[c - first] = MakePixel(bytes[6], bytes[5], bytes[4]);
    outA[c - first] = MakePixel(bytes[2], bytes[1], bytes[0]);
  }
#endif
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
