#include "frame_queue.h"

#include "view_geometry.h"

ScalePlan PlanScaling(int width, int height, const PlayerView& view) {
  ViewGeometry geometry;
  geometry.SetPictureSize(width, height);
  geometry.SetClientSize(view.clientWidth, view.clientHeight);
  const lumenor::Zoom zoom = view.fit ? geometry.FitZoom() : view.zoom;
  if (zoom == ViewGeometry::kActualSize || width <= 0 || height <= 0) return {zoom, {}};
  geometry.ZoomAbout(zoom, 0, 0);
  if (zoom.Shrinks()) return {zoom, QRect(0, 0, geometry.Width(), geometry.Height())};
  geometry.SetLeft(view.left);
  geometry.SetTop(view.top);
  geometry.Confine();
  const QRect canvas(geometry.Left(), geometry.Top(), geometry.Width(), geometry.Height());
  const QRect shown = QRect(0, 0, view.clientWidth, view.clientHeight) & canvas;
  return {zoom, shown.translated(-canvas.topLeft())};
}

int FrameQueue::IndexOf(std::int64_t position) const {
  const auto count = static_cast<std::int64_t>(paths.size());
  return static_cast<int>((first + position % count) % count);
}

void FrameQueue::SetNextToShow(std::int64_t position) {
  nextToShow = position;
  awaited = position;
  pool->Wake();
}

void FrameQueue::Settle(std::int64_t upTo) {
  if (upTo <= nextToShow) return;
  std::int64_t broken = 0;
  for (auto frame = ready.begin(); frame != ready.end() && frame->first < upTo;) {
    if (frame->second.broken) ++broken;
    frame = ready.erase(frame);
  }
  counts.broken += broken;
  counts.late += upTo - nextToShow - broken;
  SetNextToShow(upTo);
  workToDo.notify_all();
}

void FrameQueue::Flush() {
  ++session;
  ready.clear();
  inProgress.clear();
  nextToPrepare = 0;
  SetNextToShow(0);
  clock.Restart();
  pool->Wake();
}
