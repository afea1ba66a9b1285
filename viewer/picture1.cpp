#include "picture1.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "pixel_memory.h"

Picture1::Picture1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Picture1"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(0, 0, 0, 0);
  SetSize(25, 19);
}

QColor Picture1::BackColor() const { return palette().color(QPalette::Dark); }

namespace {

// A backing image in memory of our own, large ones in huge pages; Qt hands it back when the last
// image sharing it goes.
QImage AllocateImage(int width, int height) {
  using Block = std::pair<lumenor::Pixel*, std::size_t>;
  const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  auto block = std::make_unique<Block>(lumenor::AllocatePixels(count), count);
  if (block->first == nullptr) return {};
  const auto free = [](void* info) {
    const std::unique_ptr<Block> owned(static_cast<Block*>(info));
    lumenor::FreePixels(owned->first, owned->second);
  };
  QImage image(reinterpret_cast<uchar*>(block->first), width, height,
               static_cast<qsizetype>(width) * static_cast<qsizetype>(sizeof(lumenor::Pixel)),
               QImage::Format_RGB32, free, block.get());
  if (image.isNull())  // refused before Qt took the memory
    lumenor::FreePixels(block->first, count);
  else
    block.release();  // Qt frees it now
  return image;
}

}  // namespace

bool Picture1::SetSize(int width, int height) {
  QImage resized;
  if (width > 0 && height > 0) {
    resized = AllocateImage(width, height);
    if (resized.isNull()) return false;
    resized.fill(BackColor());
    const int keepWidth = std::min(width, image_.width());
    for (int y = 0; y < std::min(height, image_.height()); ++y)
      std::memcpy(resized.scanLine(y), image_.constScanLine(y),
                  static_cast<std::size_t>(keepWidth) * sizeof(lumenor::Pixel));
  }
  image_ = resized;
  resize(width, height);
  return true;
}

void Picture1::Clear() {
  if (!image_.isNull()) image_.fill(BackColor());
}

void Picture1::Refresh() { repaint(); }

void Picture1::RefreshRows(int top, int bottom) { repaint(0, top, width(), bottom - top + 1); }

void Picture1::SetPixel(int x, int y, lumenor::Colour colour) {
  if (image_.valid(x, y)) Scanline(y)[x] = lumenor::ColourToPixel(colour);
}

lumenor::Colour Picture1::GetPixel(int x, int y) const {
  if (!image_.valid(x, y)) return 0xFFFFFFFFu;
  return lumenor::PixelToColour(
      reinterpret_cast<const lumenor::Pixel*>(image_.constScanLine(y))[x]);
}

void Picture1::FillSpan(int x, int y, int count, lumenor::Colour colour) {
  if (y < 0 || y >= image_.height()) return;
  const int from = std::max(x, 0);
  const int to =
      static_cast<int>(std::min<long long>(static_cast<long long>(x) + count, image_.width()));
  if (from < to) std::fill(Scanline(y) + from, Scanline(y) + to, lumenor::ColourToPixel(colour));
}

lumenor::Pixel* Picture1::Scanline(int y) {
  return reinterpret_cast<lumenor::Pixel*>(image_.scanLine(y));
}

void Picture1::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  painter.drawImage(area.topLeft(), image_, area);
}
