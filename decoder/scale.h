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

// Scaled regions of a picture of a given size, at one zoom: shrunk by area averaging, so that
// fine detail averages out instead of flickering, or enlarged into squares of zoom.num pixels.
class PictureScaler {
 public:
  PictureScaler(int width, int height, Zoom zoom);

  Zoom GetZoom() const { return zoom_; }
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
  void Shrink(const Pixel* picture, std::size_t stride, int x, int y, int columns, int rows,
              Pixel* out, std::size_t outStride);
  template <typename Sum>
  void ShrinkWith(std::vector<Sum>& sums, const Pixel* picture, std::size_t stride, int x, int y,
                  int columns, int rows, Pixel* out, std::size_t outStride) const;
  template <typename Sum>
  void AverageAcross(const Sum* sums, int from, int first, int count, Pixel* out,
                     float rowScale) const;
  void Enlarge(const Pixel* picture, std::size_t stride, int x, int y, int columns, int rows,
               Pixel* out, std::size_t outStride) const;

  Zoom zoom_;
  int scaledWidth_, scaledHeight_;
  AxisWeights columns_, rows_;  // when shrinking
  // A scaled row's weighted byte sums, at most 255 * den: in 16 bits when den is 257 or less.
  std::vector<std::uint16_t> sums16_;
  std::vector<std::uint32_t> sums32_;
  std::vector<float> columnShares_;  // each column weight over its scaled column's total
};

}  // namespace lumenor
