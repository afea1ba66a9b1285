#include "module1.h"

#include <array>
#include <cassert>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <vector>

#include "image_file.h"
#include "load_failure.h"
#include "rle.h"
#include "rows.h"

namespace lumenor {

namespace {

constexpr std::uint16_t kMagic = 474;
constexpr std::uint64_t kHeaderSize = 512;
constexpr int kProgressInterval = 16;

struct Header {
  unsigned storage = 0;  // 0 = uncompressed, 1 = run-length encoded
  int width = 0;
  int height = 0;
  unsigned channels = 0;
};

std::string SizeText(long long width, long long height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

std::string Latin1ToUtf8(const std::uint8_t* text, std::size_t length) {
  std::string utf8;
  for (std::size_t i = 0; i < length && text[i] != 0; ++i) {
    const unsigned c = text[i];
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

// Shows the partial picture every sixteen rows. Rows are painted from the bottom up, so what
// changed since the last progress point is the band from the row just painted down to the row
// above the previous band.
class ProgressRule {
 public:
  ProgressRule(Canvas& canvas, int height) : canvas_(canvas), pendingBottom_(height - 1) {}

  void RowPainted(int y, int counter) {
    if (counter % kProgressInterval != 0) return;
    if (!canvas_.Progress(y, pendingBottom_)) throw LoadAbandoned{};
    pendingBottom_ = y - 1;
  }

 private:
  Canvas& canvas_;
  int pendingBottom_;
};

ChannelRows AllocateRowBuffers(int width, unsigned channels) {
  ChannelRows rows;
  for (unsigned c = 0; c < channels; ++c) rows[c].assign(static_cast<std::size_t>(width), 0);
  return rows;
}

// Uncompressed grey: plane 0 only, rows bottom-up in file order.
void DecodeVerbatimGrey(ByteSource& source, const Header& h, Canvas& canvas) {
  const auto width = static_cast<std::size_t>(h.width);
  std::vector<std::uint8_t> row(width);
  ProgressRule progress(canvas, h.height);
  for (int r = 0; r < h.height; ++r) {
    const int y = h.height - 1 - r;
    if (width > 0) {
      source.ReadAt(kHeaderSize + static_cast<std::uint64_t>(r) * width, row);
      WriteGreyRow(canvas.Scanline(y), row.data(), width);
    }
    progress.RowPainted(y, y);
  }
}

// Uncompressed grey with alpha, RGB and RGBA, alpha blended over the canvas: one plane after
// another, each row read at its own offset so that a load holds one row per channel, never whole
// planes.
void DecodeVerbatimChannels(ByteSource& source, const Header& h, Canvas& canvas) {
  if (h.width == 0 || h.height == 0)
    throw LoadFailure("The picture has no pixels (" + SizeText(h.width, h.height) + ")");
  const auto width = static_cast<std::uint64_t>(h.width);
  const std::uint64_t planeSize = width * static_cast<std::uint64_t>(h.height);
  auto rows = AllocateRowBuffers(h.width, h.channels);
  ProgressRule progress(canvas, h.height);
  for (int r = 0; r < h.height; ++r) {
    for (unsigned c = 0; c < h.channels; ++c)
      source.ReadAt(kHeaderSize + c * planeSize + static_cast<std::uint64_t>(r) * width, rows[c]);
    const int y = h.height - 1 - r;
    WriteRow(canvas.Scanline(y), rows, h.channels);
    progress.RowPainted(y, r);
  }
}

std::vector<std::uint8_t> ReadTableBytes(ByteSource& source, std::uint64_t offset,
                                         std::size_t entries) {
  std::vector<std::uint8_t> bytes(entries * 4);
  source.ReadAt(offset, bytes);
  return bytes;
}

std::uint32_t BigEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t entry) {
  const std::uint8_t* b = bytes.data() + 4 * entry;
  return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

// The run-length tables. Entry r + c * height of the offset table is where row r (0 = bottom) of
// channel c starts; the length table that follows says how many bytes the row is stored in. The
// lengths only tell how much to read: what a row holds is decided by its packets alone, so a
// wrong length costs a second read, never a different picture.
class RowTables {
 public:
  // Only channel counts that have a decoding path need more than the first offset.
  RowTables(ByteSource& source, const Header& h, bool wholeTables) : height_(h.height) {
    const std::uint64_t entries = static_cast<std::uint64_t>(h.height) * h.channels;
    if (entries == 0)
      throw LoadFailure("The run-length offset table is empty (" + std::to_string(h.height) +
                        " rows, " + std::to_string(h.channels) + " channels)");
    const auto count = static_cast<std::size_t>(wholeTables ? entries : 1);
    const auto offsets = ReadTableBytes(source, kHeaderSize, count);
    offsets_.resize(count);
    for (std::size_t i = 0; i < count; ++i)
      offsets_[i] = static_cast<std::int32_t>(BigEndianAt(offsets, i));
    if (!wholeTables) return;
    const auto lengths = ReadTableBytes(source, kHeaderSize + 4 * entries, count);
    lengths_.resize(count);
    for (std::size_t i = 0; i < count; ++i) lengths_[i] = BigEndianAt(lengths, i);
  }

  std::uint64_t Offset(int row, unsigned channel) const {
    const std::int32_t offset = offsets_[Index(row, channel)];
    if (offset < 0)
      throw LoadFailure("Row " + std::to_string(row) + " of channel " + std::to_string(channel) +
                        " has a negative offset: " + std::to_string(offset));
    return static_cast<std::uint64_t>(offset);
  }
  // How many bytes to read first for a row; never more than longest.
  std::size_t FirstRead(int row, unsigned channel, std::size_t longest) const {
    const std::uint32_t length = lengths_[Index(row, channel)];
    return length == 0 ? longest : std::min<std::size_t>(length, longest);
  }
  // Where the bytes worth reading together with row r of channel c end: the row itself and the
  // rows of its channel that come next, as long as each starts close after the ones before
  // (rows stored one after another, where the other channels' rows lie between, or plane by
  // plane) and all of them fit in capacity. Rows stored in any other order are read one at a
  // time.
  std::uint64_t ReadUpTo(int row, unsigned channel, std::size_t longest,
                         std::size_t capacity) const {
    constexpr int kRowsAhead = 256;
    const std::uint64_t start = Offset(row, channel);
    const std::size_t first = FirstRead(row, channel, longest);
    const std::uint64_t closeAfter = RowFetcher::kWindows * first;
    std::uint64_t end = start + first;
    for (int next = row + 1; next < std::min(height_, row + 1 + kRowsAhead); ++next) {
      const std::int32_t offset = offsets_[Index(next, channel)];
      if (offset < 0 || std::uint64_t(offset) < start || std::uint64_t(offset) > end + closeAfter)
        break;
      const std::uint64_t rowEnd = std::uint64_t(offset) + FirstRead(next, channel, longest);
      if (rowEnd - start > capacity) break;
      end = std::max(end, rowEnd);
    }
    return end;
  }

 private:
  std::size_t Index(int row, unsigned channel) const {
    return static_cast<std::size_t>(row) + channel * static_cast<std::size_t>(height_);
  }
  int height_;
  std::vector<std::int32_t> offsets_;
  std::vector<std::uint32_t> lengths_;
};

// Decodes row r of channel c into out, reading about as many bytes as the row is stored in.
std::ptrdiff_t DecodeStoredRow(RowFetcher& fetcher, const RowTables& tables, int r, unsigned c,
                               std::span<std::uint8_t> out, LongRows longRows) {
  const std::size_t longest = MaxRleRowBytes(out.size());
  const std::uint64_t offset = tables.Offset(r, c);
  const std::size_t first = tables.FirstRead(r, c, longest);
  std::ptrdiff_t count = DecodeRleRow(
      fetcher.Fetch(offset, first, c,
                    [&] { return tables.ReadUpTo(r, c, longest, fetcher.Capacity()); }),
      out, longRows);
  if (count == kInputShort && first < longest)  // the length table said too little
    count = DecodeRleRow(fetcher.Fetch(offset, longest, c, [&] { return offset + longest; }), out,
                         longRows);
  assert(count != kInputShort && "MaxRleRowBytes bytes always end or overflow a row");
  if (count == kInputShort) throw std::logic_error("a run-length row outran its longest read");
  return count;
}

// Run-length grey. Every row is found through the offset table (writers store rows in any order
// and share identical ones); values past the width fall outside the picture and are dropped.
void DecodeRleGrey(ByteSource& source, const Header& h, const RowTables& tables, Canvas& canvas) {
  const auto width = static_cast<std::size_t>(h.width);
  std::vector<std::uint8_t> row(width);
  RowFetcher fetcher(source, MaxRleRowBytes(width));
  ProgressRule progress(canvas, h.height);
  for (int r = 0; r < h.height; ++r) {
    const int y = h.height - 1 - r;
    const auto count =
        static_cast<std::size_t>(DecodeStoredRow(fetcher, tables, r, 0, row, LongRows::kClip));
    // A short row leaves the rest of the canvas row as it was.
    if (count > 0) WriteGreyRow(canvas.Scanline(y), row.data(), count);
    progress.RowPainted(y, y);
  }
}

// Run-length grey with alpha, RGB and RGBA: every channel row is decoded before the canvas row is
// painted. The buffers are not cleared between rows, so a short channel row keeps the previous
// row's values.
void DecodeRleChannels(ByteSource& source, const Header& h, const RowTables& tables,
                       Canvas& canvas) {
  if (h.width == 0)
    throw LoadFailure("The picture has no pixels (" + SizeText(h.width, h.height) + ")");
  auto rows = AllocateRowBuffers(h.width, h.channels);
  RowFetcher fetcher(source, MaxRleRowBytes(static_cast<std::size_t>(h.width)));
  ProgressRule progress(canvas, h.height);
  for (int r = 0; r < h.height; ++r) {
    for (unsigned c = 0; c < h.channels; ++c)
      if (DecodeStoredRow(fetcher, tables, r, c, rows[c], LongRows::kFail) == kRowOverflow)
        throw LoadFailure("Row " + std::to_string(r) + " of channel " + std::to_string(c) +
                          " holds more than " + std::to_string(h.width) + " pixels");
    const int y = h.height - 1 - r;
    WriteRow(canvas.Scanline(y), rows, h.channels);
    progress.RowPainted(y, y);
  }
}

void RunPixelStage(ImageFile& file, const Header& h, Canvas& canvas) {
  ByteSource& source = file.Source();
  const bool hasPath = h.channels >= 1 && h.channels <= 4;
  if (h.storage == 1) {
    const RowTables tables(source, h, hasPath);
    tables.Offset(0, 0);  // the first row must be reachable whatever follows
    if (h.channels == 1) return DecodeRleGrey(source, h, tables, canvas);
    if (hasPath) return DecodeRleChannels(source, h, tables, canvas);
  } else {
    if (h.channels == 1) return DecodeVerbatimGrey(source, h, canvas);
    if (hasPath) return DecodeVerbatimChannels(source, h, canvas);
  }
  canvas.ShowError("Unsupported number of channels: " + FormatReportValue(h.channels));
}

void DecodeImage(ByteSource& source, Canvas& canvas) {
  ImageFile file(source);
  const unsigned magic = file.ReadWord();
  if (magic != kMagic)
    return canvas.ShowError("Header doesn't check out: " + FormatReportValue(magic));
  Header h;
  h.storage = file.ReadByte();
  if (h.storage > 1)
    return canvas.ShowError("Unsupported compression flag: " + FormatReportValue(h.storage));
  const unsigned bytesPerChannel = file.ReadByte();
  if (bytesPerChannel != 1)
    return canvas.ShowError("Unsupported bytes per component: " +
                            FormatReportValue(bytesPerChannel));
  const unsigned dimension = file.ReadWord();
  if (dimension < 1 || dimension > 3)
    return canvas.ShowError("Unsupported Dimension: " + FormatReportValue(dimension));

  h.width = file.ReadWord();
  h.height = file.ReadWord();
  h.channels = file.ReadWord();
  file.ReadLong();  // PIXMIN: no value scaling is done
  file.ReadLong();  // PIXMAX
  if (h.width > kMaxImageSide || h.height > kMaxImageSide)
    throw LoadFailure("The picture is " + SizeText(h.width, h.height) +
                      " pixels; the largest that can be shown is " +
                      SizeText(kMaxImageSide, kMaxImageSide));
  if (!canvas.Resize(h.width, h.height))
    throw LoadFailure("Not enough memory for a picture of " + SizeText(h.width, h.height) +
                      " pixels");

  file.Skip(4);
  std::array<std::uint8_t, 80> name{};
  file.ReadBytes(name);
  canvas.SetTitle("Lumenor - " + Latin1ToUtf8(name.data(), name.size()));
  file.ReadLong();  // COLORMAP: every file is shown as a normal image
  file.Seek(kHeaderSize);

  RunPixelStage(file, h, canvas);
}

// The load's error trap: the file is closed by the time the box is shown, and whatever had been
// painted stays.
void RunTrapped(Canvas& canvas, const std::function<void()>& load) {
  std::string failure;
  try {
    load();
    return;
  } catch (const LoadFailure& e) {
    failure = e.what();
  } catch (const std::bad_alloc&) {
    failure = "Out of memory";
  } catch (const std::exception& e) {  // nothing may cross into the window code
    failure = e.what();
  } catch (const LoadAbandoned&) {
    return;
  }
  canvas.ShowError("There was an error reading the file:\r\n" + failure);
}

}  // namespace

// GCC 12 at -O3 takes the inlined " " + std::string for an overlapping memcpy, a known false
// positive of its optimiser: -Wrestrict is silenced for this one function.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
std::string FormatReportValue(unsigned value) {
  const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  return v < 0 ? std::to_string(v) : " " + std::to_string(v);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

void LoadImageFile(const std::string& fileName, Canvas& canvas) {
  RunTrapped(canvas, [&] {
    FileSource file(fileName);
    DecodeImage(file, canvas);
  });
}

void LoadImage(ByteSource& source, Canvas& canvas) {
  RunTrapped(canvas, [&] { DecodeImage(source, canvas); });
}

}  // namespace lumenor
