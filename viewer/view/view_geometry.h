#pragma once

#include <cstdint>

#include "scale.h"

// Where the picture lies in the window, and the arithmetic of moving and zooming it. Everything
// is in device pixels, the screen's own: the client area is ScaleWidth() x ScaleHeight() of them
// and the canvas, the picture at its zoom, Width() x Height() of them with its top-left corner at
// (Left(), Top()). At 100 % one picture pixel covers one device pixel on every screen. The
// pointer, keyboard, wheel and resize handlers all move the canvas through here, so the clamps
// live in one place.
class ViewGeometry {
 public:
  using Zoom = lumenor::Zoom;

  // The zoom ladder, from 1/32 to 32: the steps of Zoom In and Zoom Out. Above 100 % every step
  // is a whole number, so picture pixels stay equal squares. A zoom off the ladder steps to the
  // nearest rung in the direction asked; past either end the zoom stays as it is.
  static Zoom NextZoomIn(Zoom zoom);
  static Zoom NextZoomOut(Zoom zoom);
  static constexpr Zoom kActualSize{1, 1};

  void SetPictureSize(int width, int height);
  void SetClientSize(int width, int height);
  int PictureWidth() const { return pictureWidth_; }
  int PictureHeight() const { return pictureHeight_; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  void SetLeft(int left) { left_ = left; }
  void SetTop(int top) { top_ = top; }
  int Width() const;
  int Height() const;
  int ScaleWidth() const { return clientWidth_; }
  int ScaleHeight() const { return clientHeight_; }

  Zoom GetZoom() const { return zoom_; }
  // Zooms, keeping the picture point under the client-area point (x, y) where it is, as far as
  // Confine() lets it.
  void ZoomAbout(Zoom zoom, double x, double y);
  // The zoom that shows the whole picture in the client area; a picture that fits already is
  // not enlarged.
  Zoom FitZoom() const;

  // One step of a drag (dx may hold a fraction, dy is whole): the canvas follows, held so that no
  // gap opens between it and the client area's edges on a side where it is larger than the
  // client area. Keyboard and wheel panning take the same steps.
  void PanBy(double dx, int dy);
  // After a resize of the window: a canvas panned left or up is pulled back so that no gap opens
  // on its right or bottom.
  void PullBack();
  // After a zoom: the canvas against the edges where it is larger than the client area, at the
  // left or top where it is not (in the middle, when centred).
  void Confine();

  // At Fit to Window, a canvas narrower or shorter than the client area lies in its middle that
  // way, and the moves above keep it there. Off, it lies at the left or top.
  void SetCentred(bool centred) { centred_ = centred; }
  bool Centred() const { return centred_; }

 private:
  int pictureWidth_ = 0, pictureHeight_ = 0;
  int clientWidth_ = 0, clientHeight_ = 0;
  int left_ = 0, top_ = 0;
  double exactLeft_ = 0, exactTop_ = 0;  // where the last zoom put the canvas, before rounding
  Zoom zoom_ = kActualSize;
  bool centred_ = false;

  // Centred, a canvas smaller than the client area either way goes to its middle.
  void Settle();
};
