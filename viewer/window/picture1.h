#pragma once

#include <QImage>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "canvas.h"
#include "scale.h"
#include "scaling_thread.h"
#include "view_geometry.h"

// The canvas and the client area it moves in. It owns the backing image (the picture at its own
// size, one pixel per picture pixel) and shows it at the view's zoom and position, in device
// pixels: at 100 % one picture pixel is one screen pixel at any screen scale. Outside the canvas
// the client area shows the background colour. Pointer, key and wheel events are handled by Form1.
//
// At any zoom but 100 % it keeps the scaled picture for what the client area shows, and no more:
// a screen's worth. Repaints copy from it; panning scales only what comes into view; a load's
// progress rescales only the rows that changed.
class Picture1 : public QWidget {
  Q_OBJECT

 public:
  using Zoom = lumenor::Zoom;

  explicit Picture1(QWidget* parent);

  // The canvas, as panning sees it: position and size in device pixels of the client area.
  int Left() const { return view_.Left(); }
  int Top() const { return view_.Top(); }
  void SetLeft(int left) { Move(left, Top()); }
  void SetTop(int top) { Move(Left(), top); }
  void Move(int left, int top);
  int Width() const { return view_.Width(); }
  int Height() const { return view_.Height(); }
  QRect CanvasRect() const { return {Left(), Top(), Width(), Height()}; }
  // The client area in device pixels.
  int ScaleWidth() const { return view_.ScaleWidth(); }
  int ScaleHeight() const { return view_.ScaleHeight(); }
  // The view's arithmetic; after changing it, call ViewChanged().
  ViewGeometry& View() { return view_; }
  const ViewGeometry& View() const { return view_; }
  void ViewChanged();
  // A pointer position (in logical pixels of this widget) in device pixels of the client area.
  QPointF ToDevice(QPointF position) const;

  // Resizes the backing image, keeping what overlaps. Returns false, changing nothing, when the
  // image cannot be allocated.
  bool SetSize(int width, int height);
  int ImageWidth() const { return image_.width(); }
  int ImageHeight() const { return image_.height(); }

  void Clear();
  // A flipbook's frame: picture becomes the backing image as it is, without a copy; scaled, when
  // not null, is the picture at scaledZoom for scaledRect (canvas coordinates), taken when that
  // is the view's zoom. The view's picture size follows the frame's.
  void ShowFrame(const QImage& picture, const QImage& scaled, lumenor::Zoom scaledZoom,
                 const QRect& scaledRect);
  void Refresh();
  // A load's progress point: picture rows top..bottom changed, and the load goes on above them.
  // Shows them (and nothing else) at once; at a zoom, the rows scaled on the scaling thread
  // since the last progress point, while these are scaled for the next one.
  void RefreshRows(int top, int bottom);
  // Pixels outside the image are dropped; GetPixel answers 0xFFFFFFFF for them.
  void SetPixel(int x, int y, lumenor::Colour colour);
  lumenor::Colour GetPixel(int x, int y) const;
  void FillSpan(int x, int y, int count, lumenor::Colour colour);

  lumenor::Pixel* Scanline(int y);
  const QImage& Image() const { return image_; }
  QColor BackColor() const;

 signals:
  // The client area changed size (ScaleWidth() and ScaleHeight() hold the new one).
  void resized();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // A stretch of rows of the backing image; top > bottom when it holds none.
  struct Rows {
    int top = INT_MAX, bottom = INT_MIN;
    bool Empty() const { return top > bottom; }
    bool Meets(int first, int last) const { return first <= bottom && last >= top; }
    void Add(int first, int last) {
      top = std::min(top, first);
      bottom = std::max(bottom, last);
    }
  };

  // Takes the client area's size in device pixels afresh after a change of screen scale.
  void FollowScreen();
  // Device pixels of the client area <-> logical pixels of this widget.
  QRect ToDevice(const QRect& logical) const;
  QRect ToLogical(const QRect& device) const;
  // The canvas's visible part, in canvas coordinates.
  QRect VisibleCanvas() const;
  // The scaled picture for rect (canvas coordinates) in scaled_, reusing what it holds.
  void UpdateScaled(const QRect& rect);
  // What scaling a stretch of the scaled picture needs, fixed while a job runs.
  struct ScaleJob {
    lumenor::PictureScaler* scaler;
    const lumenor::Pixel* picture;
    std::size_t stride;
    lumenor::Pixel* scaled;  // where the scaled pixel at origin goes
    std::size_t scaledStride;
    QPoint origin;  // in canvas coordinates
    Rows written;
    lumenor::Pixel background;
  };
  ScaleJob Job();
  static void ScaleRows(const ScaleJob& job, const QRect& rect);
  // Scales rect of the scaled picture now, the lower half of a large one on the scaling thread.
  void ScaleInto(const QRect& rect);
  void ForgetScaled() {
    scaledRect_ = QRect();
    ++generation_;
  }
  // Brings the scaled picture up to date with the rows written since it last was: puts in place
  // what the scaling thread made and scales the rest here.
  void CatchUpScaled();
  // At a load's progress point: scaled rows made only of rows top and below, which the load has
  // done with, are scaled on the scaling thread while it goes on above them, into rows of their
  // own, and put in place and shown at a later progress point.
  void ScaleLoadedRowsAside(int top);
  // The scaling thread's scaler for the view's zoom (its sums are its own).
  lumenor::PictureScaler& AsideScaler();
  // Puts in place what the scaling thread has finished; returns where, in canvas coordinates.
  QRect TakeScaledAside();

  QImage image_;
  ViewGeometry view_;
  std::optional<lumenor::PictureScaler> scaler_;  // for the zoom and image size of the view
  QImage scaled_;                                 // the scaled picture for scaledRect_
  QRect scaledRect_;                              // in canvas coordinates; empty: nothing held
  // Rows written through Scanline since the image was all background (the rest still is, and
  // is scaled by filling), and since the scaled picture was last brought up to date.
  Rows written_, stale_;
  // What the scaling thread made: rows of the scaled picture as it was when they were asked for.
  struct ScaledAside {
    int generation;
    QRect rows;  // in canvas coordinates
    std::vector<lumenor::Pixel> pixels;
  };
  int generation_ = 0;  // counts the scaled pictures: a new zoom, picture or clear starts one
  std::shared_ptr<lumenor::PictureScaler> asideScaler_;  // the scaling thread's own
  std::mutex asideMutex_;
  std::vector<ScaledAside> scaledAside_;  // finished, not yet in place
  ScalingThread scaling_;                 // last: it stops before anything it works on goes
};
