// The view's looks over a whole 3840 x 2160 picture, as a repaint or a load at that size does
// them: the picture copied as shown in each of the eight orientations (whole, and in bands of 16
// rows as a load delivers them), one channel as grey, premultiplying, differences, and the
// shrinking at Fit to Window zooms with the alpha forced opaque or averaged. The floor is a plain
// copy of the picture. Prints figures; passes or fails nothing.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "look.h"
#include "orientation.h"
#include "scale.h"

namespace {

constexpr int kWidth = 3840, kHeight = 2160;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

using Pixels = std::vector<lumenor::Pixel>;

std::shared_ptr<const Pixels> Picture() {
  static const auto picture = [] {
    auto p = std::make_shared<Pixels>(kPixels);
    for (std::size_t i = 0; i < kPixels; ++i)
      (*p)[i] = static_cast<lumenor::Pixel>(i * 2654435761u >> 3);  // alpha varies too
    return p;
  }();
  return picture;
}

void PerPixel(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPixels));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPixels * 4));
}

void Copy(benchmark::State& state) {
  const auto picture = Picture();
  Pixels out(kPixels);
  for (auto _ : state) {
    std::memcpy(out.data(), picture->data(), kPixels * sizeof(lumenor::Pixel));
    benchmark::DoNotOptimize(out.data());
  }
  PerPixel(state);
}

void Orient(benchmark::State& state, lumenor::Orientation orientation, int band) {
  const auto picture = Picture();
  const auto shown = orientation.Shown({kWidth, kHeight});
  Pixels out(kPixels);
  for (auto _ : state) {
    for (int bottom = kHeight - 1; bottom >= 0; bottom -= band)
      lumenor::OrientRows(picture->data(), kWidth, kHeight, kWidth, orientation,
                          std::max(0, bottom - band + 1), bottom, out.data(),
                          std::size_t(shown.width));
    benchmark::DoNotOptimize(out.data());
  }
  PerPixel(state);
}

void Channel(benchmark::State& state, lumenor::Channel channel, bool stored) {
  const auto picture = Picture();
  Pixels out(kPixels);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      const lumenor::Pixel* row = picture->data() + std::size_t(y) * kWidth;
      lumenor::ChannelRow(channel, row, stored ? row : nullptr,
                          out.data() + std::size_t(y) * kWidth, kWidth);
    }
    benchmark::DoNotOptimize(out.data());
  }
  PerPixel(state);
}

void Premultiply(benchmark::State& state) {
  const auto picture = Picture();
  Pixels out(kPixels);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y)
      lumenor::PremultiplyRow(picture->data() + std::size_t(y) * kWidth,
                              out.data() + std::size_t(y) * kWidth, kWidth);
    benchmark::DoNotOptimize(out.data());
  }
  PerPixel(state);
}

void Difference(benchmark::State& state) {
  const auto picture = Picture();
  Pixels other(picture->rbegin(), picture->rend()), out(kPixels);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      const std::size_t at = std::size_t(y) * kWidth;
      lumenor::DifferenceRow(picture->data() + at, other.data() + at, 4, out.data() + at, kWidth);
    }
    benchmark::DoNotOptimize(out.data());
  }
  PerPixel(state);
}

void Scale(benchmark::State& state, lumenor::Zoom zoom, lumenor::ScaledAlpha alpha) {
  const auto picture = Picture();
  lumenor::PictureScaler scaler(kWidth, kHeight, zoom, alpha);
  const int width = scaler.ScaledWidth(), height = scaler.ScaledHeight();
  Pixels out(std::size_t(width) * height);
  for (auto _ : state) {
    scaler.Scale(picture->data(), kWidth, 0, 0, width, height, out.data(), std::size_t(width));
    benchmark::DoNotOptimize(out.data());
  }
  PerPixel(state);
}

void RegisterAll() {
  const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
  const auto add = [](const std::string& name, auto work) {
    benchmark::RegisterBenchmark(name.c_str(), work)->Unit(benchmark::kMillisecond);
  };
  add("Copy/" + size, Copy);
  lumenor::Orientation orientation;
  for (int i = 0; i < 8; ++i) {
    const std::string name = "Orient/" + size + "/turns_" + std::to_string(orientation.Turns()) +
                             (orientation.Mirrored() ? "_mirrored" : "");
    add(name, [orientation](benchmark::State& s) { Orient(s, orientation, kHeight); });
    if (orientation.Turns() == 1)
      add(name + "/bands_16", [orientation](benchmark::State& s) { Orient(s, orientation, 16); });
    orientation =
        i == 3 ? orientation.RotatedRight().MirroredHorizontally() : orientation.RotatedRight();
  }
  add("Channel/" + size + "/red",
      [](benchmark::State& s) { Channel(s, lumenor::Channel::kRed, true); });
  add("Channel/" + size + "/luminance",
      [](benchmark::State& s) { Channel(s, lumenor::Channel::kLuminance, true); });
  add("Channel/" + size + "/luminance_without_alpha",
      [](benchmark::State& s) { Channel(s, lumenor::Channel::kLuminance, false); });
  add("Premultiply/" + size, Premultiply);
  add("Difference/" + size, Difference);
  for (const lumenor::Zoom zoom : {lumenor::Zoom{1, 3}, lumenor::Zoom{5, 12}})
    for (const auto alpha : {lumenor::ScaledAlpha::kOpaque, lumenor::ScaledAlpha::kAveraged}) {
      const std::string name = "Scale/" + size + "/" + std::to_string(zoom.num) + "_" +
                               std::to_string(zoom.den) +
                               (alpha == lumenor::ScaledAlpha::kOpaque ? "/opaque" : "/averaged");
      add(name, [zoom, alpha](benchmark::State& s) { Scale(s, zoom, alpha); });
    }
}

const int registered = (RegisterAll(), 0);

}  // namespace
