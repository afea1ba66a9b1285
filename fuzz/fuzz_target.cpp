#include <cstddef>
#include <cstdint>

#include "byte_source.h"
#include "memory_canvas.h"
#include "module1.h"

// A size claim must not exhaust memory under the fuzzer: larger canvases are refused like any
// allocation that fails, and reported as such.
constexpr std::uint64_t kFuzzCanvasPixels = 2048ull * 2048ull;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lumenor::MemoryCanvas canvas(lumenor::kWorkspaceGrey, kFuzzCanvasPixels);
  lumenor::MemorySource source({data, size});
  lumenor::LoadImage(source, canvas);
  return 0;
}
