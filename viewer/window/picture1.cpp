#include "picture1.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "backing_image.h"

Picture1::Picture1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Picture1"));
  setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: the picture or the background
  setBackgroundRole(QPalette::Dark);
  setFocusPolicy(Qt::StrongFocus);
  SetSize(25, 19);
}

QColor Picture1::BackColor() const { return palette().color(QPalette::Dark); }

void Picture1::Move(int left, int top) {
  if (left == Left() && top == Top()) return;
  view_.SetLeft(left);
  view_.SetTop(top);
  update();
}

void Picture1::ViewChanged() { update(); }

QPointF Picture1::ToDevice(QPointF position) const { return position * devicePixelRatioF(); }

QRect Picture1::ToDevice(const QRect& logical) const {
  const qreal ratio = devicePixelRatioF();
  const int left = static_cast<int>(std::floor(logical.x() * ratio));
  const int top = static_cast<int>(std::floor(logical.y() * ratio));
  const int right = static_cast<int>(std::ceil((logical.x() + logical.width()) * ratio));
  const int bottom = static_cast<int>(std::ceil((logical.y() + logical.height()) * ratio));
  return {left, top, right - left, bottom - top};
}

QRect Picture1::ToLogical(const QRect& device) const {
  const qreal ratio = devicePixelRatioF();
  const int left = static_cast<int>(std::floor(device.x() / ratio));
  const int top = static_cast<int>(std::floor(device.y() / ratio));
  const int right = static_cast<int>(std::ceil((device.x() + device.width()) / ratio));
  const int bottom = static_cast<int>(std::ceil((device.y() + device.height()) / ratio));
  return {left, top, right - left, bottom - top};
}

void Picture1::resizeEvent(QResizeEvent* event) {
  const qreal ratio = devicePixelRatioF();
  view_.SetClientSize(qRound(width() * ratio), qRound(height() * ratio));
  QWidget::resizeEvent(event);
  emit resized();
}

bool Picture1::event(QEvent* event) {
  // A window moved to a screen of another scale keeps its size in logical pixels: in device
  // pixels, the client area has changed size all the same.
  if (event->type() == QEvent::ScreenChangeInternal) FollowScreen();
  return QWidget::event(event);
}

void Picture1::FollowScreen() {
  const qreal ratio = devicePixelRatioF();
  const QSize device(qRound(width() * ratio), qRound(height() * ratio));
  if (device == QSize(ScaleWidth(), ScaleHeight())) return;
  view_.SetClientSize(device.width(), device.height());
  update();
  emit resized();
}

bool Picture1::SetSize(int width, int height) {
  scaling_.Wait();
  QImage resized;
  if (width > 0 && height > 0) {
    // A canvas that holds only background (a load clears it first) has nothing worth keeping: it
    // goes before the new one is allocated, so that two large pictures are never held at once.
    const QSize before = image_.size();
    const bool blank = written_.Empty();
    if (blank) image_ = QImage();
    resized = AllocateImage(width, height);
    if (resized.isNull()) {
      if (blank && !before.isEmpty()) {  // as it was: the same size, all background
        image_ = AllocateImage(before.width(), before.height());
        if (!image_.isNull()) image_.fill(BackColor());
      }
      return false;
    }
    resized.fill(BackColor());
    const int keepWidth = std::min(width, image_.width());
    for (int y = 0; y < std::min(height, image_.height()); ++y)
      std::memcpy(resized.scanLine(y), image_.constScanLine(y),
                  static_cast<std::size_t>(keepWidth) * sizeof(lumenor::Pixel));
  }
  image_ = resized;
  // What was kept of the rows written before is written still.
  if (!written_.Empty()) written_ = {written_.top, std::min(written_.bottom, height - 1)};
  stale_ = {};
  view_.SetPictureSize(width, height);
  scaler_.reset();
  asideScaler_.reset();
  ForgetScaled();
  update();
  return true;
}

void Picture1::Clear() {
  scaling_.Wait();
  // A frame of a flipbook may still be shared with the player: a fresh image rather than a copy
  // of it to paint over.
  if (!image_.isNull() && !image_.isDetached())
    image_ = AllocateImage(image_.width(), image_.height());
  if (!image_.isNull()) image_.fill(BackColor());
  written_ = stale_ = {};
  ForgetScaled();
}

void Picture1::ShowFrame(const QImage& picture, const QImage& scaled, lumenor::Zoom scaledZoom,
                         const QRect& scaledRect) {
  scaling_.Wait();
  const bool resized = picture.size() != image_.size();
  image_ = picture;  // shared, not copied
  written_ = {0, picture.height() - 1};
  stale_ = {};
  if (resized) {
    view_.SetPictureSize(picture.width(), picture.height());
    scaler_.reset();
    asideScaler_.reset();
  }
  ForgetScaled();
  // Scaled ahead for the view as it stands: what the screen shows of it needs nothing more.
  if (!scaled.isNull() && scaledZoom == view_.GetZoom() &&
      !(view_.GetZoom() == ViewGeometry::kActualSize)) {
    if (!scaler_ || !(scaler_->GetZoom() == view_.GetZoom()))
      scaler_.emplace(image_.width(), image_.height(), view_.GetZoom());
    scaled_ = scaled;
    scaledRect_ = scaledRect;
  }
  update();
}

void Picture1::Refresh() {
  CatchUpScaled();
  repaint();
}

void Picture1::CatchUpScaled() {
  scaling_.Wait();
  QRect changed = TakeScaledAside();
  if (!stale_.Empty() && scaler_ && !scaledRect_.isEmpty()) {
    const int first = scaler_->FirstScaledRow(stale_.top);
    const int last = scaler_->LastScaledRow(stale_.bottom);
    const QRect rows =
        QRect(scaledRect_.x(), first, scaledRect_.width(), last - first + 1) & scaledRect_;
    ScaleInto(rows);
    changed |= rows;
  }
  stale_ = {};
  // Show them, wherever a repaint under way does not reach.
  if (!changed.isEmpty()) update(ToLogical(changed.translated(Left(), Top())));
}

void Picture1::RefreshRows(int top, int bottom) {
  if (view_.GetZoom() == ViewGeometry::kActualSize) {
    const QRect rows = QRect(0, Top() + top, ScaleWidth(), bottom - top + 1) &
                       QRect(0, 0, ScaleWidth(), ScaleHeight());
    if (!rows.isEmpty()) repaint(ToLogical(rows));
    return;
  }
  const QRect done =
      TakeScaledAside().translated(Left(), Top()) & QRect(0, 0, ScaleWidth(), ScaleHeight());
  if (!scaler_ || scaledRect_.isEmpty()) return update();  // the next repaint scales it all
  if (!done.isEmpty()) repaint(ToLogical(done));
  ScaleLoadedRowsAside(top);
}

QRect Picture1::TakeScaledAside() {
  std::vector<ScaledAside> finished;
  {
    std::lock_guard lock(asideMutex_);
    finished.swap(scaledAside_);
  }
  QRect changed;
  for (const ScaledAside& aside : finished) {
    const QRect place = aside.rows & scaledRect_;
    if (aside.generation != generation_ || place.isEmpty()) continue;
    for (int y = place.top(); y <= place.bottom(); ++y)
      std::memcpy(
          scaled_.scanLine(y - scaledRect_.y()) +
              static_cast<std::size_t>(place.x() - scaledRect_.x()) * sizeof(lumenor::Pixel),
          aside.pixels.data() + static_cast<std::size_t>(y - aside.rows.y()) * aside.rows.width() +
              (place.x() - aside.rows.x()),
          static_cast<std::size_t>(place.width()) * sizeof(lumenor::Pixel));
    changed |= place;
  }
  return changed;
}

void Picture1::ScaleLoadedRowsAside(int top) {
  if (!scaler_ || scaledRect_.isEmpty() || stale_.Empty()) return;
  int first = scaler_->FirstScaledRow(stale_.top);
  while (first <= scaler_->LastScaledRow(stale_.bottom) && scaler_->FirstPictureRow(first) < top)
    ++first;
  const int last = scaler_->LastScaledRow(stale_.bottom);
  if (first > last) return;
  // The rows above stay stale: their scaled row is not finished yet.
  const int staleBottom = scaler_->FirstPictureRow(first) - 1;
  stale_ = staleBottom >= stale_.top ? Rows{stale_.top, staleBottom} : Rows{};
  const QRect rows =
      QRect(scaledRect_.x(), first, scaledRect_.width(), last - first + 1) & scaledRect_;
  if (rows.isEmpty()) return;
  ScaleJob job = Job();
  job.scaler = &AsideScaler();
  job.scaledStride = static_cast<std::size_t>(rows.width());
  job.origin = rows.topLeft();
  std::vector<lumenor::Pixel> pixels(static_cast<std::size_t>(rows.width()) * rows.height());
  scaling_.Run([this, job, rows, generation = generation_, pixels = std::move(pixels),
                scaler = asideScaler_]() mutable {
    job.scaled = pixels.data();
    ScaleRows(job, rows);
    std::lock_guard lock(asideMutex_);
    scaledAside_.push_back({generation, rows, std::move(pixels)});
  });
}

void Picture1::SetPixel(int x, int y, lumenor::Colour colour) {
  scaling_.Wait();
  if (image_.valid(x, y)) Scanline(y)[x] = lumenor::ColourToPixel(colour);
  ForgetScaled();
}

lumenor::Colour Picture1::GetPixel(int x, int y) const {
  if (!image_.valid(x, y)) return 0xFFFFFFFFu;
  return lumenor::PixelToColour(
      reinterpret_cast<const lumenor::Pixel*>(image_.constScanLine(y))[x]);
}

void Picture1::FillSpan(int x, int y, int count, lumenor::Colour colour) {
  scaling_.Wait();
  if (y < 0 || y >= image_.height()) return;
  const int from = std::max(x, 0);
  const int to =
      static_cast<int>(std::min<long long>(static_cast<long long>(x) + count, image_.width()));
  if (from < to) std::fill(Scanline(y) + from, Scanline(y) + to, lumenor::ColourToPixel(colour));
  ForgetScaled();
}

lumenor::Pixel* Picture1::Scanline(int y) {
  written_.Add(y, y);
  stale_.Add(y, y);
  return reinterpret_cast<lumenor::Pixel*>(image_.scanLine(y));
}

QRect Picture1::VisibleCanvas() const {
  return (QRect(0, 0, ScaleWidth(), ScaleHeight()) & CanvasRect()).translated(-Left(), -Top());
}

Picture1::ScaleJob Picture1::Job() {
  return {&*scaler_,
          reinterpret_cast<const lumenor::Pixel*>(image_.constBits()),
          static_cast<std::size_t>(image_.bytesPerLine()) / sizeof(lumenor::Pixel),
          reinterpret_cast<lumenor::Pixel*>(scaled_.bits()),
          static_cast<std::size_t>(scaled_.bytesPerLine()) / sizeof(lumenor::Pixel),
          scaledRect_.topLeft(),
          written_,
          BackColor().rgb()};
}

lumenor::PictureScaler& Picture1::AsideScaler() {
  if (!asideScaler_)
    asideScaler_ = std::make_shared<lumenor::PictureScaler>(image_.width(), image_.height(),
                                                            scaler_->GetZoom());
  return *asideScaler_;
}

void Picture1::ScaleInto(const QRect& rect) {
  constexpr int kWorthSharing = 64;  // rows
  if (rect.height() < kWorthSharing) return ScaleRows(Job(), rect);
  scaling_.Wait();
  const QRect upper = rect.adjusted(0, 0, 0, -rect.height() / 2);
  const QRect lower = rect.adjusted(0, upper.height(), 0, 0);
  // Two scalers, each with its own sums: the scaling thread uses its own, idle by now.
  ScaleJob otherJob = Job();
  otherJob.scaler = &AsideScaler();
  scaling_.Run([&otherJob, lower] { ScaleRows(otherJob, lower); });
  ScaleRows(Job(), upper);
  scaling_.Wait();
}

void Picture1::ScaleRows(const ScaleJob& job, const QRect& rect) {
  // Runs of scaled rows: scaled from the picture where it was written, filled elsewhere (a
  // picture still loading is mostly background).
  const auto written = [&job](int row) {
    return job.written.Meets(job.scaler->FirstPictureRow(row), job.scaler->LastPictureRow(row));
  };
  for (int y = rect.top(); y <= rect.bottom();) {
    const bool scaled = written(y);
    int end = y + 1;
    while (end <= rect.bottom() && written(end) == scaled) ++end;
    lumenor::Pixel* out = job.scaled +
                          static_cast<std::size_t>(y - job.origin.y()) * job.scaledStride +
                          (rect.x() - job.origin.x());
    if (scaled)
      job.scaler->Scale(job.picture, job.stride, rect.x(), y, rect.width(), end - y, out,
                        job.scaledStride);
    else
      for (int row = 0; row < end - y; ++row)
        std::fill_n(out + static_cast<std::size_t>(row) * job.scaledStride, rect.width(),
                    job.background);
    y = end;
  }
}

void Picture1::UpdateScaled(const QRect& rect) {
  if (!scaler_ || !(scaler_->GetZoom() == view_.GetZoom())) {
    scaler_.emplace(image_.width(), image_.height(), view_.GetZoom());
    asideScaler_.reset();
    ForgetScaled();
  }
  if (!scaledRect_.isEmpty() && scaledRect_.contains(rect)) return;
  const QRect kept = scaledRect_ & rect;
  if (scaled_.size() != rect.size() || kept.isEmpty()) {
    if (scaled_.size() != rect.size()) scaled_ = QImage(rect.size(), QImage::Format_RGB32);
    scaledRect_ = rect;
    return ScaleInto(rect);
  }
  // Panned: move what is held to its new place, then scale only what came into view.
  const QPoint from = kept.topLeft() - scaledRect_.topLeft(), to = kept.topLeft() - rect.topLeft();
  const auto bytes = static_cast<std::size_t>(kept.width()) * sizeof(lumenor::Pixel);
  const auto moveRow = [&](int row) {
    std::memmove(scaled_.scanLine(to.y() + row) + to.x() * sizeof(lumenor::Pixel),
                 scaled_.constScanLine(from.y() + row) + from.x() * sizeof(lumenor::Pixel), bytes);
  };
  if (to.y() > from.y())
    for (int row = kept.height() - 1; row >= 0; --row) moveRow(row);
  else
    for (int row = 0; row < kept.height(); ++row) moveRow(row);
  scaledRect_ = rect;
  for (const QRect& exposed : QRegion(rect).subtracted(kept)) ScaleInto(exposed);
}

void Picture1::paintEvent(QPaintEvent* event) {
  FollowScreen();  // in case the scale changed with no word of it
  QPainter painter(this);
  // Draw in device pixels, so that at 100 % a picture pixel is a screen pixel at any scale.
  painter.setTransform(QTransform::fromScale(1 / devicePixelRatioF(), 1 / devicePixelRatioF()));
  const QRect exposed = ToDevice(event->rect());
  const QRect canvas = CanvasRect();
  for (const QRect& outside : QRegion(exposed).subtracted(canvas))
    painter.fillRect(outside, BackColor());
  const QRect shown = exposed & canvas & QRect(0, 0, ScaleWidth(), ScaleHeight());
  if (shown.isEmpty() || image_.isNull()) return;
  if (view_.GetZoom() == ViewGeometry::kActualSize) {
    painter.drawImage(shown.topLeft(), image_, shown.translated(-canvas.topLeft()));
    return;
  }
  UpdateScaled(VisibleCanvas());
  painter.drawImage(shown.topLeft(), scaled_,
                    shown.translated(-canvas.topLeft() - scaledRect_.topLeft()));
}
