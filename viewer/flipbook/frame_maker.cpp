#include "frame_maker.h"

#include "frame_canvas.h"
#include "module1.h"

using lumenor::Pixel;

lumenor::PictureScaler& FrameMaker::ScalerFor(int width, int height, lumenor::Zoom zoom,
                                              bool translucent) {
  if (!scaler_ || width != width_ || height != height_ || !(scaler_->GetZoom() == zoom) ||
      translucent != translucent_) {
    scaler_.emplace(width, height, zoom,
                    translucent ? lumenor::ScaledAlpha::kAveraged : lumenor::ScaledAlpha::kOpaque);
    width_ = width;
    height_ = height;
    translucent_ = translucent;
  }
  return *scaler_;
}

void FrameMaker::Scale(const FramePicture& picture, const ScalePlan& plan, FrameBlock& scaled) {
  const QRect& r = plan.rect;
  ScalerFor(picture.width, picture.height, plan.zoom, picture.translucent)
      .Scale(picture.picture->Pixels(), static_cast<std::size_t>(picture.width), r.x(), r.y(),
             r.width(), r.height(), scaled.Pixels(), static_cast<std::size_t>(r.width()));
}

FrameMaker::Made FrameMaker::Make(const std::string& path, const PlayerView& view,
                                  const lumenor::DecodeOptions& options,
                                  const std::shared_ptr<FramePool>& pool, const Room& room,
                                  const GoOn& goOn) {
  Made made;
  const lumenor::Look& look = view.look;
  const bool plain = look.Plain();
  ScalePlan plan;
  std::shared_ptr<FrameBlock> scaled;
  RowScaler rowScaler;
  bool noRoom = false;  // the cache had no room for it, or the memory could not be had
  FrameCanvas canvas(
      view.background,
      [&](int width, int height) -> std::shared_ptr<FrameBlock> {
        const auto shown = look.orientation.Shown({width, height});
        plan = PlanScaling(shown.width, shown.height, view);
        const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        if (!room(shown.width, shown.height, (count + plan.Count()) * sizeof(Pixel))) {
          noRoom = true;
          return nullptr;
        }
        std::shared_ptr<FrameBlock> picture = FrameBlock::Take(pool, count);
        scaled = plan.Count() > 0 ? FrameBlock::Take(pool, plan.Count()) : nullptr;
        if (!picture || (plan.Count() > 0 && !scaled)) {
          noRoom = true;
          return nullptr;
        }
        // Shown as decoded: its rows are scaled as the decoder finishes them, while in the cache.
        if (scaled && plain)
          rowScaler.Start(ScalerFor(width, height, plan.zoom, false), picture->Pixels(), width,
                          plan.rect.x(), plan.rect.y(), plan.rect.width(), plan.rect.height(),
                          scaled->Pixels());
        return picture;
      },
      [&](int top) {
        if (!goOn()) return false;
        rowScaler.Finished(top);
        return true;
      });
  if (look.NeedsStored()) canvas.KeepStored(&stored_);
  lumenor::LoadImageFile(path, canvas, options);
  if (noRoom || canvas.Abandoned()) {
    made.abandoned = true;
    made.reached = canvas.Reached();
    return made;
  }
  std::shared_ptr<FrameBlock> picture = canvas.TakeBlock();
  if (!canvas.Messages().empty() || !picture) {
    made.broken = true;  // a file that cannot be shown
    return made;
  }
  canvas.FillUntouched();
  made.title = canvas.Title();
  const int width = canvas.Width(), height = canvas.Height();
  if (plain) {
    rowScaler.Finished(0);
    made.picture = {std::move(picture), width, height, false, plan, std::move(scaled)};
    return made;
  }
  // Made as the look shows it, in memory of its own; the picture as decoded goes back to the
  // pool for the next frame.
  const auto size = look.orientation.Shown({width, height});
  std::shared_ptr<FrameBlock> shown =
      FrameBlock::Take(pool, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (!shown) {
    made.abandoned = true;
    return made;
  }
  const bool hasStored = canvas.HasStored();
  shower_.Show(look, picture->Pixels(), static_cast<std::size_t>(width),
               hasStored ? stored_.data() : nullptr, static_cast<std::size_t>(width), width,
               height, 0, height - 1, shown->Pixels(), static_cast<std::size_t>(size.width));
  made.picture = {std::move(shown), size.width, size.height, look.Translucent(hasStored), plan,
                  std::move(scaled)};
  if (made.picture.scaled) Scale(made.picture, plan, *made.picture.scaled);
  return made;
}
