// lumenor-thumbnailer -s SIZE INPUT OUTPUT
// lumenor-thumbnailer --help | --version
//
// The file manager's preview of an SGI image file: a PNG whose longer side is at most SIZE
// pixels (a smaller picture keeps its size), the picture shrunk by area averaging. Pictures with
// alpha are laid over the viewer's grey, as Lumenor shows them. It reads INPUT, writes OUTPUT and
// nothing else; the full-size picture is never held, so a 32767 x 32767 file takes a few MiB.
// OUTPUT appears complete or not at all, and is never the input.
// Exit status: 0 with the PNG written; 1, with one line on stderr (starting with the file's name)
// and no OUTPUT, for a file it cannot show or a PNG it cannot write; 2 for a usage error (a line
// saying what is wrong, then the usage).
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image_header.h"
#include "memory_canvas.h"
#include "module1.h"
#include "one_line.h"
#include "png_writer.h"
#include "save_file.h"
#include "stored_image.h"
#include "thumbnail_canvas.h"

namespace {

// The largest size the freedesktop thumbnail convention knows (its "xx-large").
constexpr int kLargestSize = 1024;

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: lumenor-thumbnailer -s SIZE INPUT OUTPUT   (SIZE 1 to %d)\n"
               "       lumenor-thumbnailer --help | --version\n",
               kLargestSize);
}

// A mistake on the command line: what is wrong, then the usage.
int Usage(const std::string& mistake) {
  std::fprintf(stderr, "lumenor-thumbnailer: %s\n", mistake.c_str());
  PrintUsage(stderr);
  return 2;
}

// One line that starts with the file's name.
int Fail(const std::string& file, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", file.c_str(), OneLine(why).c_str());
  return 1;
}

int CannotWrite(const lumenor::SaveFile& file) {
  std::fprintf(stderr, "%s\n", file.Error().c_str());
  return 1;
}

// The thumbnail as an RGB picture without a name (at most 1024 x 1024: the copy costs nothing).
bool WritePng(const std::vector<lumenor::Pixel>& pixels, int width, int height,
              lumenor::SaveFile& file) {
  lumenor::StoredImage image;
  image.width = width;
  image.height = height;
  image.channels = 3;
  image.values.reserve(pixels.size() * 3);
  for (const lumenor::Pixel pixel : pixels)
    for (const unsigned value :
         {lumenor::RedOf(pixel), lumenor::GreenOf(pixel), lumenor::BlueOf(pixel)})
      image.values.push_back(static_cast<std::uint8_t>(value));
  return lumenor::WriteStoredImagePng(image, file);
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a write fail with EFBIG, reported, rather than kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("lumenor-thumbnailer %s\n", LUMENOR_VERSION);
    return 0;
  }
  if (argc < 2 || std::strcmp(argv[1], "-s") != 0) return Usage("-s SIZE comes first");
  if (argc != 5)
    return Usage("want -s SIZE INPUT OUTPUT, have " + std::to_string(argc - 1) + " arguments");
  char* end = nullptr;
  const long size = std::strtol(argv[2], &end, 10);
  if (*argv[2] == '\0' || *end != '\0' || size < 1 || size > kLargestSize)
    return Usage("-s " + std::string(argv[2]) + ": SIZE is a number from 1 to " +
                 std::to_string(kLargestSize));
  const std::string input = argv[3], output = argv[4];

  // Refused before the picture is read: an output that is the input, a folder, no permission.
  lumenor::SaveFile file(output, input);
  if (!file.Ok()) return CannotWrite(file);
  ThumbnailCanvas canvas(static_cast<int>(size), lumenor::kWorkspaceGrey);
  // Pictures of 16 bits a channel too, as the window shows them when asked to.
  lumenor::LoadImageFile(input, canvas, lumenor::DecodeOptions{.sixteenBit = true});
  if (!canvas.Messages().empty()) return Fail(input, canvas.Messages().front());
  if (canvas.Width() == 0 || canvas.Height() == 0)
    return Fail(input, "the picture has no pixels (" +
                           lumenor::SizeText(canvas.Width(), canvas.Height()) + ")");
  const auto thumbnail = canvas.Finish();
  if (!WritePng(thumbnail, canvas.ThumbnailWidth(), canvas.ThumbnailHeight(), file))
    return CannotWrite(file);
  return 0;
}
