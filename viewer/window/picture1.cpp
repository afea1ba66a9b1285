#include "picture1.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

Picture1::Picture1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Picture1"));
  setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: the picture or the background
  setBackgroundRole(QPalette::Dark);
  setFocusPolicy(Qt::StrongFocus);
  scene_.SetBackground(BackColor().rgb());
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

QSize Picture1::DeviceClient() const {
  const qreal ratio = devicePixelRatioF();
  const QSize device(qRound(width() * ratio), qRound(height() * ratio));
  // Side by side, the view works in each half.
  if (scene_.Compare().Shown() == lumenor::CompareMode::kSideBySide)
    return {std::max(device.width() / 2, 1), device.height()};
  return device;
}

void Picture1::resizeEvent(QResizeEvent* event) {
  const QSize device = DeviceClient();
  view_.SetClientSize(device.width(), device.height());
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
  const QSize device = DeviceClient();
  if (device == QSize(ScaleWidth(), ScaleHeight())) return;
  view_.SetClientSize(device.width(), device.height());
  update();
  emit resized();
}

bool Picture1::SetSize(int width, int height) {
  if (!scene_.A().SetSize(width, height)) return false;
  FollowShownSize();
  update();
  return true;
}

bool Picture1::FollowShownSize() {
  const QSize shown = scene_.A().ShownSize();
  if (shown == QSize(view_.PictureWidth(), view_.PictureHeight())) return false;
  view_.SetPictureSize(shown.width(), shown.height());
  return true;
}

void Picture1::Clear() { scene_.A().Clear(); }

bool Picture1::ShowFrame(const QImage& picture, const QImage& scaled, lumenor::Zoom scaledZoom,
                         const QRect& scaledRect, const lumenor::Look& madeFor) {
  scene_.A().SetShown(picture, scaled, scaledZoom, scaledRect, madeFor);
  update();
  return FollowShownSize();
}

bool Picture1::ShowPicture(const QImage& picture, const QImage& stored) {
  scene_.A().SetPicture(picture, stored);
  update();
  return FollowShownSize();
}

bool Picture1::SetLook(const lumenor::Look& look) {
  scene_.SetLook(look);
  update();
  return FollowShownSize();
}

bool Picture1::SetCompare(const lumenor::CompareView& compare) {
  scene_.SetCompare(compare);
  update();
  const QSize device = DeviceClient();
  if (device == QSize(ScaleWidth(), ScaleHeight())) return false;
  view_.SetClientSize(device.width(), device.height());
  return true;
}

void Picture1::Refresh() {
  const QRect changed = scene_.CatchUp(view_.GetZoom());
  // Show them, wherever a repaint under way does not reach.
  if (!changed.isEmpty()) update(ToLogical(changed.translated(Left(), Top())));
  repaint();
}

void Picture1::RefreshRows(int top, int bottom) {
  const std::optional<QRect> ready = scene_.LoadProgress(top, bottom, view_.GetZoom());
  if (!ready) return update();  // the next repaint shows it all
  const QRect shown =
      ready->translated(Left(), Top()) & QRect(0, 0, ScaleWidth(), ScaleHeight());
  if (!shown.isEmpty()) repaint(ToLogical(shown));
}

void Picture1::SetPixel(int x, int y, lumenor::Colour colour) {
  if (Image().valid(x, y)) Scanline(y)[x] = lumenor::ColourToPixel(colour);
}

lumenor::Colour Picture1::GetPixel(int x, int y) const {
  if (!Image().valid(x, y)) return 0xFFFFFFFFu;
  return lumenor::PixelToColour(
      reinterpret_cast<const lumenor::Pixel*>(Image().constScanLine(y))[x]);
}

void Picture1::FillSpan(int x, int y, int count, lumenor::Colour colour) {
  if (y < 0 || y >= Image().height()) return;
  const int from = std::max(x, 0);
  const int to =
      static_cast<int>(std::min<long long>(static_cast<long long>(x) + count, Image().width()));
  if (from < to) std::fill(Scanline(y) + from, Scanline(y) + to, lumenor::ColourToPixel(colour));
}

void Picture1::paintEvent(QPaintEvent* event) {
  FollowScreen();  // in case the scale changed with no word of it
  QPainter painter(this);
  // Draw in device pixels, so that at 100 % a picture pixel is a screen pixel at any scale.
  painter.setTransform(QTransform::fromScale(1 / devicePixelRatioF(), 1 / devicePixelRatioF()));
  scene_.Paint(painter, ToDevice(event->rect()), view_);
}
