// read_copy_floor [--huge] FILE: reads the whole file, then writes four bytes for every pixel its
// header claims into a fresh buffer. No decoder can show a picture faster than this. With --huge
// the buffer is 2 MiB-aligned and advised for transparent huge pages, the limit a decoder that
// does the same approaches.
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
  const bool huge = argc == 3 && std::strcmp(argv[1], "--huge") == 0;
  if (argc != 2 && !huge) return 2;
  std::ifstream in(argv[argc - 1], std::ios::binary);
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::size_t>(in.tellg());
  in.seekg(0);
  std::vector<std::uint8_t> file(size);
  in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(size));
  if (size <= 512) return 1;
  const std::size_t pixels =
      static_cast<std::size_t>(file[6] << 8 | file[7]) * (file[8] << 8 | file[9]);
  std::vector<std::uint32_t> ordinary;
  std::uint32_t* picture = nullptr;
  if (huge) {
    constexpr std::size_t kHugePage = 2 << 20;
    const std::size_t bytes = (pixels * 4 + kHugePage - 1) / kHugePage * kHugePage;
    auto* mapped = static_cast<std::uint8_t*>(::mmap(
        nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (mapped == MAP_FAILED) return 1;
    const auto offset =
        (kHugePage - reinterpret_cast<std::uintptr_t>(mapped) % kHugePage) % kHugePage;
    picture = reinterpret_cast<std::uint32_t*>(mapped + offset);
    ::madvise(picture, bytes, MADV_HUGEPAGE);
  } else {
    ordinary.resize(pixels);
    picture = ordinary.data();
  }
  std::size_t from = 512;
  for (std::size_t i = 0; i < pixels; ++i) {
    picture[i] = 0xFF000000u | file[from] * 0x010101u;
    if (++from == size) from = 512;
  }
  std::printf("%u\n", static_cast<unsigned>(picture[pixels / 2] & 0xFF));
  return 0;
}
