// The looks of a row of pixels: one channel as grey, premultiplied, differences. Rows of every
// value and of odd lengths, so that every lane of the vector loops and their ends are exercised,
// against values worked out here in plain integer arithmetic.
#include "look.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace {

using lumenor::Channel;
using lumenor::Pixel;
using lumenor::StoredPixel;

const char* ChannelName(Channel channel) {
  const char* const names[] = {"colour", "red", "green", "blue", "alpha", "luminance"};
  return names[static_cast<int>(channel)];
}

Pixel ChannelOf(Channel channel, Pixel shown, std::optional<StoredPixel> stored) {
  Pixel out = 0;
  lumenor::ChannelRow(channel, &shown, stored ? &*stored : nullptr, &out, 1);
  return out;
}

TEST(Look, ChannelOfOnePixel) {
  struct Case {
    Channel channel;
    Pixel shown;
    std::optional<StoredPixel> stored;
    Pixel want;
  };
  // A pixel of alpha 0x80 over a background shows something else than it stores; the channels
  // are the stored values.
  constexpr Pixel kShown = 0xFF9A9B9Cu;
  constexpr StoredPixel kStored = 0x80402010u;
  const Case cases[] = {
      {Channel::kColour, kShown, kStored, kShown},
      {Channel::kRed, kShown, kStored, 0xFF404040u},
      {Channel::kGreen, kShown, kStored, 0xFF202020u},
      {Channel::kBlue, kShown, kStored, 0xFF101010u},
      {Channel::kAlpha, kShown, kStored, 0xFF808080u},
      {Channel::kLuminance, kShown, kStored, 0xFF262626u},  // 37.648
      {Channel::kAlpha, kShown, 0x00FFFFFFu, 0xFF000000u},
      // Without alpha: what is shown is what is stored, and opaque.
      {Channel::kColour, kShown, {}, kShown},
      {Channel::kRed, kShown, {}, 0xFF9A9A9Au},
      {Channel::kGreen, kShown, {}, 0xFF9B9B9Bu},
      {Channel::kBlue, kShown, {}, 0xFF9C9C9Cu},
      {Channel::kAlpha, kShown, {}, 0xFFFFFFFFu},
      {Channel::kLuminance, kShown, {}, 0xFF9B9B9Bu},  // 155.3596
      {Channel::kLuminance, 0xFFFFFFFFu, {}, 0xFFFFFFFFu},
      {Channel::kLuminance, 0xFFFF0000u, {}, 0xFF363636u},  // 54.213
      {Channel::kLuminance, 0xFF00FF00u, {}, 0xFFB6B6B6u},  // 182.376
      {Channel::kLuminance, 0xFF0000FFu, {}, 0xFF121212u},  // 18.411
      {Channel::kLuminance, 0xFF147300u, {}, 0xFF575757u},  // 86.5 exactly: half up
      {Channel::kLuminance, 0xFF2C0300u, {}, 0xFF0C0C0Cu},  // 11.5 exactly
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChannelOf(c.channel, c.shown, c.stored), c.want)
        << std::hex << ChannelName(c.channel) << " of shown " << c.shown << ", stored "
        << (c.stored ? *c.stored : 0xDEADu);
}

// Every byte value in every channel, with the other channels different, in a row long enough
// for the vector loops and with a few over: each channel comes out as its own grey.
TEST(Look, EachChannelOfEveryValue) {
  constexpr std::size_t kCount = 256 + 3;
  std::vector<StoredPixel> stored(kCount);
  std::vector<Pixel> shown(kCount);
  const auto byte = [](std::size_t i, int k) {
    return unsigned((i * (2 * k + 1) + 40 * k) & 0xFF);
  };
  for (std::size_t i = 0; i < kCount; ++i) {
    stored[i] = byte(i, 3) << 24 | byte(i, 0) << 16 | byte(i, 1) << 8 | byte(i, 2);
    shown[i] = 0xFF000000u | (~stored[i] & 0xFFFFFFu);  // nothing like it
  }
  struct Case {
    Channel channel;
    int k;  // which byte
    bool withStored;
  };
  const Case cases[] = {{Channel::kRed, 0, true},   {Channel::kGreen, 1, true},
                        {Channel::kBlue, 2, true},  {Channel::kAlpha, 3, true},
                        {Channel::kRed, 0, false},  {Channel::kGreen, 1, false},
                        {Channel::kBlue, 2, false}, {Channel::kAlpha, 3, false}};
  for (const Case& c : cases)
    for (const std::size_t count : {kCount, std::size_t{255}, std::size_t{7}, std::size_t{0}}) {
      std::vector<Pixel> out(kCount + 1, 0x12345678u);
      lumenor::ChannelRow(c.channel, shown.data(), c.withStored ? stored.data() : nullptr,
                          out.data(), count);
      for (std::size_t i = 0; i <= kCount; ++i) {
        Pixel want = 0x12345678u;  // past count, untouched
        if (i < count) {
          unsigned value = byte(i, c.k);
          if (!c.withStored) value = c.k == 3 ? 255 : 255 - value;
          want = 0xFF000000u | value * 0x010101u;
        }
        ASSERT_EQ(out[i], want) << ChannelName(c.channel) << (c.withStored ? "" : " without alpha")
                                << ", " << count << " pixels, at " << i;
      }
    }
}

// The luminance of every colour there is, each as Luminance() says of its stored colours, a row
// of every green and blue for each red (and a few over the vectors' four).
TEST(Look, LuminanceOfEveryColour) {
  std::vector<StoredPixel> stored(65536 + 3);
  std::vector<Pixel> shown(stored.size(), 0xFF000000u), out(stored.size());
  for (unsigned red = 0; red < 256; ++red) {
    for (std::size_t i = 0; i < stored.size(); ++i)
      stored[i] = StoredPixel((i * 40503 & 0xFF000000u) | red << 16 | (i & 0xFFFF));
    lumenor::ChannelRow(Channel::kLuminance, shown.data(), stored.data(), out.data(), out.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
      const StoredPixel p = stored[i];
      const unsigned grey = lumenor::Luminance(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
      ASSERT_EQ(out[i], 0xFF000000u | grey * 0x010101u) << std::hex << "stored " << p;
    }
  }
}

// Every colour value under every alpha: round(v * a / 255), half up (never reached, 255 being
// odd), worked out as (2 v a + 255) / 510; the alpha byte kept.
TEST(Look, PremultipliesEveryValueByEveryAlpha) {
  std::vector<StoredPixel> stored;
  for (unsigned alpha = 0; alpha < 256; ++alpha)
    for (unsigned v = 0; v < 256; ++v)
      stored.push_back(alpha << 24 | v << 16 | (255 - v) << 8 | (v ^ alpha));
  for (int i = 0; i < 3; ++i) stored.push_back(0xFFFFFFFFu);  // a few over the vectors' four
  std::vector<Pixel> out(stored.size() + 1, 0x12345678u);
  lumenor::PremultiplyRow(stored.data(), out.data(), stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const StoredPixel p = stored[i];
    const unsigned alpha = p >> 24;
    Pixel want = alpha << 24;
    for (int shift = 0; shift < 24; shift += 8)
      want |= ((2 * (p >> shift & 0xFF) * alpha + 255) / 510) << shift;
    ASSERT_EQ(out[i], want) << std::hex << "stored " << p;
  }
  EXPECT_EQ(out.back(), 0x12345678u) << "written past the row";
}

// Every pair of values in each colour, at gains from none to far past 255: |a - b| times the
// gain, no more than 255, opaque whatever the alpha bytes hold.
TEST(Look, DifferencesOfEveryPairAtEveryGain) {
  std::vector<Pixel> a, b;
  std::mt19937 random(8);
  for (unsigned p = 0; p < 256; ++p)
    for (unsigned q = 0; q < 256; ++q) {
      a.push_back((Pixel(random()) & 0xFF000000u) | p << 16 | q << 8 | (p * 7 & 0xFF));
      b.push_back((Pixel(random()) & 0xFF000000u) | q << 16 | p << 8 | (q * 5 & 0xFF));
    }
  a.push_back(0xFF000000u);  // one over the vectors' four
  b.push_back(0x00FFFFFFu);
  for (const unsigned gain : {0u, 1u, 2u, 3u, 7u, 64u, 255u, 256u, 100000u, UINT_MAX}) {
    std::vector<Pixel> out(a.size() + 1, 0x12345678u);
    lumenor::DifferenceRow(a.data(), b.data(), gain, out.data(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      Pixel want = 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const int difference = std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF));
        want |= Pixel(std::min<std::uint64_t>(255, std::uint64_t(difference) * gain)) << shift;
      }
      ASSERT_EQ(out[i], want) << std::hex << a[i] << " against " << b[i] << std::dec << ", gain "
                              << gain;
    }
    EXPECT_EQ(out.back(), 0x12345678u) << "written past the row";
  }
}

// Written over the row read, each comes out as it does into a row of its own.
TEST(Look, RowsInPlace) {
  std::mt19937 random(4);
  std::vector<Pixel> row(517), other(row.size());
  for (Pixel& p : row) p = Pixel(random());
  for (Pixel& p : other) p = Pixel(random());
  std::vector<Pixel> want(row.size()), have = row;
  for (const Channel channel : {Channel::kRed, Channel::kAlpha, Channel::kLuminance}) {
    for (const bool stored : {false, true}) {
      have = row;
      lumenor::ChannelRow(channel, row.data(), stored ? row.data() : nullptr, want.data(),
                          row.size());
      lumenor::ChannelRow(channel, have.data(), stored ? have.data() : nullptr, have.data(),
                          have.size());
      EXPECT_EQ(have, want) << ChannelName(channel) << (stored ? "" : " without alpha");
    }
  }
  have = row;
  lumenor::PremultiplyRow(row.data(), want.data(), row.size());
  lumenor::PremultiplyRow(have.data(), have.data(), have.size());
  EXPECT_EQ(have, want) << "premultiplied";
  have = row;
  lumenor::DifferenceRow(row.data(), other.data(), 3, want.data(), row.size());
  lumenor::DifferenceRow(have.data(), other.data(), 3, have.data(), have.size());
  EXPECT_EQ(have, want) << "differences";
}

}  // namespace
