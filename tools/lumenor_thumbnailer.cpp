// lumenor-thumbnailer -s SIZE INPUT OUTPUT
//
// The file manager's preview of an SGI image file: a PNG whose longer side is at most SIZE
// pixels (a smaller picture keeps its size), the picture shrunk by area averaging. Pictures with
// alpha are laid over the viewer's grey, as Lumenor shows them. It reads INPUT, writes OUTPUT and
// nothing else; the full-size picture is never held, so a 32767 x 32767 file takes a few MiB.
// Exit status: 0 with the PNG written; 1, with one line on stderr and no OUTPUT, for a file it
// cannot show or a PNG it cannot write; 2 for a usage error.
#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "memory_canvas.h"
#include "module1.h"
#include "thumbnail_canvas.h"

namespace {

constexpr int kLargestSize = 4096;

int Usage() {
  std::fprintf(stderr, "usage: lumenor-thumbnailer -s SIZE INPUT OUTPUT (SIZE 1 to %d)\n",
               kLargestSize);
  return 2;
}

int Fail(const std::string& input, const std::string& why) {
  // A message box's text is one line here: its line breaks become blanks.
  std::string line;
  for (const char c : why)
    if (c != '\r') line += c == '\n' ? ' ' : c;
  std::fprintf(stderr, "lumenor-thumbnailer: %s: %s\n", input.c_str(), line.c_str());
  return 1;
}

std::optional<std::vector<unsigned char>> EncodePng(const std::vector<lumenor::Pixel>& pixels,
                                                    int width, int height) {
  std::vector<unsigned char> rgb(pixels.size() * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgb[3 * i] = static_cast<unsigned char>(lumenor::RedOf(pixels[i]));
    rgb[3 * i + 1] = static_cast<unsigned char>(lumenor::GreenOf(pixels[i]));
    rgb[3 * i + 2] = static_cast<unsigned char>(lumenor::BlueOf(pixels[i]));
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr))
    return std::nullopt;
  std::vector<unsigned char> png(size);
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr))
    return std::nullopt;
  png.resize(size);
  return png;
}

// Writes the whole file or, failing, removes what was written.
bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  if (::close(fd) != 0 || done != bytes.size()) {
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 || std::strcmp(argv[1], "-s") != 0) return Usage();
  char* end = nullptr;
  const long size = std::strtol(argv[2], &end, 10);
  if (*end != '\0' || size < 1 || size > kLargestSize) return Usage();
  const std::string input = argv[3], output = argv[4];

  ThumbnailCanvas canvas(static_cast<int>(size), lumenor::kWorkspaceGrey);
  lumenor::LoadImageFile(input, canvas);
  if (!canvas.Messages().empty()) return Fail(input, canvas.Messages().front());
  if (canvas.Width() == 0 || canvas.Height() == 0)
    return Fail(input, "the picture has no pixels (" + std::to_string(canvas.Width()) + " x " +
                           std::to_string(canvas.Height()) + ")");
  const auto thumbnail = canvas.Finish();
  const auto png = EncodePng(thumbnail, canvas.ThumbnailWidth(), canvas.ThumbnailHeight());
  if (!png) return Fail(input, "the PNG could not be made");
  if (!WriteFile(output, *png))
    return Fail(input, "cannot write " + output + ": " + std::strerror(errno));
  return 0;
}
