// lumenor-decode FILE [-o OUT.png|OUT.ppm] [--background RRGGBB]
// lumenor-decode --png-dir DIR FILE...
// lumenor-decode --check FILE|DIR...
// lumenor-decode --help | --version
//
// Runs the viewer's load without a window: prints the window title on stdout and the text of
// every message box on stderr, as one line that starts with the file's name. A mistake on the
// command line gets one line saying what is wrong, then the usage. -o OUT.png writes the picture's
// stored channels as PNG; -o OUT.ppm the canvas as shown, alpha laid over the background. --png-dir
// converts many files to PNG at once. Every output appears complete or not at all, and never
// replaces the input. Exit status: 0 when no message box was shown, 1 when one was (with --png-dir:
// when a file could not be converted), 2 on a usage error or an output that cannot be written.
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
#include <variant>
#include <vector>

#include "byte_source.h"
#include "completeness.h"
#include "deep_canvas.h"
#include "image_header.h"
#include "load_failure.h"
#include "load_outcome.h"
#include "memory_canvas.h"
#include "module1.h"
#include "one_line.h"
#include "png_batch.h"
#include "png_writer.h"
#include "row_sink.h"
#include "save_file.h"
#include "sequence_check.h"

namespace {

namespace fs = std::filesystem;

// The converter reads pictures of 16 bits a channel too: a 16-bit PNG of their stored values, a
// PPM of maxval 65535 of their canvas.
constexpr lumenor::DecodeOptions kSixteenBit{.sixteenBit = true};

constexpr const char* kUsage =
    "usage: lumenor-decode FILE [-o OUT.png|OUT.ppm] [--background RRGGBB] [--strict]\n"
    "       lumenor-decode --png-dir DIR [--strict] FILE...\n"
    "       lumenor-decode --check FILE|DIR...\n"
    "       lumenor-decode --help | --version\n";

std::optional<lumenor::Pixel> ParseColour(const std::string& text) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  return 0xFF000000u | static_cast<lumenor::Pixel>(std::stoul(text, nullptr, 16));
}

// A mistake on the command line: what is wrong, then the usage.
int Usage(const std::string& mistake) {
  std::cerr << "lumenor-decode: " << mistake << '\n' << kUsage;
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
  std::cerr << file.Error() << '\n';
  return 2;
}

std::string IncompleteText(const lumenor::Completeness& c) {
  return "incomplete: " + std::to_string(c.completeRows) + " of " + std::to_string(c.rows) +
         " rows";
}

// A box's text as the tool reports it: one line that starts with the file's name.
void Report(const std::string& input, const std::vector<std::string>& messages) {
  for (const auto& message : messages) std::cerr << input << ": " << OneLine(message) << '\n';
}

// The header, when the file can be read: what the load will find (it reports any failure).
std::optional<lumenor::ImageHeader> PeekHeader(const std::string& input) {
  try {
    lumenor::FileSource file(input);
    return lumenor::ReadHeader(file);
  } catch (const lumenor::LoadFailure&) {
    return std::nullopt;
  }
}

// Whether the load named a picture with values: what an output is written for.
bool HasValues(const std::optional<lumenor::ImageHeader>& header, bool named) {
  return named && header && lumenor::HasPixelPath(header->channels) && header->width > 0 &&
         header->height > 0;
}

int NotWritten(lumenor::SaveFile& output) {
  output.Abandon("not written: the file holds no picture");
  std::cerr << output.Error() << '\n';
  return 1;
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

// A picture of 16 bits a channel: its canvas at 16 bits as a PPM of maxval 65535.
int DecodeToDeepPpm(const std::string& input, lumenor::Pixel background,
                    lumenor::SaveFile& output) {
  DeepCanvas canvas(background);
  lumenor::DecodeFileThrough(input, canvas, kSixteenBit);
  std::cout << canvas.Title() << std::endl;
  Report(input, canvas.Messages());
  if (canvas.Width() == 0 || canvas.Height() == 0 || !lumenor::HasPixelPath(canvas.Channels()))
    return NotWritten(output);
  const int width = canvas.Width(), height = canvas.Height();
  output.Write("P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n65535\n");
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 6);
  for (int y = 0; y < height; ++y) {
    const std::uint16_t* values = canvas.Row(y);
    for (std::size_t i = 0; i < row.size() / 2; ++i) {
      row[2 * i] = static_cast<std::uint8_t>(values[i] >> 8);
      row[2 * i + 1] = static_cast<std::uint8_t>(values[i]);
    }
    if (!output.Write(row)) return CannotWrite(output);
  }
  if (!output.Commit()) return CannotWrite(output);
  return canvas.Messages().empty() ? 0 : 1;
}

// FILE on a canvas as the window shows it, written as PPM. A file without a picture (one that
// cannot be opened, a header refused) writes nothing, as for PNG.
int DecodeToPpm(const std::string& input, lumenor::Pixel background, lumenor::SaveFile& output) {
  const auto header = PeekHeader(input);
  if (header && header->bytesPerChannel == 2) return DecodeToDeepPpm(input, background, output);
  lumenor::MemoryCanvas canvas(background);
  const std::string untitled = canvas.Title();
  lumenor::LoadImageFile(input, canvas, kSixteenBit);
  std::cout << canvas.Title() << std::endl;
  Report(input, canvas.Messages());
  if (!HasValues(header, canvas.Title() != untitled)) return NotWritten(output);
  if (!WritePpm(canvas, output)) return CannotWrite(output);
  return canvas.Messages().empty() ? 0 : 1;
}

// What the load of FILE says, its picture decoded row by row and kept nowhere.
int CheckFile(const std::string& input) {
  const lumenor::LoadOutcome outcome = lumenor::CheckLoad(input, kSixteenBit);
  std::cout << TitleOf(outcome) << std::endl;
  Report(input, outcome.messages);
  return outcome.messages.empty() ? 0 : 1;
}

// FILE's stored values as PNG. What a broken file held before it failed is written, as the
// PPM keeps what was painted; a file without a picture writes nothing. The load is checked first
// (its title and messages), then the PNG is written from the file a row at a time.
int DecodeToPng(const std::string& input, lumenor::SaveFile& output) {
  const lumenor::LoadOutcome outcome = lumenor::CheckLoad(input, kSixteenBit);
  std::cout << TitleOf(outcome) << std::endl;
  Report(input, outcome.messages);
  if (!outcome.HasValues()) return NotWritten(output);
  if (!lumenor::WriteFilePng(input, output, {}, kSixteenBit)) return CannotWrite(output);
  return outcome.messages.empty() ? 0 : 1;
}

struct Arguments {
  std::vector<std::string> inputs;
  std::optional<std::string> output;
  std::optional<std::string> pngFolder;
  std::optional<lumenor::Pixel> background;
  bool help = false, version = false, check = false, strict = false;
};

// The arguments, or what is wrong with them.
std::variant<Arguments, std::string> Parse(int argc, char** argv) {
  Arguments a;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    // The value of an option that takes one, or what is missing.
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (arg.empty()) return std::string("an empty argument names no file");
    if (optionsEnded || arg[0] != '-') {
      a.inputs.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help") {
      a.help = true;
    } else if (arg == "--version") {
      a.version = true;
    } else if (arg == "--check") {
      a.check = true;
    } else if (arg == "--strict") {
      a.strict = true;
    } else if (arg == "-o") {
      if (a.output) return std::string("-o is given twice");
      a.output = value();
      // An empty name would write nothing: never a silent success.
      if (!a.output || a.output->empty()) return std::string("-o needs a file name");
    } else if (arg == "--png-dir") {
      if (a.pngFolder) return std::string("--png-dir is given twice");
      a.pngFolder = value();
      if (!a.pngFolder || a.pngFolder->empty()) return std::string("--png-dir needs a folder");
    } else if (arg == "--background") {
      if (a.background) return std::string("--background is given twice");
      const auto colour = value();
      if (!colour) return std::string("--background needs a colour RRGGBB");
      a.background = ParseColour(*colour);
      if (!a.background)
        return "--background " + *colour + ": a colour is six hexadecimal digits, RRGGBB";
    } else {
      return "unknown option " + arg;
    }
  }
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a write fail with EFBIG, reported, rather than kill the process.
  std::signal(SIGXFSZ, SIG_IGN);

  auto parsed = Parse(argc, argv);
  if (const auto* mistake = std::get_if<std::string>(&parsed)) return Usage(*mistake);
  const Arguments& a = std::get<Arguments>(parsed);
  if (a.help) {
    std::cout << kUsage;
    return 0;
  }
  if (a.version) {
    std::cout << "lumenor-decode " LUMENOR_VERSION "\n";
    return 0;
  }

  if (a.check) {
    if (a.output || a.pngFolder || a.background || a.strict)
      return Usage(
          "--check reads headers and tables only: no -o, --png-dir, --background or --strict");
    if (a.inputs.empty()) return Usage("--check: no FILE or DIR to check");
    return CheckSequences(a.inputs);
  }

  if (a.pngFolder) {
    std::error_code unused;
    if (a.output) return Usage("--png-dir names its outputs itself: no -o");
    if (a.background)
      return Usage("--png-dir writes PNG, which has no background: no --background");
    if (a.inputs.empty()) return Usage("--png-dir " + *a.pngFolder + ": no FILE to convert");
    if (!fs::is_directory(*a.pngFolder, unused))
      return Usage("--png-dir " + *a.pngFolder + ": no such folder");
    if (::access(a.pngFolder->c_str(), W_OK | X_OK) != 0) {
      std::cerr << *a.pngFolder
                << ": no file can be written in it: " << std::generic_category().message(errno)
                << '\n';
      return 1;
    }
    return ConvertToPngFolder(*a.pngFolder, a.inputs, a.strict);
  }

  if (a.inputs.empty()) return Usage("no FILE given");
  if (a.inputs.size() > 1)
    return Usage("one FILE at a time; --png-dir DIR converts many (" + a.inputs[1] + ")");
  const std::string& input = a.inputs.front();
  const auto format = FormatOf(a.output.value_or(""));
  if (!format) return Usage("-o " + *a.output + ": the output's name ends in .png or .ppm");
  // The output is checked, and refused when it is the input, before anything is read.
  std::optional<lumenor::SaveFile> file;
  if (*format != Format::kNone) {
    file.emplace(*a.output, input);
    if (!file->Ok()) return CannotWrite(*file);
  }
  const auto completeness = lumenor::CheckFileCompleteness(input, kSixteenBit);
  int status = 0;
  if (*format == Format::kPng) {
    status = DecodeToPng(input, *file);
  } else if (*format == Format::kPpm) {
    status = DecodeToPpm(input, a.background.value_or(lumenor::kWorkspaceGrey), *file);
  } else {
    status = CheckFile(input);
  }
  // A file that ends early is converted all the same, and said to be; --strict makes it a failure.
  if (completeness.state == lumenor::Completeness::State::kIncomplete) {
    std::cerr << input << ": " << IncompleteText(completeness) << '\n';
    if (a.strict && status == 0) status = 1;
  }
  return status;
}
