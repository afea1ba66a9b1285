// lumenor-decode FILE [-o OUT.ppm] [--background RRGGBB]
//
// Runs the viewer's load on a canvas in memory: prints the window title on stdout and the text
// of every message box on stderr, writes the final canvas as a binary PPM when asked, and exits
// 0 when no message box was shown, 1 when one was, 2 on a usage or output error.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "memory_canvas.h"
#include "module1.h"

namespace {

std::optional<lumenor::Pixel> ParseColour(const std::string& text) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  return 0xFF000000u | static_cast<lumenor::Pixel>(std::stoul(text, nullptr, 16));
}

int Usage() {
  std::cerr << "usage: lumenor-decode FILE [-o OUT.ppm] [--background RRGGBB]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  std::string output;
  lumenor::Pixel background = lumenor::kWorkspaceGrey;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else if (arg == "--background" && i + 1 < argc) {
      const auto colour = ParseColour(argv[++i]);
      if (!colour) return Usage();
      background = *colour;
    } else if (input.empty() && !arg.empty() && arg[0] != '-') {
      input = arg;
    } else {
      return Usage();
    }
  }
  if (input.empty()) return Usage();

  lumenor::MemoryCanvas canvas(background);
  lumenor::LoadImageFile(input, canvas);
  std::cout << canvas.Title() << '\n';
  for (const auto& message : canvas.Messages()) std::cerr << message << '\n';
  if (!output.empty() && !canvas.WritePpm(output)) {
    std::cerr << "lumenor-decode: cannot write " << output << '\n';
    return 2;
  }
  return canvas.Messages().empty() ? 0 : 1;
}
