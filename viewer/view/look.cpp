#include "look.h"

#include <algorithm>
#include <cstring>

#include "blend.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenor {

namespace {

// v times this is grey v, but for the alpha byte.
constexpr Pixel kGreySpread = 0x010101u;

// One channel of 0xAARRGGBB values, the byte at shift, as opaque grey.
void ChannelAsGrey(const std::uint32_t* in, int shift, Pixel* out, std::size_t count) {
  for (std::size_t x = 0; x < count; ++x)
    out[x] = (in[x] >> shift & 0xFFu) * kGreySpread | 0xFF000000u;
}

void LuminanceAsGrey(const std::uint32_t* in, Pixel* out, std::size_t count) {
  std::size_t x = 0;
#if defined(__SSE2__)
  // Four pixels at a time: each pixel's bytes as 16-bit lanes, times their weights and added in
  // pairs (blue and green, red and alpha at weight 0), then the pairs added: the numerator n, at
  // most 10000 * 255 + 5000. With 1717987 = ceil(2^34 / 10000), which is 816 / 10000 over,
  // n * 1717987 >> 34 is n / 10000 while the excess n * 816 / 2^34 stays below 1, so for every n
  // below 21 million; the products are 64-bit.
  const __m128i zero = _mm_setzero_si128();
  const __m128i weights = _mm_set_epi16(0, 2126, 7152, 722, 0, 2126, 7152, 722);
  const __m128i half = _mm_set1_epi32(5000), reciprocal = _mm_set1_epi32(1717987);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; x + 4 <= count; x += 4) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
    const __m128 low = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), weights));
    const __m128 high = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), weights));
    const __m128i n = _mm_add_epi32(
        _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0))),
                      _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)))),
        half);
    const __m128i even = _mm_srli_epi64(_mm_mul_epu32(n, reciprocal), 34);
    const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(n, 32), reciprocal), 34);
    const __m128i grey = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_or_si128(_mm_or_si128(grey, _mm_slli_epi32(grey, 8)),
                                  _mm_or_si128(_mm_slli_epi32(grey, 16), opaque)));
  }
#endif
  for (; x < count; ++x) {
    const std::uint32_t p = in[x];
    out[x] = Luminance(p >> 16 & 0xFFu, p >> 8 & 0xFFu, p & 0xFFu) * kGreySpread | 0xFF000000u;
  }
}

}  // namespace

void ChannelRow(Channel channel, const Pixel* shown, const StoredPixel* stored, Pixel* out,
                std::size_t count) {
  // Without alpha what is shown is what is stored, but for the alpha byte.
  const std::uint32_t* values = stored != nullptr ? stored : shown;
  switch (channel) {
    case Channel::kColour:
      if (out != shown) std::memmove(out, shown, count * sizeof(Pixel));
      return;
    case Channel::kRed:
      return ChannelAsGrey(values, 16, out, count);
    case Channel::kGreen:
      return ChannelAsGrey(values, 8, out, count);
    case Channel::kBlue:
      return ChannelAsGrey(values, 0, out, count);
    case Channel::kAlpha:
      if (stored == nullptr) {
        std::fill_n(out, count, GreyPixel(255));
        return;
      }
      return ChannelAsGrey(stored, 24, out, count);
    case Channel::kLuminance:
      return LuminanceAsGrey(values, out, count);
  }
}

void PremultiplyRow(const StoredPixel* stored, Pixel* out, std::size_t count) {
  std::size_t x = 0;
#if defined(__SSE2__)
  // Two pixels a register, a 16-bit lane a byte: R * A + 127 is at most 65152, and the division
  // by 255 below (as BlendChannel does it) stays within 16 bits too.
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(127), one = _mm_set1_epi16(1);
  const __m128i alphaByte = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const auto premultiply = [&](__m128i pixels) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels, _MM_SHUFFLE(3, 3, 3, 3)),
                                              _MM_SHUFFLE(3, 3, 3, 3));
    const __m128i n = _mm_add_epi16(_mm_mullo_epi16(pixels, alpha), bias);
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(n, one), _mm_srli_epi16(n, 8)), 8);
  };
  for (; x + 4 <= count; x += 4) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + x));
    const __m128i colours = _mm_packus_epi16(premultiply(_mm_unpacklo_epi8(pixels, zero)),
                                             premultiply(_mm_unpackhi_epi8(pixels, zero)));
    // The alpha byte as it was (its own lane worked out A * A / 255).
    const __m128i result =
        _mm_or_si128(_mm_andnot_si128(alphaByte, colours), _mm_and_si128(alphaByte, pixels));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), result);
  }
#endif
  for (; x < count; ++x) {
    const StoredPixel p = stored[x];
    const unsigned alpha = p >> 24;
    out[x] = alpha << 24 | BlendChannel(0, p >> 16 & 0xFFu, alpha) << 16 |
             BlendChannel(0, p >> 8 & 0xFFu, alpha) << 8 | BlendChannel(0, p & 0xFFu, alpha);
  }
}

void DifferenceRow(const Pixel* a, const Pixel* b, unsigned gain, Pixel* out, std::size_t count) {
  // A difference of 1 times a gain of 255 is 255 already.
  const unsigned g = std::min(gain, 255u);
  std::size_t x = 0;
#if defined(__SSE2__)
  // 16-bit lanes: a difference times g is at most 255 * 255, and min(v, 255) is v - (v - 255
  // where above 0), all unsigned.
  const __m128i zero = _mm_setzero_si128();
  const __m128i factor = _mm_set1_epi16(static_cast<short>(g));
  const __m128i most = _mm_set1_epi16(255);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const auto scaled = [&](__m128i bytes) {
    const __m128i v = _mm_mullo_epi16(bytes, factor);
    return _mm_sub_epi16(v, _mm_subs_epu16(v, most));
  };
  for (; x + 4 <= count; x += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    const __m128i difference = _mm_or_si128(_mm_subs_epu8(p, q), _mm_subs_epu8(q, p));
    const __m128i bytes = _mm_packus_epi16(scaled(_mm_unpacklo_epi8(difference, zero)),
                                           scaled(_mm_unpackhi_epi8(difference, zero)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(bytes, opaque));
  }
#endif
  for (; x < count; ++x) {
    const auto channel = [&](int shift) {
      const unsigned p = a[x] >> shift & 0xFFu, q = b[x] >> shift & 0xFFu;
      return std::min(255u, (p > q ? p - q : q - p) * g);
    };
    out[x] = MakePixel(channel(16), channel(8), channel(0));
  }
}

}  // namespace lumenor
