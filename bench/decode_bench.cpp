// Decoding speed by input shape, in memory: Decode/WIDTHxHEIGHT/CHANNELS/STORAGE[/LAYOUT];
// the stored values (Stored/...), files that hold only their header (HeaderOnly/...), and one
// row read again for the value under the pointer (RowReader/...).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "decode_helpers.h"
#include "scale.h"
#include "stored_image.h"

namespace {

// read/size: the bytes a load reads over the file's size (1 when every byte is read once).
void Decode(benchmark::State& state, const sgi::Bytes& bytes, unsigned width, unsigned height,
            const lumenor::DecodeOptions& options = {}) {
  lumenor::MemoryCanvas canvas;
  std::uint64_t read = 0;
  for (auto _ : state) {
    lumenor::MemorySource file(bytes);
    testing_support::CountingSource source(file);
    lumenor::LoadImage(source, canvas, options);
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

// The flipbook's frames shrunk whole, as a player worker does on one core: 3840 x 2160 at Fit to
// Window in a 1600 x 1100 client area (5/12) and the plain zooms about it, 1920 x 1080 at 5/6;
// and zooms of larger denominators, as Fit to Window gives in other windows: 1920 x 1000 (25/54)
// and 1599 pixels wide (533/1280).
// Scale/WIDTHxHEIGHT/NUM_DEN/whole in one call; /bands 16 picture rows at a time from the bottom
// up, the scaled rows each band finishes, as a worker scales a frame while the decoder paints it.
void RegisterFrameScaling() {
  struct Case {
    int width, height;
    lumenor::Zoom zoom;
  };
  for (const Case c : {Case{3840, 2160, {5, 12}}, Case{3840, 2160, {1, 2}},
                       Case{3840, 2160, {1, 3}}, Case{3840, 2160, {5, 6}}, Case{1920, 1080, {5, 6}},
                       Case{3840, 2160, {25, 54}}, Case{3840, 2160, {533, 1280}}}) {
    auto picture = std::make_shared<std::vector<lumenor::Pixel>>(std::size_t(c.width) * c.height);
    for (std::size_t i = 0; i < picture->size(); ++i)
      (*picture)[i] = 0xFF000000u | static_cast<lumenor::Pixel>(i * 2654435761u >> 8);
    const std::string name = "Scale/" + std::to_string(c.width) + "x" + std::to_string(c.height) +
                             "/" + std::to_string(c.zoom.num) + "_" + std::to_string(c.zoom.den);
    for (const bool bands : {false, true})
      benchmark::RegisterBenchmark(
          (name + (bands ? "/bands" : "/whole")).c_str(),
          [picture, c, bands](benchmark::State& state) {
            lumenor::PictureScaler scaler(c.width, c.height, c.zoom);
            const int width = scaler.ScaledWidth(), height = scaler.ScaledHeight();
            const auto stride = static_cast<std::size_t>(c.width);
            std::vector<lumenor::Pixel> out(std::size_t(width) * height);
            for (auto _ : state) {
              if (!bands) {
                scaler.Scale(picture->data(), stride, 0, 0, width, height, out.data(), width);
              } else {
                int next = height;  // the scaled rows from here down are done
                for (int top = (c.height - 1) / 16 * 16; top >= 0; top -= 16) {
                  const int from = top == 0 ? 0 : scaler.LastScaledRow(top - 1) + 1;
                  if (from >= next) continue;
                  scaler.Scale(picture->data(), stride, 0, from, width, next - from,
                               out.data() + std::size_t(from) * width, std::size_t(width));
                  next = from;
                }
              }
              benchmark::DoNotOptimize(out.data());
            }
            state.SetItemsProcessed(state.iterations() * std::int64_t{c.width} * c.height);
          })
          ->Unit(benchmark::kMillisecond);
  }
}

// The stored values, as Export and the converter take them: the same paths as Decode, values
// copied instead of laid over a canvas.
void RegisterStored() {
  const char* channelNames[] = {"", "grey", "grey_alpha", "rgb", "rgba"};
  constexpr unsigned kSide = 4096;
  for (unsigned channels : {1u, 3u, 4u}) {
    const auto planes = sgi::Pattern(kSide, kSide, channels);
    const std::string shape = std::string("Stored/4096x4096/") + channelNames[channels];
    auto rle = std::make_shared<sgi::Bytes>(sgi::Rle({}, planes));
    auto verbatim = std::make_shared<sgi::Bytes>(sgi::Verbatim({}, planes));
    for (const auto& [storage, bytes] : {std::pair{"/rle", rle}, std::pair{"/verbatim", verbatim}})
      benchmark::RegisterBenchmark((shape + storage).c_str(), [bytes](benchmark::State& state) {
        for (auto _ : state) {
          lumenor::MemorySource source(*bytes);
          const auto image = lumenor::LoadStoredImage(source);
          benchmark::DoNotOptimize(image.values.data());
        }
        state.SetItemsProcessed(state.iterations() * std::int64_t{kSide} * kSide);
      })->Unit(benchmark::kMillisecond);
  }
}

// A 32767 x 32767 header with nothing behind it. The canvas is allocated once, outside the
// figures: what is left is the decoder's own work on rows that lie past the end of the file
// (RGB fills them black, RGBA leaves them be). The run-length tables lie past the end too, so
// every offset reads as 0 and every row decodes the header's first bytes.
void RegisterHeaderOnly() {
  const char* channelNames[] = {"", "grey", "grey_alpha", "rgb", "rgba"};
  for (unsigned channels : {3u, 4u})
    for (unsigned storage : {0u, 1u}) {
      const std::string name = std::string("HeaderOnly/32767x32767/") + channelNames[channels] +
                               (storage == 0 ? "/verbatim" : "/rle");
      auto bytes = std::make_shared<sgi::Bytes>(sgi::EncodeHeader(
          {.storage = storage, .xsize = 32767, .ysize = 32767, .zsize = channels}));
      benchmark::RegisterBenchmark(name.c_str(), [bytes](benchmark::State& state) {
        lumenor::MemoryCanvas canvas;
        lumenor::MemorySource source(*bytes);
        lumenor::LoadImage(source, canvas);  // allocates the canvas
        for (auto _ : state) {
          lumenor::LoadImage(source, canvas);
          benchmark::DoNotOptimize(canvas.Scanline(0));
        }
      })->Unit(benchmark::kMillisecond);
    }
}

// Files on disk for the row reader, removed when the benchmarks end.
class BenchFiles {
 public:
  BenchFiles()
      : dir_(std::filesystem::temp_directory_path() /
             ("lumenor_bench_" + std::to_string(::getpid()))) {}
  ~BenchFiles() { std::filesystem::remove_all(dir_); }
  BenchFiles(const BenchFiles&) = delete;
  BenchFiles& operator=(const BenchFiles&) = delete;

  std::string Write(const std::string& name, const sgi::Bytes& bytes) {
    std::filesystem::create_directories(dir_);
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

 private:
  std::filesystem::path dir_;
};
BenchFiles benchFiles;

// The value under the pointer, on a 4096 x 4096 file read through the file system:
// RowReader/4096x4096/CHANNELS/STORAGE/CASE, where CASE is
//   open                  reading the header (and the run-length tables) for a new reader;
//   first_top_row         a new reader's first row, the top one: a run-length colour file is
//                         checked from the bottom up to it, once;
//   first_top_row_loaded  the same for a reader told the load went through without an error;
//   new_row               a row other than the last one asked for, spread over the picture;
//   same_row              the row asked for last: a pointer move along a row.
void RegisterRowReader() {
  const char* channelNames[] = {"", "grey", "grey_alpha", "rgb", "rgba"};
  constexpr int kSide = 4096;
  using Rows = lumenor::RowReader::Rows;
  for (unsigned channels : {1u, 3u, 4u})
    for (unsigned storage : {1u, 0u}) {
      const std::string shape = std::string("RowReader/4096x4096/") + channelNames[channels] +
                                (storage == 0 ? "/verbatim" : "/rle");
      // Written on first use, so that a filter that leaves these out costs nothing.
      auto path = std::make_shared<std::string>();
      const auto open = [path, channels, storage](Rows rows = Rows::kCheckInOrder) {
        if (path->empty()) {
          const auto planes = sgi::Pattern(kSide, kSide, channels);
          *path = benchFiles.Write(std::to_string(channels) + "_" + std::to_string(storage),
                                   storage == 0 ? sgi::Verbatim({}, planes)
                                                : sgi::Rle({}, planes, sgi::Layout::kShuffled));
        }
        return std::make_unique<lumenor::RowReader>(std::make_unique<lumenor::FileSource>(*path),
                                                    rows);
      };
      benchmark::RegisterBenchmark((shape + "/open").c_str(), [open](benchmark::State& state) {
        open();  // the file is written
        for (auto _ : state) benchmark::DoNotOptimize(open());
      })->Unit(benchmark::kMicrosecond);
      for (const Rows rows : {Rows::kCheckInOrder, Rows::kLoadedWithoutError})
        benchmark::RegisterBenchmark(
            (shape + (rows == Rows::kCheckInOrder ? "/first_top_row" : "/first_top_row_loaded"))
                .c_str(),
            [open, rows](benchmark::State& state) {
              for (auto _ : state) {
                state.PauseTiming();
                auto reader = open(rows);
                state.ResumeTiming();
                benchmark::DoNotOptimize(reader->Row(0).data());
              }
            })
            ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark((shape + "/new_row").c_str(), [open](benchmark::State& state) {
        auto reader = open();
        reader->Row(0);  // checked once, outside the figures
        int y = 0;
        for (auto _ : state) {
          y = (y + 997) % kSide;
          benchmark::DoNotOptimize(reader->Row(y).data());
        }
      })->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark((shape + "/same_row").c_str(), [open](benchmark::State& state) {
        auto reader = open();
        reader->Row(1234);
        for (auto _ : state) benchmark::DoNotOptimize(reader->Row(1234).data());
      })->Unit(benchmark::kMicrosecond);
    }
}

// The same 4096 x 4096 pictures at 16 bits a channel (each value v * 257, so the runs are the
// same): Decode16/...; their bytes per second against Decode/... is what the wider values cost.
void RegisterSixteenBit() {
  const char* channelNames[] = {"", "grey", "grey_alpha", "rgb", "rgba"};
  constexpr unsigned kSide = 4096;
  for (unsigned channels : {1u, 3u, 4u}) {
    const auto planes = sgi::Pattern(kSide, kSide, channels);
    sgi::Planes16 wide{kSide, kSide, channels, {}};
    for (const std::uint8_t v : planes.values) wide.values.push_back(std::uint16_t(v * 257));
    const std::string shape = std::string("Decode16/4096x4096/") + channelNames[channels];
    auto rle = std::make_shared<sgi::Bytes>(sgi::Rle16({}, wide));
    auto verbatim = std::make_shared<sgi::Bytes>(sgi::Verbatim16({}, wide));
    for (const auto& [storage, bytes] :
         {std::pair{"/rle/bottom_first", rle}, std::pair{"/verbatim", verbatim}})
      benchmark::RegisterBenchmark((shape + storage).c_str(), [bytes](benchmark::State& s) {
        Decode(s, *bytes, kSide, kSide, {.sixteenBit = true});
      })->Unit(benchmark::kMillisecond);
  }
}

const int registered =
    (RegisterAll(), RegisterSixteenBit(), RegisterScaling(), RegisterFrameScaling(),
     RegisterStored(), RegisterHeaderOnly(), RegisterRowReader(), 0);

}  // namespace
