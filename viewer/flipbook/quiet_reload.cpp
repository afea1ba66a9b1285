#include "quiet_reload.h"

#include <algorithm>
#include <string>
#include <vector>

#include "backing_image.h"
#include "module1.h"

namespace {

// The decoder's canvas for a picture loaded aside: a backing image of its own. A row is filled
// with the background when the decoder first asks for it and, after the load, wherever it never
// did. It starts at 25 x 19 as the window's canvas does. For stored values alone, the picture is
// one row that every row of the load goes through.
class AsideCanvas final : public lumenor::Canvas {
 public:
  using Keep = QuietReload::Keep;

  AsideCanvas(lumenor::Pixel background, Keep keep, const std::atomic<bool>& cancelled)
      : background_(background), keep_(keep), cancelled_(cancelled) {
    Resize(25, 19);
  }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Resize(int width, int height) override {
    QImage resized = AllocateImage(width, keep_ == Keep::kStoredOnly ? 1 : height);
    if (resized.isNull()) return false;
    image_ = resized;
    width_ = width;
    height_ = height;
    stored_ = QImage();
    touched_.assign(static_cast<std::size_t>(image_.height()), false);
    return true;
  }
  lumenor::Pixel* Scanline(int y) override {
    if (keep_ == Keep::kStoredOnly) y = 0;
    auto* row = reinterpret_cast<lumenor::Pixel*>(image_.scanLine(y));
    if (!touched_[static_cast<std::size_t>(y)] || keep_ == Keep::kStoredOnly) {
      std::fill_n(row, image_.width(), background_);
      touched_[static_cast<std::size_t>(y)] = true;
    }
    return row;
  }
  lumenor::StoredPixel* StoredScanline(int y) override {
    if (keep_ == Keep::kPicture) return nullptr;
    if (stored_.isNull()) {
      stored_ = AllocateImage(width_, height_, QImage::Format_ARGB32);
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
    if (keep_ == Keep::kStoredOnly) return {{}, stored_, QString::fromStdString(title_), {}};
    for (int y = 0; y < image_.height(); ++y) Scanline(y);
    return {image_, stored_, QString::fromStdString(title_), {}};
  }

 private:
  lumenor::Pixel background_;
  Keep keep_;
  const std::atomic<bool>& cancelled_;
  QImage image_;
  int width_ = 0, height_ = 0;
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
                        const lumenor::DecodeOptions& options, Keep keep) {
  Join();
  const int generation = ++generation_;
  running_ = true;
  thread_ = std::thread([this, path, background, generation, options, keep] {
    AsideCanvas canvas(background, keep, cancelled_);
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
