// lumenor-decode and lumenor-thumbnailer as a user runs them: exit codes, title on stdout,
// messages on stderr, PPM and PNG output, and outputs that cannot be written leaving nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "plain_decode.h"
#include "png_writer.h"
#include "scratch_dir.h"
#include "sgi_builder.h"
#include "stored_image.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exitCode;
  std::string out, err;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every name under folder, hidden ones too, relative to it; symbolic links are not followed.
std::set<std::string> Listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.insert(fs::relative(entry.path(), folder).string());
  return names;
}

const std::string kUsage =
    "usage: lumenor-decode FILE [-o OUT.png|OUT.ppm] [--background RRGGBB] [--strict]\n"
    "       lumenor-decode --png-dir DIR [--strict] FILE...\n"
    "       lumenor-decode --check FILE|DIR...\n"
    "       lumenor-decode --help | --version\n";

// A mistake's line, then the usage.
std::string Mistake(const std::string& what) { return "lumenor-decode: " + what + "\n" + kUsage; }

class Tool : public testing::Test {
 protected:
  fs::path Write(const std::string& name, const sgi::Bytes& bytes) {
    return dir_.Write(name, bytes);
  }
  // Runs a shell command line in the scratch folder.
  ToolRun Run(const std::string& command) {
    const std::string line = "cd " + dir_.path().string() + " && " + command + " >" +
                             (dir_ / ".out").string() + " 2>" + (dir_ / ".err").string();
    const int status = std::system(line.c_str());
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(dir_ / ".out"),
                ReadAll(dir_ / ".err")};
    fs::remove(dir_ / ".out");
    fs::remove(dir_ / ".err");
    return run;
  }
  ToolRun Decode(const std::string& args) {
    return Run(std::string(LUMENOR_DECODE_TOOL) + " " + args);
  }

  ScratchDir dir_;
};

TEST_F(Tool, ExitCodesAndStreams) {
  const auto good = Write("good.rgb", sgi::Verbatim({.name = "two"}, sgi::Pattern(2, 2, 3)));
  const auto bad = Write("bad.rgb", sgi::EncodeHeader({.storage = 2}));
  Write("png.rgb", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
  fs::create_directory(dir_ / "folder");
  const std::string missing = "missing.bw";
  const std::string cannotOpen =
      "There was an error reading the file: No such file or directory (missing.bw)";
  struct Case {
    std::string args;
    int exitCode;
    std::string out, err;
  };
  const Case cases[] = {
      {"good.rgb", 0, "Lumenor - two\n", ""},
      {"--help", 0, kUsage, ""},
      {"--version", 0, "lumenor-decode " LUMENOR_VERSION "\n", ""},
      {"bad.rgb", 1, "Lumenor 1.0 by Vantris\n", "bad.rgb: Unsupported compression flag:  2\n"},
      {"png.rgb", 1, "Lumenor 1.0 by Vantris\n", "png.rgb: Header doesn't check out: -30384\n"},
      {missing, 1, "Lumenor 1.0 by Vantris\n", missing + ": " + cannotOpen + "\n"},
      {"bad.rgb -o bad.png", 1, "Lumenor 1.0 by Vantris\n",
       "bad.rgb: Unsupported compression flag:  2\nbad.png: not written: the file holds no "
       "picture\n"},
      {missing + " -o x.ppm", 1, "Lumenor 1.0 by Vantris\n",
       missing + ": " + cannotOpen + "\nx.ppm: not written: the file holds no picture\n"},
      {"bad.rgb -o x.ppm", 1, "Lumenor 1.0 by Vantris\n",
       "bad.rgb: Unsupported compression flag:  2\nx.ppm: not written: the file holds no "
       "picture\n"},
      {"", 2, "", Mistake("no FILE given")},
      {"''", 2, "", Mistake("an empty argument names no file")},
      {"good.rgb --frobnicate", 2, "", Mistake("unknown option --frobnicate")},
      {"good.rgb --background 12345", 2, "",
       Mistake("--background 12345: a colour is six hexadecimal digits, RRGGBB")},
      {"good.rgb --background", 2, "", Mistake("--background needs a colour RRGGBB")},
      {"good.rgb -o out.jpg", 2, "", Mistake("-o out.jpg: the output's name ends in .png or .ppm")},
      {"good.rgb -o folder", 2, "", Mistake("-o folder: the output's name ends in .png or .ppm")},
      {"good.rgb -o ''", 2, "", Mistake("-o needs a file name")},
      {"good.rgb -o", 2, "", Mistake("-o needs a file name")},
      {"good.rgb -o a.png -o b.png", 2, "", Mistake("-o is given twice")},
      {"good.rgb good.rgb", 2, "",
       Mistake("one FILE at a time; --png-dir DIR converts many (good.rgb)")},
      {"--png-dir folder", 2, "", Mistake("--png-dir folder: no FILE to convert")},
      {"--png-dir missing good.rgb", 2, "", Mistake("--png-dir missing: no such folder")},
      {"--png-dir good.rgb good.rgb", 2, "", Mistake("--png-dir good.rgb: no such folder")},
      {"--png-dir folder -o out.png good.rgb", 2, "",
       Mistake("--png-dir names its outputs itself: no -o")},
      {"--png-dir folder --background 000000 good.rgb", 2, "",
       Mistake("--png-dir writes PNG, which has no background: no --background")},
  };
  for (const auto& c : cases) {
    const ToolRun run = Decode(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(run.out, c.out) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  EXPECT_EQ(Listing(dir_.path()),
            (std::set<std::string>{"good.rgb", "bad.rgb", "png.rgb", "folder"}));
}

TEST_F(Tool, TheThumbnailersUsage) {
  const std::string usage =
      "usage: lumenor-thumbnailer -s SIZE INPUT OUTPUT   (SIZE 1 to 1024)\n"
      "       lumenor-thumbnailer --help | --version\n";
  Write("bad.rgb", sgi::EncodeHeader({.storage = 2}));
  struct Case {
    std::string args;
    int exitCode;
    std::string out, err;
  };
  const Case cases[] = {
      {"--help", 0, usage, ""},
      {"--version", 0, "lumenor-thumbnailer " LUMENOR_VERSION "\n", ""},
      {"-s 1025 bad.rgb x.png", 2, "",
       "lumenor-thumbnailer: -s 1025: SIZE is a number from 1 to 1024\n" + usage},
      {"-s 128 bad.rgb", 2, "",
       "lumenor-thumbnailer: want -s SIZE INPUT OUTPUT, have 3 arguments\n" + usage},
      {"--size 128 bad.rgb x.png", 2, "", "lumenor-thumbnailer: -s SIZE comes first\n" + usage},
      {"-s 128 bad.rgb x.png", 1, "", "bad.rgb: Unsupported compression flag:  2\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Run(std::string(LUMENOR_THUMBNAILER_TOOL) + " " + c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(run.out, c.out) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
}

TEST_F(Tool, WritesTheCanvasAsPpm) {
  sgi::Planes planes{2, 1, 4, {10, 20, 30, 40, 50, 60, 255, 0}};
  const auto input = Write("in.rgb", sgi::Verbatim({}, planes));
  const auto output = dir_ / "out.ppm";
  ASSERT_EQ(Decode(input.string() + " -o " + output.string() + " --background 0000FF").exitCode, 0);
  const std::string want =
      std::string("P6\n2 1\n255\n") + std::string{10, 30, 50} + std::string{0, 0, char(0xFF)};
  EXPECT_EQ(ReadAll(output), want);
}

// What an independent reader (Pillow) finds in a PNG: "MODE WIDTH HEIGHT TITLE-IN-HEX\n" and the
// pixel bytes, rows top first, channels interleaved.
std::string ReadPngWithPillow(const fs::path& png) {
  const fs::path dump = png.string() + ".dump";
  const std::string script =
      "import sys; from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "title = im.info.get('Title', '').encode('latin-1').hex()\n"
      "open(sys.argv[2], 'wb').write(('%s %d %d %s\\n' % (im.mode, im.width, im.height, "
      "title)).encode() + im.tobytes())\n";
  const std::string command =
      "/usr/bin/python3 -c \"" + script + "\" " + png.string() + " " + dump.string();
  if (std::system(command.c_str()) != 0) return "Pillow could not read " + png.string();
  std::string result = ReadAll(dump);
  fs::remove(dump);
  return result;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : bytes) hex += {kDigits[c >> 4], kDigits[c & 15]};
  return hex;
}

TEST_F(Tool, PngHoldsTheStoredValuesAndTheName) {
  struct Case {
    unsigned channels;
    bool rle;
    std::string name;   // as the header stores it
    std::string title;  // what the PNG's Title holds
    std::string mode;   // Pillow's name for the PNG's colour type
  };
  const std::string eighty(80, 'n');
  const Case cases[] = {
      {1, false, "grey", "grey", "L"},
      {1, true, "Zo\xEB", "Zo\xEB", "L"},
      {2, false, "grey and alpha", "grey and alpha", "LA"},
      {2, true, "tab\there\x85", "tab here ", "LA"},
      {3, false, "line\nfeed", "line\nfeed", "RGB"},
      {3, true, eighty, eighty, "RGB"},
      {4, false, "", "", "RGBA"},
      {4, true, "rgba\x7f", "rgba ", "RGBA"},
  };
  unsigned seed = 1;
  for (const auto& c : cases) {
    const std::string label =
        std::to_string(c.channels) + (c.rle ? " rle " : " verbatim ") + c.mode;
    const sgi::Planes planes = sgi::Pattern(37, 23, c.channels, seed++);
    const sgi::Header header{.name = c.name};
    const auto input = Write("in.rgb", c.rle ? sgi::Rle(header, planes, sgi::Layout::kShuffled)
                                             : sgi::Verbatim(header, planes));
    ASSERT_EQ(Decode(input.string() + " -o out.png").exitCode, 0) << label;

    std::string want;
    for (unsigned y = 0; y < planes.height; ++y)
      for (unsigned x = 0; x < planes.width; ++x)
        for (unsigned channel = 0; channel < c.channels; ++channel)
          want += static_cast<char>(planes.at(channel, planes.height - 1 - y, x));
    const std::string dump = ReadPngWithPillow(dir_ / "out.png");
    const std::size_t headerEnd = dump.find('\n') + 1;
    EXPECT_EQ(dump.substr(0, headerEnd), c.mode + " 37 23 " + Hex(c.title) + "\n") << label;
    const std::string have = dump.substr(headerEnd);
    const auto differs = std::mismatch(have.begin(), have.end(), want.begin(), want.end());
    EXPECT_TRUE(differs.first == have.end() && differs.second == want.end())
        << label << ": " << have.size() << " bytes, want " << want.size()
        << "; the first difference at byte " << differs.first - have.begin();
  }
}

// --png-dir makes its output names up: a symbolic link, a pipe or a folder found at one is never
// written through or over. That input alone is refused, in a line that starts with its name; the
// others are converted, each into its own file.
TEST_F(Tool, PngFolderWritesNothingThroughWhatItFindsAtAnOutputName) {
  struct Case {
    std::string label;
    std::string prepare;  // shell commands run in a folder holding in/p.rgb, in/q.bw and out/
    std::string refusal;  // what the line after "in/p.rgb: " says
  };
  const Case cases[] = {
      {"a link to another output", "ln -s q.png out/p.png",
       "out/p.png: is a symbolic link; not converted"},
      {"a link out of the folder", "ln -s ../elsewhere/precious.png out/p.png",
       "out/p.png: is a symbolic link; not converted"},
      {"a link to nothing yet", "ln -s ../elsewhere/new.png out/p.png",
       "out/p.png: is a symbolic link; not converted"},
      {"a pipe", "mkfifo out/p.png", "out/p.png: is not a regular file; not converted"},
      {"a folder", "mkdir out/p.png", "out/p.png: is not a regular file; not converted"},
  };
  const sgi::Bytes p = sgi::Verbatim({.name = "p"}, sgi::Pattern(7, 5, 3, 1));
  const sgi::Bytes q = sgi::Rle({.name = "q"}, sgi::Pattern(6, 4, 1, 2));
  const sgi::Bytes precious = {'k', 'e', 'e', 'p'};
  // What q.bw alone converts to.
  Write("alone.bw", q);
  fs::create_directory(dir_ / "alone");
  ASSERT_EQ(Decode("--png-dir alone alone.bw").exitCode, 0);
  const std::string qPng = ReadAll(dir_ / "alone" / "alone.png");
  int number = 0;
  for (const auto& c : cases) {
    const fs::path folder = dir_ / ("case" + std::to_string(++number));
    for (const char* sub : {"in", "out", "elsewhere"}) fs::create_directories(folder / sub);
    const std::string relative = fs::relative(folder, dir_.path()).string();
    Write(relative + "/in/p.rgb", p);
    Write(relative + "/in/q.bw", q);
    Write(relative + "/elsewhere/precious.png", precious);
    const std::string inFolder = "cd " + relative + " && ";
    ASSERT_EQ(Run(inFolder + c.prepare).exitCode, 0) << c.label;
    const auto before = fs::symlink_status(folder / "out" / "p.png").type();

    const ToolRun run = Run(inFolder + LUMENOR_DECODE_TOOL + " --png-dir out in/p.rgb in/q.bw");
    EXPECT_EQ(run.exitCode, 1) << c.label;
    EXPECT_EQ(run.err, "in/p.rgb: " + c.refusal + "\n") << c.label;
    EXPECT_EQ(fs::symlink_status(folder / "out" / "p.png").type(), before) << c.label;
    EXPECT_TRUE(ReadAll(folder / "out" / "q.png") == qPng) << c.label << ": q.png is not q's";
    EXPECT_EQ(ReadAll(folder / "elsewhere" / "precious.png"), "keep") << c.label;
    EXPECT_FALSE(fs::exists(folder / "elsewhere" / "new.png")) << c.label;
  }
}

// A run-length file whose channel rows decode fewer values the higher (or the lower) they are:
// every row takes most of its values from the rows below it.
sgi::Bytes Staircase(unsigned channels, bool shorterUpwards) {
  const auto planes = sgi::Pattern(40, 36, channels, 9);
  std::vector<sgi::Bytes> rows;
  for (unsigned c = 0; c < channels; ++c)
    for (unsigned r = 0; r < planes.height; ++r)
      rows.push_back(sgi::EncodeRleRow(planes.row(c, r), shorterUpwards ? 39 - r : r + 4));
  return sgi::RleFromRows({.xsize = 40, .ysize = 36, .zsize = channels}, rows,
                          sgi::Layout::kShuffled);
}

// The PNG written a row at a time from the file is the one the whole picture gives, byte for
// byte, for every shape and layout and for broken files whose load stops part way.
TEST(StreamedPng, IsTheWholePicturesPngByteForByte) {
  ScratchDir dir;
  auto files = testing_support::DamagedFiles();
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    auto planes = sgi::Pattern(45, 33, channels, channels + 20);
    for (unsigned c = 0; c < channels; ++c)  // identical rows, so the shared layout shares some
      for (unsigned r = 20; r < 30; ++r)
        std::copy_n(planes.row(c, 2), planes.width, &planes.at(c, r, 0));
    const std::string shape = std::to_string(channels) + " channels ";
    files.push_back({shape + "verbatim", sgi::Verbatim({.name = "whole"}, planes)});
    for (auto layout : {sgi::Layout::kBottomFirst, sgi::Layout::kTopFirst, sgi::Layout::kPlanar,
                        sgi::Layout::kShuffled, sgi::Layout::kShared})
      files.push_back({shape + sgi::LayoutName(layout), sgi::Rle({.name = "rle"}, planes, layout)});
    files.push_back({shape + "shorter upwards", Staircase(channels, true)});
    files.push_back({shape + "shorter downwards", Staircase(channels, false)});
  }
  const auto encode = [](const auto& write) {
    std::string png;
    const std::string error = write([&png](std::span<const std::uint8_t> bytes) {
      png.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      return true;
    });
    return error.empty() ? png : "failed: " + error;
  };
  for (const auto& file : files) {
    const std::string path = dir.Write("in.rgb", file.bytes).string();
    const lumenor::StoredImage image = lumenor::LoadStoredImage(path);
    ASSERT_FALSE(image.values.empty()) << file.what;
    const std::string whole =
        encode([&](auto sink) { return lumenor::EncodeStoredImagePng(image, sink); });
    const std::string streamed =
        encode([&](auto sink) { return lumenor::EncodeFilePng(path, sink); });
    EXPECT_EQ(whole.substr(0, 8), "\x89PNG\r\n\x1a\n") << file.what;
    EXPECT_TRUE(streamed == whole)
        << file.what << ": " << streamed.size() << " bytes, want " << whole.size();
  }
}

// A PAM of 16 bits a channel: "P7" header, then each value big-endian.
std::string Pam16(const sgi::Planes16& planes) {
  static const char* const kTypes[] = {"", "GRAYSCALE", "GRAYSCALE_ALPHA", "RGB", "RGB_ALPHA"};
  std::string pam = "P7\nWIDTH " + std::to_string(planes.width) + "\nHEIGHT " +
                    std::to_string(planes.height) + "\nDEPTH " + std::to_string(planes.channels) +
                    "\nMAXVAL 65535\nTUPLTYPE " + kTypes[planes.channels] + "\nENDHDR\n";
  for (unsigned y = 0; y < planes.height; ++y)
    for (unsigned x = 0; x < planes.width; ++x)
      for (unsigned c = 0; c < planes.channels; ++c) {
        const unsigned v = planes.at(c, planes.height - 1 - y, x);
        pam += {char(v >> 8), char(v & 0xFF)};
      }
  return pam;
}

// The pixel bytes of a picture as ImageMagick reads it, written as a 16-bit PAM.
std::string PamBytesByImageMagick(const fs::path& picture) {
  const fs::path pam = picture.string() + ".pam";
  const std::string command =
      "/usr/bin/convert " + picture.string() + " -depth 16 pam:" + pam.string() + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return "ImageMagick could not read " + picture.string();
  const std::string all = ReadAll(pam);
  fs::remove(pam);
  return all.substr(all.find("ENDHDR\n") + 7);
}

// 16-bit pictures round trip: written as SGI by ImageMagick (uncompressed) or by our builder
// (run-length), converted to PNG, the PNG read back by ImageMagick gives the values written.
TEST_F(Tool, SixteenBitPicturesConvertToSixteenBitPngs) {
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    const sgi::Planes16 planes = sgi::Pattern16(41, 27, channels, 7 * channels);
    const std::string pam = Pam16(planes);
    const std::string want = pam.substr(pam.find("ENDHDR\n") + 7);
    std::vector<std::pair<std::string, sgi::Bytes>> files = {
        {"run-length", sgi::Rle16({.name = "deep"}, planes, sgi::Layout::kShuffled)},
        {"uncompressed", sgi::Verbatim16({.name = "deep"}, planes)}};
    // ImageMagick writes grey with alpha as four channels: only our builder makes those.
    if (channels != 2) {
      std::ofstream(dir_ / "in.pam", std::ios::binary) << pam;
      ASSERT_EQ(Run("/usr/bin/convert in.pam -depth 16 sgi:magick.rgb").exitCode, 0);
      const std::string magick = ReadAll(dir_ / "magick.rgb");
      ASSERT_EQ(magick.substr(2, 2), std::string("\0\2", 2)) << "not uncompressed at 16 bits";
      files.emplace_back("by ImageMagick", sgi::Bytes(magick.begin(), magick.end()));
    }
    for (const auto& [what, bytes] : files) {
      const std::string label = std::to_string(channels) + " channels, " + what;
      Write("in.rgb", bytes);
      ASSERT_EQ(Decode("in.rgb -o out.png").exitCode, 0) << label;
      const std::string have = PamBytesByImageMagick(dir_ / "out.png");
      EXPECT_TRUE(have == want) << label << ": " << have.size() << " bytes, want " << want.size();
      fs::create_directory(dir_ / "batch");
      ASSERT_EQ(Decode("--png-dir batch in.rgb").exitCode, 0) << label;
      EXPECT_TRUE(ReadAll(dir_ / "batch" / "in.png") == ReadAll(dir_ / "out.png")) << label;
    }
  }
}

// The PPM of a 16-bit picture is its canvas at 16 bits (maxval 65535): opaque values as stored,
// alpha laid over the background widened (v * 257) with round((value - old) * alpha / 65535).
TEST_F(Tool, SixteenBitCanvasAsPpm) {
  const sgi::Planes16 planes{
      3, 1, 4, {1000, 65535, 0, 51234, 0, 32768, 65535, 0, 40000, 0, 1, 65535}};
  Write("in.rgb", sgi::Rle16({}, planes));
  ASSERT_EQ(Decode("in.rgb -o out.ppm --background 0000FF").exitCode, 0);
  const double background[3] = {0, 0, 65535};
  std::string want = "P6\n3 1\n65535\n";
  for (unsigned x = 0; x < 3; ++x)
    for (unsigned c = 0; c < 3; ++c) {
      const double alpha = planes.at(3, 0, x), value = planes.at(c, 0, x);
      const double exact = background[c] + (value - background[c]) * alpha / 65535;
      const auto v = static_cast<unsigned>(std::lround(exact));
      want += {char(v >> 8), char(v & 0xFF)};
    }
  EXPECT_EQ(Hex(ReadAll(dir_ / "out.ppm")), Hex(want));
  Write("grey.bw", sgi::Verbatim16({}, sgi::Planes16{2, 1, 1, {258, 65534}}));
  ASSERT_EQ(Decode("grey.bw -o grey.ppm").exitCode, 0);
  EXPECT_EQ(Hex(ReadAll(dir_ / "grey.ppm")),
            Hex(std::string("P6\n2 1\n65535\n") + std::string("\1\2\1\2\1\2", 6) +
                std::string("\xff\xfe\xff\xfe\xff\xfe", 6)));
}

// The preview of a 16-bit picture is that of its 8-bit twin (each value round(v * 255 / 65535)),
// byte for byte: the thumbnailer sees what the window shows.
TEST_F(Tool, SixteenBitPreviewsAreTheirEightBitTwins) {
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    const sgi::Planes16 planes = sgi::Pattern16(300, 170, channels, channels);
    Write("wide.rgb", sgi::Rle16({}, planes, sgi::Layout::kPlanar));
    Write("narrow.rgb", sgi::Rle({}, sgi::Narrowed(planes), sgi::Layout::kPlanar));
    const std::string thumbnail = std::string(LUMENOR_THUMBNAILER_TOOL) + " -s 64 ";
    ASSERT_EQ(Run(thumbnail + "wide.rgb wide.png").exitCode, 0) << channels;
    ASSERT_EQ(Run(thumbnail + "narrow.rgb narrow.png").exitCode, 0) << channels;
    EXPECT_TRUE(ReadAll(dir_ / "wide.png") == ReadAll(dir_ / "narrow.png")) << channels;
  }
}

// --check: a line for each file, then each sequence with its range and the frames missing from
// it; a truncated frame and a gap each make it fail.
TEST_F(Tool, CheckSaysWhichFramesAreIncompleteOrMissing) {
  fs::create_directory(dir_ / "shot");
  const auto frame = sgi::Rle({.name = "frame"}, sgi::Pattern(16, 10, 3));
  for (const int n : {1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 20})
    Write("shot/s." + std::string(n < 10 ? "000" : "00") + std::to_string(n) + ".rgb", frame);
  Write("shot/s.7.rgb", frame);                                           // padding may differ
  Write("shot/s.0003.rgb", sgi::Bytes(frame.begin(), frame.end() - 40));  // being written
  Write("shot/S.0001.RGB", frame);                                        // another sequence
  Write("shot/bad.bw", sgi::EncodeHeader({.storage = 2}));
  Write("shot/.hidden.0008.rgb", frame);
  Write("shot/notes.txt", {'h', 'i'});
  const ToolRun run = Decode("--check shot");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "shot/S.0001.RGB: ok\n"
            "shot/bad.bw: refused: Unsupported compression flag:  2\n"
            "shot/s.0001.rgb: ok\nshot/s.0002.rgb: ok\n"
            "shot/s.0003.rgb: incomplete: 8 of 10 rows\n"
            "shot/s.0004.rgb: ok\nshot/s.0005.rgb: ok\nshot/s.0006.rgb: ok\nshot/s.7.rgb: ok\n"
            "shot/s.0009.rgb: ok\nshot/s.0010.rgb: ok\nshot/s.0011.rgb: ok\n"
            "shot/s.0012.rgb: ok\nshot/s.0020.rgb: ok\n"
            "shot/S.####.RGB: 1\n"
            "shot/s.####.rgb: 1-20, missing 8, 13-19\n");
  // Files named one by one, in the order given; all complete and no gap: 0.
  const ToolRun good = Decode("--check shot/s.0002.rgb shot/s.0001.rgb missing.0003.rgb");
  EXPECT_EQ(good.exitCode, 1);
  EXPECT_EQ(good.out,
            "shot/s.0002.rgb: ok\nshot/s.0001.rgb: ok\nmissing.0003.rgb: refused: There was an "
            "error reading the file: No such file or directory (missing.0003.rgb)\n"
            "shot/s.####.rgb: 1-2\nmissing.####.rgb: 3\n");
  EXPECT_EQ(Decode("--check shot/s.0001.rgb shot/s.0002.rgb").exitCode, 0);
  EXPECT_EQ(Decode("--check").err, Mistake("--check: no FILE or DIR to check"));
}

// A frame that ends early is converted as it is, said to be on stderr, and fails with --strict.
TEST_F(Tool, IncompleteFilesAreConvertedAndSaidToBe) {
  const auto whole = sgi::Verbatim({.name = "cut"}, sgi::Pattern(10, 8, 3));
  Write("cut.rgb", sgi::Bytes(whole.begin(), whole.end() - 25));
  fs::create_directory(dir_ / "out");
  const std::string line = "cut.rgb: incomplete: 5 of 8 rows\n";
  struct Case {
    std::string args;
    int exitCode;
    std::string err;
    std::string written;
  };
  const Case cases[] = {
      {"cut.rgb", 0, line, ""},
      {"cut.rgb -o a.png", 0, line, "a.png"},
      {"cut.rgb -o b.ppm --strict", 1, line, "b.ppm"},
      {"--png-dir out cut.rgb", 0, line, "out/cut.png"},
      {"--png-dir out --strict cut.rgb", 1, line, "out/cut.png"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Decode(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
    if (!c.written.empty()) {
      EXPECT_TRUE(fs::exists(dir_ / c.written)) << c.args;
    }
    fs::remove(dir_ / "out" / "cut.png");
  }
}

// Pictures of noise: their PNGs are about as large as their values.
sgi::Planes Noise(unsigned width, unsigned height, unsigned channels) {
  sgi::Planes planes{width, height, channels, {}};
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < std::size_t{width} * height * channels; ++i) {
    state = state * 1664525u + 1013904223u;
    planes.values.push_back(static_cast<std::uint8_t>(state >> 24));
  }
  return planes;
}

// Outputs that must not or cannot be written: the tool says which and why in one line, exits
// non-zero, leaves no file behind (neither the output nor a temporary) and the input as it was.
TEST_F(Tool, FailedOutputsLeaveNothingBehind) {
  const std::string decode = LUMENOR_DECODE_TOOL;
  const std::string thumbnail = std::string(LUMENOR_THUMBNAILER_TOOL) + " -s 128";
  // The superuser writes in read-only folders unless it gives up that power.
  const std::string unprivileged =
      ::geteuid() == 0 ? "setpriv --bounding-set -dac_override,-dac_read_search " : "";
  // 2 KiB (dash counts blocks of 512 bytes); every picture below makes a larger file.
  const std::string sizeLimit = "ulimit -f 4; ";
  struct Case {
    std::string label;
    std::string prepare;  // shell commands run first, in a folder holding in.rgb
    std::string command;
    int exitCode;
    std::string message;               // a part of the one line on stderr
    std::set<std::string> filesAfter;  // besides what was there before
  };
  // clang-format off
  const Case cases[] = {
      {"a symbolic link to the input", "ln -s in.rgb out.png", decode + " in.rgb -o out.png", 2,
       "out.png: is the input file in.rgb; it is never written over", {}},
      {"a hard link to the input", "ln in.rgb out.ppm", decode + " in.rgb -o out.ppm", 2,
       "out.ppm: is the input file", {}},
      {"the input under another spelling", "mkdir sub", thumbnail + " in.rgb ./sub/../in.rgb", 1,
       "./sub/../in.rgb: is the input file", {}},
      {"the thumbnailer's input through a link", "ln -s in.rgb out.png",
       thumbnail + " in.rgb out.png", 1, "out.png: is the input file", {}},
      {"a folder", "mkdir out.png", decode + " in.rgb -o out.png", 2, "out.png: is a folder", {}},
      {"a folder for the thumbnail", "mkdir out.png", thumbnail + " in.rgb out.png", 1,
       "out.png: is a folder", {}},
      {"a read-only folder", "mkdir ro && chmod 555 ro",
       unprivileged + decode + " in.rgb -o ro/out.png", 2,
       "ro/out.png: cannot be written: Permission denied", {}},
      {"a read-only file", "echo old >out.png && chmod 444 out.png",
       unprivileged + decode + " in.rgb -o out.png", 2,
       "out.png: cannot be written: Permission denied", {}},
      {"a file-size limit, PNG", "", sizeLimit + decode + " in.rgb -o out.png", 2,
       "out.png: cannot be written: File too large", {}},
      {"a file-size limit, PPM", "", sizeLimit + decode + " in.rgb -o out.ppm", 2,
       "out.ppm: cannot be written: File too large", {}},
      {"a file-size limit, thumbnail", "", sizeLimit + thumbnail + " in.rgb out.png", 1,
       "out.png: cannot be written: File too large", {}},
      {"two inputs, one output name", "mkdir a dir && cp in.rgb a/in.BW",
       decode + " --png-dir dir in.rgb a/in.BW", 1,
       "a/in.BW: dir/in.png is already the output of in.rgb; not converted", {"dir/in.png"}},
      {"an unwritable output folder", "mkdir dir && chmod 555 dir",
       unprivileged + decode + " --png-dir dir in.rgb", 1,
       "dir: no file can be written in it: Permission denied", {}},
      {"a missing input among good ones", "mkdir dir && cp in.rgb more.Inta",
       decode + " --png-dir dir in.rgb missing.sgi more.Inta", 1,
       "missing.sgi: There was an error reading the file: No such file or directory (missing.sgi)",
       {"dir/in.png", "dir/more.png"}},
  };
  // clang-format on
  const sgi::Bytes picture = sgi::Verbatim({.name = "noise"}, Noise(160, 120, 3));
  int number = 0;
  for (const auto& c : cases) {
    const fs::path folder = dir_ / ("case" + std::to_string(++number));
    fs::create_directory(folder);
    dir_.Write(fs::relative(folder / "in.rgb", dir_.path()).string(), picture);
    const std::string inFolder = "cd " + folder.filename().string() + " && ";
    ASSERT_EQ(c.prepare.empty() ? 0 : Run(inFolder + c.prepare).exitCode, 0) << c.label;
    std::set<std::string> want = Listing(folder);
    want.insert(c.filesAfter.begin(), c.filesAfter.end());

    const ToolRun run = Run(inFolder + c.command);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.label;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.label << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.label << ": " << run.err;
    EXPECT_EQ(Listing(folder), want) << c.label;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "in.rgb"))) << c.label;
    EXPECT_TRUE(ReadAll(folder / "in.rgb") == std::string(picture.begin(), picture.end()))
        << c.label << ": the input was changed";
    for (const auto& entry : fs::recursive_directory_iterator(folder))  // let the folder go
      if (entry.is_directory() && !entry.is_symlink())
        fs::permissions(entry.path(), fs::perms(0755));
  }
}

}  // namespace
