// png_settings_bench FILE [RUNS]: the PNG writer's speed and size on FILE's stored picture for
// zlib levels, row filters and zlib strategies, the figures the writer's defaults were chosen by.
// Encodes into memory (no disk), the median of RUNS runs (3 unless given), and prints a table
// sorted by time. The time is the processor time the encoding takes, which other programs on a
// busy machine do not inflate as they do the time on the clock. Passes or fails nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "png_writer.h"
#include "stored_image.h"

namespace {

using lumenor::PngFilter;
using lumenor::PngSettings;
using lumenor::PngStrategy;

const char* FilterName(PngFilter filter) {
  constexpr const char* kNames[] = {"none", "sub", "up", "average", "paeth"};
  return kNames[static_cast<int>(filter)];
}

const char* StrategyName(PngStrategy strategy) {
  constexpr const char* kNames[] = {"default", "filtered", "run-length", "huffman-only"};
  return kNames[static_cast<int>(strategy)];
}

struct Figures {
  PngSettings settings;
  double seconds = 0;
  std::size_t bytes = 0;
};

Figures Measure(const lumenor::StoredImage& image, const PngSettings& settings, int runs) {
  Figures figures{settings};
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    std::size_t bytes = 0;
    const std::clock_t start = std::clock();
    const std::string error = lumenor::EncodeStoredImagePng(
        image,
        [&bytes](std::span<const std::uint8_t> chunk) {
          bytes += chunk.size();
          return true;
        },
        settings);
    if (!error.empty()) std::fprintf(stderr, "the writer failed: %s\n", error.c_str());
    times.push_back(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    figures.bytes = bytes;
  }
  std::sort(times.begin(), times.end());
  figures.seconds = times[times.size() / 2];
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: png_settings_bench FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const lumenor::StoredImage image = lumenor::LoadStoredImage(argv[1]);
  if (!image.messages.empty() || image.values.empty()) {
    std::fprintf(stderr, "%s cannot be read\n", argv[1]);
    return 1;
  }
  std::vector<PngSettings> grid;
  for (const PngFilter filter : {PngFilter::kNone, PngFilter::kSub, PngFilter::kUp,
                                 PngFilter::kAverage, PngFilter::kPaeth}) {
    for (const int level : {1, 2, 3, 6})
      for (const PngStrategy strategy : {PngStrategy::kDefault, PngStrategy::kFiltered})
        grid.push_back({level, filter, strategy});
    grid.push_back({1, filter, PngStrategy::kRunLength});
    grid.push_back({1, filter, PngStrategy::kHuffmanOnly});
  }
  std::vector<Figures> table;
  for (const auto& settings : grid) table.push_back(Measure(image, settings, runs));
  std::sort(table.begin(), table.end(),
            [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });

  const PngSettings chosen;
  std::printf("%s: %d x %d, %u channels, %.1f MiB of values; median of %d encodes in memory\n",
              argv[1], image.width, image.height, image.channels,
              static_cast<double>(image.values.size()) / (1 << 20), runs);
  std::printf("%-6s %-8s %-13s %9s %9s %7s\n", "level", "filter", "strategy", "cpu_s", "MiB",
              "MB/s");
  for (const auto& f : table) {
    const bool isDefault = f.settings.zlibLevel == chosen.zlibLevel &&
                           f.settings.filter == chosen.filter &&
                           f.settings.strategy == chosen.strategy;
    std::printf("%-6d %-8s %-13s %9.3f %9.2f %7.0f%s\n", f.settings.zlibLevel,
                FilterName(f.settings.filter), StrategyName(f.settings.strategy), f.seconds,
                static_cast<double>(f.bytes) / (1 << 20),
                static_cast<double>(image.values.size()) / 1e6 / f.seconds,
                isDefault ? "  <- the writer's default" : "");
  }
}
