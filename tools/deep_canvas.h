#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"
#include "row_sink.h"

// The canvas of a picture of 16 bits a channel at the file's precision: what the window shows
// (the rows the load paints, in the order it paints them, alpha laid over the background) with
// every channel kept at 16 bits instead of narrowed to 8. Opaque values are the stored ones; alpha
// lays a value over the one below as old + round((value - old) * alpha / 65535), the window's
// rule at 16 bits; the background is its 8-bit colour widened (v * 257). Narrowing any of its
// values with round(v * 255 / 65535) gives the window's canvas for pictures without alpha, and
// within one of it with alpha (the window blends values already narrowed).
class DeepCanvas final : public lumenor::RowSink {
 public:
  explicit DeepCanvas(lumenor::Pixel background);

  bool Allocate(const lumenor::ImageHeader& header) override;
  void Named(const std::string& utf8Name) override { title_ = "Lumenor - " + utf8Name; }
  void Report(const std::string& utf8Text) override { messages_.push_back(utf8Text); }
  void GreyRow(int y, const std::uint8_t* values, std::size_t count) override;
  void ChannelRow(int y, const lumenor::ChannelRows& rows, std::size_t extent) override;
  void ZeroRows(int top, int bottom) override;
  bool Progress(int /*top*/, int /*bottom*/) override { return true; }

  int Width() const { return width_; }
  unsigned Channels() const { return channels_; }
  int Height() const { return height_; }
  // Row y: red, green and blue of each pixel, 0 to 65535.
  const std::uint16_t* Row(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3;
  }
  const std::string& Title() const { return title_; }
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  std::uint16_t* RowAt(int y) {
    return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3;
  }

  std::uint16_t background_[3];
  int width_ = 0, height_ = 0;
  unsigned channels_ = 0;
  std::vector<std::uint16_t> pixels_;
  std::string title_ = "Lumenor 1.0 by Vantris";
  std::vector<std::string> messages_;
};
