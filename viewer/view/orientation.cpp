#include "orientation.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenor {

// The view is a turn after a mirror: R^t M^m. A quarter turn more or less only changes t. A flip
// of what is shown comes after all that: Mh R^t M^m, and since mirroring reverses the way a turn
// goes (Mh R^t = R^-t Mh), that is R^-t M^(m+1). Top and bottom swapped is left and right swapped
// and then a half turn: R^2 Mh.
Orientation Orientation::RotatedRight() const { return {turns_ + 1, mirrored_}; }

Orientation Orientation::RotatedLeft() const { return {turns_ + 3, mirrored_}; }

Orientation Orientation::MirroredHorizontally() const { return {4 - turns_, !mirrored_}; }

Orientation Orientation::MirroredVertically() const { return {6 - turns_, !mirrored_}; }

Orientation::Size Orientation::Shown(Size picture) const {
  return SwapsAxes() ? Size{picture.height, picture.width} : picture;
}

Orientation::Point Orientation::PictureAt(Point shown, Size picture) const {
  const int right = picture.width - 1, bottom = picture.height - 1;
  Point p;
  switch (turns_) {
    case 0:
      p = shown;
      break;
    case 1:
      p = {shown.y, bottom - shown.x};
      break;
    case 2:
      p = {right - shown.x, bottom - shown.y};
      break;
    default:
      p = {right - shown.y, shown.x};
      break;
  }
  if (mirrored_) p.x = right - p.x;
  return p;
}

Orientation::Point Orientation::ShownAt(Point pictureAt, Size picture) const {
  const int right = picture.width - 1, bottom = picture.height - 1;
  const Point p = {mirrored_ ? right - pictureAt.x : pictureAt.x, pictureAt.y};
  switch (turns_) {
    case 0:
      return p;
    case 1:
      return {bottom - p.y, p.x};
    case 2:
      return {right - p.x, bottom - p.y};
    default:
      return {p.y, right - p.x};
  }
}

namespace {

// Picture rows top..bottom (band holds row top first), each to a row of out: the same row, or the
// row as far from the bottom (upsideDown), reversed or not.
void CopyRows(const Pixel* band, int width, int height, std::size_t stride, int top, int bottom,
              bool upsideDown, bool reversed, Pixel* out, std::size_t outStride) {
  const auto count = static_cast<std::size_t>(width);
  for (int y = top; y <= bottom; ++y) {
    const Pixel* __restrict from = band + static_cast<std::size_t>(y - top) * stride;
    Pixel* __restrict to =
        out + static_cast<std::size_t>(upsideDown ? height - 1 - y : y) * outStride;
    if (!reversed) {
      std::memcpy(to, from, count * sizeof(Pixel));
      continue;
    }
    std::size_t x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= count; x += 4) {
      const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + count - 4 - x),
                       _mm_shuffle_epi32(four, _MM_SHUFFLE(0, 1, 2, 3)));
    }
#endif
    for (; x < count; ++x) to[count - 1 - x] = from[x];
  }
}

// Turned a quarter or three quarters, each picture row becomes a column of out: picture pixel
// (x, y) goes to origin[x * xStep + y * yStep], xStep a whole row of out (up or down) and yStep
// a pixel (left or right). The picture is copied in square tiles of this many pixels a side, so
// that the tile's 64 picture rows and the 64 rows of out it is written to (16 KiB of each) stay
// in the nearest cache while the tile is done; 32 and 128 were slower on a 3840 x 2160 picture.
constexpr int kTile = 64;

// A block of 4 x 4 pixels from picture row y, column x on (band holds row top first): transposed
// in registers, each of its columns written as four pixels of a row of out at once.
#if defined(__SSE2__)
inline void TransposeBlock(const Pixel* band, std::size_t stride, int top, int x, int y,
                           Pixel* origin, std::ptrdiff_t xStep, std::ptrdiff_t yStep) {
  const Pixel* from = band + static_cast<std::size_t>(y - top) * stride + x;
  const auto row = [&](std::size_t k) {
    return _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k * stride)));
  };
  __m128 r0 = row(0), r1 = row(1), r2 = row(2), r3 = row(3);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  // Column k of the block (picture column x + k) is now register k, picture rows y to y + 3.
  // Written the way out runs: rows of the picture going left in out come in reverse.
  const bool reverse = yStep < 0;
  Pixel* const at = origin + x * xStep + (reverse ? y + 3 : y) * yStep;
  const __m128 columns[4] = {r0, r1, r2, r3};
  for (int k = 0; k < 4; ++k) {
    __m128i column = _mm_castps_si128(columns[k]);
    if (reverse) column = _mm_shuffle_epi32(column, _MM_SHUFFLE(0, 1, 2, 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + k * xStep), column);
  }
}
#endif

void CopyTurned(const Pixel* band, int width, std::size_t stride, int top, int bottom,
                Pixel* origin, std::ptrdiff_t xStep, std::ptrdiff_t yStep) {
  for (int tileTop = top; tileTop <= bottom; tileTop += kTile) {
    const int tileEnd = std::min(tileTop + kTile, bottom + 1);
    for (int tileLeft = 0; tileLeft < width; tileLeft += kTile) {
      const int tileRight = std::min(tileLeft + kTile, width);
      int blocksEnd = tileLeft, rowsEnd = tileTop;  // blocks of 4 x 4 up to here
#if defined(__SSE2__)
      blocksEnd = tileLeft + (tileRight - tileLeft) / 4 * 4;
      rowsEnd = tileTop + (tileEnd - tileTop) / 4 * 4;
      for (int x = tileLeft; x < blocksEnd; x += 4)
        for (int y = tileTop; y < rowsEnd; y += 4)
          TransposeBlock(band, stride, top, x, y, origin, xStep, yStep);
#endif
      // What the blocks leave: the columns to the tile's right, then the rows below the blocks.
      const auto each = [&](int left, int right, int from, int to) {
        for (int x = left; x < right; ++x)
          for (int y = from; y < to; ++y)
            origin[x * xStep + y * yStep] = band[static_cast<std::size_t>(y - top) * stride + x];
      };
      each(blocksEnd, tileRight, tileTop, tileEnd);
      each(tileLeft, blocksEnd, rowsEnd, tileEnd);
    }
  }
}

}  // namespace

void OrientRows(const Pixel* picture, int width, int height, std::size_t stride,
                Orientation orientation, int top, int bottom, Pixel* out, std::size_t outStride) {
  OrientBand(picture + static_cast<std::size_t>(top) * stride, width, height, stride, orientation,
             top, bottom, out, outStride);
}

void OrientBand(const Pixel* band, int width, int height, std::size_t stride,
                Orientation orientation, int top, int bottom, Pixel* out, std::size_t outStride) {
  assert(0 <= top && bottom < height);
  if (width <= 0 || top > bottom) return;
  // Mirrored, a picture row runs the other way; turned half round or three quarters, it runs the
  // other way again (and turned half round, the rows are upside down).
  const int turns = orientation.Turns();
  const bool backwards = orientation.Mirrored() != (turns >= 2);
  if (!orientation.SwapsAxes())
    return CopyRows(band, width, height, stride, top, bottom, turns == 2, backwards, out,
                    outStride);
  // Picture row y becomes column height - 1 - y of out turned a quarter clockwise, column y turned
  // three quarters; its pixels run down the column, or up it where the row runs backwards.
  const auto rows = static_cast<std::ptrdiff_t>(outStride);
  const std::ptrdiff_t xStep = backwards ? -rows : rows;
  const std::ptrdiff_t yStep = turns == 1 ? -1 : 1;
  Pixel* origin = out;
  if (backwards) origin += (width - 1) * rows;
  if (turns == 1) origin += height - 1;
  CopyTurned(band, width, stride, top, bottom, origin, xStep, yStep);
}

}  // namespace lumenor
