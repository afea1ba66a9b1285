#include "picture1.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

Picture1::Picture1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Picture1"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(0, 0, 0, 0);
  SetSize(25, 19);
}

QColor Picture1::BackColor() const { return palette().color(QPalette::Dark); }

bool Picture1::SetSize(int width, int height) {
  QImage resized;
  if (width > 0 && height > 0) {
    resized = QImage(width, height, QImage::Format_RGB32);
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
