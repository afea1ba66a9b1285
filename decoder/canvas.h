#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace lumenor {

// One pixel of a backing image in its native layout, 0xFFRRGGBB (Qt's QImage::Format_RGB32).
using Pixel = std::uint32_t;

// A pixel as the file stores it, before anything is laid over it: 0xAARRGGBB, the three colours
// alike in grey pictures.
using StoredPixel = std::uint32_t;

// A colour as the canvas operations exchange it: red in bits 0-7, green in 8-15, blue in 16-23.
using Colour = std::uint32_t;

constexpr Pixel MakePixel(unsigned red, unsigned green, unsigned blue) {
  return 0xFF000000u | red << 16 | green << 8 | blue;
}
constexpr Pixel GreyPixel(unsigned value) { return MakePixel(value, value, value); }
constexpr unsigned RedOf(Pixel p) { return (p >> 16) & 0xFFu; }
constexpr unsigned GreenOf(Pixel p) { return (p >> 8) & 0xFFu; }
constexpr unsigned BlueOf(Pixel p) { return p & 0xFFu; }

constexpr Colour MakeColour(unsigned red, unsigned green, unsigned blue) {
  return red | green << 8 | blue << 16;
}
constexpr Colour PixelToColour(Pixel p) { return MakeColour(RedOf(p), GreenOf(p), BlueOf(p)); }
constexpr Pixel ColourToPixel(Colour c) {
  return MakePixel(c & 0xFFu, (c >> 8) & 0xFFu, (c >> 16) & 0xFFu);
}

// What a load needs from the window that shows it: the picture's backing image, the window
// title, the error box and a pause at each progress point. The viewer implements it over its
// widgets; tests and tools implement it in memory.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Resizes the backing image (what overlaps is kept, the rest is background). Returns false,
  // leaving the canvas as it was, when the image cannot be allocated.
  virtual bool Resize(int width, int height) = 0;
  // Row y of the backing image, Width() pixels; valid until the next Resize.
  virtual Pixel* Scanline(int y) = 0;
  // Rows top..bottom become pixel throughout. A load uses it for rows that lie wholly past the end
  // of the file; a canvas that never holds the picture can take such rows without building them.
  virtual void FillRows(int top, int bottom, Pixel pixel) {
    for (int y = top; y <= bottom; ++y) std::fill_n(Scanline(y), Width(), pixel);
  }

  // Row y is to be painted exactly as row below was, over what row below held before it was
  // painted. A canvas whose rows all start alike can take it without the pixels and return true;
  // false has it painted. A canvas that keeps stored values and returns true repeats row below's
  // stored values in row y itself.
  virtual bool RepeatRow(int /*y*/, int /*below*/) { return false; }

  // Row y's stored values, Width() of them, where the canvas keeps them for pictures with alpha
  // (grey and alpha, or RGBA): what the file holds before anything is laid over anything, as
  // 0xAARRGGBB, the three colours alike in grey pictures and 16-bit values narrowed as the
  // screen shows them. Null for a canvas that keeps only the picture as laid over it (a load then
  // costs nothing more); a canvas keeps them for every row or for none. A load of a picture with
  // alpha sets them all to zeros (transparent) when it starts, so rows it never delivers, rows
  // past the end of the file and what lies past a short row's end are zeros; a load of any other
  // picture leaves them as they are. Valid until the next Resize.
  virtual StoredPixel* StoredScanline(int /*y*/) { return nullptr; }

  virtual void SetTitle(const std::string& utf8Title) = 0;
  // A modal box titled "Error" with the critical icon; lines are broken by CR LF.
  virtual void ShowError(const std::string& utf8Text) = 0;
  // Rows top..bottom changed since the last progress point: show them, then let waiting window
  // events run. Returns false when the program is ending and the load must be abandoned.
  virtual bool Progress(int top, int bottom) = 0;
};

}  // namespace lumenor
