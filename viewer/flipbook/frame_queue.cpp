#include "frame_queue.h"

#include <algorithm>

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

FrameQueue::FrameQueue(std::size_t cacheBudget)
    // Spare buffers are frames just let go, kept for the next of the same size: a few suffice.
    : pool(std::make_shared<FramePool>(cacheBudget / 8)), budget(cacheBudget) {}

const PlayItem* FrameQueue::Entry(std::int64_t number) const {
  const auto at =
      std::lower_bound(items.begin(), items.end(), number,
                       [](const PlayItem& item, std::int64_t n) { return item.number < n; });
  if (at == items.end() || at->number != number || at->path.isEmpty()) return nullptr;
  return &*at;
}

const PlayItem* FrameQueue::Item(std::int64_t number) const {
  const PlayItem* item = Entry(number);
  return item && !item->writing ? item : nullptr;
}

std::int64_t FrameQueue::Distance(std::int64_t number) const {
  if (playing) return order.PositionsUntil(number, nextToShow).value_or(kNever);
  const std::int64_t from = seek.value_or(shown);
  return number > from ? number - from : from - number;
}

void FrameQueue::Evict(std::map<std::int64_t, CachedFrame>::iterator frame) {
  cachedBytes -= frame->second.Bytes();
  cache.erase(frame);
}

bool FrameQueue::MakeRoom(std::size_t bytes, std::int64_t wantedIn, bool urgent) {
  while (cachedBytes + reservedBytes + bytes > budget) {
    auto farthest = cache.end();
    std::int64_t farthestDistance = wantedIn;
    for (auto frame = cache.begin(); frame != cache.end(); ++frame) {
      if (frame->second.rescaling) continue;  // a worker reads it
      const std::int64_t distance = Distance(frame->first);
      if (distance > farthestDistance) {
        farthest = frame;
        farthestDistance = distance;
      }
    }
    if (farthest == cache.end()) return urgent;
    Evict(farthest);
  }
  return true;
}

void FrameQueue::SetNextToShow(std::int64_t position) {
  nextToShow = position;
  awaited = FrameAt(position).value_or(-1);
}

void FrameQueue::Settle(std::int64_t upTo) {
  for (std::int64_t p = nextToShow; p < upTo; ++p) {
    const auto number = FrameAt(p);
    if (!number) break;
    const auto cached = cache.find(*number);
    if (!Item(*number))
      ++counts.missing;
    else if (cached != cache.end() && cached->second.broken)
      ++counts.broken;
    else
      ++counts.late;
  }
  if (upTo > nextToShow) {
    SetNextToShow(upTo);
    workToDo.notify_all();
  }
}

void FrameQueue::Forget() {
  ++session;
  cache.clear();
  cachedBytes = 0;
  inProgress.clear();
  reservedBytes = 0;
  seek.reset();
  Restart();
}

void FrameQueue::Restart() {
  nextToPrepare = 0;
  SetNextToShow(0);
  clock.Restart();
  ended = false;
}

std::vector<std::pair<std::int64_t, std::int64_t>> FrameQueue::Held() const {
  std::vector<std::pair<std::int64_t, std::int64_t>> runs;
  for (const auto& [number, frame] : cache) {
    if (frame.broken) continue;
    if (!runs.empty() && runs.back().second + 1 == number)
      runs.back().second = number;
    else
      runs.emplace_back(number, number);
  }
  return runs;
}
