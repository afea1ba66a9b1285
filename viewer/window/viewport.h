#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <optional>

#include "scale.h"

class Picture1;
class QAction;
class QWheelEvent;

// The view's commands: zoom along the ladder, Fit to Window as a mode, and moving the canvas by
// the keys and the wheel within the clamps the drag uses. Positions are device pixels of the
// client area. The Fit item's check mark is the mode.
class Viewport : public QObject {
  Q_OBJECT

 public:
  Viewport(Picture1& canvas, QAction& fitItem, QObject* parent = nullptr);

  lumenor::Zoom Zoom() const;
  bool FitMode() const;

  void ZoomIn();
  void ZoomOut();
  void ActualSize();
  // Ctrl+wheel: a step of the ladder a notch, about the pointer.
  void WheelZoom(int angleDelta, QPointF devicePoint);
  // Zooms keeping the picture point under devicePoint where it is.
  void ZoomAbout(lumenor::Zoom zoom, QPointF devicePoint);
  void FitToWindow();

  // A drag's step, or a key's or the wheel's: the canvas moves within the clamps.
  void PanBy(double dx, int dy);
  // The arrows, Page Up and Down, Home and End; false for other keys.
  bool PanByKey(int key);
  void PanByWheel(const QWheelEvent& event);

  // After the client area changed size: fitted again, or pulled back into view.
  void Resized();
  // After a load or a frame gave the canvas a new size, the same.
  void CanvasSized();


 signals:
  void zoomed();
  void panned();

 private:
  // A step of Zoom In or Zoom Out, by the menu or the wheel: it leaves Fit to Window, unless
  // there is no step to take (past either end of the ladder), when nothing changes at all.
  void StepZoom(lumenor::Zoom zoom, QPointF devicePoint);
  QPointF ClientCentre() const;
  void PullBack();

  Picture1& canvas_;
  QAction& fitItem_;
  int wheelZoomAngle_ = 0;  // Ctrl+wheel turns not yet worth a zoom step, in eighths of a degree
};
