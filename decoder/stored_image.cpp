#include "stored_image.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <stdexcept>

#include "load_failure.h"
#include "rle.h"
#include "row_sink.h"
#include "row_tables.h"
#include "rows.h"

namespace lumenor {

namespace {

// The stored end of the decoding paths: values copied as they are, nothing laid over anything.
class StoredRows final : public RowSink {
 public:
  StoredRows(StoredImage& image, std::uint64_t maxValues) : image_(image), maxValues_(maxValues) {}

  void HeaderRead(const ImageHeader& header) override { image_.header = header; }
  bool Allocate(const ImageHeader& h) override {
    if (!HasPixelPath(h.channels)) return true;  // reported next: there is nothing to keep
    const std::uint64_t count =
        static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height) * h.channels;
    const std::uint64_t bytes = count * h.bytesPerChannel;
    if (count > maxValues_ || bytes > image_.values.max_size()) return false;
    try {
      // Zeros: the rows past the end of the file, and what a short row leaves, stay so.
      image_.values.assign(static_cast<std::size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    image_.width = h.width;
    image_.height = h.height;
    image_.channels = h.channels;
    image_.bytesPerChannel = h.bytesPerChannel;
    return true;
  }
  void Named(const std::string& utf8Name) override { image_.name = utf8Name; }
  void Report(const std::string& utf8Text) override { image_.messages.push_back(utf8Text); }
  // The window keeps what it showed beyond a short grey run-length row; the stored row is zeros
  // there, since the file stores nothing for those pixels.
  void GreyRow(int y, const std::uint8_t* values, std::size_t count) override {
    std::copy_n(values, count * image_.bytesPerChannel, RowAt(y));
  }
  void ChannelRow(int y, const ChannelRows& rows, std::size_t extent) override {
    InterleaveRow(RowAt(y), rows, image_.channels, extent, image_.bytesPerChannel);
  }
  void ZeroRows(int /*top*/, int /*bottom*/) override {}  // the values are zeros already
  bool Progress(int /*top*/, int /*bottom*/) override { return true; }

 private:
  std::uint8_t* RowAt(int y) {
    return image_.values.data() + static_cast<std::size_t>(y) *
                                      static_cast<std::size_t>(image_.width) * image_.channels *
                                      image_.bytesPerChannel;
  }

  StoredImage& image_;
  std::uint64_t maxValues_;
};

}  // namespace

StoredImage LoadStoredImage(const std::string& fileName, std::uint64_t maxValues,
                            const DecodeOptions& options) {
  StoredImage image;
  StoredRows sink(image, maxValues);
  DecodeFileThrough(fileName, sink, options);
  return image;
}

StoredImage LoadStoredImage(ByteSource& source, std::uint64_t maxValues,
                            const DecodeOptions& options) {
  StoredImage image;
  StoredRows sink(image, maxValues);
  DecodeThrough(source, sink, options);
  return image;
}

struct RowReader::State {
  State(std::unique_ptr<ByteSource> file, Rows rows, const DecodeOptions& options);
  int NextBelow(int r, unsigned c) const;

  void ReadVerbatim(int r);
  void ReadRleGrey(int r);
  void ReadRleChannels(int r);
  void CheckUpTo(int r);
  std::size_t DecodeAlone(int r, unsigned c, std::vector<std::uint8_t>& out, std::size_t upTo);

  std::unique_ptr<ByteSource> source;
  ImageHeader header;
  std::size_t width = 0;
  unsigned bytesPerValue = 1;
  std::optional<RowTables> tables;  // run-length files
  std::optional<RowFetcher> fetcher;
  ChannelRows channelRows;
  std::vector<std::uint8_t> below;  // a lower row, for what a short row leaves
  // Run-length colour files are decoded in order from the bottom, as a load does, up to the
  // highest row asked for: the first row that overflows is where a load stops. Rows known to
  // load without error count as checked from the start.
  int checkedRows = 0;
  int firstFailure = 0;  // this row and every row above it are zeros
  // For each checked channel row (entry r + c * height): the nearest row below it that decodes
  // more values, or -1. A short row's remaining values come from that row, and what that row
  // leaves from the one it names in turn, so no other row needs decoding.
  std::vector<std::int32_t> reachesFurther;
  // Per channel, the checked rows that no row above them matches in count, nearest last.
  struct Reach {
    std::int32_t row = 0;
    std::uint32_t count = 0;
  };
  std::array<std::vector<Reach>, 4> unmatched;
  ChannelRows carried;  // the load's buffers after row carriedRow
  std::size_t carriedExtent = 0;
  int carriedRow = -1;
  // The row read alone last (channelRows hold it), and how many values each of its channel rows
  // decoded itself: the row below it holds the same values from there on.
  int aloneRow = -1;
  std::array<std::size_t, 4> aloneCounts{};
  std::vector<std::uint8_t> row;  // the last row asked for, picture row rowY
  int rowY = -1;
};

RowReader::State::State(std::unique_ptr<ByteSource> file, Rows rows, const DecodeOptions& options)
    : source(std::move(file)), header(ReadHeader(*source)) {
  if (const auto rejection = HeaderRejection(header, options)) throw LoadFailure(*rejection);
  CheckSize(header);
  width = static_cast<std::size_t>(header.width);
  bytesPerValue = header.bytesPerChannel;
  const std::size_t rowBytes = width * bytesPerValue;
  if (header.storage == 1) tables.emplace(*source, header, HasPixelPath(header.channels));
  if (!HasPixelPath(header.channels)) throw LoadFailure(ChannelRejection(header.channels));
  firstFailure = tables ? tables->FirstRowWithNegativeOffset() : header.height;
  if (tables) fetcher.emplace(*source, MaxRleRowBytes(width, bytesPerValue));
  for (unsigned c = 0; c < header.channels; ++c) {
    channelRows[c].assign(rowBytes, 0);
    if (tables && header.channels > 1) carried[c].assign(rowBytes, 0);
  }
  if (tables && header.channels > 1 && rows == Rows::kCheckInOrder)
    reachesFurther.resize(static_cast<std::size_t>(header.height) * header.channels);
  if (rows == Rows::kLoadedWithoutError) checkedRows = header.height;  // nothing to check
  below.resize(rowBytes);
  row.resize(rowBytes * header.channels);
}

void RowReader::State::ReadVerbatim(int r) {
  const std::uint64_t rowBytes = width * bytesPerValue;
  const std::uint64_t planeSize = rowBytes * static_cast<std::uint64_t>(header.height);
  for (unsigned c = 0; c < header.channels; ++c)
    source->ReadAt(kHeaderSize + c * planeSize + static_cast<std::uint64_t>(r) * rowBytes,
                   channelRows[c]);
  InterleaveRow(row.data(), channelRows, header.channels, width, bytesPerValue);
}

void RowReader::State::ReadRleGrey(int r) {
  std::fill(row.begin(), row.end(), std::uint8_t{0});
  if (r < firstFailure)
    DecodeStoredRow(*fetcher, *tables, r, 0, row, LongRows::kClip, ReadAhead::kThisRow);
}

void RowReader::State::CheckUpTo(int r) {
  const auto height = static_cast<std::size_t>(header.height);
  for (; checkedRows <= r && checkedRows < firstFailure; ++checkedRows) {
    const ChannelCounts decoded = DecodeChannelRows(*fetcher, *tables, checkedRows, header.channels,
                                                    carried, carriedExtent, ReadAhead::kRowsToCome);
    if (decoded.overflow >= 0) {
      firstFailure = checkedRows;
      carriedRow = -1;
      return;
    }
    for (unsigned c = 0; c < header.channels; ++c) {
      auto& lower = unmatched[c];
      while (!lower.empty() && lower.back().count <= decoded.counts[c]) lower.pop_back();
      reachesFurther[static_cast<std::size_t>(checkedRows) + c * height] =
          lower.empty() ? -1 : lower.back().row;
      lower.push_back({checkedRows, static_cast<std::uint32_t>(decoded.counts[c])});
    }
    carriedRow = checkedRows;
  }
}

// The next row below row r of channel c that may hold values a short row r leaves.
int RowReader::State::NextBelow(int r, unsigned c) const {
  if (reachesFurther.empty()) return r - 1;
  return reachesFurther[static_cast<std::size_t>(r) + c * static_cast<std::size_t>(header.height)];
}

// Channel c of row r, below the rows checked already, up to column upTo (out holds the rest
// already): a short row takes its remaining values from the nearest rows below it that reach
// further, and zeros where none does. Returns how many values row r decoded itself.
std::size_t RowReader::State::DecodeAlone(int r, unsigned c, std::vector<std::uint8_t>& out,
                                          std::size_t upTo) {
  const auto decode = [&](int at, std::vector<std::uint8_t>& into) {
    const std::ptrdiff_t count =
        DecodeStoredRow(*fetcher, *tables, at, c, into, LongRows::kFail, ReadAhead::kThisRow);
    // A checked row overflows only in a file changed since; the caller was told otherwise.
    if (count < 0) throw LoadFailure("The file changed while it was open");
    return static_cast<std::size_t>(count);
  };
  const std::size_t own = decode(r, out);
  std::size_t filled = own;
  // Rows stored once and shared decode alike: one that was just decoded needs no second look.
  std::uint64_t lastOffset = tables->Offset(r, c);
  for (int lower = NextBelow(r, c); filled < upTo && lower >= 0; lower = NextBelow(lower, c)) {
    if (tables->Offset(lower, c) == lastOffset) continue;
    lastOffset = tables->Offset(lower, c);
    const std::size_t count = decode(lower, below);
    if (count <= filled) continue;  // a row that leaves as much (unchecked rows), or a change
    std::copy(below.begin() + static_cast<std::ptrdiff_t>(filled * bytesPerValue),
              below.begin() + static_cast<std::ptrdiff_t>(count * bytesPerValue),
              out.begin() + static_cast<std::ptrdiff_t>(filled * bytesPerValue));
    filled = count;
  }
  if (filled < upTo)
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(filled * bytesPerValue),
              out.begin() + static_cast<std::ptrdiff_t>(upTo * bytesPerValue), std::uint8_t{0});
  return own;
}

// A row read right after the row above it (top down, as a PNG is written) keeps that row's
// values past what the row above decoded itself, since the load's buffers kept them too; only the
// part the row above overwrote is looked for. Each channel row is then decoded a bounded number
// of times over a whole picture, however its rows end.
void RowReader::State::ReadRleChannels(int r) {
  if (r >= checkedRows) CheckUpTo(r);
  const bool aboveAlone = aloneRow == r + 1;
  aloneRow = -1;
  if (r >= firstFailure) {
    std::fill(row.begin(), row.end(), std::uint8_t{0});
  } else if (r == carriedRow) {
    InterleaveRow(row.data(), carried, header.channels, carriedExtent, bytesPerValue);
    std::fill(
        row.begin() + static_cast<std::ptrdiff_t>(carriedExtent * header.channels * bytesPerValue),
        row.end(), std::uint8_t{0});
  } else {
    for (unsigned c = 0; c < header.channels; ++c)
      aloneCounts[c] = DecodeAlone(r, c, channelRows[c], aboveAlone ? aloneCounts[c] : width);
    InterleaveRow(row.data(), channelRows, header.channels, width, bytesPerValue);
    aloneRow = r;
  }
}

RowReader::RowReader(std::unique_ptr<ByteSource> source, Rows rows, const DecodeOptions& options)
    : state_(std::make_unique<State>(std::move(source), rows, options)) {}

RowReader::~RowReader() = default;

const ImageHeader& RowReader::Header() const { return state_->header; }

std::span<const std::uint8_t> RowReader::Row(int y) {
  State& s = *state_;
  if (y < 0 || y >= s.header.height)
    throw std::out_of_range("row " + std::to_string(y) + " of a picture " +
                            std::to_string(s.header.height) + " rows high");
  if (y != s.rowY) {
    s.rowY = -1;  // until the row is complete
    const int r = s.header.height - 1 - y;
    if (!s.tables) {
      s.ReadVerbatim(r);
    } else if (s.header.channels == 1) {
      s.ReadRleGrey(r);
    } else {
      s.ReadRleChannels(r);
    }
    s.rowY = y;
  }
  return s.row;
}

}  // namespace lumenor
