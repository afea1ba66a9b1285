#pragma once

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "byte_source.h"
#include "memory_canvas.h"
#include "module1.h"
#include "sgi_builder.h"

namespace testing_support {

// The start of every read-error box; the reason follows.
inline bool IsReadError(const std::string& message) {
  return message.rfind("There was an error reading the file:\r\n", 0) == 0;
}

// Another source's bytes, counting how many of those within the file a load reads.
class CountingSource final : public lumenor::ByteSource {
 public:
  explicit CountingSource(lumenor::ByteSource& inner) : inner_(inner) {}
  std::uint64_t Size() const override { return inner_.Size(); }
  void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset < Size()) read_ += std::min<std::uint64_t>(out.size(), Size() - offset);
    inner_.ReadAt(offset, out);
  }
  std::uint64_t BytesRead() const { return read_; }

 private:
  lumenor::ByteSource& inner_;
  std::uint64_t read_ = 0;
};

inline lumenor::MemoryCanvas Load(const sgi::Bytes& bytes,
                                  lumenor::Pixel background = lumenor::kWorkspaceGrey) {
  lumenor::MemoryCanvas canvas(background);
  lumenor::MemorySource source(bytes);
  lumenor::LoadImage(source, canvas);
  return canvas;
}

// The picture planes should give, worked out independently of the decoder: file row 0 at the
// bottom; grey, RGB, or grey with alpha and RGBA laid over the background with
// old + round((src - old) * a / 255).
inline std::vector<lumenor::Pixel> Expected(const sgi::Planes& p, lumenor::Pixel background) {
  std::vector<lumenor::Pixel> out(static_cast<std::size_t>(p.width) * p.height, background);
  for (unsigned r = 0; r < p.height; ++r)
    for (unsigned x = 0; x < p.width; ++x) {
      auto& pixel = out[static_cast<std::size_t>(p.height - 1 - r) * p.width + x];
      if (p.channels == 1) {
        pixel = lumenor::GreyPixel(p.at(0, r, x));
        continue;
      }
      const bool grey = p.channels == 2;
      unsigned rgb[3] = {p.at(0, r, x), p.at(grey ? 0 : 1, r, x), p.at(grey ? 0 : 2, r, x)};
      if (p.channels == 2 || p.channels == 4) {
        const double alpha = p.at(p.channels - 1, r, x);
        const unsigned old[3] = {lumenor::RedOf(background), lumenor::GreenOf(background),
                                 lumenor::BlueOf(background)};
        for (int i = 0; i < 3; ++i)
          rgb[i] = static_cast<unsigned>(old[i] +
                                         std::nearbyint((double(rgb[i]) - old[i]) * alpha / 255.0));
      }
      pixel = lumenor::MakePixel(rgb[0], rgb[1], rgb[2]);
    }
  return out;
}

// Empty when the canvas shows exactly the expected picture; otherwise the first difference.
inline std::string Compare(const lumenor::MemoryCanvas& canvas,
                           const std::vector<lumenor::Pixel>& want, int width, int height) {
  if (canvas.Width() != width || canvas.Height() != height)
    return "have a " + std::to_string(canvas.Width()) + " x " + std::to_string(canvas.Height()) +
           " canvas, want " + std::to_string(width) + " x " + std::to_string(height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto have = canvas.At(x, y);
      const auto w = want[static_cast<std::size_t>(y) * width + x];
      if (have != w) {
        char text[96];
        std::snprintf(text, sizeof text, "have %06X, want %06X at (%d, %d)", have & 0xFFFFFFu,
                      w & 0xFFFFFFu, x, y);
        return text;
      }
    }
  return {};
}

}  // namespace testing_support
