#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "canvas.h"
#include "scale.h"
#include "scaling_thread.h"
#include "view_look.h"

// One picture as the view shows it. A load writes the picture row by row as it is laid over the
// background, and a picture with alpha keeps its stored values beside it; the look (a channel,
// the checkerboard, a turn or a mirror) makes the picture shown from them, and only when there
// is something to make: otherwise the picture shown is the picture itself. At any zoom but
// 100 % the layer keeps the shown picture scaled for what the client area shows of it, and no
// more: a screen's worth. Panning scales only what comes into view; a load's progress rescales
// only what changed.
//
// Coordinates: picture rows are the picture's own; the shown picture is the picture as turned;
// canvas coordinates are the shown picture's at the zoom.
class PictureLayer {
 public:
  using Zoom = lumenor::Zoom;

  PictureLayer() = default;

  // What lies under a picture and fills what has not been loaded.
  void SetBackground(lumenor::Pixel background) { background_ = background; }

  // Resizes the picture, keeping what overlaps. Returns false, changing nothing, when the memory
  // cannot be had.
  bool SetSize(int width, int height);
  // All background, at the size it has.
  void Clear();
  // A whole picture as loaded (shared, not copied) and, for a picture with alpha, its stored
  // values (Format_ARGB32; null for none).
  void SetPicture(const QImage& picture, const QImage& stored);
  // A frame made ahead for look madeFor: shown is the picture as that look shows it, scaled (when
  // not null) that at scaledZoom for scaledRect. When madeFor is not the look as it stands the
  // frame is shown all the same, until the next.
  void SetShown(const QImage& shown, const QImage& scaled, Zoom scaledZoom, const QRect& scaledRect,
                const lumenor::Look& madeFor);

  // A load's rows. Stored values are kept only for a picture with alpha, and only when the look
  // at the start of the load shows them (a channel, the checkerboard): otherwise StoredScanline
  // gives none, and the picture takes no more memory than its pixels.
  lumenor::Pixel* Scanline(int y);
  lumenor::StoredPixel* StoredScanline(int y);
  const QImage& Picture() const { return picture_; }
  bool HasStored() const { return !stored_.isNull(); }
  // The stored values of the picture held, loaded apart from it (Format_ARGB32, its size).
  void SetStored(const QImage& stored);

  void SetLook(const lumenor::Look& look);
  const lumenor::Look& GetLook() const { return look_; }
  // The picture is shown as the look stands (a frame made for another one may not be yet).
  bool ShowsLook() const { return shownFor_ == look_; }
  // The picture as shown, and its size.
  const QImage& Shown() const { return shownOwn_ ? shown_ : picture_; }
  QSize ShownSize() const { return Shown().size(); }
  // Shown pixels carry alpha, premultiplied: they are laid over the checkerboard when painted.
  bool Translucent() const { return look_.Translucent(HasStored()) && shownOwn_; }

  // The scaled picture for rect (canvas coordinates) at zoom, reusing what is held. Not at 100 %.
  void UpdateScaled(const QRect& rect, Zoom zoom);
  const QImage& Scaled() const { return scaled_; }
  QRect ScaledRect() const { return scaledRect_; }

  // Brings the shown picture and what is scaled of it up to date with the rows written since they
  // last were; returns what changed on the canvas (canvas coordinates, at zoom; the shown picture
  // at 100 %).
  QRect CatchUp(Zoom zoom);
  // A load's progress point: rows top..bottom were written, and the load goes on above them.
  // Brings the shown picture up to date and returns what is ready to show: at 100 % the rows
  // shown; at a zoom, what the scaling thread finished since the last point, while rows made
  // only of rows from top down are scaled on it now. Returns an empty optional when everything
  // is to be painted again.
  std::optional<QRect> LoadProgress(int top, int bottom, Zoom zoom);

  // What changed in the shown picture since this was last asked (shown coordinates).
  QRect TakeShownChanges() { return std::exchange(shownChanges_, QRect()); }

  // Stops the scaling thread's work before the layer changes underneath it.
  void WaitForScaling() { scaling_.Wait(); }

 private:
  // A stretch of rows of an image; top > bottom when it holds none.
  struct Rows {
    int top = INT_MAX, bottom = INT_MIN;
    bool Empty() const { return top > bottom; }
    bool Meets(int first, int last) const { return first <= bottom && last >= top; }
    void Add(int first, int last) {
      top = std::min(top, first);
      bottom = std::max(bottom, last);
    }
  };
  // What scaling a stretch of the scaled picture needs, fixed while a job runs.
  struct ScaleJob {
    lumenor::PictureScaler* scaler;
    const lumenor::Pixel* picture;
    std::size_t stride;
    lumenor::Pixel* scaled;  // where the scaled pixel at origin goes
    std::size_t scaledStride;
    QPoint origin;  // in canvas coordinates
    Rows written;   // rows of the shown picture
    lumenor::Pixel empty;
  };
  // What the scaling thread made: rows of the scaled picture as it was when they were asked for.
  struct ScaledAside {
    int generation;
    QRect rows;  // in canvas coordinates
    std::vector<lumenor::Pixel> pixels;
  };

  // Makes the shown picture afresh for the look, or lets the picture be shown as it is.
  void Restyle();
  // Makes picture rows top..bottom of the shown picture; returns where they are shown.
  QRect ShowRows(int top, int bottom);
  // The same into the shown picture's pixels at out, with a shower of its own.
  QRect ShowRows(int top, int bottom, lumenor::RowShower& shower, lumenor::Pixel* out);
  // The same for many rows at once, on two cores where the picture is large.
  void ShowAllRows(int top, int bottom);
  // Rows written since the last CatchUp or progress point, as shown.
  QRect ShowPending();
  // What unwritten rows hold in the shown picture.
  lumenor::Pixel Empty() const { return Translucent() ? 0u : background_; }
  Rows ShownWritten() const;
  void ForgetScaled() {
    scaledRect_ = QRect();
    ++generation_;
  }
  void MakeScaler(Zoom zoom);
  ScaleJob Job();
  static void ScaleRows(const ScaleJob& job, const QRect& rect);
  // Scales rect of the scaled picture now, the lower half of a large one on the scaling thread.
  void ScaleInto(const QRect& rect);
  // The canvas rect that rect of the shown picture covers at the scaler's zoom.
  QRect ScaledCover(const QRect& shown) const;
  void ScaleLoadedRowsAside(int top);
  lumenor::PictureScaler& AsideScaler();
  QRect TakeScaledAside();

  lumenor::Pixel background_ = lumenor::MakePixel(0, 0, 0);
  QImage picture_;  // as loaded, Format_RGB32
  QImage stored_;   // a picture with alpha: its stored values, Format_ARGB32
  bool keepStored_ = false;  // for the load under way
  lumenor::Look look_;
  lumenor::Look shownFor_;  // the look shown_ was made for
  QImage shown_;            // made from the picture for the look, when shownOwn_
  bool shownOwn_ = false;
  lumenor::RowShower shower_, secondShower_;
  // Picture rows written since the picture was all background, and since they were last shown.
  Rows written_, pending_;
  QRect stale_;  // of the shown picture: scaled, it is out of date
  QRect shownChanges_;

  std::optional<lumenor::PictureScaler> scaler_;  // for the zoom and shown size
  QImage scaled_;                                 // the scaled picture for scaledRect_
  QRect scaledRect_;                              // in canvas coordinates; empty: nothing held
  int generation_ = 0;  // counts the scaled pictures: a new zoom, picture or clear starts one
  std::shared_ptr<lumenor::PictureScaler> asideScaler_;  // the scaling thread's own
  std::mutex asideMutex_;
  std::vector<ScaledAside> scaledAside_;  // finished, not yet in place
  ScalingThread scaling_;                 // last: it stops before anything it works on goes
};
