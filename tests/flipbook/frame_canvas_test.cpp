// The flipbook's canvas and its row scaler, against the decoder's own memory canvas and the
// scaler run on the finished picture: a frame shows what a load shows, and the rows scaled as the
// decoder finishes them are what scaling the whole picture gives.
#include "frame_canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "byte_source.h"
#include "decode_helpers.h"
#include "frame_memory.h"
#include "module1.h"
#include "sgi_builder.h"

namespace {

using lumenor::Pixel;
using lumenor::Zoom;

// A load onto a frame canvas; when zoom is given, rect of the scaled picture is made as rows
// finish.
struct FrameLoad {
  explicit FrameLoad(const sgi::Bytes& bytes, std::optional<Zoom> zoom = std::nullopt,
                     std::optional<std::array<int, 4>> rect = std::nullopt) {
    FrameCanvas canvas(
        lumenor::kWorkspaceGrey,
        [&](int sizedWidth, int sizedHeight) -> std::shared_ptr<FrameBlock> {
          const auto count =
              static_cast<std::size_t>(sizedWidth) * static_cast<std::size_t>(sizedHeight);
          if (zoom) {
            scaler.emplace(sizedWidth, sizedHeight, *zoom);
            area = rect.value_or(std::array{0, 0, scaler->ScaledWidth(), scaler->ScaledHeight()});
            scaled.resize(static_cast<std::size_t>(area[2]) * static_cast<std::size_t>(area[3]));
          }
          auto memory = FrameBlock::Take(pool, count);
          // Memory used before holds anything: nothing may be read before it is written.
          std::fill_n(memory->Pixels(), count, Pixel{0xFF00FF00});
          if (zoom)
            rows.Start(*scaler, memory->Pixels(), sizedWidth, area[0], area[1], area[2], area[3],
                       scaled.data());
          return memory;
        },
        [&](int top) {
          rows.Finished(top);
          return true;
        });
    lumenor::MemorySource source(bytes);
    lumenor::LoadImage(source, canvas);
    canvas.FillUntouched();
    rows.Finished(0);
    width = canvas.Width();
    height = canvas.Height();
    title = canvas.Title();
    messages = canvas.Messages();
    block = canvas.TakeBlock();
  }
  Pixel At(int x, int y) const {
    return block->Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x];
  }

  std::shared_ptr<FramePool> pool = std::make_shared<FramePool>(std::size_t{1} << 30);
  std::optional<lumenor::PictureScaler> scaler;
  std::array<int, 4> area{};
  std::vector<Pixel> scaled;
  RowScaler rows;
  int width = 0, height = 0;
  std::string title;
  std::vector<std::string> messages;
  std::shared_ptr<FrameBlock> block;
};

// A run-length RGB picture whose row 35 from the bottom holds more than a row: the load ends
// there, the rows above never reached.
sgi::Bytes OverlongRow() {
  const sgi::Planes planes = sgi::Pattern(37, 70, 3);
  std::vector<sgi::Bytes> rows;
  for (unsigned c = 0; c < 3; ++c)
    for (unsigned r = 0; r < 70; ++r) {
      std::vector<std::uint8_t> values(planes.row(c, r), planes.row(c, r) + 37);
      if (r == 35) values.resize(50, 9);
      rows.push_back(sgi::EncodeRleRow(values.data(), values.size()));
    }
  sgi::Header header;
  header.xsize = 37;
  header.ysize = 70;
  header.zsize = 3;
  return sgi::RleFromRows(header, rows, sgi::Layout::kBottomFirst);
}

sgi::Bytes Truncated(sgi::Bytes bytes) {
  bytes.resize(bytes.size() * 2 / 3);
  return bytes;
}

struct Case {
  const char* name;
  sgi::Bytes bytes;
};

TEST(FrameCanvas, ShowsWhatALoadShows) {
  sgi::Header header;
  header.name = "frame";
  sgi::Header refused = header;
  refused.magic = 0x1234;
  const Case cases[] = {
      {"RGB, run-length", sgi::Rle(header, sgi::Pattern(37, 70, 3))},
      {"RGBA over the grey", sgi::Rle(header, sgi::Pattern(37, 70, 4))},
      {"grey with alpha, uncompressed", sgi::Verbatim(header, sgi::Pattern(37, 70, 2))},
      {"grey, uncompressed", sgi::Verbatim(header, sgi::Pattern(37, 70, 1))},
      {"RGB, cut short", Truncated(sgi::Rle(header, sgi::Pattern(37, 70, 3)))},
      {"RGBA, cut short", Truncated(sgi::Verbatim(header, sgi::Pattern(37, 70, 4)))},
      {"RGB, a row too long half-way", OverlongRow()},
      {"refused", sgi::Rle(refused, sgi::Pattern(5, 5, 3))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const lumenor::MemoryCanvas want = testing_support::Load(c.bytes);
    const FrameLoad have(c.bytes);
    if (want.Messages().empty()) {  // a frame that shows
      EXPECT_EQ(have.title, want.Title());
    }
    EXPECT_EQ(have.messages, want.Messages());
    ASSERT_EQ(have.width, want.Width());
    ASSERT_EQ(have.height, want.Height());
    if (!have.block) continue;  // never sized: nothing to compare
    for (int y = 0; y < want.Height(); ++y)
      for (int x = 0; x < want.Width(); ++x)
        ASSERT_EQ(have.At(x, y), want.At(x, y)) << "at (" << x << ", " << y << ")";
  }
}

struct ScaleCase {
  Zoom zoom;
  std::optional<std::array<int, 4>> rect;  // x, y, columns, rows; all of it when not given
};

TEST(RowScaler, ScalesRowsAsTheyFinishAsTheWholePicture) {
  const ScaleCase cases[] = {{{1, 2}, std::nullopt},
                             {{5, 12}, std::nullopt},
                             {{2, 3}, std::nullopt},
                             {{1, 32}, std::nullopt},
                             {{3, 1}, std::array{10, 7, 50, 40}},
                             {{5, 12}, std::array{3, 5, 20, 9}}};
  const sgi::Bytes bytes = sgi::Rle(sgi::Header{}, sgi::Pattern(97, 150, 3));
  for (const ScaleCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.zoom.num) + "/" + std::to_string(c.zoom.den));
    const FrameLoad have(bytes, c.zoom, c.rect);
    lumenor::PictureScaler scaler(have.width, have.height, c.zoom);
    const auto& [x, y, columns, rows] = have.area;
    std::vector<Pixel> want(have.scaled.size());
    scaler.Scale(have.block->Pixels(), static_cast<std::size_t>(have.width), x, y, columns, rows,
                 want.data(), static_cast<std::size_t>(columns));
    ASSERT_FALSE(want.empty());
    for (std::size_t i = 0; i < want.size(); ++i)
      ASSERT_EQ(have.scaled[i], want[i]) << "at (" << i % columns << ", " << i / columns << ")";
  }
}

}  // namespace
