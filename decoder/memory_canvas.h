#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"
#include "pixel_memory.h"

namespace lumenor {

// The grey the viewer's window and canvas show behind a picture (the application-workspace
// colour of Qt's standard palette, QPalette::Dark).
constexpr Pixel kWorkspaceGrey = MakePixel(0x9F, 0x9F, 0x9F);

// A canvas without a window: the headless tool, tests, benchmarks and the fuzzer load onto it.
// It records the title, the error boxes and the progress points.
class MemoryCanvas : public Canvas {
 public:
  static constexpr std::uint64_t kNoLimit = UINT64_MAX;

  explicit MemoryCanvas(Pixel background = kWorkspaceGrey, std::uint64_t maxPixels = kNoLimit);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Resize(int width, int height) override;
  Pixel* Scanline(int y) override { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  void SetTitle(const std::string& utf8Title) override { title_ = utf8Title; }
  void ShowError(const std::string& utf8Text) override { messages_.push_back(utf8Text); }
  bool Progress(int top, int bottom) override;
  StoredPixel* StoredScanline(int y) override {
    return keepStored_ ? stored_.data() + static_cast<std::size_t>(y) * width_ : nullptr;
  }

  // From now on keeps the stored values of pictures with alpha too (see Canvas::StoredScanline),
  // zeros until a load writes them.
  void KeepStored();
  bool KeepsStored() const { return keepStored_; }

  Pixel At(int x, int y) const { return pixels_.data()[static_cast<std::size_t>(y) * width_ + x]; }
  // The stored value of pixel (x, y), 0xAARRGGBB; 0 when the canvas does not keep them.
  std::uint32_t StoredAt(int x, int y) const {
    return keepStored_ ? stored_[static_cast<std::size_t>(y) * width_ + x] : 0;
  }
  const std::string& Title() const { return title_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  // The top row of each progress band, in order.
  const std::vector<int>& ProgressRows() const { return progressRows_; }

 private:
  Pixel background_;
  std::uint64_t maxPixels_;
  int width_ = 25;  // the viewer's canvas starts at 25 x 19
  int height_ = 19;
  PixelBuffer pixels_;
  bool keepStored_ = false;
  std::vector<std::uint32_t> stored_;  // Width() x Height() of them when kept
  std::string title_ = "Lumenor 1.0 by Vantris";
  std::vector<std::string> messages_;
  std::vector<int> progressRows_;
};

}  // namespace lumenor
