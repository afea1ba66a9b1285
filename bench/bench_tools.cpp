// Helpers of bench/process_bench.sh:
//   bench_tools grey-alpha IN.pgm OUT.sgi verbatim|rle
//       writes a grey picture with an alpha channel (opaque at the bottom, clear at the top) as a
//       two-channel SGI file; no independent writer makes these.
//   bench_tools wide IN.ppm OUT.rgb
//       writes an 8-bit PPM as a 16-bit RGB run-length SGI file, each value v * 257: the same
//       picture at 16 bits a channel (no independent writer makes 16-bit run-length files).
//   bench_tools read-count FILE
//       loads FILE and prints how many bytes the load read and the file's size.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decode_helpers.h"

namespace {

int GreyAlpha(const char* in, const char* out, bool rle) {
  std::ifstream pgm(in, std::ios::binary);
  std::string magic;
  unsigned width = 0, height = 0, maxValue = 0;
  pgm >> magic >> width >> height >> maxValue;
  pgm.get();
  if (magic != "P5" || maxValue != 255) return 1;
  sgi::Planes planes{width, height, 2, {}};
  planes.values.resize(static_cast<std::size_t>(width) * height * 2);
  for (unsigned row = 0; row < height; ++row)  // PGM rows run top-down, SGI rows bottom-up
    pgm.read(reinterpret_cast<char*>(&planes.at(0, height - 1 - row, 0)), width);
  for (unsigned r = 0; r < height; ++r)
    for (unsigned x = 0; x < width; ++x)
      planes.at(1, r, x) = static_cast<std::uint8_t>(255 - r * 255 / (height - 1));
  const auto bytes = rle ? sgi::Rle({.name = "grey-alpha"}, planes) : sgi::Verbatim({}, planes);
  std::ofstream(out, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return 0;
}

int Wide(const char* in, const char* out) {
  std::ifstream ppm(in, std::ios::binary);
  std::string magic;
  unsigned width = 0, height = 0, maxValue = 0;
  ppm >> magic >> width >> height >> maxValue;
  ppm.get();
  if (magic != "P6" || maxValue != 255) return 1;
  std::vector<std::uint8_t> pixels(std::size_t{width} * height * 3);
  ppm.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  sgi::Planes16 planes{width, height, 3, std::vector<std::uint16_t>(pixels.size())};
  for (unsigned row = 0; row < height; ++row)  // PPM rows run top-down, SGI rows bottom-up
    for (unsigned x = 0; x < width; ++x)
      for (unsigned c = 0; c < 3; ++c)
        planes.values[(std::size_t{c} * height + (height - 1 - row)) * width + x] =
            static_cast<std::uint16_t>(pixels[(std::size_t{row} * width + x) * 3 + c] * 257);
  const auto bytes = sgi::Rle16({.name = "wide"}, planes);
  std::ofstream(out, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "wide") == 0) return Wide(argv[2], argv[3]);
  if (argc == 5 && std::strcmp(argv[1], "grey-alpha") == 0)
    return GreyAlpha(argv[2], argv[3], std::strcmp(argv[4], "rle") == 0);
  if (argc == 3 && std::strcmp(argv[1], "read-count") == 0) {
    lumenor::FileSource file(argv[2]);
    testing_support::CountingSource counted(file);
    lumenor::MemoryCanvas canvas;
    lumenor::LoadImage(counted, canvas);
    std::printf("%llu %llu\n", static_cast<unsigned long long>(counted.BytesRead()),
                static_cast<unsigned long long>(file.Size()));
    return canvas.Messages().empty() ? 0 : 1;
  }
  std::fprintf(stderr,
               "usage: bench_tools grey-alpha IN.pgm OUT.sgi verbatim|rle\n"
               "       bench_tools wide IN.ppm OUT.rgb\n"
               "       bench_tools read-count FILE\n");
  return 2;
}
