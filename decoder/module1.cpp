#include "module1.h"

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <vector>

#include "load_failure.h"
#include "rle.h"
#include "row_sink.h"
#include "row_tables.h"
#include "rows.h"

namespace lumenor {

namespace {

constexpr int kProgressInterval = 16;
constexpr Pixel kBlack = MakePixel(0, 0, 0);

// Shows the partial picture every sixteen rows. Rows are delivered from the bottom up, so what
// changed since the last progress point is the band from the row just delivered down to the row
// above the previous band. The uncompressed colour path counts its rows from the bottom, the
// others count picture rows from the top.
class ProgressRule {
 public:
  enum class Counting { kPictureRows, kFileRows };

  ProgressRule(RowSink& sink, int height, Counting counting)
      : sink_(sink), height_(height), counting_(counting), pendingBottom_(height - 1) {}

  // File row r has been delivered.
  void RowDone(int r) {
    const int y = height_ - 1 - r;
    if (Counter(r) % kProgressInterval != 0) return;
    if (!sink_.Progress(y, pendingBottom_)) throw LoadAbandoned{};
    pendingBottom_ = y - 1;
  }

  // File rows from first up to the top lie past the end of the file: they go to the sink in
  // bands, one between each two progress points, which come where they would row by row.
  void ZeroRowsFrom(int first) {
    for (int r = first; r < height_;) {
      const int band = std::min(height_ - 1, NextProgressRow(r));
      sink_.ZeroRows(height_ - 1 - band, height_ - 1 - r);
      RowDone(band);
      r = band + 1;
    }
  }

 private:
  int Counter(int r) const { return counting_ == Counting::kFileRows ? r : height_ - 1 - r; }
  // The first file row from r on at which a progress point comes.
  int NextProgressRow(int r) const {
    if (counting_ == Counting::kFileRows)
      return (r + kProgressInterval - 1) / kProgressInterval * kProgressInterval;
    const int y = height_ - 1 - r;
    return height_ - 1 - (y - y % kProgressInterval);
  }

  RowSink& sink_;
  int height_;
  Counting counting_;
  int pendingBottom_;
};

// The first file row whose channel-0 row starts at or past the end of an uncompressed file. That
// row and every row above it, in every channel, lie wholly past the end: all zeros.
int FirstRowPastTheEnd(std::uint64_t fileSize, const ImageHeader& h) {
  if (fileSize <= kHeaderSize) return 0;
  if (h.width == 0) return h.height;
  const std::uint64_t width = static_cast<std::uint64_t>(h.width) * h.bytesPerChannel;
  const std::uint64_t rowsHeld = (fileSize - kHeaderSize + width - 1) / width;
  return static_cast<int>(std::min<std::uint64_t>(rowsHeld, static_cast<std::uint64_t>(h.height)));
}

// The bytes of one row of one channel: a byte a value, or two in pictures of 16 bits.
std::size_t RowBytes(const ImageHeader& h) {
  return static_cast<std::size_t>(h.width) * h.bytesPerChannel;
}

ChannelRows AllocateRowBuffers(const ImageHeader& h) {
  ChannelRows rows;
  for (unsigned c = 0; c < h.channels; ++c) rows[c].assign(RowBytes(h), 0);
  return rows;
}

// Uncompressed grey: plane 0 only, rows bottom-up in file order.
void DecodeVerbatimGrey(ByteSource& source, const ImageHeader& h, RowSink& sink) {
  const auto width = static_cast<std::size_t>(h.width);
  std::vector<std::uint8_t> row(RowBytes(h));
  ProgressRule progress(sink, h.height, ProgressRule::Counting::kPictureRows);
  const int held = FirstRowPastTheEnd(source.Size(), h);
  for (int r = 0; r < held; ++r) {
    if (width > 0) {
      source.ReadAt(kHeaderSize + static_cast<std::uint64_t>(r) * row.size(), row);
      sink.GreyRow(h.height - 1 - r, row.data(), width);
    }
    progress.RowDone(r);
  }
  progress.ZeroRowsFrom(held);
}

// Uncompressed grey with alpha, RGB and RGBA: one plane after another, each row read at its own
// offset so that a load holds one row per channel, never whole planes.
void DecodeVerbatimChannels(ByteSource& source, const ImageHeader& h, RowSink& sink) {
  if (h.width == 0 || h.height == 0)
    throw LoadFailure("The picture has no pixels (" + SizeText(h.width, h.height) + ")");
  const std::uint64_t rowBytes = RowBytes(h);
  const std::uint64_t planeSize = rowBytes * static_cast<std::uint64_t>(h.height);
  auto rows = AllocateRowBuffers(h);
  ProgressRule progress(sink, h.height, ProgressRule::Counting::kFileRows);
  const int held = FirstRowPastTheEnd(source.Size(), h);
  for (int r = 0; r < held; ++r) {
    for (unsigned c = 0; c < h.channels; ++c)
      source.ReadAt(kHeaderSize + c * planeSize + static_cast<std::uint64_t>(r) * rowBytes,
                    rows[c]);
    sink.ChannelRow(h.height - 1 - r, rows, static_cast<std::size_t>(h.width));
    progress.RowDone(r);
  }
  progress.ZeroRowsFrom(held);
}

// Whether row r is stored where row r - 1 is in every channel: then it decodes to exactly what
// the buffers hold already, and need not be decoded at all.
bool StoredAsRowBelow(const RowTables& tables, int r, unsigned channels) {
  if (r == 0) return false;
  for (unsigned c = 0; c < channels; ++c)
    if (tables.Offset(r, c) != tables.Offset(r - 1, c)) return false;
  return true;
}

// Run-length grey. Every row is found through the offset table (writers store rows in any order
// and share identical ones); values past the width fall outside the picture and are dropped.
void DecodeRleGrey(ByteSource& source, const ImageHeader& h, const RowTables& tables,
                   RowSink& sink) {
  const auto width = static_cast<std::size_t>(h.width);
  std::vector<std::uint8_t> row(RowBytes(h));
  RowFetcher fetcher(source, MaxRleRowBytes(width, h.bytesPerChannel));
  ProgressRule progress(sink, h.height, ProgressRule::Counting::kPictureRows);
  std::size_t count = 0;
  for (int r = 0; r < h.height; ++r) {
    const int y = h.height - 1 - r;
    const bool repeated = StoredAsRowBelow(tables, r, 1);
    if (!repeated)
      count = static_cast<std::size_t>(
          DecodeStoredRow(fetcher, tables, r, 0, row, LongRows::kClip, ReadAhead::kRowsToCome));
    if (count > 0 && !(repeated && sink.RepeatRow(y))) sink.GreyRow(y, row.data(), count);
    progress.RowDone(r);
  }
}

// Run-length grey with alpha, RGB and RGBA: every channel row is decoded before the picture row
// is delivered. The buffers are not cleared between rows, so a short channel row keeps the
// previous row's values. Rows that decode nothing before any value was decoded (a file cut off
// before its rows) are zeros throughout.
void DecodeRleChannels(ByteSource& source, const ImageHeader& h, const RowTables& tables,
                       RowSink& sink) {
  if (h.width == 0)
    throw LoadFailure("The picture has no pixels (" + SizeText(h.width, h.height) + ")");
  auto rows = AllocateRowBuffers(h);
  std::size_t extent = 0;
  RowFetcher fetcher(source, MaxRleRowBytes(static_cast<std::size_t>(h.width), h.bytesPerChannel));
  ProgressRule progress(sink, h.height, ProgressRule::Counting::kPictureRows);
  for (int r = 0; r < h.height; ++r) {
    const int y = h.height - 1 - r;
    const bool repeated = StoredAsRowBelow(tables, r, h.channels);
    if (!repeated) {
      const int overflow =
          DecodeChannelRows(fetcher, tables, r, h.channels, rows, extent, ReadAhead::kRowsToCome)
              .overflow;
      if (overflow >= 0)
        throw LoadFailure("Row " + std::to_string(r) + " of channel " + std::to_string(overflow) +
                          " holds more than " + std::to_string(h.width) + " pixels");
    }
    if (repeated && sink.RepeatRow(y)) {
      // taken as the row below
    } else if (extent == 0) {
      sink.ZeroRows(y, y);
    } else {
      sink.ChannelRow(y, rows, extent);
    }
    progress.RowDone(r);
  }
}

void RunPixelStage(ByteSource& source, const ImageHeader& h, RowSink& sink) {
  const bool hasPath = HasPixelPath(h.channels);
  if (h.storage == 1) {
    const RowTables tables(source, h, hasPath);
    tables.Offset(0, 0);  // the first row must be reachable whatever follows
    if (h.channels == 1) return DecodeRleGrey(source, h, tables, sink);
    if (hasPath) return DecodeRleChannels(source, h, tables, sink);
  } else {
    if (h.channels == 1) return DecodeVerbatimGrey(source, h, sink);
    if (hasPath) return DecodeVerbatimChannels(source, h, sink);
  }
  sink.Report(ChannelRejection(h.channels));
}

void DecodePicture(ByteSource& source, RowSink& sink, const DecodeOptions& options) {
  const ImageHeader h = ReadHeader(source);
  sink.HeaderRead(h);
  if (const auto rejection = HeaderRejection(h, options)) return sink.Report(*rejection);
  CheckSize(h);
  if (!sink.Allocate(h))
    throw LoadFailure("Not enough memory for a picture of " + SizeText(h.width, h.height) +
                      " pixels");
  sink.Named(NameText(h));
  RunPixelStage(source, h, sink);
}

// The load's error trap: the file is closed by the time the box is shown, and whatever had been
// delivered stays.
void RunTrapped(RowSink& sink, const std::function<void()>& load) {
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
  sink.Report("There was an error reading the file:\r\n" + failure);
}

// The load's end: rows laid over the canvas. Where a row has no alpha its zeros are black; with
// alpha they are transparent and leave the canvas as it is. A canvas that keeps the stored values
// of pictures with alpha gets them from the same buffers the row is laid over it from.
class CanvasRows final : public RowSink {
 public:
  explicit CanvasRows(Canvas& canvas) : canvas_(canvas) {}

  bool Allocate(const ImageHeader& header) override {
    channels_ = header.channels;
    wide_ = header.bytesPerChannel == 2;
    if (wide_ && HasPixelPath(channels_)) {
      for (unsigned c = 0; c < channels_; ++c)
        narrow_[c].assign(static_cast<std::size_t>(header.width), 0);
    }
    if (!canvas_.Resize(header.width, header.height)) return false;
    // Asked once: a canvas keeps stored values for every row or for none.
    keepsStored_ = HasAlpha(channels_) && header.height > 0 && canvas_.StoredScanline(0) != nullptr;
    if (keepsStored_)
      for (int y = 0; y < header.height; ++y)
        std::fill_n(canvas_.StoredScanline(y), header.width, std::uint32_t{0});
    return true;
  }
  void Named(const std::string& utf8Name) override { canvas_.SetTitle("Lumenor - " + utf8Name); }
  void Report(const std::string& utf8Text) override { canvas_.ShowError(utf8Text); }
  // A short grey row leaves the rest of the canvas row as it was.
  // 16-bit values reach the screen as round(v * 255 / 65535), and are blended as such.
  void GreyRow(int y, const std::uint8_t* values, std::size_t count) override {
    if (wide_) {
      NarrowRow(values, narrow_[0].data(), count);
      values = narrow_[0].data();
    }
    WriteGreyRow(canvas_.Scanline(y), values, count);
  }
  void ChannelRow(int y, const ChannelRows& rows, std::size_t extent) override {
    if (wide_)
      for (unsigned c = 0; c < channels_; ++c) NarrowRow(rows[c].data(), narrow_[c].data(), extent);
    const ChannelRows& shown = wide_ ? narrow_ : rows;
    Pixel* line = canvas_.Scanline(y);
    WriteRow(line, shown, channels_, extent);
    if (!HasAlpha(channels_)) std::fill(line + extent, line + shown[0].size(), kBlack);
    if (keepsStored_) {
      std::uint32_t* stored = canvas_.StoredScanline(y);
      WriteStoredRow(stored, shown, channels_, extent);
      std::fill(stored + extent, stored + shown[0].size(), std::uint32_t{0});
    }
  }
  void ZeroRows(int top, int bottom) override {
    if (!HasAlpha(channels_)) canvas_.FillRows(top, bottom, kBlack);
    if (keepsStored_)
      for (int y = top; y <= bottom; ++y)
        std::fill_n(canvas_.StoredScanline(y), canvas_.Width(), std::uint32_t{0});
  }
  // A canvas that takes the row as the one below repeats its stored values too (Canvas).
  bool RepeatRow(int y) override { return canvas_.RepeatRow(y, y + 1); }
  bool Progress(int top, int bottom) override { return canvas_.Progress(top, bottom); }

 private:
  Canvas& canvas_;
  unsigned channels_ = 0;
  bool wide_ = false;         // 16-bit values
  ChannelRows narrow_;        // their 8-bit screen values
  bool keepsStored_ = false;  // the canvas keeps this picture's stored values
};

}  // namespace

void DecodeThrough(ByteSource& source, RowSink& sink, const DecodeOptions& options) {
  RunTrapped(sink, [&] { DecodePicture(source, sink, options); });
}

void DecodeFileThrough(const std::string& fileName, RowSink& sink, const DecodeOptions& options) {
  RunTrapped(sink, [&] {
    FileSource file(fileName);
    DecodePicture(file, sink, options);
  });
}

void LoadImageFile(const std::string& fileName, Canvas& canvas) {
  LoadImageFile(fileName, canvas, DecodeOptions{});
}

void LoadImageFile(const std::string& fileName, Canvas& canvas, const DecodeOptions& options) {
  CanvasRows sink(canvas);
  DecodeFileThrough(fileName, sink, options);
}

void LoadImage(ByteSource& source, Canvas& canvas) { LoadImage(source, canvas, DecodeOptions{}); }

void LoadImage(ByteSource& source, Canvas& canvas, const DecodeOptions& options) {
  CanvasRows sink(canvas);
  DecodeThrough(source, sink, options);
}

}  // namespace lumenor
