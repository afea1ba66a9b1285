#include "comparison.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "frame_number.h"
#include "menus.h"
#include "picture1.h"
#include "quiet_reload.h"
#include "status_readout.h"

using lumenor::CompareMode;
using lumenor::CompareView;

namespace {

constexpr int kReach = 4;  // device pixels either side of the wipe line that take it

QByteArray NameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

std::optional<std::int64_t> NumberOf(const QByteArray& path) {
  const auto split = lumenor::SplitFrameName(NameOf(path).toStdString());
  if (!split) return std::nullopt;
  return static_cast<std::int64_t>(split->number);
}

// B's sequence, from its folder as it is now.
std::optional<Comparison::Frames> FramesOf(const QByteArray& path) {
  if (!NumberOf(path)) return std::nullopt;
  const QByteArray folder = path.left(path.lastIndexOf('/') + 1);
  std::vector<std::string> names;
  for (const QString& entry : QDir(QFile::decodeName(folder)).entryList(QDir::Files))
    names.push_back(QFile::encodeName(entry).toStdString());
  auto sequence = Sequence::Of(names, NameOf(path).toStdString());
  if (!sequence) return std::nullopt;
  return Comparison::Frames{folder, std::move(*sequence)};
}

}  // namespace

QByteArray Comparison::Frames::PathOf(std::int64_t number) const {
  const Sequence::Frame* frame = sequence.Find(number);
  return frame ? folder + QByteArray::fromStdString(frame->name) : QByteArray();
}

Comparison::Comparison(Menus& menus, Picture1& canvas, std::function<QByteArray()> currentA,
                       QObject* parent)
    : QObject(parent), menus_(menus), canvas_(canvas), currentA_(std::move(currentA)) {
  loader_ = new QuietReload(this);
  connect(loader_, &QuietReload::finished, this, &Comparison::Loaded);
  const std::pair<QAction*, CompareMode> modes[] = {{menus.mnuCompareA, CompareMode::kA},
                                                    {menus.mnuCompareB, CompareMode::kB},
                                                    {menus.mnuWipe, CompareMode::kWipe},
                                                    {menus.mnuDifference, CompareMode::kDifference},
                                                    {menus.mnuSideBySide, CompareMode::kSideBySide}};
  for (const auto& [item, mode] : modes)
    connect(item, &QAction::triggered, this, [this, mode = mode] { SetMode(mode); });
  for (const auto& [item, gain] : {std::pair{menus.mnuGain1, 1}, std::pair{menus.mnuGain4, 4},
                                   std::pair{menus.mnuGain16, 16}})
    connect(item, &QAction::triggered, this, [this, gain = gain] {
      CompareView view = view_;
      view.gain = gain;
      Apply(view);
    });
  connect(menus.keyFlip, &QAction::triggered, this, &Comparison::Flip);
  connect(menus.mnuStopComparing, &QAction::triggered, this, &Comparison::Stop);
}

Comparison::~Comparison() = default;

void Comparison::CompareWith(const QByteArray& path) {
  chosen_ = path;
  LoadB(path);
}

void Comparison::SetDecodeOptions(const lumenor::DecodeOptions& options) { options_ = options; }

void Comparison::LoadB(const QByteArray& path) {
  loader_->Start(path, canvas_.BackColor().rgb(), options_,
                 look_.NeedsStored() ? QuietReload::Keep::kPictureAndStored
                     : QuietReload::Keep::kPicture);
}

void Comparison::SetLook(const lumenor::Look& look, bool framesCarryB) {
  look_ = look;
  if (!view_.comparing || shown_.isEmpty() || framesCarryB || !look_.NeedsStored() ||
      canvas_.GetScene().B().HasStored() ||
      !lumenor::HasAlpha(ShownPicture::HeaderOf(shown_).channels))
    return;
  LoadB(shown_);
}

void Comparison::Loaded(const QByteArray& path, const AsidePicture& loaded) {
  if (!chosen_.isEmpty() && path == chosen_) {
    chosen_.clear();
    if (loaded.picture.isNull())
      return emit failed(loaded.error.isEmpty()
                             ? QStringLiteral("There was an error reading the file.")
                             : loaded.error);
    frames_ = FramesOf(path);
    shown_ = path;
    lastA_ = currentA_();
    canvas_.GetScene().B().SetPicture(loaded.picture, loaded.stored);
    flippedFrom_.reset();
    menus_.mnuWipe->setChecked(true);
    CompareView view;
    view.comparing = true;
    view.mode = CompareMode::kWipe;
    view.gain = view_.gain;
    view.wipe = canvas_.ScaleWidth() / 2;
    Apply(view);
    return;
  }
  // B's frame for A's number; one that cannot be shown is missing.
  if (!view_.comparing || path != shown_) return;
  canvas_.GetScene().B().SetPicture(loaded.picture, loaded.stored);
  canvas_.BChanged();
  emit changed();
}

void Comparison::Stop() {
  if (!view_.comparing && chosen_.isEmpty()) return;
  chosen_.clear();
  loader_->Cancel();
  frames_.reset();
  shown_.clear();
  flippedFrom_.reset();
  canvas_.GetScene().B().SetPicture({}, {});  // its memory goes
  CompareView view;
  view.gain = view_.gain;
  Apply(view);
}

void Comparison::AFollowed(const QByteArray& path, bool frameCarriesB) {
  if (!view_.comparing || !frames_ || (path == lastA_ && !frameCarriesB)) return;
  lastA_ = path;
  const auto number = NumberOf(path);
  if (!number) return;
  const QByteArray b = frames_->PathOf(*number);
  if (b == shown_ && !frameCarriesB) return;
  shown_ = b;
  if (frameCarriesB) return emit changed();
  if (b.isEmpty()) {
    loader_->Cancel();
    canvas_.GetScene().B().SetPicture({}, {});  // missing on B's side
    canvas_.BChanged();
    return emit changed();
  }
  LoadB(b);
}

void Comparison::SetMode(CompareMode mode) {
  if (!view_.comparing) return;
  flippedFrom_.reset();
  CompareView view = view_;
  view.mode = mode;
  Apply(view);
}

void Comparison::Flip() {
  if (!view_.comparing) return;
  CompareView view = view_;
  if (flippedFrom_) {
    view.mode = *std::exchange(flippedFrom_, std::nullopt);
  } else if (view.mode == CompareMode::kA || view.mode == CompareMode::kB) {
    view.mode = view.mode == CompareMode::kA ? CompareMode::kB : CompareMode::kA;
  } else {
    flippedFrom_ = view.mode;
    view.mode = CompareMode::kB;
  }
  Apply(view);
}

void Comparison::Apply(const CompareView& view) {
  view_ = view;
  QAction* const items[] = {menus_.mnuCompareA, menus_.mnuCompareB, menus_.mnuWipe,
                            menus_.mnuDifference, menus_.mnuSideBySide};
  items[static_cast<int>(view.mode)]->setChecked(true);
  (view.gain == 16 ? menus_.mnuGain16 : view.gain == 4 ? menus_.mnuGain4 : menus_.mnuGain1)
      ->setChecked(true);
  if (canvas_.SetCompare(view)) emit clientChanged();
  emit changed();
}

bool Comparison::Press(QPointF devicePoint) {
  if (view_.Shown() != CompareMode::kWipe || std::abs(devicePoint.x() - view_.wipe - 0.5) > kReach)
    return false;
  dragging_ = true;
  return Drag(devicePoint);
}

bool Comparison::Drag(QPointF devicePoint) {
  if (!dragging_) return false;
  CompareView view = view_;
  view.wipe = std::clamp(static_cast<int>(std::floor(devicePoint.x())), 0,
                         std::max(canvas_.ScaleWidth() - 1, 0));
  if (!(view == view_)) {
    view_ = view;
    canvas_.SetCompare(view);
  }
  return true;
}

bool Comparison::Release() { return std::exchange(dragging_, false); }

void Comparison::ClientResized() {
  if (!view_.comparing) return;
  CompareView view = view_;
  view.wipe = std::clamp(view.wipe, 0, std::max(canvas_.ScaleWidth() - 1, 0));
  if (!(view == view_)) {
    view_ = view;
    canvas_.SetCompare(view);
  }
}
