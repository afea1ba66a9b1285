#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "canvas.h"

namespace lumenor {

// A scale factor num / den: n picture pixels become ScaledLength(n) pixels. Above 1 the factor is
// a whole number (den == 1), so that every picture pixel becomes a square of equal size.
struct Zoom {
  int num = 1;
  int den = 1;

  bool operator==(const Zoom& other) const {
    return std::int64_t{num} * other.den == std::int64_t{other.num} * den;
  }
  bool operator<(const Zoom& other) const {
    return std::int64_t{num} * other.den < std::int64_t{other.num} * den;
  }
  bool Enlarges() const { return num > den; }
  bool Shrinks() const { return num < den; }
  double Factor() const { return double(num) / den; }
  // ceil(n * num / den): every picture pixel is covered, the last one perhaps in part.
  std::int64_t ScaledLength(std::int64_t n) const { return (n * num + den - 1) / den; }
  // The picture coordinate under scaled coordinate s.
  double Unscale(double s) const { return s * den / num; }
};

// Zoom num / den in lowest terms.
Zoom MakeZoom(std::int64_t num, std::int64_t den);

// Shrinking by area averaging along one axis: scaled pixel o covers picture pixels First(o) to
// First(o) + Count(o) - 1, each for a Weight(o, k) part of it, Total(o) in all. Weights are
// whole numbers, in units of 1 / num of a picture pixel, so the averages are exact.
class AxisWeights {
 public:
  AxisWeights() = default;
  AxisWeights(int sourceLength, Zoom zoom);

  int Length() const { return static_cast<int>(first_.size()); }
  int First(int o) const { return first_[o]; }
  int Count(int o) const { return static_cast<int>(start_[o + 1] - start_[o]); }
  const std::uint32_t* Weights(int o) const { return weights_.data() + start_[o]; }
  // Where the weights of scaled pixel o start among all of them.
  std::size_t WeightsAt(int o) const { return start_[o]; }
  std::size_t WeightCount() const { return weights_.size(); }
  std::uint32_t Total(int o) const { return total_[o]; }
  // The scaled pixels that picture pixel s contributes to.
  int FirstCovering(int s) const;
  int LastCovering(int s) const;

 private:
  Zoom zoom_;
  std::vector<int> first_;
  std::vector<std::size_t> start_;  // into weights_, one more than there are scaled pixels
  std::vector<std::uint32_t> weights_;
  std::vector<std::uint32_t> total_;
};

// What shrinking makes of a pixel's fourth byte: 0xFF (the window's pictures are opaque, whatever
// that byte holds), or the average of the picture's, worked out as the colours are (a picture
// premultiplied by its alpha shrinks to the premultiplied average). Enlarging copies pixels
// whole either way.
enum class ScaledAlpha { kOpaque, kAveraged };

// Scaled regions of a picture of a given size, at one zoom: shrunk by area averaging, so that
// fine detail averages out instead of flickering, or enlarged into squares of zoom.num pixels.
// Shrunk with den 16 or less (1/2 to 1/16, 2/3, 5/12, 5/6...), a pixel is the exact average
// rounded half up; with a larger den it is worked out in floats, which may round an exact half
// either way.
class PictureScaler {
 public:
  PictureScaler(int width, int height, Zoom zoom, ScaledAlpha alpha = ScaledAlpha::kOpaque);

  Zoom GetZoom() const { return zoom_; }
  ScaledAlpha Alpha() const { return alpha_; }
  int ScaledWidth() const { return scaledWidth_; }
  int ScaledHeight() const { return scaledHeight_; }
  // The scaled rows that picture rows top..bottom contribute to.
  int FirstScaledRow(int top) const;
  int LastScaledRow(int bottom) const;
  // The picture rows that scaled row o is made of.
  int FirstPictureRow(int o) const;
  int LastPictureRow(int o) const;

  // Writes the scaled pixels in columns x..x + columns - 1 of rows y..y + rows - 1 to out, rows
  // outStride pixels apart. The picture's rows lie stride pixels apart. It allocates nothing, so
  // it may run on another thread (one at a time).
  void Scale(const Pixel* picture, std::size_t stride, int x, int y, int columns, int rows,
             Pixel* out, std::size_t outStride);

 private:
  // A picture row's part in a scaled row: its bytes and its weight, repeated for vector lanes.
  // Where den is over 257 the rows go in pairs: a row and its partner (the row after it, or
  // itself again at weight 0), weights alternating.
  struct RowTerm {
    const std::uint8_t* bytes = nullptr;
    const std::uint8_t* partner = nullptr;
    std::uint16_t weight16[8] = {};
  };

  void Shrink(const Pixel* picture, std::size_t stride, int x, int y, int columns, int rows,
              Pixel* out, std::size_t outStride);
  int SetRowTerms(const Pixel* picture, std::size_t stride, int o, RowTerm* terms) const;
  void SumDown(const RowTerm* a, int countA, const RowTerm* b, int countB, int from, int to);
  void AverageAcrossExact(int first, int end, int from, int rowTotalA, int rowTotalB, Pixel* outA,
                          Pixel* outB) const;
  void AverageAcrossFloat(int first, int end, int from, int rowTotalA, int rowTotalB, Pixel* outA,
                          Pixel* outB) const;
  void Enlarge(const Pixel* picture, std::size_t stride, int x, int y, int columns, int rows,
               Pixel* out, std::size_t outStride) const;

  Zoom zoom_;
  ScaledAlpha alpha_ = ScaledAlpha::kOpaque;
  Pixel alphaMask_ = 0xFF000000u;  // ORed into every shrunk pixel: 0 keeps the average
  int width_ = 0;
  int scaledWidth_ = 0, scaledHeight_ = 0;
  AxisWeights columns_, rows_;  // when shrinking
  // Two scaled rows are shrunk at once, down the columns into sums for a chunk of them and then
  // across: a picture column's sums for both rows lie side by side, four bytes each. With den 16
  // or less, a scaled pixel's sums are below 2^16, whole numbers in 16-bit lanes throughout;
  // otherwise the sums down are whole numbers (16-bit while den is 257 or less), held as floats,
  // and the sums across weigh them by float shares.
  bool exact16_ = false;
  bool unitWeights_ = false;  // num is 1: every weight is 1
  int columnsPerChunk_ = 0;   // scaled columns whose sums stay in the nearest cache
  int span_ = 0;              // the most picture columns a scaled column covers
  int fullColumns_ = 0;       // the scaled columns not cut short by the picture's right edge
  // Exact: den picture columns make num scaled ones, every such period alike. The weights of
  // one period, span_ for each column (0 past its own), 8 lanes each; where each column starts;
  // and the weights of the last column when the picture's edge cuts it short.
  std::vector<std::uint16_t> periodWeights_;
  std::vector<int> periodFirst_;
  std::vector<std::uint16_t> lastWeights_;
  // Floats: each column weight over its scaled column's total, span_ for each column (0 past its
  // own), 4 lanes each.
  std::vector<float> columnShares_;
  std::vector<RowTerm> terms_;         // the picture rows of two scaled rows
  std::vector<std::uint16_t> sums16_;  // a chunk's sums, 8 lanes a picture column
  std::vector<float> sumsFloat_;
};

}  // namespace lumenor
