// The flipbook player on the steady clock: plays the files given as a sequence from a cold start
// (nothing decoded before Play) for some seconds, putting each frame due into a client-sized
// image as a repaint would, or into a window, and prints the rate shown and the frames skipped.
// First, what one frame costs, measured in the same run: decoding it on one core (into fresh
// memory, and into memory used again, as the player does), scaling it for the view, and the two one
// after the other on every worker with no clock (the player scales rows as they are decoded, while
// they are in the cache, and does better). Prints figures; passes or fails nothing.
//   play_bench [--fps N] [--fit WIDTH HEIGHT | --zoom NUM DEN WIDTH HEIGHT] [--seconds S]
//              [--workers N] [--window] FILE...
// With --window the frames go to a real window (run it under xvfb-run, QT_QPA_PLATFORM=xcb).
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "memory_canvas.h"
#include "module1.h"
#include "player.h"
#include "resident_memory.h"
#include "scale.h"
#include "view_geometry.h"

namespace {

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double Ms(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

// A canvas over one buffer used again from picture to picture: the decoder's own cost, without
// the page faults of new memory.
class ReusedCanvas final : public lumenor::Canvas {
 public:
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Resize(int width, int height) override {
    width_ = width;
    height_ = height;
    pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    return true;
  }
  lumenor::Pixel* Scanline(int y) override {
    return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
  }
  void SetTitle(const std::string&) override {}
  void ShowError(const std::string& text) override { failed_ = !text.empty(); }
  bool Progress(int, int) override { return true; }
  bool Failed() const { return failed_; }
  const lumenor::Pixel* Pixels() const { return pixels_.data(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<lumenor::Pixel> pixels_;
  bool failed_ = false;
};

// What a worker keeps from frame to frame.
struct WorkerState {
  ReusedCanvas canvas;
  std::optional<lumenor::PictureScaler> scaler;
  std::vector<lumenor::Pixel> scaled;
  std::vector<char> chunk;
};

lumenor::Zoom ViewZoom(const PlayerView& view, int width, int height) {
  if (!view.fit) return view.zoom;
  ViewGeometry geometry;
  geometry.SetPictureSize(width, height);
  geometry.SetClientSize(view.clientWidth, view.clientHeight);
  return geometry.FitZoom();
}

// One frame's decode and scale for the view, on this thread; returns false if a file failed.
bool DecodeAndScale(const std::string& file, ReusedCanvas& canvas, const PlayerView& view,
                    std::optional<lumenor::PictureScaler>& scaler,
                    std::vector<lumenor::Pixel>& scaled) {
  lumenor::LoadImageFile(file, canvas);
  if (canvas.Failed()) return false;
  const lumenor::Zoom zoom = ViewZoom(view, canvas.Width(), canvas.Height());
  if (zoom == ViewGeometry::kActualSize) return true;
  if (!scaler || !(scaler->GetZoom() == zoom))
    scaler.emplace(canvas.Width(), canvas.Height(), zoom);
  // An enlargement is scaled only where it shows.
  const int width = std::min(scaler->ScaledWidth(), zoom.Enlarges() ? view.clientWidth : INT32_MAX);
  const int height =
      std::min(scaler->ScaledHeight(), zoom.Enlarges() ? view.clientHeight : INT32_MAX);
  scaled.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  scaler->Scale(canvas.Pixels(), static_cast<std::size_t>(canvas.Width()), 0, 0, width, height,
                scaled.data(), static_cast<std::size_t>(width));
  return true;
}

void PrintFrameCosts(const std::vector<std::string>& files, const PlayerView& view, int workers) {
  const std::size_t sample = std::min<std::size_t>(files.size(), 8);
  std::printf("one frame, ms (mean over %zu files; wall / this thread's CPU)\n", sample);
  {
    QElapsedTimer wall;
    wall.start();
    const double cpu = ThreadCpuMs();
    for (std::size_t i = 0; i < sample; ++i) {
      lumenor::MemoryCanvas canvas;
      lumenor::LoadImageFile(files[i], canvas);
    }
    std::printf("  decode into new memory    %8.2f %8.2f\n", Ms(wall) / double(sample),
                (ThreadCpuMs() - cpu) / double(sample));
  }
  ReusedCanvas canvas;
  lumenor::LoadImageFile(files[0], canvas);  // the buffer's pages, once
  {
    QElapsedTimer wall;
    wall.start();
    const double cpu = ThreadCpuMs();
    for (std::size_t i = 0; i < sample; ++i) lumenor::LoadImageFile(files[i], canvas);
    std::printf("  decode into used memory   %8.2f %8.2f\n", Ms(wall) / double(sample),
                (ThreadCpuMs() - cpu) / double(sample));
  }
  const lumenor::Zoom zoom = ViewZoom(view, canvas.Width(), canvas.Height());
  if (!(zoom == ViewGeometry::kActualSize)) {
    // A worker keeps its scaler from frame to frame.
    lumenor::PictureScaler scaler(canvas.Width(), canvas.Height(), zoom);
    const int width =
        std::min(scaler.ScaledWidth(), zoom.Enlarges() ? view.clientWidth : INT32_MAX);
    const int height =
        std::min(scaler.ScaledHeight(), zoom.Enlarges() ? view.clientHeight : INT32_MAX);
    std::vector<lumenor::Pixel> scaled(static_cast<std::size_t>(width) *
                                       static_cast<std::size_t>(height));
    QElapsedTimer wall;
    wall.start();
    const double cpu = ThreadCpuMs();
    for (std::size_t i = 0; i < sample; ++i)
      scaler.Scale(canvas.Pixels(), static_cast<std::size_t>(canvas.Width()), 0, 0, width, height,
                   scaled.data(), static_cast<std::size_t>(width));
    std::printf("  scale at %d/%d              %8.2f %8.2f\n", zoom.num, zoom.den,
                Ms(wall) / double(sample), (ThreadCpuMs() - cpu) / double(sample));
  }

  // Every worker at frames one after another as fast as it can, with no clock.
  const int frames = int(std::max<std::size_t>(files.size(), 24));
  const auto perSecond = [&](const auto& frame) {
    std::atomic<int> next = 0;
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w)
      threads.emplace_back([&] {
        WorkerState own;
        for (int i; (i = next++) < frames;) frame(files[std::size_t(i) % files.size()], own);
      });
    for (std::thread& thread : threads) thread.join();
    return double(frames) / (Ms(wall) / 1e3);
  };
  // The floor: what memory alone allows, reading each file and writing four bytes a pixel.
  const double floor = perSecond([&](const std::string& file, WorkerState& own) {
    std::ifstream in(file, std::ios::binary);
    own.chunk.resize(256 * 1024);
    own.canvas.Resize(canvas.Width(), canvas.Height());
    lumenor::Pixel* pixels = own.canvas.Scanline(0);
    const std::size_t count = std::size_t(canvas.Width()) * std::size_t(canvas.Height());
    std::size_t at = 0;
    while (in.read(own.chunk.data(), std::streamsize(own.chunk.size())) || in.gcount() > 0) {
      const std::size_t part = std::min(count - at, std::size_t(in.gcount()));
      std::fill_n(pixels + at, part, static_cast<lumenor::Pixel>(own.chunk[0]));
      at += part;
    }
    std::fill(pixels + at, pixels + count, lumenor::Pixel{0});
  });
  std::printf("  floor, on %d workers: read the file, write 4 bytes a pixel: %.1f frames/s\n",
              workers, floor);
  const double decoded = perSecond([&](const std::string& file, WorkerState& own) {
    DecodeAndScale(file, own.canvas, view, own.scaler, own.scaled);
  });
  std::printf("  decode, then scale, on %d workers: %.1f frames/s\n", workers, decoded);
}

// A window that shows one image at a time, repainted at once (what the window system is sent
// then is part of the cost).
class FrameWindow : public QWidget {
 public:
  FrameWindow() { setAttribute(Qt::WA_OpaquePaintEvent); }
  void Show(const QImage& image) {
    image_ = image;
    repaint();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setTransform(QTransform::fromScale(1 / devicePixelRatioF(), 1 / devicePixelRatioF()));
    painter.drawImage(0, 0, image_);
  }

 private:
  QImage image_;
};

int Usage() {
  std::fprintf(stderr,
               "usage: play_bench [--fps N] [--fit WIDTH HEIGHT | --zoom NUM DEN WIDTH HEIGHT] "
               "[--seconds S] [--workers N] [--window] FILE...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int fps = 24;
  double seconds = 5;
  int workers = std::max(2, int(std::thread::hardware_concurrency()));
  bool inWindow = false;
  PlayerView view;
  view.clientWidth = 1600;
  view.clientHeight = 1100;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto number = [&](int ahead) {
      return i + ahead < argc ? std::atoi(argv[i + ahead]) : 0;
    };
    if (arg == "--fps") {
      fps = number(1);
      ++i;
    } else if (arg == "--seconds") {
      seconds = i + 1 < argc ? std::atof(argv[i + 1]) : 0;
      ++i;
    } else if (arg == "--window") {
      inWindow = true;
    } else if (arg == "--workers") {
      workers = number(1);
      ++i;
    } else if (arg == "--fit") {
      view.fit = true;
      view.clientWidth = number(1);
      view.clientHeight = number(2);
      i += 2;
    } else if (arg == "--zoom") {
      view.zoom = lumenor::MakeZoom(number(1), std::max(number(2), 1));
      view.clientWidth = number(3);
      view.clientHeight = number(4);
      i += 4;
    } else if (arg.rfind("--", 0) == 0) {
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty() || fps <= 0 || seconds <= 0 || workers <= 0 || view.clientWidth <= 0 ||
      view.clientHeight <= 0)
    return Usage();

  {
    ReusedCanvas first;
    lumenor::LoadImageFile(files[0], first);
    const lumenor::Zoom zoom = ViewZoom(view, first.Width(), first.Height());
    std::printf(
        "%zu files of %d x %d (%s ...), %d fps, zoom %d/%d in a %d x %d client area, "
        "%d workers\n\n",
        files.size(), first.Width(), first.Height(), files[0].c_str(), fps, zoom.num, zoom.den,
        view.clientWidth, view.clientHeight, workers);
  }
  PrintFrameCosts(files, view, workers);

  // The play itself, in a fresh state: the floor above left the files in the page cache, as a
  // sequence just rendered or played once is.
  std::vector<QByteArray> paths;
  for (const std::string& file : files) paths.push_back(QByteArray::fromStdString(file));
  Player player(nullptr, workers);
  player.SetPictures(paths);
  player.SetFrameRate(fps);
  player.SetView(view);
  // The screen: an image the size of the client area, or with --window a window of that size.
  QImage screen(view.clientWidth, view.clientHeight, QImage::Format_RGB32);
  screen.fill(Qt::darkGray);
  FrameWindow window;
  if (inWindow) {
    window.resize(view.clientWidth, view.clientHeight);
    window.show();
    QApplication::processEvents();
  }
  PlayerFrame shown;  // held until the next, as the window holds the picture it shows
  QElapsedTimer sinceFirst;
  std::size_t mostAhead = 0;
  const double residentBefore = ResidentMiB();
  double mostResident = residentBefore;
  double paintMs = 0;
  QElapsedTimer fromPlay;
  double firstAfterMs = -1;
  QObject::connect(&player, &Player::frameDue, [&](const PlayerFrame& frame) {
    if (!sinceFirst.isValid()) {
      sinceFirst.start();
      firstAfterMs = Ms(fromPlay);
    }
    mostAhead = std::max(mostAhead, player.BytesAhead());
    mostResident = std::max(mostResident, ResidentMiB());
    // What a repaint copies to the screen: the scaled frame, or the full one's top-left corner.
    shown = frame;
    const QImage& image = frame.scaled.isNull() ? frame.picture : frame.scaled;
    QElapsedTimer paint;
    paint.start();
    if (inWindow) {
      window.Show(image);
    } else {
      QPainter painter(&screen);
      painter.drawImage(0, 0, image);
    }
    paintMs += Ms(paint);
  });
  fromPlay.start();
  player.Play(0);
  QTimer::singleShot(static_cast<int>(seconds * 1000), [&] {
    player.Pause();
    app.quit();
  });
  app.exec();

  const Player::Counts counts = player.GetCounts();
  const double played = sinceFirst.isValid() ? Ms(sinceFirst) / 1e3 : 0;
  const std::int64_t due = counts.shown + counts.Skipped();
  std::printf("\nplay for %.1f s from a cold start (first frame on screen after %.1f ms)\n",
              seconds, firstAfterMs);
  std::printf("  frames due %lld, shown %lld, skipped %lld (%.1f %%: %lld late, %lld broken)\n",
              static_cast<long long>(due), static_cast<long long>(counts.shown),
              static_cast<long long>(counts.Skipped()),
              due > 0 ? 100.0 * double(counts.Skipped()) / double(due) : 0.0,
              static_cast<long long>(counts.late), static_cast<long long>(counts.broken));
  std::printf("  rate shown %.2f fps (asked %d); copy to the %s %.2f ms a frame\n",
              played > 0 ? double(counts.shown) / played : 0.0, fps,
              inWindow ? "window, repainted at once," : "client-sized image",
              counts.shown > 0 ? paintMs / double(counts.shown) : 0.0);
  std::printf(
      "  memory: at most %.1f MiB ahead (frames and spare buffers); resident %.1f MiB before "
      "play, at most %.1f MiB during it\n",
      double(mostAhead) / (1024.0 * 1024.0), residentBefore, mostResident);
  return 0;
}
