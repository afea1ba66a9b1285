// Decoding speed by input shape, in memory: Decode/WIDTHxHEIGHT/CHANNELS/STORAGE[/LAYOUT].
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "decode_helpers.h"

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

const int registered = (RegisterAll(), 0);

}  // namespace
