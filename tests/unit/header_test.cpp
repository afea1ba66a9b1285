#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "decode_helpers.h"
#include "image_file.h"
#include "scratch_dir.h"

namespace {

using testing_support::Load;

const std::string kInitialTitle = "Lumenor 1.0 by Vantris";

TEST(Primitives, ReadBigEndianValues) {
  const sgi::Bytes bytes = {0x01, 0xDA, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x7F,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  lumenor::MemorySource source(bytes);
  lumenor::ImageFile file(source);
  EXPECT_EQ(file.ReadWord(), 474);
  EXPECT_EQ(file.ReadByte(), 255);
  EXPECT_EQ(file.ReadLong(), INT32_MIN);  // 80 00 00 00 is negative
  EXPECT_EQ(file.ReadLong(), INT32_MAX);
  EXPECT_EQ(file.ReadLong(), -1);
  EXPECT_EQ(file.ReadWord(), 0);  // past the end: zeros, no failure
  EXPECT_EQ(file.ReadByte(), 0);
}

TEST(Primitives, ReportValueFormat) {
  EXPECT_EQ(lumenor::FormatReportValue(2), " 2");
  EXPECT_EQ(lumenor::FormatReportValue(0), " 0");
  EXPECT_EQ(lumenor::FormatReportValue(32767), " 32767");
  EXPECT_EQ(lumenor::FormatReportValue(32768), "-32768");
  EXPECT_EQ(lumenor::FormatReportValue(0xDA01), "-9727");
  EXPECT_EQ(lumenor::FormatReportValue(65535), "-1");
}

struct RejectCase {
  const char* what;
  sgi::Header header;
  const char* message;
};

class HeaderRejection : public testing::TestWithParam<RejectCase> {};

TEST_P(HeaderRejection, ReportsAndLeavesCanvasAndTitle) {
  sgi::Header h = GetParam().header;
  h.xsize = 300;
  h.ysize = 200;
  h.zsize = 1;
  const auto canvas = Load(sgi::EncodeHeader(h));
  ASSERT_EQ(canvas.Messages().size(), 1u);
  EXPECT_EQ(canvas.Messages()[0], GetParam().message);
  EXPECT_EQ(canvas.Title(), kInitialTitle);
  EXPECT_EQ(canvas.Width(), 25);
  EXPECT_EQ(canvas.Height(), 19);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, HeaderRejection,
    testing::Values(
        RejectCase{"little_endian_magic", {.magic = 0xDA01}, "Header doesn't check out: -9727"},
        RejectCase{"png_magic", {.magic = 0x8950}, "Header doesn't check out: -30384"},
        RejectCase{"zero_magic", {.magic = 0}, "Header doesn't check out:  0"},
        RejectCase{"storage_2", {.storage = 2}, "Unsupported compression flag:  2"},
        RejectCase{"storage_255", {.storage = 255}, "Unsupported compression flag:  255"},
        RejectCase{"rle_bpc_2", {.storage = 1, .bpc = 2}, "Unsupported bytes per component:  2"},
        RejectCase{"bpc_0", {.bpc = 0}, "Unsupported bytes per component:  0"},
        RejectCase{"dimension_0", {.dimension = 0}, "Unsupported Dimension:  0"},
        RejectCase{"dimension_4", {.dimension = 4}, "Unsupported Dimension:  4"},
        RejectCase{"dimension_65535", {.dimension = 65535}, "Unsupported Dimension: -1"}),
    [](const auto& test) { return std::string(test.param.what); });

TEST(Header, EmptyFileIsRejectedByMagic) {
  const auto canvas = Load({});
  ASSERT_EQ(canvas.Messages(), std::vector<std::string>{"Header doesn't check out:  0"});
}

TEST(Header, DimensionsOneToThreeReachThePixelStage) {
  for (unsigned dimension : {1u, 2u, 3u}) {
    const auto canvas =
        Load(sgi::EncodeHeader({.dimension = dimension, .xsize = 300, .ysize = 200, .zsize = 1}));
    EXPECT_TRUE(canvas.Messages().empty()) << dimension;
    EXPECT_EQ(canvas.Width(), 300);
    EXPECT_EQ(canvas.Height(), 200);
  }
}

TEST(Header, TitleIsNameUpToFirstZeroAsLatin1) {
  struct Case {
    std::string name;
    std::string title;
  };
  const Case cases[] = {
      {"", "Lumenor - "},
      {"sunset", "Lumenor - sunset"},
      {std::string("ab\0cd", 5), "Lumenor - ab"},
      {"caf\xE9", "Lumenor - caf\xC3\xA9"},
      {std::string(80, 'x'), "Lumenor - " + std::string(80, 'x')},
      {std::string(90, 'y'), "Lumenor - " + std::string(80, 'y')},
  };
  for (const auto& c : cases) {
    const auto canvas =
        Load(sgi::EncodeHeader({.xsize = 2, .ysize = 2, .zsize = 1, .name = c.name}));
    EXPECT_EQ(canvas.Title(), c.title);
  }
}

TEST(Header, CanvasTakesSizeEvenWithoutAPath) {
  const auto canvas = Load(sgi::EncodeHeader({.xsize = 300, .ysize = 200, .zsize = 2}));
  EXPECT_EQ(canvas.Width(), 300);
  EXPECT_EQ(canvas.Height(), 200);
  EXPECT_EQ(canvas.Title(), "Lumenor - test");
}

TEST(Header, SizesAbove32767AreReadErrorsBeforeResizeOrTitle) {
  for (auto [x, y] : {std::pair{32768u, 1u}, std::pair{1u, 32768u}, std::pair{65535u, 65535u}}) {
    const auto canvas = Load(sgi::EncodeHeader({.xsize = x, .ysize = y, .zsize = 1}));
    ASSERT_EQ(canvas.Messages().size(), 1u);
    EXPECT_TRUE(testing_support::IsReadError(canvas.Messages()[0])) << canvas.Messages()[0];
    EXPECT_EQ(canvas.Width(), 25);
    EXPECT_EQ(canvas.Title(), kInitialTitle);
  }
}

TEST(Header, CanvasThatCannotBeAllocatedIsAReadError) {
  lumenor::MemoryCanvas canvas(lumenor::kWorkspaceGrey, 1000);
  const auto bytes = sgi::EncodeHeader({.xsize = 100, .ysize = 100, .zsize = 1});
  lumenor::MemorySource source(bytes);
  lumenor::LoadImage(source, canvas);
  ASSERT_EQ(canvas.Messages().size(), 1u);
  EXPECT_NE(canvas.Messages()[0].find("Not enough memory for a picture of 100 x 100"),
            std::string::npos);
  EXPECT_EQ(canvas.Width(), 25);
  EXPECT_EQ(canvas.Title(), kInitialTitle);
}

class FileCases : public testing::Test {
 protected:
  lumenor::MemoryCanvas LoadPath(const std::filesystem::path& path) {
    lumenor::MemoryCanvas canvas;
    lumenor::LoadImageFile(path.string(), canvas);
    return canvas;
  }
  static bool IsReadError(const lumenor::MemoryCanvas& canvas) {
    return canvas.Messages().size() == 1 && testing_support::IsReadError(canvas.Messages()[0]);
  }

  ScratchDir dir_;
};

TEST_F(FileCases, MissingFileIsAReadErrorAndNothingIsCreated) {
  const auto missing = dir_ / "missing.rgb";
  const auto canvas = LoadPath(missing);
  EXPECT_TRUE(IsReadError(canvas));
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(canvas.Title(), kInitialTitle);
}

TEST_F(FileCases, DirectoryAndFifoAreReadErrorsWithoutBlocking) {
  EXPECT_TRUE(IsReadError(LoadPath(dir_.path())));
  const auto fifo = dir_ / "pipe.rgb";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(IsReadError(LoadPath(fifo)));  // would hang if opened for a blocking read
}

TEST_F(FileCases, UnreadableFileIsAReadError) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
  const auto path = dir_ / "locked.rgb";
  std::ofstream(path) << "x";
  std::filesystem::permissions(path, std::filesystem::perms::none);
  EXPECT_TRUE(IsReadError(LoadPath(path)));
}

TEST_F(FileCases, FileIsNotChangedByALoad) {
  const auto path = dir_ / "picture.rgb";
  const auto bytes = sgi::Verbatim({}, sgi::Pattern(7, 5, 3));
  dir_.Write("picture.rgb", bytes);
  const auto before = std::filesystem::last_write_time(path);
  const auto canvas = LoadPath(path);
  EXPECT_TRUE(canvas.Messages().empty());
  EXPECT_EQ(canvas.Width(), 7);
  EXPECT_EQ(std::filesystem::file_size(path), bytes.size());
  EXPECT_EQ(std::filesystem::last_write_time(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
}

}  // namespace
