// Decoding speed by input shape, in memory: Decode/WIDTHxHEIGHT/CHANNELS/STORAGE[/LAYOUT].
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "byte_source.h"
#include "memory_canvas.h"
#include "module1.h"
#include "sgi_builder.h"

namespace {

void Decode(benchmark::State& state, const sgi::Bytes& bytes, unsigned width, unsigned height) {
  lumenor::MemoryCanvas canvas;
  for (auto _ : state) {
    lumenor::MemorySource source(bytes);
    lumenor::LoadImage(source, canvas);
    benchmark::DoNotOptimize(canvas.Scanline(0));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * width * height);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void RegisterAll() {
  const char* channelNames[] = {"", "grey", "", "rgb", "rgba"};
  for (unsigned side : {1024u, 4096u})
    for (unsigned channels : {1u, 3u, 4u}) {
      const auto planes = sgi::Pattern(side, side, channels);
      const std::string shape = "Decode/" + std::to_string(side) + "x" + std::to_string(side) +
                                "/" + channelNames[channels];
      for (auto layout :
           {sgi::Layout::kBottomFirst, sgi::Layout::kPlanar, sgi::Layout::kShuffled}) {
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

const int registered = (RegisterAll(), 0);

}  // namespace
