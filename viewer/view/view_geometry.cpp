#include "view_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using lumenor::Zoom;

constexpr std::array<Zoom, 20> kLadder = {
    {{1, 32}, {1, 24}, {1, 16}, {1, 12}, {1, 8}, {1, 6}, {1, 4},  {1, 3},  {1, 2},  {2, 3},
     {1, 1},  {2, 1},  {3, 1},  {4, 1},  {6, 1}, {8, 1}, {12, 1}, {16, 1}, {24, 1}, {32, 1}}};

int RoundToInt(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

ViewGeometry::Zoom ViewGeometry::NextZoomIn(Zoom zoom) {
  for (const Zoom step : kLadder)
    if (zoom < step) return step;
  return kLadder.back();
}

ViewGeometry::Zoom ViewGeometry::NextZoomOut(Zoom zoom) {
  for (auto step = kLadder.rbegin(); step != kLadder.rend(); ++step)
    if (*step < zoom) return *step;
  return zoom;  // at or below the bottom (Fit to Window can go lower): no further
}

void ViewGeometry::SetPictureSize(int width, int height) {
  pictureWidth_ = width;
  pictureHeight_ = height;
}

void ViewGeometry::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
}

int ViewGeometry::Width() const { return static_cast<int>(zoom_.ScaledLength(pictureWidth_)); }
int ViewGeometry::Height() const { return static_cast<int>(zoom_.ScaledLength(pictureHeight_)); }

void ViewGeometry::ZoomAbout(Zoom zoom, double x, double y) {
  // From where the last zoom put the canvas exactly, unless it has moved since: zooming in and
  // out about one point then keeps that point, with no rounding gathering from step to step.
  const double left = RoundToInt(exactLeft_) == left_ ? exactLeft_ : left_;
  const double top = RoundToInt(exactTop_) == top_ ? exactTop_ : top_;
  const double pictureX = zoom_.Unscale(x - left), pictureY = zoom_.Unscale(y - top);
  zoom_ = zoom;
  exactLeft_ = x - pictureX * zoom.Factor();
  exactTop_ = y - pictureY * zoom.Factor();
  left_ = RoundToInt(exactLeft_);
  top_ = RoundToInt(exactTop_);
  Confine();
}

ViewGeometry::Zoom ViewGeometry::FitZoom() const {
  if (pictureWidth_ <= clientWidth_ && pictureHeight_ <= clientHeight_) return kActualSize;
  // min(clientWidth / pictureWidth, clientHeight / pictureHeight), at least one pixel each way.
  const std::int64_t width = std::max(clientWidth_, 1), height = std::max(clientHeight_, 1);
  if (width * pictureHeight_ <= height * pictureWidth_)
    return lumenor::MakeZoom(width, pictureWidth_);
  return lumenor::MakeZoom(height, pictureHeight_);
}

void ViewGeometry::PanBy(double dx, int dy) {
  if (dx > 0) {
    left_ = left_ + dx < 0 ? RoundToInt(left_ + dx) : 0;
  } else if (dx < 0 && Width() > clientWidth_) {
    left_ = Width() + left_ + dx > clientWidth_ ? RoundToInt(left_ + dx) : clientWidth_ - Width();
  }
  if (dy < 0 && Height() > clientHeight_) {
    top_ = Height() + top_ + dy > clientHeight_ ? top_ + dy : clientHeight_ - Height();
  } else if (dy > 0) {
    top_ = dy + top_ < 0 ? top_ + dy : 0;
  }
  Settle();
}

void ViewGeometry::PullBack() {
  if (left_ < 0 && Width() + left_ < clientWidth_)
    left_ = clientWidth_ - Width() >= 0 ? 0 : clientWidth_ - Width();
  if (top_ < 0 && Height() + top_ < clientHeight_)
    top_ = clientHeight_ - Height() >= 0 ? 0 : clientHeight_ - Height();
  Settle();
}

void ViewGeometry::Confine() {
  left_ = std::clamp(left_, std::min(0, clientWidth_ - Width()), 0);
  top_ = std::clamp(top_, std::min(0, clientHeight_ - Height()), 0);
  Settle();
}

void ViewGeometry::Settle() {
  if (!centred_) return;
  if (Width() < clientWidth_) left_ = (clientWidth_ - Width()) / 2;
  if (Height() < clientHeight_) top_ = (clientHeight_ - Height()) / 2;
}
