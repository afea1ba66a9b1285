#include "viewport.h"

#include <QAction>
#include <QApplication>
#include <QWheelEvent>
#include <cmath>

#include "picture1.h"
#include "view_geometry.h"

namespace {

// Keyboard and wheel panning, in logical pixels (so the same distance on every screen).
constexpr double kArrowStep = 32;
constexpr double kWheelStep = 20;  // for each of the lines the desktop scrolls a wheel notch by
constexpr double kPageShare = 0.9;
constexpr int kWheelNotch = 120;  // eighths of a degree

}  // namespace

Viewport::Viewport(Picture1& canvas, QAction& fitItem, QObject* parent)
    : QObject(parent), canvas_(canvas), fitItem_(fitItem) {}

lumenor::Zoom Viewport::Zoom() const { return canvas_.View().GetZoom(); }
bool Viewport::FitMode() const { return fitItem_.isChecked(); }

void Viewport::ZoomAbout(lumenor::Zoom zoom, QPointF devicePoint) {
  canvas_.View().ZoomAbout(zoom, devicePoint.x(), devicePoint.y());
  canvas_.ViewChanged();
  emit zoomed();
}

void Viewport::StepZoom(lumenor::Zoom zoom, QPointF devicePoint) {
  if (zoom == Zoom()) return;
  fitItem_.setChecked(false);
  canvas_.View().SetCentred(false);
  ZoomAbout(zoom, devicePoint);
}

QPointF Viewport::ClientCentre() const {
  return {canvas_.ScaleWidth() / 2.0, canvas_.ScaleHeight() / 2.0};
}

void Viewport::ZoomIn() { StepZoom(ViewGeometry::NextZoomIn(Zoom()), ClientCentre()); }
void Viewport::ZoomOut() { StepZoom(ViewGeometry::NextZoomOut(Zoom()), ClientCentre()); }

void Viewport::ActualSize() {
  fitItem_.setChecked(false);
  canvas_.View().SetCentred(false);
  ZoomAbout(ViewGeometry::kActualSize, ClientCentre());
}

void Viewport::WheelZoom(int angleDelta, QPointF devicePoint) {
  wheelZoomAngle_ += angleDelta;
  for (; wheelZoomAngle_ >= kWheelNotch; wheelZoomAngle_ -= kWheelNotch)
    StepZoom(ViewGeometry::NextZoomIn(Zoom()), devicePoint);
  for (; wheelZoomAngle_ <= -kWheelNotch; wheelZoomAngle_ += kWheelNotch)
    StepZoom(ViewGeometry::NextZoomOut(Zoom()), devicePoint);
}

// The fitted canvas lies in the middle of the client area, and stays there until another zoom.
void Viewport::FitToWindow() {
  canvas_.View().SetCentred(true);
  ZoomAbout(canvas_.View().FitZoom(), QPointF(0, 0));
}

// Moves the canvas as a drag step does: the same clamps for the pointer, the keys and the wheel.
void Viewport::PanBy(double dx, int dy) {
  ViewGeometry view = canvas_.View();
  view.PanBy(dx, dy);
  canvas_.Move(view.Left(), view.Top());
  emit panned();
}

bool Viewport::PanByKey(int key) {
  const double ratio = canvas_.devicePixelRatioF();
  const int step = static_cast<int>(std::lround(kArrowStep * ratio));
  const int page = static_cast<int>(canvas_.ScaleHeight() * kPageShare);
  // Beyond any picture: Home and End go as far as the clamps let them.
  const int far = canvas_.Width() + canvas_.Height() + canvas_.ScaleWidth() + canvas_.ScaleHeight();
  const struct {
    int key, dx, dy;
  } steps[] = {{Qt::Key_Left, step, 0},  {Qt::Key_Right, -step, 0}, {Qt::Key_Up, 0, step},
               {Qt::Key_Down, 0, -step}, {Qt::Key_PageUp, 0, page}, {Qt::Key_PageDown, 0, -page},
               {Qt::Key_Home, far, far}, {Qt::Key_End, -far, -far}};
  for (const auto& s : steps)
    if (key == s.key) {
      PanBy(s.dx, s.dy);
      return true;
    }
  return false;
}

void Viewport::PanByWheel(const QWheelEvent& event) {
  // Turning the wheel away from you shows what is above, as in any scrolled view.
  const double ratio = canvas_.devicePixelRatioF();
  QPointF delta = event.pixelDelta().isNull() ? QPointF(event.angleDelta()) / kWheelNotch *
                                                    (QApplication::wheelScrollLines() * kWheelStep)
                                              : QPointF(event.pixelDelta());
  if (event.modifiers() & Qt::ShiftModifier) delta = QPointF(delta.y(), delta.x());
  PanBy(std::round(delta.x() * ratio), static_cast<int>(std::lround(delta.y() * ratio)));
}

void Viewport::Resized() {
  if (FitMode())
    FitToWindow();
  else
    PullBack();
}

// A canvas panned left or up is pulled back so that no gap opens on its right or bottom: after a
// resize of the window, and after a load sizes the canvas to a new picture (a smaller picture
// must not be left outside the window where it cannot be grabbed).
void Viewport::PullBack() {
  ViewGeometry view = canvas_.View();
  view.PullBack();
  canvas_.Move(view.Left(), view.Top());
}

void Viewport::CanvasSized() { Resized(); }
