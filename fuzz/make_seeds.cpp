// Writes a seed corpus for the fuzzer: small files of every storage, channel count and row layout.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sgi_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lumenor_fuzz_seeds DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  const auto write = [&dir](const std::string& name, const sgi::Bytes& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  };
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    const auto planes = sgi::Pattern(9, 7, channels, channels);
    write("verbatim_" + std::to_string(channels), sgi::Verbatim({}, planes));
    for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kTopFirst, sgi::Layout::kPlanar,
                        sgi::Layout::kShuffled, sgi::Layout::kShared})
      write("rle_" + std::to_string(channels) + "_" + sgi::LayoutName(layout),
            sgi::Rle({}, planes, layout));
  }
  for (unsigned channels : {1u, 2u, 3u, 4u}) {  // 16 bits a channel
    const auto planes = sgi::Pattern16(9, 7, channels, channels);
    write("verbatim16_" + std::to_string(channels), sgi::Verbatim16({}, planes));
    for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kShuffled, sgi::Layout::kShared})
      write("rle16_" + std::to_string(channels) + "_" + sgi::LayoutName(layout),
            sgi::Rle16({}, planes, layout));
  }
  write("header_only", sgi::EncodeHeader({.xsize = 3, .ysize = 3, .zsize = 3}));
  return 0;
}
