#include "scene.h"

#include <QBrush>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "backing_image.h"
#include "blend.h"

using lumenor::CompareMode;
using lumenor::Pixel;

namespace {

constexpr int kSquare = 8;  // device pixels
constexpr Pixel kLightSquare = lumenor::GreyPixel(0x99);
constexpr Pixel kDarkSquare = lumenor::GreyPixel(0x66);
// The wipe line: a colour renders seldom hold.
constexpr QRgb kWipeLine = 0xFFFF00FFu;

}  // namespace

Scene::Scene() : background_(lumenor::MakePixel(0, 0, 0)), checker_(2 * kSquare, 2 * kSquare, QImage::Format_RGB32) {
  for (int y = 0; y < checker_.height(); ++y) {
    auto* row = reinterpret_cast<Pixel*>(checker_.scanLine(y));
    for (int x = 0; x < checker_.width(); ++x)
      row[x] = (x / kSquare + y / kSquare) % 2 == 0 ? kLightSquare : kDarkSquare;
  }
}

void Scene::SetBackground(Pixel background) {
  background_ = background;
  a_.SetBackground(background);
  b_.SetBackground(background);
  difference_.SetBackground(background);
}

void Scene::SetLook(const lumenor::Look& look) {
  a_.SetLook(look);
  b_.SetLook(look);
}

void Scene::SetCompare(const lumenor::CompareView& compare) {
  if (compare.gain != compare_.gain || !compare.comparing) differenceAll_ = true;
  compare_ = compare;
}

std::optional<QRect> Scene::LoadProgress(int top, int bottom, lumenor::Zoom zoom) {
  const std::optional<QRect> ready = a_.LoadProgress(top, bottom, zoom);
  switch (compare_.Shown()) {
    case CompareMode::kA:
      return ready;
    case CompareMode::kB:
      return QRect();  // nothing of A shows
    default:
      return std::nullopt;  // both, or what is made of them
  }
}

QRect Scene::CatchUp(lumenor::Zoom zoom) {
  const QRect a = a_.CatchUp(zoom);
  if (!compare_.comparing) return a;
  const QRect b = b_.CatchUp(zoom);
  if (compare_.mode != CompareMode::kDifference) return a | b;
  UpdateDifference(0, a_.ShownSize().height() - 1);
  return difference_.CatchUp(zoom);
}

Pixel Scene::Opaque(const PictureLayer& layer, QPoint shown) const {
  const Pixel p = reinterpret_cast<const Pixel*>(layer.Shown().constScanLine(shown.y()))[shown.x()];
  if (!layer.Translucent()) return p;
  const unsigned left = 255 - (p >> 24);
  const auto over = [&](unsigned premultiplied, unsigned background) {
    return premultiplied + lumenor::BlendChannel(0, background, left);
  };
  return lumenor::MakePixel(over(lumenor::RedOf(p), lumenor::RedOf(background_)),
                            over(lumenor::GreenOf(p), lumenor::GreenOf(background_)),
                            over(lumenor::BlueOf(p), lumenor::BlueOf(background_)));
}

std::optional<Pixel> Scene::DifferenceAt(QPoint shown) const {
  if (!QRect(QPoint(0, 0), a_.ShownSize()).contains(shown)) return std::nullopt;
  const Pixel a = Opaque(a_, shown);
  if (!QRect(QPoint(0, 0), b_.ShownSize()).contains(shown)) return a;
  const Pixel b = Opaque(b_, shown);
  const auto diff = [](unsigned x, unsigned y) { return x > y ? x - y : y - x; };
  return lumenor::MakePixel(diff(lumenor::RedOf(a), lumenor::RedOf(b)),
                            diff(lumenor::GreenOf(a), lumenor::GreenOf(b)),
                            diff(lumenor::BlueOf(a), lumenor::BlueOf(b)));
}

const Pixel* Scene::OpaqueRow(const PictureLayer& layer, int y, std::vector<Pixel>& row) const {
  const auto* shown = reinterpret_cast<const Pixel*>(layer.Shown().constScanLine(y));
  if (!layer.Translucent()) return shown;
  // Premultiplied colour, and what its alpha leaves of the background.
  row.resize(static_cast<std::size_t>(layer.Shown().width()));
  for (std::size_t x = 0; x < row.size(); ++x)
    row[x] = Opaque(layer, QPoint(static_cast<int>(x), y));
  return row.data();
}

void Scene::UpdateDifference(int top, int bottom) {
  const QRect changed = a_.TakeShownChanges();
  if (!b_.TakeShownChanges().isEmpty()) differenceAll_ = true;
  const QSize size = a_.ShownSize();
  if (difference_.Picture().size() != size) {
    // Every row is made below: memory without the clearing a picture being loaded needs.
    const QImage made = AllocateImage(size.width(), size.height());
    if (made.isNull()) return;
    difference_.SetPicture(made, QImage());
    differenceAll_ = true;
  }
  if (differenceAll_) {
    made_.assign(static_cast<std::size_t>(size.height()), false);
    differenceAll_ = false;
  } else {
    const QRect rows = changed & QRect(QPoint(0, 0), size);
    for (int y = rows.top(); y <= rows.bottom(); ++y) made_[static_cast<std::size_t>(y)] = false;
  }
  std::vector<int> wanted;
  for (int y = std::max(top, 0); y <= std::min(bottom, size.height() - 1); ++y)
    if (!made_[static_cast<std::size_t>(y)]) wanted.push_back(y);
  if (wanted.empty()) return;
  std::vector<Pixel*> outs;
  for (const int y : wanted) {
    outs.push_back(difference_.Scanline(y));
    made_[static_cast<std::size_t>(y)] = true;
  }
  const QSize sizeB = b_.ShownSize();
  const int both = std::min(size.width(), sizeB.width());
  const auto gain = static_cast<unsigned>(compare_.gain);
  const auto make = [&](std::size_t first, std::size_t end, std::vector<Pixel>& rowA,
                        std::vector<Pixel>& rowB) {
    for (std::size_t i = first; i < end; ++i) {
      const int y = wanted[i];
      Pixel* out = outs[i];
      const Pixel* a = OpaqueRow(a_, y, rowA);
      if (y >= sizeB.height() || b_.Shown().isNull()) {
        std::memcpy(out, a, static_cast<std::size_t>(size.width()) * sizeof(Pixel));
        continue;
      }
      lumenor::DifferenceRow(a, OpaqueRow(b_, y, rowB), gain, out, static_cast<std::size_t>(both));
      std::memcpy(out + both, a + both,
                  static_cast<std::size_t>(size.width() - both) * sizeof(Pixel));
    }
  };
  // Many rows in two halves at once: most of their cost is memory the kernel hands over page by
  // page, which two cores do at twice the pace.
  constexpr std::size_t kHalvedFrom = 1 << 20;  // pixels
  const std::size_t count = wanted.size();
  if (count * static_cast<std::size_t>(size.width()) < kHalvedFrom ||
      std::thread::hardware_concurrency() < 2)
    return make(0, count, rowA_, rowB_);
  std::vector<Pixel> rowA, rowB;
  std::thread lower([&] { make(count / 2, count, rowA, rowB); });
  make(0, count / 2, rowA_, rowB_);
  lower.join();
}

const QImage& Scene::Difference() {
  UpdateDifference(0, a_.ShownSize().height() - 1);
  difference_.CatchUp(lumenor::Zoom{1, 1});
  return difference_.Shown();
}

void Scene::PaintLayer(PictureLayer& layer, QPainter& painter, const QRect& clip, int originX,
                       const ViewGeometry& view) {
  if (clip.isEmpty()) return;
  const lumenor::Zoom zoom = view.GetZoom();
  const QRect area(originX, 0, view.ScaleWidth(), view.ScaleHeight());
  const QRect canvas(originX + view.Left(), view.Top(), view.Width(), view.Height());
  const QSize shown = layer.ShownSize();
  const QRect picture =
      QRect(canvas.topLeft(), QSize(static_cast<int>(zoom.ScaledLength(shown.width())),
                                    static_cast<int>(zoom.ScaledLength(shown.height())))) &
      canvas;
  for (const QRect& outside : QRegion(clip).subtracted(picture))
    painter.fillRect(outside, QColor::fromRgb(background_));
  const QRect part = clip & picture & area;
  if (part.isEmpty()) return;
  if (layer.Translucent()) {
    // The squares lie on the canvas and move with it.
    painter.setBrushOrigin(canvas.topLeft());
    painter.fillRect(part, QBrush(checker_));
  }
  if (zoom == ViewGeometry::kActualSize) {
    painter.drawImage(part.topLeft(), layer.Shown(), part.translated(-canvas.topLeft()));
    return;
  }
  layer.UpdateScaled((area & picture).translated(-canvas.topLeft()), zoom);
  painter.drawImage(part.topLeft(), layer.Scaled(),
                    part.translated(-canvas.topLeft() - layer.ScaledRect().topLeft()));
}

void Scene::Paint(QPainter& painter, const QRect& exposed, const ViewGeometry& view) {
  const int width = view.ScaleWidth(), height = view.ScaleHeight();
  switch (compare_.Shown()) {
    case CompareMode::kA:
      return PaintLayer(a_, painter, exposed, 0, view);
    case CompareMode::kB:
      return PaintLayer(b_, painter, exposed, 0, view);
    case CompareMode::kDifference: {
      // At 100 % the rows on screen are enough (the rest are made when they come into view or
      // something else needs them); at other zooms the scaled picture is made of all of them.
      int top = 0, bottom = a_.ShownSize().height() - 1;
      if (view.GetZoom() == ViewGeometry::kActualSize) {
        top = std::max(top, -view.Top());
        bottom = std::min(bottom, view.ScaleHeight() - 1 - view.Top());
      }
      UpdateDifference(top, bottom);
      difference_.CatchUp(view.GetZoom());
      return PaintLayer(difference_, painter, exposed, 0, view);
    }
    case CompareMode::kWipe: {
      const int line = compare_.wipe;
      PaintLayer(a_, painter, exposed & QRect(0, 0, line, height), 0, view);
      PaintLayer(b_, painter, exposed & QRect(line + 1, 0, width - line - 1, height), 0, view);
      painter.fillRect(exposed & QRect(line, 0, 1, height), QColor::fromRgb(kWipeLine));
      return;
    }
    case CompareMode::kSideBySide: {
      // The view's client area is one half; what is left over at the right is background.
      PaintLayer(a_, painter, exposed & QRect(0, 0, width, height), 0, view);
      PaintLayer(b_, painter, exposed & QRect(width, 0, width, height), width, view);
      for (const QRect& rest : QRegion(exposed).subtracted(QRect(0, 0, 2 * width, height)))
        painter.fillRect(rest, QColor::fromRgb(background_));
      return;
    }
  }
}
