#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "byte_source.h"
#include "load_outcome.h"
#include "memory_canvas.h"
#include "module1.h"
#include "stored_image.h"

// A size claim must not exhaust memory under the fuzzer: larger canvases are refused like any
// allocation that fails, and reported as such.
constexpr std::uint64_t kFuzzCanvasPixels = 2048ull * 2048ull;
constexpr std::uint64_t kFuzzStoredValues = kFuzzCanvasPixels;

namespace {

// Rows read again on their own must be the whole decode's rows; anything else is our bug.
void CheckRowReader(const std::uint8_t* data, std::size_t size, const lumenor::StoredImage& image,
                    lumenor::RowReader::Rows mode, const lumenor::DecodeOptions& options) {
  // A file with stored values has a header the row reader takes: a throw here is a crash.
  lumenor::RowReader reader(
      std::make_unique<lumenor::MemorySource>(std::span<const std::uint8_t>{data, size}), mode,
      options);
  const std::size_t rowBytes =
      static_cast<std::size_t>(image.width) * image.channels * image.bytesPerChannel;
  // Top first: a checking reader checks every row below on the way, then reads the others
  // alone. Large pictures, and the reader that walks down row by row, are sampled, so that one
  // input stays quick.
  const bool everyRow =
      image.values.size() <= (1u << 20) && mode == lumenor::RowReader::Rows::kCheckInOrder;
  const int step = everyRow ? 1 : std::max(1, image.height / 16);
  for (int y = 0; y < image.height; y += step) {
    const auto row = reader.Row(y);
    if (row.size() != rowBytes || !std::equal(row.begin(), row.end(), image.Row(y))) std::abort();
  }
}

// One load of the bytes, with options: the canvas, the stored values, the load checked without
// its picture and the rows read again must agree.
void CheckLoads(const std::uint8_t* data, std::size_t size, const lumenor::DecodeOptions& options) {
  lumenor::MemoryCanvas canvas(lumenor::kWorkspaceGrey, kFuzzCanvasPixels);
  lumenor::MemorySource source({data, size});
  lumenor::LoadImage(source, canvas, options);

  const auto image = lumenor::LoadStoredImage(source, kFuzzStoredValues, options);
  // The same paths, so the same words. Stored values that fit mean a canvas that fits.
  if (canvas.Messages() != image.messages && !image.values.empty()) std::abort();
  if (image.values.empty()) return;
  if (lumenor::CheckLoad(source, options).messages != image.messages) std::abort();
  CheckRowReader(data, size, image, lumenor::RowReader::Rows::kCheckInOrder, options);
  if (image.messages.empty())
    CheckRowReader(data, size, image, lumenor::RowReader::Rows::kLoadedWithoutError, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckLoads(data, size, {});
  // Pictures of 16 bits take paths of their own; 8-bit files load alike either way.
  if (size > 3 && data[3] == 2) CheckLoads(data, size, {.sixteenBit = true});
  return 0;
}
