#pragma once

#include <QImage>
#include <QWidget>

#include "canvas.h"
#include "scene.h"
#include "view_geometry.h"

// The canvas and the client area it moves in. It shows the scene (the picture, and while
// comparing the picture compared with it) at the view's zoom and position, in device pixels: at
// 100 % one picture pixel is one screen pixel at any screen scale. Outside the canvas the client
// area shows the background colour. Pointer, key and wheel events are handled by Form1.
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
  // The client area in device pixels: side by side, each half.
  int ScaleWidth() const { return view_.ScaleWidth(); }
  int ScaleHeight() const { return view_.ScaleHeight(); }
  // The view's arithmetic; after changing it, call ViewChanged().
  ViewGeometry& View() { return view_; }
  const ViewGeometry& View() const { return view_; }
  void ViewChanged();
  // A pointer position (in logical pixels of this widget) in device pixels of the client area.
  QPointF ToDevice(QPointF position) const;

  // Resizes the picture, keeping what overlaps. Returns false, changing nothing, when the
  // memory cannot be had.
  bool SetSize(int width, int height);
  // The picture as loaded.
  int ImageWidth() const { return Image().width(); }
  int ImageHeight() const { return Image().height(); }

  void Clear();
  // A flipbook's frame, made for look madeFor: picture is shown as it is, without a copy; scaled,
  // when not null, is the picture at scaledZoom for scaledRect (canvas coordinates). The view's
  // picture size follows the frame's; returns whether it changed.
  bool ShowFrame(const QImage& picture, const QImage& scaled, lumenor::Zoom scaledZoom,
                 const QRect& scaledRect, const lumenor::Look& madeFor = {});
  // A whole picture loaded aside, and its stored values when it has alpha; returns whether the
  // view's picture size changed.
  bool ShowPicture(const QImage& picture, const QImage& stored);
  void Refresh();
  // A load's progress point: picture rows top..bottom changed, and the load goes on above them.
  // Shows them (and nothing else) at once; at a zoom, the rows scaled on the scaling thread
  // since the last progress point, while these are scaled for the next one.
  void RefreshRows(int top, int bottom);
  // Pixels outside the image are dropped; GetPixel answers 0xFFFFFFFF for them.
  void SetPixel(int x, int y, lumenor::Colour colour);
  lumenor::Colour GetPixel(int x, int y) const;
  void FillSpan(int x, int y, int count, lumenor::Colour colour);

  lumenor::Pixel* Scanline(int y) { return scene_.A().Scanline(y); }
  lumenor::StoredPixel* StoredScanline(int y) { return scene_.A().StoredScanline(y); }
  const QImage& Image() const { return scene_.A().Picture(); }
  QColor BackColor() const;

  // How pictures are shown, and the comparison; the view's picture size follows the look.
  Scene& GetScene() { return scene_; }
  const Scene& GetScene() const { return scene_; }
  // Returns whether the view's picture size changed.
  bool SetLook(const lumenor::Look& look);
  // Returns whether the client area the view works in changed (side by side halves it).
  bool SetCompare(const lumenor::CompareView& compare);
  // After B changed: shown again.
  void BChanged() { update(); }

 signals:
  // The client area changed size (ScaleWidth() and ScaleHeight() hold the new one).
  void resized();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Takes the client area's size in device pixels afresh after a change of screen scale or mode.
  void FollowScreen();
  QSize DeviceClient() const;
  // The view's picture is the picture as shown; returns whether its size changed.
  bool FollowShownSize();
  // Device pixels of the client area <-> logical pixels of this widget.
  QRect ToDevice(const QRect& logical) const;
  QRect ToLogical(const QRect& device) const;

  ViewGeometry view_;
  Scene scene_;
};
