#include "png_writer.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <exception>
#include <new>
#include <utility>

#include "load_failure.h"
#include "save_file.h"
#include "stored_image.h"

namespace lumenor {

// libpng reports errors by longjmp to the setjmp of the call that failed: every call into it
// goes through one of the small functions below, which hold nothing that needs destroying.
struct PngWriter::State {
  Sink sink;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::string error;
  bool finished = false;

  static void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<State*>(png_get_error_ptr(png));
    if (state->error.empty()) state->error = message;
    png_longjmp(png, 1);
  }
  static void OnWarning(png_structp /*png*/, png_const_charp /*message*/) {}
  static void OnWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<State*>(png_get_io_ptr(png));
    // No exception may cross libpng's C frames: a sink that throws (out of memory) fails here.
    bool taken = false;
    try {
      taken = state->sink(std::span<const std::uint8_t>(data, length));
    } catch (const std::bad_alloc&) {
      if (state->error.empty()) state->error = "not enough memory for the encoded picture";
    } catch (const std::exception& e) {
      if (state->error.empty()) state->error = e.what();
    }
    if (!taken) {
      if (state->error.empty()) state->error = "the output stopped taking bytes";
      png_longjmp(png, 1);
    }
  }
  static void OnFlush(png_structp /*png*/) {}
};

namespace {

int ColourType(unsigned channels) {
  switch (channels) {
    case 1:
      return PNG_COLOR_TYPE_GRAY;
    case 2:
      return PNG_COLOR_TYPE_GRAY_ALPHA;
    case 3:
      return PNG_COLOR_TYPE_RGB;
    default:
      return PNG_COLOR_TYPE_RGB_ALPHA;
  }
}

int FilterMask(PngFilter filter) {
  switch (filter) {
    case PngFilter::kNone:
      return PNG_FILTER_NONE;
    case PngFilter::kSub:
      return PNG_FILTER_SUB;
    case PngFilter::kUp:
      return PNG_FILTER_UP;
    case PngFilter::kAverage:
      return PNG_FILTER_AVG;
    case PngFilter::kPaeth:
      return PNG_FILTER_PAETH;
  }
  return PNG_FILTER_NONE;
}

int ZlibStrategy(PngStrategy strategy) {
  switch (strategy) {
    case PngStrategy::kDefault:
      return Z_DEFAULT_STRATEGY;
    case PngStrategy::kFiltered:
      return Z_FILTERED;
    case PngStrategy::kRunLength:
      return Z_RLE;
    case PngStrategy::kHuffmanOnly:
      return Z_HUFFMAN_ONLY;
  }
  return Z_DEFAULT_STRATEGY;
}

// The deflate output is cut into IDAT chunks of this size: fewer, larger writes.
constexpr png_size_t kChunkSize = std::size_t{1} << 17;

bool Start(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height,
           unsigned channels, int bitDepth, png_textp title, const PngSettings& settings) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, width, height, bitDepth, ColourType(channels), PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (title != nullptr) png_set_text(png, info, title, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, FilterMask(settings.filter));
  png_set_compression_level(png, settings.zlibLevel);
  png_set_compression_strategy(png, ZlibStrategy(settings.strategy));
  png_set_compression_buffer_size(png, kChunkSize);
  png_write_info(png, info);
  return true;
}

bool Row(png_structp png, const std::uint8_t* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_row(png, row);
  return true;
}

bool End(png_structp png) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

std::string PngTitleText(std::span<const std::uint8_t> latin1Name) {
  std::string text;
  for (const std::uint8_t c : latin1Name) {
    if (c == 0) break;
    const bool control = (c < 0x20 && c != '\n') || (c >= 0x7F && c <= 0x9F);
    text += control ? ' ' : static_cast<char>(c);
  }
  return text;
}

PngWriter::PngWriter(Sink sink, int width, int height, unsigned channels,
                     std::span<const std::uint8_t> title, const PngSettings& settings, int bitDepth)
    : state_(std::make_unique<State>()) {
  state_->sink = std::move(sink);
  if (bitDepth != 8 && bitDepth != 16) {
    state_->error = "a PNG here has 8 or 16 bits a channel, not " + std::to_string(bitDepth);
    return;
  }
  if (width < 1 || height < 1 || channels < 1 || channels > 4) {
    state_->error = "a PNG needs 1 to 4 channels and at least one pixel (" + std::to_string(width) +
                    " x " + std::to_string(height) + ", " + std::to_string(channels) + " channels)";
    return;
  }
  state_->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state_.get(), State::OnError,
                                        State::OnWarning);
  if (state_->png != nullptr) state_->info = png_create_info_struct(state_->png);
  if (state_->info == nullptr) {
    state_->error = "not enough memory to write a PNG";
    return;
  }
  png_set_write_fn(state_->png, state_.get(), State::OnWrite, State::OnFlush);

  std::string text = PngTitleText(title);
  char key[] = "Title";
  png_text entry{};
  entry.compression = PNG_TEXT_COMPRESSION_NONE;
  entry.key = key;
  entry.text = text.data();
  entry.text_length = text.size();
  if (!Start(state_->png, state_->info, static_cast<png_uint_32>(width),
             static_cast<png_uint_32>(height), channels, bitDepth, text.empty() ? nullptr : &entry,
             settings) &&
      state_->error.empty())
    state_->error = "the PNG could not be started";
}

PngWriter::~PngWriter() {
  if (state_->png != nullptr) png_destroy_write_struct(&state_->png, &state_->info);
}

bool PngWriter::Ok() const { return state_->error.empty(); }

const std::string& PngWriter::Error() const { return state_->error; }

bool PngWriter::WriteRow(const std::uint8_t* row) {
  return Ok() && !state_->finished && Row(state_->png, row);
}

bool PngWriter::Finish() {
  if (!Ok() || state_->finished) return false;
  state_->finished = true;
  return End(state_->png);
}

std::string EncodeStoredImagePng(const StoredImage& image, PngWriter::Sink sink,
                                 const PngSettings& settings) {
  PngWriter writer(std::move(sink), image.width, image.height, image.channels, image.header.name,
                   settings, 8 * static_cast<int>(image.bytesPerChannel));
  for (int y = 0; y < image.height && writer.Ok(); ++y) writer.WriteRow(image.Row(y));
  return writer.Finish() ? std::string() : writer.Error();
}

std::string EncodeFilePng(const std::string& fileName, PngWriter::Sink sink,
                          const PngSettings& settings, const DecodeOptions& options) {
  try {
    // Top row first, each right after the one above it: the order a row reader is quickest in.
    RowReader reader(std::make_unique<FileSource>(fileName), RowReader::Rows::kCheckInOrder,
                     options);
    const ImageHeader& header = reader.Header();
    PngWriter writer(std::move(sink), header.width, header.height, header.channels, header.name,
                     settings, 8 * static_cast<int>(header.bytesPerChannel));
    for (int y = 0; y < header.height && writer.Ok(); ++y) writer.WriteRow(reader.Row(y).data());
    return writer.Finish() ? std::string() : writer.Error();
  } catch (const LoadFailure& e) {
    return e.what();
  }
}

namespace {

bool WriteAndCommit(SaveFile& file, const std::function<std::string(PngWriter::Sink)>& encode) {
  if (!file.Ok()) return false;
  const std::string error =
      encode([&file](std::span<const std::uint8_t> bytes) { return file.Write(bytes); });
  if (!error.empty()) {
    // The file's own failure says more than the writer's (which only saw the output stop).
    file.Abandon("cannot be written: " + error);
    return false;
  }
  return file.Commit();
}

}  // namespace

bool WriteStoredImagePng(const StoredImage& image, SaveFile& file, const PngSettings& settings) {
  return WriteAndCommit(
      file, [&](PngWriter::Sink sink) { return EncodeStoredImagePng(image, sink, settings); });
}

bool WriteFilePng(const std::string& fileName, SaveFile& file, const PngSettings& settings,
                  const DecodeOptions& options) {
  return WriteAndCommit(
      file, [&](PngWriter::Sink sink) { return EncodeFilePng(fileName, sink, settings, options); });
}

}  // namespace lumenor
