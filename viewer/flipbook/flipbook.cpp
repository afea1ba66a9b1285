#include "flipbook.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "completeness.h"

namespace {

constexpr int kWatchMs = 500;

std::int64_t Nanoseconds(const timespec& time) {
  return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

Flipbook::Flipbook(QObject* parent) : QObject(parent) {
  watch_ = new QTimer(this);
  watch_->setInterval(kWatchMs);
  connect(watch_, &QTimer::timeout, this, [this] {
    if (Update(watchedNames_)) emit rangeChanged();
  });
}

// Each file's version from its stamp; a file changed within the last moments, or one whose header
// and tables say more than it holds, is being written.
std::vector<PlayItem> Flipbook::ItemsOf(const QByteArray& folder,
                                        const std::optional<Sequence>& sequence,
                                        const std::vector<QByteArray>& names) {
  std::vector<PlayItem> items;
  if (sequence) {
    for (const auto& frame : sequence->Frames())
      items.push_back({frame.number, folder + QByteArray::fromStdString(frame.name)});
  } else {
    for (std::size_t i = 0; i < names.size(); ++i)
      items.push_back({static_cast<std::int64_t>(i), folder + names[i]});
  }
  // Compared with a sequence, B's frame of the same number (none where B lacks it).
  if (sequence && compared_)
    for (PlayItem& item : items)
      if (const Sequence::Frame* frame = compared_->second.Find(item.number))
        item.comparePath = compared_->first + QByteArray::fromStdString(frame->name);
  const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  std::map<QByteArray, Known> known;
  for (PlayItem& item : items) {
    struct stat status {};
    if (::stat(item.path.constData(), &status) != 0) continue;  // gone: the load will say
    const std::int64_t modified = Nanoseconds(status.st_mtim);
    item.version = static_cast<std::uint64_t>(modified) ^
                   (static_cast<std::uint64_t>(status.st_size) << 20) ^
                   (static_cast<std::uint64_t>(status.st_ino) << 40) ^
                   static_cast<std::uint64_t>(Nanoseconds(status.st_ctim)) * 31;
    Known& file = known[item.path];
    const auto before = known_.find(item.path);
    if (before != known_.end() && before->second.version == item.version) {
      file = before->second;
    } else {
      file.version = item.version;
      file.complete = lumenor::CheckFileCompleteness(item.path.toStdString(), options_).state ==
                      lumenor::Completeness::State::kComplete;
    }
    item.writing = !file.complete || now - modified < kStillForMs * 1'000'000;
  }
  known_ = std::move(known);
  return items;
}

void Flipbook::Choose(const QByteArray& path, const std::vector<QByteArray>& names) {
  const qsizetype slash = path.lastIndexOf('/');
  const QByteArray folder = path.left(slash + 1), name = path.mid(slash + 1);
  std::vector<std::string> strings;
  strings.reserve(names.size());
  for (const QByteArray& n : names) strings.push_back(n.toStdString());
  std::optional<Sequence> sequence = Sequence::Of(strings, name.toStdString());
  // The frames played already, as they are now: the cache stays.
  const bool sameFrames = folder == folder_ && sequence.has_value() == sequence_.has_value() &&
                          (!sequence || sequence->SameSequenceAs(*sequence_));
  if (sameFrames) {
    Update(names);
    return;
  }
  folder_ = folder;
  sequence_ = std::move(sequence);
  names_ = sequence_ ? std::vector<QByteArray>() : names;
  watchedNames_ = names;
  items_ = ItemsOf(folder_, sequence_, names);
  first_ = sequence_ ? sequence_->First() : 0;
  last_ = sequence_ ? sequence_->Last()
                    : std::max<std::int64_t>(static_cast<std::int64_t>(names.size()) - 1, 0);
  in_.reset();
  out_.reset();
  player_.SetFrames(items_, first_, last_);
}

bool Flipbook::Update(const std::vector<QByteArray>& names) {
  if (folder_.isEmpty()) return false;
  watchedNames_ = names;
  std::optional<Sequence> sequence = sequence_;
  if (sequence_) {
    std::vector<std::string> strings;
    for (const QByteArray& n : names) strings.push_back(n.toStdString());
    // The same sequence, by a name of it that is still there (or the one it had).
    for (const auto& frame : sequence_->Frames())
      if (auto again = Sequence::Of(strings, frame.name);
          again && std::find(strings.begin(), strings.end(), frame.name) != strings.end()) {
        sequence = std::move(again);
        break;
      }
  }
  std::vector<PlayItem> items = ItemsOf(folder_, sequence, names);
  const bool same = std::equal(items.begin(), items.end(), items_.begin(), items_.end(),
                               [](const PlayItem& a, const PlayItem& b) {
                                 return a.number == b.number && a.path == b.path &&
                                        a.version == b.version && a.writing == b.writing &&
                                        a.comparePath == b.comparePath;
                               });
  if (same) return false;
  const std::int64_t first = sequence ? sequence->First() : 0;
  const std::int64_t last =
      sequence ? sequence->Last()
               : std::max<std::int64_t>(static_cast<std::int64_t>(names.size()) - 1, 0);
  const bool rangeChanged = first != first_ || last != last_;
  sequence_ = std::move(sequence);
  if (!sequence_) names_ = names;
  items_ = items;
  first_ = first;
  last_ = last;
  player_.UpdateFrames(std::move(items));
  emit framesChanged();
  return rangeChanged;
}

void Flipbook::SetCompared(const QByteArray& folder, const std::optional<Sequence>& sequence) {
  if (sequence)
    compared_.emplace(folder, *sequence);
  else
    compared_.reset();
  if (folder_.isEmpty()) return;
  items_ = ItemsOf(folder_, sequence_, watchedNames_);
  player_.SetFrames(items_, first_, last_);
}

void Flipbook::SetDecodeOptions(const lumenor::DecodeOptions& options) {
  options_ = options;
  known_.clear();
  player_.SetDecodeOptions(options);
  if (!folder_.isEmpty()) Update(watchedNames_);
}

void Flipbook::Watch(bool on) {
  if (on && !watch_->isActive()) watch_->start();
  if (!on) watch_->stop();
}

Flipbook::Runs Flipbook::Writing() const {
  Runs runs;
  for (const PlayItem& item : items_) {
    if (!item.writing) continue;
    if (!runs.empty() && runs.back().second + 1 == item.number)
      runs.back().second = item.number;
    else
      runs.emplace_back(item.number, item.number);
  }
  return runs;
}

bool Flipbook::IsWriting(std::int64_t number) const {
  const auto at = std::lower_bound(items_.begin(), items_.end(), number,
                                   [](const PlayItem& item, std::int64_t n) { return item.number < n; });
  return at != items_.end() && at->number == number && at->writing;
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
