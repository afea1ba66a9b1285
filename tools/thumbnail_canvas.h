#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "canvas.h"
#include "scale.h"

// A canvas that never holds the picture. Each row the load finishes is folded into a thumbnail
// whose longer side is at most size pixels (never enlarged), by area averaging, and dropped: it
// holds only the rows painted since the last progress point, at most sixteen, so memory is
// proportional to the picture's width plus the thumbnail, whatever the picture's height.
class ThumbnailCanvas final : public lumenor::Canvas {
 public:
  ThumbnailCanvas(int size, lumenor::Pixel background) : size_(size), background_(background) {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Resize(int width, int height) override;
  // Rows come from the bottom up; a row of background until the load paints it.
  lumenor::Pixel* Scanline(int y) override;
  void SetTitle(const std::string& /*utf8Title*/) override {}
  void ShowError(const std::string& utf8Text) override { messages_.push_back(utf8Text); }
  // Rows top..bottom are finished: folds them into the thumbnail.
  bool Progress(int top, int bottom) override;
  // Rows top..bottom all of one colour, final: folded at once, whatever their number.
  void FillRows(int top, int bottom, lumenor::Pixel pixel) override;
  // Every row starts as background, so row y painted as row below was is row below again: folded
  // from its sums across, at the cost of the thumbnail's width, never the picture's.
  bool RepeatRow(int y, int below) override;

  const std::vector<std::string>& Messages() const { return messages_; }
  // Folds what is left (rows the load never reached are background, folded in bulk) and gives
  // the thumbnail, ThumbnailWidth() x ThumbnailHeight() pixels, top row first.
  std::vector<lumenor::Pixel> Finish();
  int ThumbnailWidth() const { return columns_.Length(); }
  int ThumbnailHeight() const { return rows_.Length(); }

 private:
  void Fold(int y, const lumenor::Pixel* row);
  void AddAcross(int y);
  void SumAcross(const lumenor::Pixel* row);
  void FoldUnfolded(int top, int bottom, lumenor::Pixel pixel);
  void FoldConstant(int top, int bottom, lumenor::Pixel pixel);

  int size_;
  lumenor::Pixel background_;
  int width_ = 25, height_ = 19;  // as the viewer's canvas starts
  lumenor::AxisWeights columns_, rows_;
  std::map<int, std::vector<lumenor::Pixel>> painting_;  // rows handed out, not folded yet
  std::vector<bool> folded_;
  std::vector<std::uint64_t> sums_;    // per thumbnail pixel: blue, green, red, weighted
  std::vector<std::uint32_t> across_;  // one row summed across: the same per thumbnail column
  // The row across_ was last summed from, while across_ still holds its sums.
  std::vector<lumenor::Pixel> lastRow_;
  bool acrossIsLastRow_ = false;
  int lastFolded_ = -1;                    // the row across_ was summed for
  std::vector<lumenor::Pixel> discarded_;  // for rows already folded, which nothing repaints
  std::vector<std::string> messages_;
};
