#include "thumbnail_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using lumenor::Pixel;

bool ThumbnailCanvas::Resize(int width, int height) {
  width_ = width;
  height_ = height;
  // The longer side becomes size pixels at most; a picture that fits is kept as it is.
  const int longer = std::max({width, height, 1});
  const lumenor::Zoom zoom =
      longer <= size_ ? lumenor::Zoom{1, 1} : lumenor::MakeZoom(size_, longer);
  columns_ = lumenor::AxisWeights(width, zoom);
  rows_ = lumenor::AxisWeights(height, zoom);
  painting_.clear();
  folded_.assign(static_cast<std::size_t>(height), false);
  sums_.assign(static_cast<std::size_t>(columns_.Length()) * rows_.Length() * 3, 0);
  across_.assign(static_cast<std::size_t>(columns_.Length()) * 3, 0);
  lastRow_.assign(static_cast<std::size_t>(width), 0);
  acrossIsLastRow_ = false;
  lastFolded_ = -1;
  discarded_.assign(static_cast<std::size_t>(width), background_);
  return true;
}

Pixel* ThumbnailCanvas::Scanline(int y) {
  if (folded_[static_cast<std::size_t>(y)]) return discarded_.data();
  auto [row, added] = painting_.try_emplace(y);
  if (added) row->second.assign(static_cast<std::size_t>(width_), background_);
  return row->second.data();
}

bool ThumbnailCanvas::Progress(int top, int bottom) {
  for (int y = top; y <= bottom; ++y) {
    const auto row = painting_.find(y);
    if (row == painting_.end()) continue;  // never painted: folded as background at the end
    Fold(y, row->second.data());
    painting_.erase(row);
  }
  return true;
}

void ThumbnailCanvas::FillRows(int top, int bottom, Pixel pixel) {
  painting_.erase(painting_.lower_bound(top), painting_.upper_bound(bottom));
  FoldUnfolded(top, bottom, pixel);
}

bool ThumbnailCanvas::RepeatRow(int y, int below) {
  if (below < 0 || below >= height_ || folded_[static_cast<std::size_t>(y)]) return false;
  const auto row = painting_.find(below);
  if (row != painting_.end()) {
    Fold(below, row->second.data());
    painting_.erase(row);
  }
  if (!acrossIsLastRow_ || lastFolded_ != below) return false;
  folded_[static_cast<std::size_t>(y)] = true;
  lastFolded_ = y;
  AddAcross(y);
  return true;
}

std::vector<Pixel> ThumbnailCanvas::Finish() {
  for (auto& [y, row] : painting_) Fold(y, row.data());
  painting_.clear();
  FoldUnfolded(0, height_ - 1, background_);

  std::vector<Pixel> thumbnail(static_cast<std::size_t>(columns_.Length()) * rows_.Length());
  for (int o = 0; o < rows_.Length(); ++o)
    for (int c = 0; c < columns_.Length(); ++c) {
      const std::uint64_t* sum = &sums_[(static_cast<std::size_t>(o) * columns_.Length() + c) * 3];
      const std::uint64_t total = std::uint64_t{rows_.Total(o)} * columns_.Total(c);
      const auto channel = [&](int i) {
        return static_cast<unsigned>((sum[i] + total / 2) / total);
      };
      thumbnail[static_cast<std::size_t>(o) * columns_.Length() + c] =
          lumenor::MakePixel(channel(2), channel(1), channel(0));
    }
  return thumbnail;
}

// Rows top..bottom not folded yet, all of one colour, folded run by run.
void ThumbnailCanvas::FoldUnfolded(int top, int bottom, Pixel pixel) {
  for (int y = top; y <= bottom;) {
    if (folded_[static_cast<std::size_t>(y)]) {
      ++y;
      continue;
    }
    int last = y;
    while (last < bottom && !folded_[static_cast<std::size_t>(last) + 1]) ++last;
    FoldConstant(y, last, pixel);
    y = last + 1;
  }
}

// What Fold gives for each of rows top..bottom painted in one colour, at the cost of one row:
// a row of one colour sums across to that colour times each column's total, and the rows'
// weights under a thumbnail row add up.
void ThumbnailCanvas::FoldConstant(int top, int bottom, Pixel pixel) {
  std::fill(folded_.begin() + top, folded_.begin() + bottom + 1, true);
  acrossIsLastRow_ = false;
  const std::uint32_t channels[3] = {lumenor::BlueOf(pixel), lumenor::GreenOf(pixel),
                                     lumenor::RedOf(pixel)};
  for (int c = 0; c < columns_.Length(); ++c)
    for (int i = 0; i < 3; ++i)
      across_[static_cast<std::size_t>(c) * 3 + i] = channels[i] * columns_.Total(c);
  for (int o = rows_.FirstCovering(top); o <= rows_.LastCovering(bottom); ++o) {
    const int first = std::max(top, rows_.First(o));
    const int last = std::min(bottom, rows_.First(o) + rows_.Count(o) - 1);
    std::uint64_t weight = 0;
    for (int y = first; y <= last; ++y) weight += rows_.Weights(o)[y - rows_.First(o)];
    std::uint64_t* sum = &sums_[static_cast<std::size_t>(o) * columns_.Length() * 3];
    for (std::size_t i = 0; i < across_.size(); ++i) sum[i] += across_[i] * weight;
  }
}

// Row y, summed across into the thumbnail's columns, then added to the thumbnail rows it lies
// under, each for the part of it they cover. Whole numbers: a column's sum is at most 255 * den,
// well within 32 bits; the thumbnail's sums take 64.
void ThumbnailCanvas::Fold(int y, const Pixel* row) {
  folded_[static_cast<std::size_t>(y)] = true;
  // A row like the one before (files share rows, and flat areas repeat) sums across the same.
  const std::size_t bytes = static_cast<std::size_t>(width_) * sizeof(Pixel);
  if (!acrossIsLastRow_ || std::memcmp(row, lastRow_.data(), bytes) != 0) {
    SumAcross(row);
    std::memcpy(lastRow_.data(), row, bytes);
    acrossIsLastRow_ = true;
  }
  lastFolded_ = y;
  AddAcross(y);
}

// Row y's sums across, added to the thumbnail rows it lies under.
void ThumbnailCanvas::AddAcross(int y) {
  for (int o = rows_.FirstCovering(y); o <= rows_.LastCovering(y); ++o) {
    const std::uint64_t weight = rows_.Weights(o)[y - rows_.First(o)];
    std::uint64_t* sum = &sums_[static_cast<std::size_t>(o) * columns_.Length() * 3];
    for (std::size_t i = 0; i < across_.size(); ++i) sum[i] += across_[i] * weight;
  }
}

void ThumbnailCanvas::SumAcross(const Pixel* row) {
  for (int c = 0; c < columns_.Length(); ++c) {
    const std::uint32_t* weights = columns_.Weights(c);
    const Pixel* at = row + columns_.First(c);
    std::uint32_t blue = 0, green = 0, red = 0;
    for (int k = 0; k < columns_.Count(c); ++k) {
      blue += lumenor::BlueOf(at[k]) * weights[k];
      green += lumenor::GreenOf(at[k]) * weights[k];
      red += lumenor::RedOf(at[k]) * weights[k];
    }
    std::uint32_t* across = &across_[static_cast<std::size_t>(c) * 3];
    across[0] = blue;
    across[1] = green;
    across[2] = red;
  }
}
