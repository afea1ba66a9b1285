#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame_queue.h"
#include "view_look.h"

// A worker's means of making one picture of a frame: decoded from its file into the cache's
// memory, made as the view's look shows it, and scaled for the view. Kept from frame to frame:
// the scaler while the size and zoom stay, the stored values' buffer while the size does.
class FrameMaker {
 public:
  // Room in the cache's budget for a picture shown at width x height that takes bytes (picture
  // and scaled): false when there is none, and the picture is given up.
  using Room = std::function<bool(int width, int height, std::size_t bytes)>;
  // At each progress point: false gives the load up.
  using GoOn = std::function<bool()>;

  struct Made {
    FramePicture picture;
    std::string title;
    bool broken = false;     // the file cannot be shown
    bool abandoned = false;  // given up: no room, or no longer wanted
    double reached = 1;      // how much of the picture the load reached, 0 to 1
  };

  Made Make(const std::string& path, const PlayerView& view, const lumenor::DecodeOptions& options,
            const std::shared_ptr<FramePool>& pool, const Room& room, const GoOn& goOn);
  // Scales picture for plan into scaled (plan.Count() pixels).
  void Scale(const FramePicture& picture, const ScalePlan& plan, FrameBlock& scaled);

 private:
  lumenor::PictureScaler& ScalerFor(int width, int height, lumenor::Zoom zoom, bool translucent);

  std::optional<lumenor::PictureScaler> scaler_;
  int width_ = 0;
  int height_ = 0;
  bool translucent_ = false;
  std::vector<lumenor::StoredPixel> stored_;
  lumenor::RowShower shower_;
};
