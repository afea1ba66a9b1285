// lumenor-decode FILE [-o OUT.png|OUT.ppm] [--background RRGGBB]
// lumenor-decode --png-dir DIR FILE...
//
// Runs the viewer's load without a window: prints the window title on stdout and the text of
// every message box on stderr. -o OUT.png writes the picture's stored channels as PNG; -o OUT.ppm
// the canvas as shown, alpha laid over the background. --png-dir converts many files to PNG at
// once. Every output appears complete or not at all, and never replaces the input.
// Exit status: 0 when no message box was shown, 1 when one was (with --png-dir: when a file
// could not be converted), 2 on a usage error or an output that cannot be written.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "load_outcome.h"
#include "memory_canvas.h"
#include "module1.h"
#include "one_line.h"
#include "png_batch.h"
#include "png_writer.h"
#include "save_file.h"

namespace {

namespace fs = std::filesystem;

std::optional<lumenor::Pixel> ParseColour(const std::string& text) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  return 0xFF000000u | static_cast<lumenor::Pixel>(std::stoul(text, nullptr, 16));
}

int Usage() {
  std::cerr << "usage: lumenor-decode FILE [-o OUT.png|OUT.ppm] [--background RRGGBB]\n"
               "       lumenor-decode --png-dir DIR FILE...\n";
  return 2;
}

enum class Format { kNone, kPng, kPpm };

std::optional<Format> FormatOf(const std::string& output) {
  if (output.empty()) return Format::kNone;
  std::string extension = fs::path(output).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".png") return Format::kPng;
  if (extension == ".ppm") return Format::kPpm;
  return std::nullopt;
}

int CannotWrite(const lumenor::SaveFile& file) {
  std::cerr << "lumenor-decode: " << file.Error() << '\n';
  return 2;
}

// The title the window shows after loading the picture: its name once the load named it, the
// program's own name otherwise.
std::string TitleOf(const lumenor::LoadOutcome& outcome) {
  return outcome.name ? "Lumenor - " + *outcome.name : "Lumenor 1.0 by Vantris";
}

bool WritePpm(const lumenor::MemoryCanvas& canvas, lumenor::SaveFile& file) {
  const int width = canvas.Width(), height = canvas.Height();
  file.Write("P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n");
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const lumenor::Pixel p = canvas.At(x, y);
      row[3 * x] = static_cast<std::uint8_t>(lumenor::RedOf(p));
      row[3 * x + 1] = static_cast<std::uint8_t>(lumenor::GreenOf(p));
      row[3 * x + 2] = static_cast<std::uint8_t>(lumenor::BlueOf(p));
    }
    if (!file.Write(row)) return false;
  }
  return file.Commit();
}

// FILE on a canvas as the window shows it, written as PPM.
int DecodeToPpm(const std::string& input, lumenor::Pixel background, lumenor::SaveFile& output) {
  lumenor::MemoryCanvas canvas(background);
  lumenor::LoadImageFile(input, canvas);
  std::cout << canvas.Title() << std::endl;
  for (const auto& message : canvas.Messages()) std::cerr << message << '\n';
  if (!WritePpm(canvas, output)) return CannotWrite(output);
  return canvas.Messages().empty() ? 0 : 1;
}

// What the load of FILE says, its picture decoded row by row and kept nowhere.
int CheckFile(const std::string& input) {
  const lumenor::LoadOutcome outcome = lumenor::CheckLoad(input);
  std::cout << TitleOf(outcome) << std::endl;
  for (const auto& message : outcome.messages) std::cerr << message << '\n';
  return outcome.messages.empty() ? 0 : 1;
}

// FILE's stored values as PNG. What a broken file held before it failed is written, as the
// PPM keeps what was painted; a file without a picture writes nothing. The load is checked first
// (its title and messages), then the PNG is written from the file a row at a time.
int DecodeToPng(const std::string& input, lumenor::SaveFile& output) {
  const lumenor::LoadOutcome outcome = lumenor::CheckLoad(input);
  std::cout << TitleOf(outcome) << std::endl;
  for (const auto& message : outcome.messages) std::cerr << message << '\n';
  if (!outcome.HasValues()) {
    output.Abandon("not written: the file holds no picture");
    std::cerr << "lumenor-decode: " << output.Error() << '\n';
    return 1;
  }
  if (!lumenor::WriteFilePng(input, output)) return CannotWrite(output);
  return outcome.messages.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a write fail with EFBIG, reported, rather than kill the process.
  std::signal(SIGXFSZ, SIG_IGN);

  std::vector<std::string> inputs;
  std::string output;
  std::optional<std::string> pngFolder;
  std::optional<lumenor::Pixel> background;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.empty()) return Usage();
    if (optionsEnded || arg[0] != '-') {
      inputs.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-o" && i + 1 < argc && output.empty()) {
      output = argv[++i];
      if (output.empty()) return Usage();  // an empty name writes nothing: never a silent success
    } else if (arg == "--png-dir" && i + 1 < argc && !pngFolder) {
      pngFolder = argv[++i];
    } else if (arg == "--background" && i + 1 < argc && !background) {
      background = ParseColour(argv[++i]);
      if (!background) return Usage();
    } else {
      return Usage();
    }
  }

  if (pngFolder) {
    std::error_code unused;
    if (inputs.empty() || !output.empty() || background || !fs::is_directory(*pngFolder, unused))
      return Usage();
    if (::access(pngFolder->c_str(), W_OK | X_OK) != 0) {
      std::cerr << "lumenor-decode: " << *pngFolder
                << ": no file can be written in it: " << std::generic_category().message(errno)
                << '\n';
      return 1;
    }
    return ConvertToPngFolder(*pngFolder, inputs);
  }

  if (inputs.size() != 1) return Usage();
  const auto format = FormatOf(output);
  if (!format) return Usage();
  const std::string& input = inputs.front();
  // The output is checked, and refused when it is the input, before anything is read.
  std::optional<lumenor::SaveFile> file;
  if (*format != Format::kNone) {
    file.emplace(output, input);
    if (!file->Ok()) return CannotWrite(*file);
  }
  if (*format == Format::kPng) return DecodeToPng(input, *file);
  if (*format == Format::kPpm)
    return DecodeToPpm(input, background.value_or(lumenor::kWorkspaceGrey), *file);
  return CheckFile(input);
}
