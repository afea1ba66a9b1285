#pragma once

#include <cstddef>

#include "canvas.h"

namespace lumenor {

// How a picture lies on screen: one of the eight ways a rectangle can be turned and mirrored.
// The picture is first mirrored left to right or not, then turned clockwise by Turns() quarter
// turns. The view's items compose with what stands: Rotate Right turns the view as it is shown a
// quarter turn clockwise, Mirror Horizontally flips it left to right as it is shown, and so on.
// Only the view turns: the picture and its coordinates stay as stored.
class Orientation {
 public:
  struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
  };
  struct Size {
    int width = 0, height = 0;
    bool operator==(const Size&) const = default;
  };

  Orientation() = default;

  Orientation RotatedRight() const;          // a quarter turn clockwise, as shown
  Orientation RotatedLeft() const;           // a quarter turn anticlockwise, as shown
  Orientation MirroredHorizontally() const;  // left and right swapped, as shown
  Orientation MirroredVertically() const;    // top and bottom swapped, as shown

  int Turns() const { return turns_; }  // 0 to 3
  bool Mirrored() const { return mirrored_; }
  bool IsIdentity() const { return turns_ == 0 && !mirrored_; }
  // Turned a quarter or three quarters: width and height change places.
  bool SwapsAxes() const { return turns_ % 2 == 1; }
  // Whether the picture's rows stay the view's rows, each in the same order top to bottom (so
  // that a load's rows, done from the bottom up, stay whole rows done from the bottom up).
  bool KeepsRows() const { return turns_ == 0; }
  bool operator==(const Orientation&) const = default;

  // The size shown of a picture width x height.
  Size Shown(Size picture) const;
  // The picture pixel that shown pixel p shows, for a picture of the given size (p within the
  // shown size).
  Point PictureAt(Point shown, Size picture) const;
  // Where picture pixel p is shown.
  Point ShownAt(Point pictureAt, Size picture) const;

 private:
  Orientation(int turns, bool mirrored) : turns_(turns & 3), mirrored_(mirrored) {}
  int turns_ = 0;
  bool mirrored_ = false;
};

// Copies picture rows top..bottom (of a picture width x height whose rows lie stride pixels
// apart) to where they are shown in out (the picture as shown, its rows outStride pixels apart).
// Turned pictures are copied in tiles, so that reading and writing both stay in the cache.
void OrientRows(const Pixel* picture, int width, int height, std::size_t stride,
                Orientation orientation, int top, int bottom, Pixel* out, std::size_t outStride);
// The same from a band that holds only picture rows top..bottom, row top first.
void OrientBand(const Pixel* band, int width, int height, std::size_t stride,
                Orientation orientation, int top, int bottom, Pixel* out, std::size_t outStride);

}  // namespace lumenor
