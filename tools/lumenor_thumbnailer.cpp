// lumenor-thumbnailer -s SIZE INPUT OUTPUT
//
// The file manager's preview of an SGI image file: a PNG whose longer side is at most SIZE
// pixels (a smaller picture keeps its size), the picture shrunk by area averaging. Pictures with
// alpha are laid over the viewer's grey, as Lumenor shows them. It reads INPUT, writes OUTPUT and
// nothing else; the full-size picture is never held, so a 32767 x 32767 file takes a few MiB.
// OUTPUT appears complete or not at all, and is never the input.
// Exit status: 0 with the PNG written; 1, with one line on stderr and no OUTPUT, for a file it
// cannot show or a PNG it cannot write; 2 for a usage error.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "memory_canvas.h"
#include "module1.h"
#include "one_line.h"
#include "png_writer.h"
#include "save_file.h"
#include "thumbnail_canvas.h"

namespace {

// The largest size the freedesktop thumbnail convention knows (its "xx-large").
constexpr int kLargestSize = 1024;

int Usage() {
  std::fprintf(stderr, "usage: lumenor-thumbnailer -s SIZE INPUT OUTPUT (SIZE 1 to %d)\n",
               kLargestSize);
  return 2;
}

int Fail(const std::string& file, const std::string& why) {
  std::fprintf(stderr, "lumenor-thumbnailer: %s: %s\n", file.c_str(), OneLine(why).c_str());
  return 1;
}

int CannotWrite(const lumenor::SaveFile& file) {
  std::fprintf(stderr, "lumenor-thumbnailer: %s\n", file.Error().c_str());
  return 1;
}

bool WritePng(const std::vector<lumenor::Pixel>& pixels, int width, int height,
              lumenor::SaveFile& file) {
  lumenor::PngWriter png([&file](std::span<const std::uint8_t> bytes) { return file.Write(bytes); },
                         width, height, 3);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height && png.Ok(); ++y) {
    const lumenor::Pixel* from = pixels.data() + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(lumenor::RedOf(from[x]));
      row[3 * x + 1] = static_cast<std::uint8_t>(lumenor::GreenOf(from[x]));
      row[3 * x + 2] = static_cast<std::uint8_t>(lumenor::BlueOf(from[x]));
    }
    png.WriteRow(row.data());
  }
  if (!png.Finish()) {
    file.Abandon("cannot be written: " + png.Error());
    return false;
  }
  return file.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a write fail with EFBIG, reported, rather than kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc != 5 || std::strcmp(argv[1], "-s") != 0) return Usage();
  char* end = nullptr;
  const long size = std::strtol(argv[2], &end, 10);
  if (*end != '\0' || size < 1 || size > kLargestSize) return Usage();
  const std::string input = argv[3], output = argv[4];

  // Refused before the picture is read: an output that is the input, a folder, no permission.
  lumenor::SaveFile file(output, input);
  if (!file.Ok()) return CannotWrite(file);
  ThumbnailCanvas canvas(static_cast<int>(size), lumenor::kWorkspaceGrey);
  lumenor::LoadImageFile(input, canvas);
  if (!canvas.Messages().empty()) return Fail(input, canvas.Messages().front());
  if (canvas.Width() == 0 || canvas.Height() == 0)
    return Fail(input, "the picture has no pixels (" + std::to_string(canvas.Width()) + " x " +
                           std::to_string(canvas.Height()) + ")");
  const auto thumbnail = canvas.Finish();
  if (!WritePng(thumbnail, canvas.ThumbnailWidth(), canvas.ThumbnailHeight(), file))
    return CannotWrite(file);
  return 0;
}
