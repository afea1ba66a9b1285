#include "frame_canvas.h"

#include <algorithm>

bool FrameCanvas::Resize(int width, int height) {
  if (width == width_ && height == height_ && block_) return true;
  std::shared_ptr<FrameBlock> block = obtain_(width, height);
  if (!block) return false;
  std::vector<bool> touched(static_cast<std::size_t>(height), false);
  rowsReached_ = 0;
  const int keepWidth = std::min(width, width_);
  for (int y = 0; y < std::min(height, height_); ++y) {
    if (!touched_[y]) continue;
    lumenor::Pixel* row = block->Pixels() + static_cast<std::size_t>(y) * width;
    std::copy_n(Row(y), keepWidth, row);
    std::fill(row + keepWidth, row + width, background_);
    touched[y] = true;
    ++rowsReached_;
  }
  block_ = std::move(block);
  pixels_ = block_->Pixels();
  width_ = width;
  height_ = height;
  touched_ = std::move(touched);
  storedUsed_ = false;  // sized afresh when asked for
  return true;
}

lumenor::Pixel* FrameCanvas::Scanline(int y) {
  if (!touched_[y]) {
    std::fill_n(Row(y), width_, background_);
    touched_[y] = true;
    ++rowsReached_;
  }
  return Row(y);
}

lumenor::StoredPixel* FrameCanvas::StoredScanline(int y) {
  if (stored_ == nullptr) return nullptr;
  if (!storedUsed_) {
    stored_->assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0u);
    storedUsed_ = true;
  }
  return stored_->data() + static_cast<std::size_t>(y) * width_;
}

bool FrameCanvas::Progress(int top, int /*bottom*/) {
  abandoned_ = abandoned_ || !finished_(top);
  return !abandoned_;
}

void FrameCanvas::FillUntouched() {
  for (int y = 0; y < height_; ++y) Scanline(y);
}

void RowScaler::Start(lumenor::PictureScaler& scaler, const lumenor::Pixel* picture, int width,
                      int x, int top, int columns, int rows, lumenor::Pixel* out) {
  scaler_ = &scaler;
  picture_ = picture;
  width_ = width;
  x_ = x;
  top_ = top;
  columns_ = columns;
  out_ = out;
  next_ = top + rows;
}

void RowScaler::Finished(int top) {
  if (scaler_ == nullptr) return;
  // The scaled rows made only of picture rows top and below.
  const int from = std::max(top_, top == 0 ? 0 : scaler_->LastScaledRow(top - 1) + 1);
  if (from >= next_) return;
  const auto stride = static_cast<std::size_t>(columns_);
  scaler_->Scale(picture_, static_cast<std::size_t>(width_), x_, from, columns_, next_ - from,
                 out_ + static_cast<std::size_t>(from - top_) * stride, stride);
  next_ = from;
}
