#pragma once

#include <QImage>
#include <QRect>
#include <optional>
#include <vector>

#include "compare_view.h"
#include "picture_layer.h"
#include "view_geometry.h"

class QPainter;

// What the client area shows: picture A as the window loads, walks and plays it and, while
// comparing, picture B and the difference of the two, composed by the compare mode. All of them
// lie on A's canvas, pixel for pixel: the same zoom, the same scaler, their top-left corners
// together; B of another size is cut to A's canvas and leaves background where it does not reach.
class Scene {
 public:
  Scene();

  void SetBackground(lumenor::Pixel background);
  lumenor::Pixel Background() const { return background_; }

  PictureLayer& A() { return a_; }
  const PictureLayer& A() const { return a_; }
  PictureLayer& B() { return b_; }
  const PictureLayer& B() const { return b_; }

  // The look of both pictures.
  void SetLook(const lumenor::Look& look);
  const lumenor::Look& GetLook() const { return a_.GetLook(); }
  void SetCompare(const lumenor::CompareView& compare);
  const lumenor::CompareView& Compare() const { return compare_; }

  // A load's progress point in A: rows top..bottom were written. What is ready to show on A's
  // canvas (canvas coordinates), or an empty optional for everything.
  std::optional<QRect> LoadProgress(int top, int bottom, lumenor::Zoom zoom);
  // Brings what is shown up to date with what was written; returns what changed on the canvas.
  QRect CatchUp(lumenor::Zoom zoom);

  // Paints the client area's part exposed (device pixels) for the view as it stands.
  void Paint(QPainter& painter, const QRect& exposed, const ViewGeometry& view);

  // The difference as shown: |A - B| of each colour, of the pixels as shown over the background,
  // times the gain; A's own where B does not reach. Made up to date first.
  const QImage& Difference();
  // |A - B| of each colour at a pixel of the pictures as shown over the background (without the
  // gain); A's own where B does not reach. Nothing off A.
  std::optional<lumenor::Pixel> DifferenceAt(QPoint shown) const;

 private:
  // Paints layer's part of clip, with the client area's half (or whole) starting at originX.
  void PaintLayer(PictureLayer& layer, QPainter& painter, const QRect& clip, int originX,
                  const ViewGeometry& view);
  // Brings rows top..bottom of the difference up to date with what changed in A and B.
  void UpdateDifference(int top, int bottom);
  // A layer's shown pixel as it lies over the background.
  lumenor::Pixel Opaque(const PictureLayer& layer, QPoint shown) const;
  // Row y of a layer's shown picture as it lies over the background.
  const lumenor::Pixel* OpaqueRow(const PictureLayer& layer, int y, std::vector<lumenor::Pixel>& row) const;

  lumenor::Pixel background_;
  PictureLayer a_, b_, difference_;
  lumenor::CompareView compare_;
  bool differenceAll_ = true;  // made afresh when next shown
  std::vector<bool> made_;     // the difference's rows made since
  QImage checker_;             // one period of the checkerboard
  std::vector<lumenor::Pixel> rowA_, rowB_;
};
