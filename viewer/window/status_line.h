#pragma once

#include <QObject>
#include <QPointF>
#include <memory>
#include <optional>

#include "image_header.h"

class Lenses;
class Picture1;
class QAction;
class QMainWindow;
class StatusReadout;

// The window's status bar: made when it is first turned on; while it shows, its readout gives the
// values under the pointer, read as the pointer moves (without a button held) and again when the
// picture moves under a pointer that stands still. It takes its line from the bottom of the client
// area: the canvas keeps its place in the client area, and so on screen, unless the resize rule
// pulls it back. View > Status Bar turns it on and off; a choice is kept in the settings.
class StatusLine : public QObject {
  Q_OBJECT

 public:
  StatusLine(QMainWindow& window, Picture1& canvas, Lenses& lenses, QAction& item);
  ~StatusLine() override;

  // The readout, once the bar was turned on.
  StatusReadout* Readout() const { return readout_.get(); }
  // Made and on screen.
  bool Showing() const;
  // On or off, as View > Status Bar would turn it, without remembering the choice.
  void Choose(bool show);
  // Full screen hides the bar; back from it, the bar is as chosen.
  void FullScreen(bool full);
  void SetDecodeOptions(const lumenor::DecodeOptions& options);

  // The pointer over the client area, in its device pixels.
  void PointerAt(QPointF devicePoint);
  void PointerLeft();
  // The picture under a pointer that stands still changed (a zoom, a pan, a frame, a look).
  void PictureMoved();

 signals:
  // Turned on or off.
  void chosen();

 private:
  void Show(bool show);

  QMainWindow& window_;
  Picture1& canvas_;
  Lenses& lenses_;
  QAction& item_;
  std::unique_ptr<StatusReadout> readout_;
  std::optional<QPointF> pointer_;
  lumenor::DecodeOptions options_;
};
