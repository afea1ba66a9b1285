#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "canvas.h"
#include "frame_memory.h"
#include "scale.h"
#include "view_look.h"

// The decoder's canvas for one frame of a flipbook, over frame memory, on a worker thread. A row
// is filled with the background when the decoder first asks for it (in the cache then, about to
// be written over) and, after the load, wherever it never did; so a picture is written once, not
// twice. Like the window's canvas it starts at 25 x 19; it keeps the title and the boxes' texts.
class FrameCanvas final : public lumenor::Canvas {
 public:
  // obtain(width, height): the frame's memory for a picture of that size, or nullptr.
  using Obtain = std::function<std::shared_ptr<FrameBlock>(int width, int height)>;
  // At each progress point, with the rows from top down finished: false gives the load up.
  using Finished = std::function<bool(int top)>;

  FrameCanvas(lumenor::Pixel background, Obtain obtain, Finished finished)
      : background_(background), obtain_(std::move(obtain)), finished_(std::move(finished)) {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Resize(int width, int height) override;
  lumenor::Pixel* Scanline(int y) override;
  void SetTitle(const std::string& utf8Title) override { title_ = utf8Title; }
  void ShowError(const std::string& utf8Text) override { messages_.push_back(utf8Text); }
  bool Progress(int top, int bottom) override;
  // A picture with alpha keeps its stored values in stored too (sized and zeroed when first asked
  // for); the buffer is the caller's, kept from frame to frame.
  void KeepStored(std::vector<lumenor::StoredPixel>* stored) { stored_ = stored; }
  lumenor::StoredPixel* StoredScanline(int y) override;
  bool HasStored() const { return storedUsed_; }

  // The rows the load never reached are background.
  void FillUntouched();
  std::shared_ptr<FrameBlock> TakeBlock() { return std::move(block_); }
  const std::string& Title() const { return title_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  bool Abandoned() const { return abandoned_; }
  // How much of the picture the load reached, 0 to 1.
  double Reached() const { return height_ > 0 ? double(rowsReached_) / height_ : 1.0; }

 private:
  lumenor::Pixel* Row(int y) { return pixels_ + static_cast<std::size_t>(y) * width_; }

  lumenor::Pixel background_;
  Obtain obtain_;
  Finished finished_;
  int width_ = 25;
  int height_ = 19;
  std::vector<lumenor::Pixel> start_ = std::vector<lumenor::Pixel>(25 * 19);
  lumenor::Pixel* pixels_ = start_.data();
  std::vector<bool> touched_ = std::vector<bool>(19, false);
  int rowsReached_ = 0;
  std::shared_ptr<FrameBlock> block_;
  std::vector<lumenor::StoredPixel>* stored_ = nullptr;
  bool storedUsed_ = false;
  std::string title_;
  std::vector<std::string> messages_;
  bool abandoned_ = false;
};

// Scales a frame's rows as the decoder finishes them (it paints from the bottom up), while they
// are still in the cache, rather than reading the whole picture back from memory afterwards.
class RowScaler {
 public:
  // Scaled columns x..x + columns - 1 of rows top..top + rows - 1 go to out, a row of columns
  // pixels after another; the picture's rows are width pixels apart.
  void Start(lumenor::PictureScaler& scaler, const lumenor::Pixel* picture, int width, int x,
             int top, int columns, int rows, lumenor::Pixel* out);
  // Picture rows top and below are finished.
  void Finished(int top);

 private:
  lumenor::PictureScaler* scaler_ = nullptr;
  const lumenor::Pixel* picture_ = nullptr;
  int width_ = 0;
  int x_ = 0;
  int top_ = 0;
  int columns_ = 0;
  lumenor::Pixel* out_ = nullptr;
  int next_ = 0;  // the scaled rows from here down are done
};
