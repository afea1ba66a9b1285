// Decoding speed by input shape, in memory: Decode/WIDTHxHEIGHT/CHANNELS/STORAGE[/LAYOUT].
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "decode_helpers.h"
#include "scale.h"

namespace {

// read/size: the bytes a load reads over the file's size (1 when every byte is read once).
void Decode(benchmark::State& state, const sgi::Bytes& bytes, unsigned width, unsigned height) {
  lumenor::MemoryCanvas canvas;
  std::uint64_t read = 0;
  for (auto _ : state) {
    lumenor::MemorySource file(bytes);
    testing_support::CountingSource source(file);
    lumenor::LoadImage(source, canvas);
    benchmark::DoNotOptimize(canvas.Scanline(0));
    read = source.BytesRead();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * width * height);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.counters["read/size"] = double(read) / double(bytes.size());
}

void RegisterAll() {
  const char* channelNames[] = {"", "grey", "grey_alpha", "rgb", "rgba"};
  for (unsigned side : {1024u, 4096u})
    for (unsigned channels : {1u, 2u, 3u, 4u}) {
      const auto planes = sgi::Pattern(side, side, channels);
      const std::string shape = "Decode/" + std::to_string(side) + "x" + std::to_string(side) +
                                "/" + channelNames[channels];
      for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kPlanar, sgi::Layout::kShuffled,
                          sgi::Layout::kShared}) {
        auto bytes = std::make_shared<sgi::Bytes>(sgi::Rle({}, planes, layout));
        benchmark::RegisterBenchmark(
            (shape + "/rle/" + sgi::LayoutName(layout)).c_str(),
            [bytes, side](benchmark::State& s) { Decode(s, *bytes, side, side); })
            ->Unit(benchmark::kMillisecond);
      }
      auto verbatim = std::make_shared<sgi::Bytes>(sgi::Verbatim({}, planes));
      benchmark::RegisterBenchmark((shape + "/verbatim").c_str(), [verbatim,
                                                                   side](benchmark::State& s) {
        Decode(s, *verbatim, side, side);
      })->Unit(benchmark::kMillisecond);
    }
}

// Scaling a 4096 x 4096 picture for the window: the whole of it at zoom num/den (a screen's worth
// when it enlarges). Scale/NUM_DEN.
void RegisterScaling() {
  constexpr int kSide = 4096;
  auto picture = std::make_shared<std::vector<lumenor::Pixel>>(std::size_t{kSide} * kSide);
  for (std::size_t i = 0; i < picture->size(); ++i)
    (*picture)[i] = 0xFF000000u | static_cast<lumenor::Pixel>(i * 2654435761u >> 8);
  for (const lumenor::Zoom zoom : {lumenor::Zoom{1, 32}, lumenor::Zoom{1, 3}, lumenor::Zoom{2, 3},
                                   lumenor::Zoom{75, 256}, lumenor::Zoom{4, 1}}) {
    const std::string name = "Scale/" + std::to_string(zoom.num) + "_" + std::to_string(zoom.den);
    benchmark::RegisterBenchmark(name.c_str(), [picture, zoom](benchmark::State& state) {
      lumenor::PictureScaler scaler(kSide, kSide, zoom);
      const int width = std::min(scaler.ScaledWidth(), 1600);
      const int height = std::min(scaler.ScaledHeight(), 1200);
      std::vector<lumenor::Pixel> out(std::size_t(width) * height);
      for (auto _ : state) {
        scaler.Scale(picture->data(), kSide, 0, 0, width, height, out.data(), width);
        benchmark::DoNotOptimize(out.data());
      }
      state.SetItemsProcessed(state.iterations() * std::int64_t{width} * height);
    })->Unit(benchmark::kMillisecond);
  }
}

const int registered = (RegisterAll(), RegisterScaling(), 0);

}  // namespace
