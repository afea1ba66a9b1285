#include "flipbook.h"

#include <algorithm>
#include <string>

Flipbook::Flipbook(QObject* parent) : QObject(parent) {}

void Flipbook::Choose(const QByteArray& path, const std::vector<QByteArray>& names) {
  const qsizetype slash = path.lastIndexOf('/');
  const QByteArray folder = path.left(slash + 1), name = path.mid(slash + 1);
  std::vector<std::string> strings;
  strings.reserve(names.size());
  for (const QByteArray& n : names) strings.push_back(n.toStdString());
  std::optional<Sequence> sequence = Sequence::Of(strings, name.toStdString());
  std::vector<PlayItem> items;
  std::int64_t first = 0, last = 0;
  if (sequence) {
    for (const auto& frame : sequence->Frames())
      items.push_back({frame.number, folder + QByteArray::fromStdString(frame.name)});
    first = sequence->First();
    last = sequence->Last();
  } else {
    for (std::size_t i = 0; i < names.size(); ++i)
      items.push_back({static_cast<std::int64_t>(i), folder + names[i]});
    last = std::max<std::int64_t>(static_cast<std::int64_t>(names.size()) - 1, 0);
  }
  const bool same = folder == folder_ && first == first_ && last == last_ &&
                    std::equal(items.begin(), items.end(), items_.begin(), items_.end(),
                               [](const PlayItem& a, const PlayItem& b) {
                                 return a.number == b.number && a.path == b.path;
                               });
  folder_ = folder;
  sequence_ = std::move(sequence);
  names_ = sequence_ ? std::vector<QByteArray>() : names;
  if (same) return;
  if (first != first_ || last != last_) in_.reset(), out_.reset();
  items_ = items;
  first_ = first;
  last_ = last;
  player_.SetFrames(std::move(items), first, last);
}

std::optional<std::int64_t> Flipbook::NumberOf(const QByteArray& path) const {
  for (const PlayItem& item : items_)
    if (item.path == path) return item.number;
  return std::nullopt;
}

QByteArray Flipbook::PathOf(std::int64_t number) const {
  const auto at =
      std::lower_bound(items_.begin(), items_.end(), number,
                       [](const PlayItem& item, std::int64_t n) { return item.number < n; });
  return at != items_.end() && at->number == number ? at->path : QByteArray();
}

Flipbook::Runs Flipbook::Missing() const { return sequence_ ? sequence_->MissingRuns() : Runs(); }

void Flipbook::SetSpeed(int speed) {
  speed_ = std::clamp(speed, Player::kSlowest, Player::kFastest);
}

std::int64_t Flipbook::In() const { return std::clamp(in_.value_or(first_), first_, last_); }
std::int64_t Flipbook::Out() const { return std::clamp(out_.value_or(last_), In(), last_); }

void Flipbook::SetIn(std::optional<std::int64_t> number) {
  in_ = number;
  if (in_ && out_ && *out_ < *in_) out_.reset();
}

void Flipbook::SetOut(std::optional<std::int64_t> number) {
  out_ = number;
  if (in_ && out_ && *in_ > *out_) in_.reset();
}

void Flipbook::Play(std::int64_t from, bool resume) {
  PlayOrder order{In(), Out(), std::clamp(from, In(), Out()), direction_, mode_};
  // Taken up again where it was paused: on from the next frame its way.
  if (resume && from >= order.in && from <= order.out) {
    PlayOrder next = order;
    if (mode_ == LoopMode::kOnce) next.mode = LoopMode::kLoop;  // once more from the start
    order.start = next.FrameAt(1).value_or(from);
  }
  player_.Play(order, speed_);
}

std::int64_t Flipbook::StepFrom(std::int64_t shown, int delta) const {
  return std::clamp(shown + delta, In(), Out());
}
