#include "quiet_reload.h"

#include <algorithm>
#include <string>
#include <vector>

#include "backing_image.h"
#include "module1.h"

namespace {

// The decoder's canvas for a picture loaded aside: a backing image of its own. A row is filled
// with the background when the decoder first asks for it and, after the load, wherever it never
// did. It starts at 25 x 19 as the window's canvas does.
class AsideCanvas final : public lumenor::Canvas {
 public:
  AsideCanvas(lumenor::Pixel background, const std::atomic<bool>& cancelled)
      : background_(background), cancelled_(cancelled), image_(AllocateImage(25, 19)) {
    image_.fill(background_);
    touched_.assign(19, true);
  }

  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  bool Resize(int width, int height) override {
    QImage resized = AllocateImage(width, height);
    if (resized.isNull()) return false;
    image_ = resized;
    stored_ = QImage();
    touched_.assign(static_cast<std::size_t>(height), false);
    return true;
  }
  lumenor::Pixel* Scanline(int y) override {
    auto* row = reinterpret_cast<lumenor::Pixel*>(image_.scanLine(y));
    if (!touched_[static_cast<std::size_t>(y)]) {
      std::fill_n(row, image_.width(), background_);
      touched_[static_cast<std::size_t>(y)] = true;
    }
    return row;
  }
  lumenor::StoredPixel* StoredScanline(int y) override {
    if (stored_.isNull()) {
      stored_ = AllocateImage(image_.width(), image_.height(), QImage::Format_ARGB32);
      if (stored_.isNull()) return nullptr;
      stored_.fill(0u);
    }
    return reinterpret_cast<lumenor::StoredPixel*>(stored_.scanLine(y));
  }
  void SetTitle(const std::string& utf8Title) override { title_ = utf8Title; }
  void ShowError(const std::string& utf8Text) override {
    if (error_.isEmpty()) error_ = QString::fromStdString(utf8Text);
  }
  bool Progress(int /*top*/, int /*bottom*/) override { return !cancelled_; }

  // The picture, rows the load never reached as background; null when the load failed.
  AsidePicture Finish() {
    if (!error_.isEmpty() || cancelled_ || title_.empty()) return {{}, {}, {}, error_};
    for (int y = 0; y < image_.height(); ++y) Scanline(y);
    return {image_, stored_, QString::fromStdString(title_), {}};
  }

 private:
  lumenor::Pixel background_;
  const std::atomic<bool>& cancelled_;
  QImage image_;
  QImage stored_;
  std::vector<bool> touched_;
  std::string title_;
  QString error_;
};

}  // namespace

QuietReload::QuietReload(QObject* parent) : QObject(parent) {}

QuietReload::~QuietReload() { Cancel(); }

void QuietReload::Cancel() {
  ++generation_;
  running_ = false;
  Join();
}

void QuietReload::Join() {
  cancelled_ = true;
  if (thread_.joinable()) thread_.join();
  cancelled_ = false;
}

void QuietReload::Start(const QByteArray& path, lumenor::Pixel background,
                        const lumenor::DecodeOptions& options) {
  Join();
  const int generation = ++generation_;
  running_ = true;
  thread_ = std::thread([this, path, background, generation, options] {
    AsideCanvas canvas(background, cancelled_);
    lumenor::LoadImageFile(path.toStdString(), canvas, options);
    if (cancelled_) return;
    const AsidePicture loaded = canvas.Finish();
    // The object outlives the thread (its destructor joins it), and a call still queued when
    // it goes is dropped with it.
    QMetaObject::invokeMethod(
        this,
        [this, path, loaded, generation] {
          if (generation != generation_) return;
          running_ = false;
          if (thread_.joinable()) thread_.join();
          emit finished(path, loaded);
        },
        Qt::QueuedConnection);
  });
}
