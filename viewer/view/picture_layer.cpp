#include "picture_layer.h"

#include <QRegion>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>

#include "backing_image.h"

using lumenor::Pixel;

namespace {
constexpr QImage::Format kTranslucent = QImage::Format_ARGB32_Premultiplied;
}  // namespace

bool PictureLayer::SetSize(int width, int height) {
  scaling_.Wait();
  QImage resized;
  if (width > 0 && height > 0) {
    // A picture that holds only background (a load clears it first) has nothing worth keeping:
    // it goes before the new one is allocated, so that two large pictures are never held at once.
    const QSize before = picture_.size();
    const bool blank = written_.Empty();
    if (blank) {
      picture_ = QImage();
      shown_ = QImage();
    }
    resized = AllocateImage(width, height);
    if (resized.isNull()) {
      if (blank && !before.isEmpty()) {  // as it was: the same size, all background
        picture_ = AllocateImage(before.width(), before.height());
        if (!picture_.isNull()) picture_.fill(background_);
        Restyle();
      }
      return false;
    }
    resized.fill(background_);
    const int keepWidth = std::min(width, picture_.width());
    for (int y = 0; y < std::min(height, picture_.height()); ++y)
      std::memcpy(resized.scanLine(y), picture_.constScanLine(y),
                  static_cast<std::size_t>(keepWidth) * sizeof(Pixel));
  }
  picture_ = resized;
  stored_ = QImage();
  keepStored_ = look_.NeedsStored();
  // What was kept of the rows written before is written still.
  if (!written_.Empty()) written_ = {written_.top, std::min(written_.bottom, height - 1)};
  pending_ = {};
  Restyle();
  return true;
}

void PictureLayer::Clear() {
  scaling_.Wait();
  // A frame of a flipbook may still be shared with the player: a fresh image rather than a copy
  // of it to paint over.
  if (!picture_.isNull() && !picture_.isDetached())
    picture_ = AllocateImage(picture_.width(), picture_.height());
  if (!picture_.isNull()) picture_.fill(background_);
  stored_ = QImage();
  keepStored_ = look_.NeedsStored();
  written_ = pending_ = {};
  Restyle();
}

void PictureLayer::SetPicture(const QImage& picture, const QImage& stored) {
  scaling_.Wait();
  picture_ = picture;  // shared, not copied
  stored_ = stored;
  written_ = {0, picture.height() - 1};
  pending_ = {};
  Restyle();
}

void PictureLayer::SetShown(const QImage& shown, const QImage& scaled, Zoom scaledZoom,
                            const QRect& scaledRect, const lumenor::Look& madeFor) {
  scaling_.Wait();
  // A frame made for a look of its own has no picture to make another look from.
  picture_ = madeFor.Plain() ? shown : QImage();
  stored_ = QImage();
  written_ = {0, shown.height() - 1};
  pending_ = {};
  if (!(madeFor == look_) && !picture_.isNull()) return Restyle();
  shown_ = madeFor.Plain() ? QImage() : shown;
  shownOwn_ = !madeFor.Plain();
  shownFor_ = madeFor;
  stale_ = {};
  shownChanges_ = QRect(QPoint(0, 0), ShownSize());
  scaler_.reset();
  asideScaler_.reset();
  ForgetScaled();
  // Scaled ahead: what the screen shows of it needs nothing more.
  if (!scaled.isNull() && !(scaledZoom == Zoom{1, 1})) {
    MakeScaler(scaledZoom);
    scaled_ = scaled;
    scaledRect_ = scaledRect;
  }
}

Pixel* PictureLayer::Scanline(int y) {
  written_.Add(y, y);
  pending_.Add(y, y);
  return reinterpret_cast<Pixel*>(picture_.scanLine(y));
}

lumenor::StoredPixel* PictureLayer::StoredScanline(int y) {
  if (!keepStored_) return nullptr;
  if (stored_.isNull()) {
    stored_ = AllocateImage(picture_.width(), picture_.height(), QImage::Format_ARGB32);
    if (stored_.isNull()) return nullptr;  // shown from the picture as loaded, then
    stored_.fill(0u);
    // Over the checkerboard, what is shown is made from the stored values.
    if (look_.Translucent(true)) Restyle();
  }
  written_.Add(y, y);
  pending_.Add(y, y);
  return reinterpret_cast<lumenor::StoredPixel*>(stored_.scanLine(y));
}

void PictureLayer::SetStored(const QImage& stored) {
  if (stored.size() != picture_.size()) return;
  scaling_.Wait();
  stored_ = stored;
  Restyle();
}

void PictureLayer::SetLook(const lumenor::Look& look) {
  if (look == look_) return;
  scaling_.Wait();
  look_ = look;
  // A frame made for another look stays until the next one.
  if (!picture_.isNull()) Restyle();
}

void PictureLayer::Restyle() {
  scaling_.Wait();
  const bool translucent = look_.Translucent(HasStored());
  const bool own = !picture_.isNull() && (look_.channel != lumenor::Channel::kColour ||
                                          !look_.orientation.IsIdentity() || translucent);
  shownOwn_ = false;
  if (own) {
    const auto size = look_.orientation.Shown({picture_.width(), picture_.height()});
    const QImage::Format format = translucent ? kTranslucent : QImage::Format_RGB32;
    if (shown_.size() != QSize(size.width, size.height) || !shown_.isDetached())
      shown_ = QImage();
    // Both formats are 32 bits a pixel, and every pixel is made again below.
    else if (shown_.format() != format && !shown_.reinterpretAsFormat(format))
      shown_ = QImage();
    if (shown_.isNull()) shown_ = AllocateImage(size.width, size.height, format);
    // Without the memory the picture is shown as it is.
    shownOwn_ = !shown_.isNull();
  }
  if (shownOwn_) {
    // Every row written is made again below; only a picture still loading has others to clear.
    if (written_.top > 0 || written_.bottom < picture_.height() - 1) shown_.fill(Empty());
    if (!written_.Empty()) ShowAllRows(written_.top, written_.bottom);
  } else if (shown_.isNull() || !shown_.isDetached() ||
             shown_.width() * shown_.height() != picture_.width() * picture_.height()) {
    shown_ = QImage();
  }
  // Otherwise the memory is kept for the next look over this picture: pages the process already
  // has are written several times faster than fresh ones.
  shownFor_ = look_;
  pending_ = {};
  stale_ = {};
  shownChanges_ = QRect(QPoint(0, 0), ShownSize());
  scaler_.reset();
  asideScaler_.reset();
  ForgetScaled();
}

void PictureLayer::ShowAllRows(int top, int bottom) {
  // Much of the cost is memory the kernel hands over page by page, which two cores do at twice
  // the pace; the halves write pixels of their own.
  constexpr std::int64_t kHalvedFrom = 1 << 20;  // pixels
  if (std::int64_t{bottom - top + 1} * picture_.width() < kHalvedFrom ||
      std::thread::hardware_concurrency() < 2) {
    ShowRows(top, bottom);
    return;
  }
  auto* out = reinterpret_cast<Pixel*>(shown_.bits());
  const int middle = top + (bottom - top + 1) / 2;
  std::thread lower([&] { ShowRows(middle, bottom, secondShower_, out); });
  ShowRows(top, middle - 1, shower_, out);
  lower.join();
}

QRect PictureLayer::ShowRows(int top, int bottom) {
  return ShowRows(top, bottom, shower_, shownOwn_ ? reinterpret_cast<Pixel*>(shown_.bits()) : nullptr);
}

QRect PictureLayer::ShowRows(int top, int bottom, lumenor::RowShower& shower, Pixel* out) {
  const int width = picture_.width(), height = picture_.height();
  if (!shownOwn_) return {0, top, width, bottom - top + 1};
  shower.Show(look_, reinterpret_cast<const Pixel*>(picture_.constBits()),
               static_cast<std::size_t>(picture_.bytesPerLine()) / sizeof(Pixel),
               HasStored() ? reinterpret_cast<const lumenor::StoredPixel*>(stored_.constBits())
                           : nullptr,
               static_cast<std::size_t>(stored_.bytesPerLine()) / sizeof(Pixel), width, height,
               top, bottom, out,
               static_cast<std::size_t>(shown_.bytesPerLine()) / sizeof(Pixel));
  const lumenor::Orientation::Size size{width, height};
  const auto a = look_.orientation.ShownAt({0, top}, size);
  const auto b = look_.orientation.ShownAt({width - 1, bottom}, size);
  return QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)),
               QPoint(std::max(a.x, b.x), std::max(a.y, b.y)));
}

QRect PictureLayer::ShowPending() {
  if (pending_.Empty() || picture_.isNull()) return {};
  const QRect shown = ShowRows(pending_.top, std::min(pending_.bottom, picture_.height() - 1));
  pending_ = {};
  stale_ |= shown;
  shownChanges_ |= shown;
  return shown;
}

PictureLayer::Rows PictureLayer::ShownWritten() const {
  if (written_.Empty() || !shownOwn_) return written_;
  const int height = ShownSize().height();
  switch (look_.orientation.Turns()) {
    case 0:
      return written_;
    case 2:
      return {height - 1 - written_.bottom, height - 1 - written_.top};
    default:  // the rows written are columns now
      return {0, height - 1};
  }
}

void PictureLayer::MakeScaler(Zoom zoom) {
  scaler_.emplace(ShownSize().width(), ShownSize().height(), zoom,
                  Translucent() ? lumenor::ScaledAlpha::kAveraged : lumenor::ScaledAlpha::kOpaque);
  asideScaler_.reset();
}

PictureLayer::ScaleJob PictureLayer::Job() {
  const QImage& shown = Shown();
  return {&*scaler_,
          reinterpret_cast<const Pixel*>(shown.constBits()),
          static_cast<std::size_t>(shown.bytesPerLine()) / sizeof(Pixel),
          reinterpret_cast<Pixel*>(scaled_.bits()),
          static_cast<std::size_t>(scaled_.bytesPerLine()) / sizeof(Pixel),
          scaledRect_.topLeft(),
          ShownWritten(),
          Empty()};
}

lumenor::PictureScaler& PictureLayer::AsideScaler() {
  if (!asideScaler_)
    asideScaler_ = std::make_shared<lumenor::PictureScaler>(
        ShownSize().width(), ShownSize().height(), scaler_->GetZoom(),
        Translucent() ? lumenor::ScaledAlpha::kAveraged : lumenor::ScaledAlpha::kOpaque);
  return *asideScaler_;
}

QRect PictureLayer::ScaledCover(const QRect& shown) const {
  if (!scaler_ || shown.isEmpty()) return {};
  const Zoom zoom = scaler_->GetZoom();
  const auto first = [&](int s) { return static_cast<int>(std::int64_t{s} * zoom.num / zoom.den); };
  const auto last = [&](int s, int length) {
    return static_cast<int>(
        std::min<std::int64_t>(((std::int64_t{s} + 1) * zoom.num - 1) / zoom.den, length - 1));
  };
  return QRect(QPoint(first(shown.left()), first(shown.top())),
               QPoint(last(shown.right(), scaler_->ScaledWidth()),
                      last(shown.bottom(), scaler_->ScaledHeight())));
}

QRect PictureLayer::CatchUp(Zoom zoom) {
  scaling_.Wait();
  QRect changed = TakeScaledAside();
  ShowPending();
  if (zoom == Zoom{1, 1}) {
    changed |= stale_;
  } else if (!stale_.isEmpty() && scaler_ && !scaledRect_.isEmpty()) {
    const QRect rect = ScaledCover(stale_) & scaledRect_;
    ScaleInto(rect);
    changed |= rect;
  }
  stale_ = {};
  return changed;
}

std::optional<QRect> PictureLayer::LoadProgress(int top, int bottom, Zoom zoom) {
  pending_.Add(top, bottom);
  const QRect shown = ShowPending();
  if (zoom == Zoom{1, 1}) {
    stale_ = {};
    return shown;
  }
  const QRect done = TakeScaledAside();
  if (!scaler_ || scaledRect_.isEmpty()) return std::nullopt;  // the next repaint scales it all
  if (!look_.orientation.KeepsRows()) {
    // Rows turned into columns: scaled now, as they change.
    scaling_.Wait();
    const QRect rect = ScaledCover(stale_) & scaledRect_;
    ScaleInto(rect);
    stale_ = {};
    return done | rect;
  }
  ScaleLoadedRowsAside(top);
  return done;
}

QRect PictureLayer::TakeScaledAside() {
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
              static_cast<std::size_t>(place.x() - scaledRect_.x()) * sizeof(Pixel),
          aside.pixels.data() + static_cast<std::size_t>(y - aside.rows.y()) * aside.rows.width() +
              (place.x() - aside.rows.x()),
          static_cast<std::size_t>(place.width()) * sizeof(Pixel));
    changed |= place;
  }
  return changed;
}

void PictureLayer::ScaleLoadedRowsAside(int top) {
  if (!scaler_ || scaledRect_.isEmpty() || stale_.isEmpty()) return;
  const int staleTop = stale_.top(), staleBottom = stale_.bottom();
  int first = scaler_->FirstScaledRow(staleTop);
  const int last = scaler_->LastScaledRow(staleBottom);
  while (first <= last && scaler_->FirstPictureRow(first) < top) ++first;
  if (first > last) return;
  // The rows above stay stale: their scaled row is not finished yet.
  const int stillStale = scaler_->FirstPictureRow(first) - 1;
  stale_ = stillStale >= staleTop
               ? QRect(0, staleTop, ShownSize().width(), stillStale - staleTop + 1)
               : QRect();
  const QRect rows =
      QRect(scaledRect_.x(), first, scaledRect_.width(), last - first + 1) & scaledRect_;
  if (rows.isEmpty()) return;
  ScaleJob job = Job();
  job.scaler = &AsideScaler();
  job.scaledStride = static_cast<std::size_t>(rows.width());
  job.origin = rows.topLeft();
  std::vector<Pixel> pixels(static_cast<std::size_t>(rows.width()) * rows.height());
  scaling_.Run([this, job, rows, generation = generation_, pixels = std::move(pixels),
                scaler = asideScaler_]() mutable {
    job.scaled = pixels.data();
    ScaleRows(job, rows);
    std::lock_guard lock(asideMutex_);
    scaledAside_.push_back({generation, rows, std::move(pixels)});
  });
}

void PictureLayer::ScaleInto(const QRect& rect) {
  if (rect.isEmpty()) return;
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

void PictureLayer::ScaleRows(const ScaleJob& job, const QRect& rect) {
  // Runs of scaled rows: scaled from the picture where it was written, filled elsewhere (a
  // picture still loading is mostly background).
  const auto written = [&job](int row) {
    return job.written.Meets(job.scaler->FirstPictureRow(row), job.scaler->LastPictureRow(row));
  };
  for (int y = rect.top(); y <= rect.bottom();) {
    const bool scaled = written(y);
    int end = y + 1;
    while (end <= rect.bottom() && written(end) == scaled) ++end;
    Pixel* out = job.scaled + static_cast<std::size_t>(y - job.origin.y()) * job.scaledStride +
                 (rect.x() - job.origin.x());
    if (scaled)
      job.scaler->Scale(job.picture, job.stride, rect.x(), y, rect.width(), end - y, out,
                        job.scaledStride);
    else
      for (int row = 0; row < end - y; ++row)
        std::fill_n(out + static_cast<std::size_t>(row) * job.scaledStride, rect.width(),
                    job.empty);
    y = end;
  }
}

void PictureLayer::UpdateScaled(const QRect& rect, Zoom zoom) {
  if (!scaler_ || !(scaler_->GetZoom() == zoom)) {
    scaling_.Wait();
    MakeScaler(zoom);
    ForgetScaled();
  }
  if (rect.isEmpty() || (!scaledRect_.isEmpty() && scaledRect_.contains(rect))) return;
  const QImage::Format format = Translucent() ? kTranslucent : QImage::Format_RGB32;
  const QRect kept = scaledRect_ & rect;
  if (scaled_.size() != rect.size() || scaled_.format() != format || kept.isEmpty()) {
    if (scaled_.size() != rect.size() || scaled_.format() != format || !scaled_.isDetached())
      scaled_ = QImage(rect.size(), format);
    scaledRect_ = rect;
    return ScaleInto(rect);
  }
  if (!scaled_.isDetached()) scaled_ = scaled_.copy();  // a frame's, shared with the player
  // Panned: move what is held to its new place, then scale only what came into view.
  const QPoint from = kept.topLeft() - scaledRect_.topLeft(), to = kept.topLeft() - rect.topLeft();
  const auto bytes = static_cast<std::size_t>(kept.width()) * sizeof(Pixel);
  const auto moveRow = [&](int row) {
    std::memmove(scaled_.scanLine(to.y() + row) + to.x() * sizeof(Pixel),
                 scaled_.constScanLine(from.y() + row) + from.x() * sizeof(Pixel), bytes);
  };
  if (to.y() > from.y())
    for (int row = kept.height() - 1; row >= 0; --row) moveRow(row);
  else
    for (int row = 0; row < kept.height(); ++row) moveRow(row);
  scaledRect_ = rect;
  for (const QRect& exposed : QRegion(rect).subtracted(kept)) ScaleInto(exposed);
}
