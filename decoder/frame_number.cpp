#include "frame_number.h"

#include "picture_name.h"

namespace lumenor {

namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr std::size_t kMostDigits = 18;  // any number of them fits 64 bits

}  // namespace

std::optional<FrameName> SplitFrameName(std::string_view name) {
  std::size_t extension = PictureExtensionLength(name);
  if (extension == 0) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) extension = name.size() - dot;
  }
  std::size_t end = name.size() - extension;
  while (end > 0 && !IsDigit(name[end - 1])) --end;
  if (end == 0) return std::nullopt;
  std::size_t start = end;
  while (start > 0 && IsDigit(name[start - 1])) --start;
  if (end - start > kMostDigits) return std::nullopt;
  FrameName frame{name.substr(0, start), name.substr(start, end - start), name.substr(end), 0};
  for (const char c : frame.digits)
    frame.number = frame.number * 10 + static_cast<unsigned>(c - '0');
  return frame;
}

}  // namespace lumenor
