#include "status_line.h"

#include <QAction>
#include <QMainWindow>
#include <QStatusBar>

#include "lenses.h"
#include "picture1.h"
#include "remembered.h"
#include "status_readout.h"

StatusLine::StatusLine(QMainWindow& window, Picture1& canvas, Lenses& lenses, QAction& item)
    : QObject(&window), window_(window), canvas_(canvas), lenses_(lenses), item_(item) {
  connect(&item_, &QAction::triggered, this, [this](bool checked) {
    Choose(checked);
    remembered::Remember(remembered::kStatusBar, checked);
  });
}

StatusLine::~StatusLine() = default;

bool StatusLine::Showing() const { return readout_ && window_.statusBar()->isVisible(); }

void StatusLine::Choose(bool show) {
  item_.setChecked(show);
  Show(show);
  emit chosen();
}

void StatusLine::Show(bool show) {
  if (show && !readout_) {
    readout_ = std::make_unique<StatusReadout>(*window_.statusBar());
    readout_->SetDecodeOptions(options_);
  }
  if (readout_) window_.statusBar()->setVisible(show);
  canvas_.setMouseTracking(show);
  if (!show && readout_) readout_->PointerLeft();
}

void StatusLine::FullScreen(bool full) {
  if (readout_) window_.statusBar()->setVisible(!full && item_.isChecked());
}

void StatusLine::SetDecodeOptions(const lumenor::DecodeOptions& options) {
  options_ = options;
  if (readout_) readout_->SetDecodeOptions(options);
}

void StatusLine::PointerAt(QPointF devicePoint) {
  pointer_ = devicePoint;
  if (Showing()) lenses_.PointAt(devicePoint, *readout_);
}

void StatusLine::PointerLeft() {
  pointer_.reset();
  if (readout_) readout_->PointerLeft();
}

void StatusLine::PictureMoved() {
  if (Showing() && pointer_) lenses_.PointAt(*pointer_, *readout_);
}
