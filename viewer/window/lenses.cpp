#include "lenses.h"

#include <cmath>

#include "comparison.h"
#include "flipbook.h"
#include "folder.h"
#include "looks.h"
#include "picture1.h"
#include "player.h"
#include "remembered.h"
#include "stage.h"
#include "viewport.h"

Lenses::Lenses(Menus& menus, Picture1& canvas, Viewport& viewport, Stage& stage, QObject* parent)
    : QObject(parent), canvas_(canvas), viewport_(viewport), stage_(stage) {
  looks_ = new Looks(menus, this);
  comparison_ = new Comparison(
      menus, canvas, [this] { return stage_.PictureFolder().Current(); }, this);
  connect(looks_, &Looks::changed, this, [this](const lumenor::Look& look) {
    stage_.SetLook(look);
    comparison_->SetLook(look, stage_.AfterPlay());
    emit changed();
  });
  connect(comparison_, &Comparison::changed, this, [this] {
    FollowComparison();
    emit changed();
  });
  connect(comparison_, &Comparison::failed, this, &Lenses::failed);
  connect(looks_, &Looks::checkerboardChosen, this,
          [](bool on) { remembered::Remember(remembered::kCheckerboard, on); });
  // Side by side the view works in each half: fitted again, or pulled back into it.
  connect(comparison_, &Comparison::clientChanged, this, [this] {
    viewport_.Resized();
    if (stage_.FramePlayer().Playing()) stage_.UpdatePlayerView();
  });
  // B follows A's frame number: the picture loaded or walked to, the frame played or sought.
  connect(&stage_, &Stage::changed, this,
          [this] { comparison_->AFollowed(stage_.PictureFolder().Current()); });
  connect(&stage_, &Stage::frameShown, this, [this] {
    if (const auto number = stage_.FrameShown(); number && !stage_.ShowsMissing())
      comparison_->AFollowed(stage_.Book().PathOf(*number), stage_.Book().ComparesFrames());
  });
}

void Lenses::SetDecodeOptions(const lumenor::DecodeOptions& options) {
  options_ = options;
  comparison_->SetDecodeOptions(options);
}

void Lenses::FollowComparison() {
  const auto& frames = comparison_->BFrames();
  const QByteArray folder = comparison_->Comparing() && frames ? frames->folder : QByteArray();
  if (folder == comparedFolder_) return;
  comparedFolder_ = folder;
  stage_.SetCompared(folder, folder.isEmpty() ? std::nullopt
                                              : std::optional<Sequence>(frames->sequence));
}

void Lenses::Describe(StatusReadout& status) {
  status.SetChannel(Looks::ChannelName(looks_->Current().channel));
  if (!comparison_->Comparing()) {
    described_.clear();
    bPicture_.reset();
    return status.SetCompared(nullptr);
  }
  if (comparison_->Shown() != described_ || !bPicture_ != described_.isEmpty()) {
    described_ = comparison_->Shown();
    bPicture_.reset();
    if (!described_.isEmpty()) bPicture_ = ShownPicture::Of(described_, true, options_);
  }
  status.SetCompared(&bPicture_);
}

void Lenses::PointAt(QPointF devicePoint, StatusReadout& status) const {
  const Scene& scene = canvas_.GetScene();
  const lumenor::CompareView& compare = scene.Compare();
  // Side by side, either half shows the same canvas.
  if (compare.Shown() == lumenor::CompareMode::kSideBySide && devicePoint.x() >= canvas_.ScaleWidth())
    devicePoint.rx() -= canvas_.ScaleWidth();
  if (!canvas_.CanvasRect().contains(devicePoint.toPoint())) return status.PointerLeft();
  const lumenor::Zoom zoom = canvas_.View().GetZoom();
  const QPoint shown(static_cast<int>(std::floor(zoom.Unscale(devicePoint.x() - canvas_.Left()))),
                     static_cast<int>(std::floor(zoom.Unscale(devicePoint.y() - canvas_.Top()))));
  const lumenor::Orientation orientation = scene.GetLook().orientation;
  // The picture's own pixel under a pixel of the picture as shown.
  const auto pictureAt = [&](QSize size) -> std::optional<std::pair<int, int>> {
    if (!QRect(QPoint(0, 0), size).contains(shown)) return std::nullopt;
    const lumenor::Orientation::Size picture =
        orientation.SwapsAxes() ? lumenor::Orientation::Size{size.height(), size.width()}
                                : lumenor::Orientation::Size{size.width(), size.height()};
    const auto at = orientation.PictureAt({shown.x(), shown.y()}, picture);
    return std::pair{at.x, at.y};
  };
  const auto a = pictureAt(scene.A().ShownSize());
  if (!a) return status.PointerLeft();
  if (!compare.comparing) return status.PointAt(a->first, a->second);
  status.PointAt(a->first, a->second, pictureAt(scene.B().ShownSize()),
                 compare.mode == lumenor::CompareMode::kDifference
                     ? scene.DifferenceAt(shown)
                     : std::nullopt);
}
