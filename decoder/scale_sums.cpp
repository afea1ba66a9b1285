// The shrinking's arithmetic, row by row: weighted sums down the picture's columns in vector
// lanes, and the sums across the scaled columns rounded to averages, exactly or in floats. The
// geometry (which picture rows and columns make each scaled pixel, and their weights) is in
// scale.cpp.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <numeric>
#include <type_traits>

#include "scale.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenor {

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

// Two scaled pixels of each of two rows, as words (a's four bytes, then b's), to bytes, alphaMask
// ORed in (0xFF000000 in each lane makes them opaque). A single row passes outB == outA: b's are
// written first, then a's over them.
void StorePair(__m128i left, __m128i right, __m128i alphaMask, Pixel* outA, Pixel* outB) {
  const __m128i bytes = _mm_or_si128(
      _mm_shuffle_epi32(_mm_packus_epi16(left, right), _MM_SHUFFLE(3, 1, 2, 0)), alphaMask);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(outB), _mm_unpackhi_epi64(bytes, bytes));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(outA), bytes);
}

void StoreOne(__m128i words, __m128i alphaMask, Pixel* outA, Pixel* outB) {
  const __m128i bytes = _mm_or_si128(_mm_packus_epi16(words, words), alphaMask);
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
                          int end, int from, const ExactRounding& rounding, __m128i alphaMask,
                          Pixel* outA, Pixel* outB) {
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
    StorePair(left, next(), alphaMask, outA + c, outB + c);
  }
  if (c < end - first) StoreOne(next(), alphaMask, outA + c, outB + c);
}

template <int kSpan, bool kUnitWeights>
void AverageAcrossPeriods(const std::uint16_t* sums, const int* periodFirst,
                          const std::uint16_t* periodWeights, Zoom zoom, int span, int first,
                          int end, int from, const ExactRounding& rounding, __m128i alphaMask,
                          Pixel* outA, Pixel* outB) {
  if (rounding.Integer())
    AverageAcrossPeriods<kSpan, kUnitWeights, true>(sums, periodFirst, periodWeights, zoom, span,
                                                    first, end, from, rounding, alphaMask, outA,
                                                    outB);
  else
    AverageAcrossPeriods<kSpan, kUnitWeights, false>(sums, periodFirst, periodWeights, zoom, span,
                                                     first, end, from, rounding, alphaMask, outA,
                                                     outB);
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
  const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(alphaMask_));
  if (first < periodsEnd) {
    const ExactRounding rounding(totalA * den, totalB * den);
    const auto run = [&](auto average) {
      average(sums16_.data(), periodFirst_.data(), periodWeights_.data(), zoom_, span_, first,
              periodsEnd, from, rounding, alphaMask, outA, outB);
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
             alphaMask, outA + at, outB + at);
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
    Pixel pixels[2] = {alphaMask_, alphaMask_};
    for (int lane = 0; lane < 8; ++lane) {
      std::uint32_t sum = 0;
      for (int k = 0; k < span_; ++k) sum += std::uint32_t{sums[k * 8 + lane]} * weights[k * 8];
      pixels[lane / 4] |= static_cast<Pixel>(static_cast<float>(sum) * scales[lane / 4] + 0.5f)
                          << (lane % 4 * 8);
    }
    outB[c - first] = pixels[1];
    outA[c - first] = pixels[0];
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
  const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(alphaMask_));
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
      StorePair(left, average(c + 1), alphaMask, outA + (c - first), outB + (c - first));
    }
    if (c < end) StoreOne(average(c), alphaMask, outA + (c - first), outB + (c - first));
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
    Pixel pixels[2] = {alphaMask_, alphaMask_};
    for (int lane = 0; lane < 8; ++lane) {
      float total = 0;
      for (int k = 0; k < span_; ++k) total += sums[k * 8 + lane] * shares[k * 4];
      pixels[lane / 4] |= static_cast<Pixel>(total * (lane < 4 ? rowScaleA : rowScaleB) + 0.5f)
                          << (lane % 4 * 8);
    }
    outB[c - first] = pixels[1];
    outA[c - first] = pixels[0];
  }
#endif
}

}  // namespace lumenor
