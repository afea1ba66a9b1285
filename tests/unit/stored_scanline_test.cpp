// The stored values a load leaves on a canvas that keeps them: pictures with alpha, uncompressed
// and run-length, of 8 and 16 bits, whole and damaged, against the values the file was written
// with. Short run-length rows leave the load's buffers as the rows before them left them, so the
// expected rows come from a plain model of those buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "decode_helpers.h"

namespace {

using lumenor::Pixel;

constexpr unsigned kWidth = 37, kHeight = 23;
constexpr Pixel kBackground = lumenor::kWorkspaceGrey;
constexpr lumenor::DecodeOptions kSixteenBit{.sixteenBit = true};

enum class Damage {
  kNone,
  kCutShort,        // the file ends in the first plane (or run-length row 15)
  kCutInLastPlane,  // the file ends in the alpha plane (or at run-length row 9's alpha)
  kShortRows,       // run-length rows of fewer values than the width, the bottom row among them
  kSharedRows,      // run-length rows stored where the row below is, a short one among them
  kOverflow,        // run-length row 11 holds more values than the width: the load stops there
};

const char* const kDamageNames[] = {"whole",      "cut_short",   "cut_in_last_plane",
                                    "short_rows", "shared_rows", "overflow"};

struct Case {
  unsigned channels;
  bool rle;
  bool wide;
  Damage damage;

  std::string Name() const {
    return std::string(channels == 2 ? "grey_alpha" : "rgba") + "_" + (rle ? "rle" : "verbatim") +
           "_" + (wide ? "16" : "8") + "_" + kDamageNames[static_cast<int>(damage)];
  }
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.Name(); }

// A picture's values as the file is written with them (0 to 255, or 0 to 65535), and how many
// values each file row decodes in each channel.
struct Written {
  unsigned channels = 0;
  bool wide = false;
  std::vector<unsigned> values;  // channel-major, then file row, then column
  std::vector<unsigned> counts;  // channel-major, then file row
  unsigned delivered = kHeight;  // file rows from here up never reach the canvas
  sgi::Bytes file;

  unsigned& at(unsigned c, unsigned r, unsigned x) {
    return values[(std::size_t{c} * kHeight + r) * kWidth + x];
  }
  unsigned& count(unsigned c, unsigned r) { return counts[std::size_t{c} * kHeight + r]; }
};

Written Values(unsigned channels, bool wide, unsigned seed) {
  Written w;
  w.channels = channels;
  w.wide = wide;
  w.counts.assign(std::size_t{channels} * kHeight, kWidth);
  if (wide) {
    const sgi::Planes16 planes = sgi::Pattern16(kWidth, kHeight, channels, seed);
    w.values.assign(planes.values.begin(), planes.values.end());
  } else {
    const sgi::Planes planes = sgi::Pattern(kWidth, kHeight, channels, seed);
    w.values.assign(planes.values.begin(), planes.values.end());
  }
  return w;
}

unsigned BigEndianLong(const sgi::Bytes& bytes, std::size_t at) {
  return unsigned{bytes[at]} << 24 | unsigned{bytes[at + 1]} << 16 | unsigned{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

// The run-length rows as counts say, rows identical in every channel shared when asked.
sgi::Bytes RleFile(Written& w, bool shared) {
  std::vector<sgi::Bytes> rows;
  for (unsigned c = 0; c < w.channels; ++c)
    for (unsigned r = 0; r < kHeight; ++r) {
      const unsigned* row = &w.at(c, r, 0);
      const std::size_t count = w.count(c, r);
      if (w.wide) {
        const std::vector<std::uint16_t> values(row, row + count);
        rows.push_back(sgi::EncodeRleRow16(values.data(), count));
      } else {
        const std::vector<std::uint8_t> values(row, row + count);
        rows.push_back(sgi::EncodeRleRow(values.data(), count));
      }
    }
  const sgi::Header header{
      .bpc = w.wide ? 2u : 1u, .xsize = kWidth, .ysize = kHeight, .zsize = w.channels};
  return sgi::RleFromRows(header, rows, shared ? sgi::Layout::kShared : sgi::Layout::kBottomFirst);
}

// Where run-length row r of channel c starts in the file.
unsigned RleOffset(const sgi::Bytes& file, unsigned r, unsigned c) {
  return BigEndianLong(file, 512 + 4 * (std::size_t{c} * kHeight + r));
}

// The file for a case, and the values and counts as the file holds them after the damage.
Written Build(const Case& c, unsigned seed) {
  Written w = Values(c.channels, c.wide, seed);
  const unsigned last = c.channels - 1;
  if (!c.rle) {
    if (c.wide) {
      sgi::Planes16 planes{kWidth, kHeight, c.channels, {}};
      planes.values.assign(w.values.begin(), w.values.end());
      w.file = sgi::Verbatim16({}, planes);
    } else {
      sgi::Planes planes{kWidth, kHeight, c.channels, {}};
      planes.values.assign(w.values.begin(), w.values.end());
      w.file = sgi::Verbatim({}, planes);
    }
    // Part way into a value where values are two bytes.
    const std::size_t bytes = c.wide ? 2 : 1;
    std::size_t end = w.file.size();
    if (c.damage == Damage::kCutShort) end = 512 + (15 * kWidth + 5) * bytes + bytes / 2;
    if (c.damage == Damage::kCutInLastPlane)
      end = 512 + ((last * kHeight + 9) * kWidth + 20) * bytes + bytes / 2;
    w.file.resize(end);
    // What is gone reads as zeros; half a value keeps its first (high) byte.
    for (std::size_t i = 0; i < w.values.size(); ++i) {
      const std::size_t at = 512 + i * bytes;
      if (at >= end)
        w.values[i] = 0;
      else if (at + bytes > end)
        w.values[i] &= 0xFF00u;
    }
    return w;
  }
  switch (c.damage) {
    case Damage::kShortRows:
      for (unsigned ch = 0; ch < c.channels; ++ch) w.count(ch, 0) = 20;  // the first row short
      w.count(1, 5) = 10;
      w.count(0, 6) = 0;
      w.count(last, 12) = 30;
      break;
    case Damage::kSharedRows:
      for (unsigned ch = 0; ch < c.channels; ++ch) {
        for (unsigned r = 8; r < 14; ++r)
          for (unsigned x = 0; x < kWidth; ++x) w.at(ch, r, x) = w.at(ch, 3, x);
        for (unsigned x = 0; x < kWidth; ++x) w.at(ch, 17, x) = w.at(ch, 16, x);
      }
      w.count(0, 16) = w.count(0, 17) = 12;  // short, and stored again just above
      break;
    default:
      break;
  }
  w.file = RleFile(w, c.damage == Damage::kSharedRows);
  if (c.damage == Damage::kOverflow) {
    // Row 11 of channel 1 with four values too many, in place of its own.
    sgi::Bytes row;
    if (c.wide) {
      const std::vector<std::uint16_t> values(kWidth + 4, 9);
      row = sgi::EncodeRleRow16(values.data(), values.size());
    } else {
      const std::vector<std::uint8_t> values(kWidth + 4, 9);
      row = sgi::EncodeRleRow(values.data(), values.size());
    }
    sgi::PutLong(w.file, 512 + 4 * (std::size_t{1} * kHeight + 11),
                 static_cast<std::uint32_t>(w.file.size()));
    sgi::PutLong(w.file, 512 + 4 * (std::size_t{c.channels + 1} * kHeight + 11),
                 static_cast<std::uint32_t>(row.size()));
    w.file.insert(w.file.end(), row.begin(), row.end());
    w.delivered = 11;
  }
  if (c.damage == Damage::kCutShort || c.damage == Damage::kCutInLastPlane) {
    const unsigned end =
        c.damage == Damage::kCutShort ? RleOffset(w.file, 15, 0) : RleOffset(w.file, 9, last);
    w.file.resize(end);  // the tables come first and stay whole
    for (unsigned ch = 0; ch < c.channels; ++ch)
      for (unsigned r = 0; r < kHeight; ++r)
        if (RleOffset(w.file, r, ch) >= end) w.count(ch, r) = 0;
  }
  return w;
}

// The stored values the load should leave, rows top first: per file row, from the bottom, each
// channel row's values go into that channel's buffer, which keeps what lies past them; the row's
// stored values are the buffers' values as the screen shows them. Rows never delivered are zeros.
std::vector<std::uint32_t> ExpectedStored(Written& w) {
  std::array<std::vector<unsigned>, 4> buffers;
  for (auto& buffer : buffers) buffer.assign(kWidth, 0);
  std::vector<std::uint32_t> stored(std::size_t{kWidth} * kHeight, 0);
  for (unsigned r = 0; r < w.delivered; ++r) {
    for (unsigned c = 0; c < w.channels; ++c)
      for (unsigned x = 0; x < w.count(c, r); ++x) buffers[c][x] = w.at(c, r, x);
    for (unsigned x = 0; x < kWidth; ++x) {
      unsigned screen[4] = {};
      for (unsigned c = 0; c < w.channels; ++c)
        screen[c] = w.wide ? static_cast<unsigned>(std::lround(buffers[c][x] * 255.0 / 65535.0))
                           : buffers[c][x];
      const bool grey = w.channels == 2;
      stored[std::size_t{kHeight - 1 - r} * kWidth + x] =
          screen[w.channels - 1] << 24 | screen[0] << 16 | screen[grey ? 0 : 1] << 8 |
          screen[grey ? 0 : 2];
    }
  }
  return stored;
}

// A canvas that counts the rows it is asked to repeat; it has them painted.
class CountingRepeats : public lumenor::MemoryCanvas {
 public:
  CountingRepeats() : MemoryCanvas(kBackground) { KeepStored(); }
  bool RepeatRow(int /*y*/, int /*below*/) override {
    ++repeats;
    return false;
  }
  int repeats = 0;
};

// A canvas that takes repeated rows itself, stored values and all, as a canvas may: its rows all
// start alike, so row y painted as the row below is a copy of it.
class TakesRepeats : public lumenor::MemoryCanvas {
 public:
  TakesRepeats() : MemoryCanvas(kBackground) { KeepStored(); }
  bool RepeatRow(int y, int below) override {
    std::copy_n(Scanline(below), Width(), Scanline(y));
    std::copy_n(StoredScanline(below), Width(), StoredScanline(y));
    return true;
  }
};

void Load(const Written& w, lumenor::MemoryCanvas& canvas) {
  lumenor::MemorySource source(w.file);
  lumenor::LoadImage(source, canvas, w.wide ? kSixteenBit : lumenor::DecodeOptions{});
}

// Empty when the canvas holds exactly the stored values wanted; otherwise the first difference.
std::string CompareStored(const lumenor::MemoryCanvas& canvas,
                          const std::vector<std::uint32_t>& want) {
  if (canvas.Width() != int(kWidth) || canvas.Height() != int(kHeight))
    return "have a " + std::to_string(canvas.Width()) + " x " + std::to_string(canvas.Height()) +
           " canvas";
  for (int y = 0; y < int(kHeight); ++y)
    for (int x = 0; x < int(kWidth); ++x) {
      const std::uint32_t have = canvas.StoredAt(x, y), w = want[std::size_t(y) * kWidth + x];
      if (have != w) {
        char text[96];
        std::snprintf(text, sizeof text, "have %08X, want %08X at (%d, %d)", have, w, x, y);
        return text;
      }
    }
  return {};
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const unsigned channels : {2u, 4u})
    for (const bool wide : {false, true}) {
      for (const Damage damage : {Damage::kNone, Damage::kCutShort, Damage::kCutInLastPlane})
        cases.push_back({channels, false, wide, damage});
      for (const Damage damage : {Damage::kNone, Damage::kCutShort, Damage::kCutInLastPlane,
                                  Damage::kShortRows, Damage::kSharedRows, Damage::kOverflow})
        cases.push_back({channels, true, wide, damage});
    }
  return cases;
}

class StoredScanline : public testing::TestWithParam<Case> {};

TEST_P(StoredScanline, HoldsTheValuesWritten) {
  const Case& c = GetParam();
  Written w = Build(c, 1);
  const std::vector<std::uint32_t> want = ExpectedStored(w);

  CountingRepeats fresh;
  Load(w, fresh);
  ASSERT_EQ(CompareStored(fresh, want), "") << "on a new canvas";
  if (c.damage == Damage::kSharedRows) {
    EXPECT_GT(fresh.repeats, 0) << "no row was repeated";
  }
  // What is shown is the stored values laid over the background, rows never delivered included.
  for (int y = 0; y < int(kHeight); ++y)
    for (int x = 0; x < int(kWidth); ++x) {
      const std::uint32_t stored = fresh.StoredAt(x, y);
      const double alpha = stored >> 24;
      Pixel blended = 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const double old = kBackground >> shift & 0xFF, value = stored >> shift & 0xFF;
        blended |= Pixel(old + std::nearbyint((value - old) * alpha / 255.0)) << shift;
      }
      ASSERT_EQ(fresh.At(x, y), blended) << "at (" << x << ", " << y << ")";
    }

  // Nothing of another picture the same size, loaded before it, stays.
  lumenor::MemoryCanvas used(kBackground);
  used.KeepStored();
  Load(Build({c.channels, c.rle, c.wide, Damage::kNone}, 9), used);
  Load(w, used);
  EXPECT_EQ(CompareStored(used, want), "") << "after another picture";

  // Rows the canvas repeats itself come out the same.
  TakesRepeats repeating;
  Load(w, repeating);
  EXPECT_EQ(CompareStored(repeating, want), "") << "on a canvas that repeats rows itself";

  // A canvas that does not keep them shows the same picture.
  lumenor::MemoryCanvas plain(kBackground);
  Load(w, plain);
  EXPECT_FALSE(plain.KeepsStored());
  EXPECT_EQ(testing_support::Compare(
                plain,
                [&] {
                  std::vector<Pixel> shown;
                  for (int y = 0; y < int(kHeight); ++y)
                    for (int x = 0; x < int(kWidth); ++x) shown.push_back(fresh.At(x, y));
                  return shown;
                }(),
                kWidth, kHeight),
            "");
}

INSTANTIATE_TEST_SUITE_P(Loads, StoredScanline, testing::ValuesIn(AllCases()),
                         [](const auto& test) { return test.param.Name(); });

}  // namespace
