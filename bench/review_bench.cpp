// Sequence review in Lumenor's own window, as a person does it: a sequence played once and then
// looped from the frame cache, scrubbed on the timeline, and played at twice its rate with L.
// Prints what was shown, dropped, painted and read, the time from the pointer to the frame on
// screen, the memory, and floors measured in the same run, with the targets beside them; passes or
// fails nothing. Run it under a real X server (xvfb-run, QT_QPA_PLATFORM=xcb);
// bench/review_bench.sh writes the frames and runs every case.
//
//   review_bench [--runs N] [--client WIDTH HEIGHT] [--cache MIB] [--fit] CASE FIRST_FRAME
//
//   loop     the sequence played once at 12 fps (Loop Mode > Play Once: the cold pass), then
//            looped at 60 fps: each later loop's frames shown, dropped, missing and painted, the
//            rate shown, the bytes read from files over two loops, the cache and peak memory
//   scrub    View > Timeline, the pointer on it: moves to frames in the cache and not in it, and a
//            drag across 100 frames in a second, from the pointer to the frame on screen
//   shuttle  L twice (2x forwards) at 24 fps over frames in the cache
//
// Each run is a window of its own; the figures are the runs' medians, each run's in brackets.
// A frame is "on screen" at the end of the event whose handling painted the canvas after the
// player handed the frame over: the repaint has been drawn into the window's backing store and
// flushed to the window system.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake_dialogs.h"
#include "folder.h"
#include "form1.h"
#include "memory_canvas.h"
#include "module1.h"
#include "picture1.h"
#include "pixel_memory.h"
#include "player.h"
#include "timeline.h"
#include "window_bench.h"

namespace {

using namespace window_bench;

// What the process has read so far (/proc/self/io): rchar counts every byte read() and pread()
// returned, the page cache's too; read_bytes what had to come from storage; syscr the calls.
struct Reads {
  double rchar = 0;
  double storage = 0;
  double calls = 0;
};

Reads ReadsSoFar() {
  Reads reads;
  std::ifstream io("/proc/self/io");
  for (std::string line; std::getline(io, line);) {
    if (line.rfind("rchar:", 0) == 0) reads.rchar = std::atof(line.c_str() + 6);
    if (line.rfind("read_bytes:", 0) == 0) reads.storage = std::atof(line.c_str() + 11);
    if (line.rfind("syscr:", 0) == 0) reads.calls = std::atof(line.c_str() + 6);
  }
  return reads;
}

double FileMiB(const QByteArray& path) { return double(QFileInfo(path).size()) / (1 << 20); }

// The decoder alone on one frame, in memory, on this thread: ms.
double DecodeAloneMs(const QByteArray& path) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    lumenor::MemoryCanvas canvas;
    const auto start = Clock::now();
    lumenor::LoadImageFile(path.toStdString(), canvas);
    times.push_back(MsBetween(start, Clock::now()));
  }
  return Median(times);
}

// The scaler alone on one frame, whole, at zoom, on this thread: ms (nothing at 100 %).
double ScaleAloneMs(const QByteArray& path, lumenor::Zoom zoom) {
  if (zoom == lumenor::Zoom{}) return std::nan("");
  lumenor::MemoryCanvas canvas;
  lumenor::LoadImageFile(path.toStdString(), canvas);
  lumenor::PictureScaler scaler(canvas.Width(), canvas.Height(), zoom);
  std::vector<lumenor::Pixel> out(static_cast<std::size_t>(scaler.ScaledWidth()) *
                                  static_cast<std::size_t>(scaler.ScaledHeight()));
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    scaler.Scale(canvas.Scanline(0), static_cast<std::size_t>(canvas.Width()), 0, 0,
                 scaler.ScaledWidth(), scaler.ScaledHeight(), out.data(),
                 static_cast<std::size_t>(scaler.ScaledWidth()));
    times.push_back(MsBetween(start, Clock::now()));
  }
  return Median(times);
}

// A frame's memory as the frame cache takes it, fresh from the kernel, written once: ms, the median
// of some, each block held until the end so that none is memory just given back.
double FreshMemoryMs(std::size_t pictureCount, std::size_t scaledCount) {
  std::vector<std::pair<lumenor::Pixel*, std::size_t>> held;
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    for (const std::size_t count : {pictureCount, scaledCount}) {
      if (count == 0) continue;
      lumenor::Pixel* pixels = lumenor::AllocatePixels(count);
      if (pixels == nullptr) return std::nan("");
      std::memset(pixels, 0x5a, count * sizeof(lumenor::Pixel));
      held.emplace_back(pixels, count);
    }
    times.push_back(MsBetween(start, Clock::now()));
  }
  for (const auto& [pixels, count] : held) lumenor::FreePixels(pixels, count);
  return Median(times);
}

// The frame shown at the view's zoom: its pixels and those of its scaled copy.
double FreshFrameMs(Form1& form) {
  const lumenor::Zoom zoom = form.CurrentZoom();
  const auto width = static_cast<std::size_t>(form.Canvas().ImageWidth());
  const auto height = static_cast<std::size_t>(form.Canvas().ImageHeight());
  std::size_t scaled = 0;
  if (zoom.Shrinks())
    scaled = static_cast<std::size_t>(zoom.ScaledLength(static_cast<std::int64_t>(width)) *
                                      zoom.ScaledLength(static_cast<std::int64_t>(height)));
  return FreshMemoryMs(width * height, scaled);
}

struct Options : window_bench::WindowOptions {
  QByteArray first;  // the sequence's first frame
};

// One window with the sequence of its first frame open, the player and the canvas watched.
class Session {
 public:
  Session(BenchApplication& app, const Options& options) : app_(app), options_(options) {
    ResetPeak();
    form_ = std::make_unique<Form1>(dialogs_);
    form_->show();
    Resize();
    (void)QTest::qWaitForWindowExposed(form_.get());
    // The window's keys (J, K, L) are shortcuts of the active window; with no window manager to
    // activate it, it asks for the focus itself.
    form_->activateWindow();
    (void)QTest::qWaitForWindowActive(form_.get());
    QApplication::processEvents();
    form_->SetCacheMiB(options.cacheMiB);
    Player& player = form_->FramePlayer();
    // After the window's own connection: the frame is on the canvas when this runs.
    QObject::connect(&player, &Player::frameDue, form_.get(), [this](const PlayerFrame& frame) {
      log_.FrameDue(frame, form_->FramePlayer().GetCounts());
    });
    QObject::connect(&player, &Player::ended, form_.get(), [this] { ended_ = true; });
    player.SetWorkerHook([this](std::int64_t number) {
      ++decodes_;
      const std::lock_guard lock(startsMutex_);
      starts_.emplace_back(number, Clock::now());
    });
    app_.Watch(&form_->Canvas(), [this](Clock::time_point at) { log_.Painted(at); });
    Open();
  }
  ~Session() {
    app_.Watch(nullptr, {});
    form_.reset();
    QApplication::processEvents();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Form1& Window() { return *form_; }
  Player& FramePlayer() { return form_->FramePlayer(); }
  ScreenLog& Log() { return log_; }
  std::int64_t Decodes() const { return decodes_; }
  // When a worker last began to decode frame number, if it did.
  std::optional<Clock::time_point> DecodeStarted(std::int64_t number) {
    const std::lock_guard lock(startsMutex_);
    for (auto start = starts_.rbegin(); start != starts_.rend(); ++start)
      if (start->first == number) return start->second;
    return std::nullopt;
  }
  QAction& Item(const char* name) { return *form_->findChild<QAction*>(name); }
  Timeline& TimelineStrip() { return *form_->findChild<Timeline*>("timeline"); }

  // Opens the first frame again: the frames prepared and cached go.
  void Open() {
    form_->OpenFile(options_.first);
    (void)RunUntil([&] { return form_->PictureFolder().Listed() && !form_->Loading(); }, 30000);
  }
  // The client area (the canvas) at the size asked, whatever lies around it.
  void Resize() {
    for (int i = 0; i < 3; ++i) {
      form_->resize(form_->width() + options_.clientWidth - form_->ClientArea().width(),
                    form_->height() + options_.clientHeight - form_->ClientArea().height());
      RunFor(100);
    }
  }
  void Check(const char* item, bool checked) {
    if (Item(item).isChecked() != checked) Item(item).trigger();
  }
  void View() {
    if (options_.fit)
      Check("mnuFit", true);
    else
      Item("mnuActualSize").trigger();
    RunFor(100);
  }
  // Loop Mode > Play Once at fps from the frame shown, to the end: false when it never ends.
  bool PlayOnce(int fps) {
    Item("mnuPlayOnce").trigger();
    form_->SetFrameRate(fps);
    ended_ = false;
    Item("mnuPlay").trigger();
    return RunUntil([&] { return ended_; }, 600000);
  }
  // Plays the range once at fps, again while frames are not held for the view (passed over as
  // late, the machine being busy): the number of passes.
  int FillCache(int fps) {
    int passes = 0;
    do {
      if (!PlayOnce(fps)) break;
      ++passes;
    } while (FramePlayer().FramesReady() < FramePlayer().PictureCount() && passes < 4);
    return passes;
  }
  // From update() to the canvas painted, the frame on it already: ms, the median of some.
  double RepaintAloneMs() {
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
      const std::int64_t paints = log_.Paints();
      const auto start = Clock::now();
      form_->Canvas().update();
      if (RunUntil([&] { return log_.Paints() > paints; }, 2000))
        times.push_back(MsBetween(start, log_.LastPaint()));
      RunFor(20);
    }
    return Median(times);
  }
  std::string Describe() {
    char text[256];
    std::snprintf(text, sizeof text, "%s, %d x %d frames, client %d x %d, %s, cache %llu MiB",
                  qPrintable(QGuiApplication::platformName()), form_->Canvas().ImageWidth(),
                  form_->Canvas().ImageHeight(), form_->ScaleWidth(), form_->ScaleHeight(),
                  options_.fit ? "Fit to Window" : "100 %",
                  static_cast<unsigned long long>(options_.cacheMiB));
    return text;
  }

 private:
  BenchApplication& app_;
  const Options& options_;
  FakeDialogs dialogs_;
  std::unique_ptr<Form1> form_;
  ScreenLog log_;
  std::atomic<std::int64_t> decodes_ = 0;
  std::mutex startsMutex_;
  std::vector<std::pair<std::int64_t, Clock::time_point>> starts_;  // frames the workers began
  bool ended_ = false;
};

std::string g_described;  // the first run's setting, for the case's heading

void Heading(const char* title, const Options& options) {
  std::printf("== %s\n   %s\n   command: %s\n   runs: %d; medians, each run's in brackets\n", title,
              g_described.c_str(), options.command.c_str(), options.runs);
}

// ---- The sequence played once, then looped from the cache.

constexpr int kColdFps = 12;
constexpr int kLoopFps = 60;
constexpr int kLoops = 5;

void LoopRun(BenchApplication& app, const Options& options, Figures& figures) {
  Session session(app, options);
  session.View();
  Player& player = session.FramePlayer();
  ScreenLog& log = session.Log();
  figures.Add("file MiB", FileMiB(options.first));

  // The cold pass: nothing decoded before it.
  const auto coldStart = Clock::now();
  const Reads coldReads = ReadsSoFar();
  if (!session.PlayOnce(kColdFps)) std::printf("   the pass at %d fps never ended\n", kColdFps);
  const std::int64_t period = std::max(1, player.PictureCount());
  figures.Add("frames", double(period));
  const PlayCounts cold = player.GetCounts();
  figures.Add("cold shown", double(cold.shown));
  figures.Add("cold dropped", double(cold.Dropped()));
  figures.Add("cold missing", double(cold.missing));
  figures.Add("cold s", MsBetween(coldStart, Clock::now()) / 1000);
  figures.Add("cold decodes", double(session.Decodes()));
  figures.Add("cold rchar MiB", (ReadsSoFar().rchar - coldReads.rchar) / (1 << 20));
  figures.Add("held after cold", double(player.FramesReady()));
  g_described = session.Describe();

  // The later loops, from the cache. The bytes read over two of them (the second and third),
  // taken as their first frames are handed over.
  session.Item("mnuLoop").trigger();
  session.Window().SetFrameRate(kLoopFps);
  log.Clear();
  std::map<std::int64_t, Reads> readsAtLoop;
  std::map<std::int64_t, std::int64_t> decodesAtLoop;
  log.OnDue([&](const Due& due) {
    const std::int64_t loop = (Settled(due.counts) - 1) / period;
    if (loop >= 1 && loop <= 3 && !readsAtLoop.contains(loop)) {
      readsAtLoop[loop] = ReadsSoFar();
      decodesAtLoop[loop] = session.Decodes();
    }
  });
  const std::int64_t decodesBefore = session.Decodes();
  session.Item("mnuPlay").trigger();
  (void)RunUntil([&] { return Settled(player.GetCounts()) >= period * kLoops + 2; }, 60000);
  const double cacheMiB = double(player.BytesAhead()) / (1 << 20);
  const double shownRate = player.ShownRate();
  const PlayCounts counts = player.GetCounts();
  session.Item("mnuPlay").trigger();  // pause
  log.OnDue({});
  const std::vector<LoopFigures> loops = PerLoop(log.Dues(), counts, period);
  for (std::size_t i = 0; i < loops.size(); ++i) {
    const std::string loop = "loop " + std::to_string(i + 1) + " ";
    figures.Add(loop + "shown", double(loops[i].shown));
    figures.Add(loop + "dropped", double(loops[i].dropped));
    figures.Add(loop + "missing", double(loops[i].missing));
    figures.Add(loop + "painted", double(loops[i].painted));
    figures.Add(loop + "rate", loops[i].rate);
    figures.Add(loop + "due to paint", Median(loops[i].dueToPaint));
  }
  if (readsAtLoop.contains(1) && readsAtLoop.contains(3)) {
    figures.Add("rchar", readsAtLoop[3].rchar - readsAtLoop[1].rchar);
    figures.Add("read_bytes", readsAtLoop[3].storage - readsAtLoop[1].storage);
    figures.Add("syscr", readsAtLoop[3].calls - readsAtLoop[1].calls);
    figures.Add("two loops decodes", double(decodesAtLoop[3] - decodesAtLoop[1]));
  }
  std::int64_t due = 0, dropped = 0;
  for (const LoopFigures& loop : loops) {
    due += loop.shown + loop.dropped + loop.missing;
    dropped += loop.dropped;
  }
  figures.Add("loops due", double(due));
  figures.Add("loops dropped", double(dropped));
  figures.Add("loops dropped %", due ? 100.0 * double(dropped) / double(due) : std::nan(""));
  figures.Add("loops decodes", double(session.Decodes() - decodesBefore));
  figures.Note("passed over", PassedOver(log.Dues(), counts));
  figures.Add("display rate", shownRate);
  figures.Add("display dropped", double(counts.Dropped()));
  figures.Add("cache MiB", cacheMiB);
  figures.Add("resident MiB", ResidentMiB());
  figures.Add("peak MiB", PeakResidentMiB());
  figures.Add("repaint ms", session.RepaintAloneMs());
  figures.Add("decode ms", DecodeAloneMs(options.first));
  figures.Add("scale ms", ScaleAloneMs(options.first, session.Window().CurrentZoom()));
  figures.Add("memory ms", FreshFrameMs(session.Window()));
}

void LoopReport(const Options& options, const Figures& f) {
  char title[160];
  std::snprintf(title, sizeof title,
                "%s: %.0f frames played once at %d fps (cold), then looped at %d fps",
                options.fit ? "Loop at Fit to Window" : "Loop at 100 %", f.Median("frames"),
                kColdFps, kLoopFps);
  Heading(title, options);
  const double frameBytes = f.Median("file MiB") * (1 << 20);
  std::printf(
      "   cold pass at %d fps: shown %s, dropped %s, missing %s in %s s; %s frames decoded, "
      "rchar %s MiB (files of %s MiB each); %s frames held for the view after it\n",
      kColdFps, f.Text("cold shown").c_str(), f.Text("cold dropped").c_str(),
      f.Text("cold missing").c_str(), f.Text("cold s", 1).c_str(), f.Text("cold decodes").c_str(),
      f.Text("cold rchar MiB").c_str(), f.Text("file MiB", 1).c_str(),
      f.Text("held after cold").c_str());
  std::printf("   later loops at %d fps (target: every frame shown, %.0f a loop, %d a second)\n",
              kLoopFps, f.Median("frames"), kLoopFps);
  for (int i = 1; i <= kLoops; ++i) {
    const std::string loop = "loop " + std::to_string(i) + " ";
    if (!f.Has(loop + "shown")) break;
    std::printf(
        "     loop %d: shown %s, dropped %s, missing %s, painted %s; %s shown a second; "
        "handed over to painted %s ms\n",
        i, f.Text(loop + "shown").c_str(), f.Text(loop + "dropped").c_str(),
        f.Text(loop + "missing").c_str(), f.Text(loop + "painted").c_str(),
        f.Text(loop + "rate", 1).c_str(), f.Text(loop + "due to paint", 1).c_str());
  }
  std::printf(
      "   over the later loops: dropped %s of %s due, %s %% (target at most 2 %% at 100 %%)\n",
      f.Text("loops dropped").c_str(), f.Text("loops due").c_str(),
      f.Text("loops dropped %", 1).c_str());
  std::printf("   positions passed over, run by run: %s\n", f.Notes("passed over").c_str());
  std::printf("   the heads-up display at the end: %s shown a second, %s dropped since Play\n",
              f.Text("display rate", 1).c_str(), f.Text("display dropped").c_str());
  std::printf(
      "   read over loops 2 and 3: rchar %s bytes, read_bytes %s (target: less than one frame's "
      "%.0f bytes), in %s read calls; frames decoded %s (%s over all %d loops)\n",
      f.Text("rchar").c_str(), f.Text("read_bytes").c_str(), frameBytes, f.Text("syscr").c_str(),
      f.Text("two loops decodes").c_str(), f.Text("loops decodes").c_str(), kLoops);
  std::printf(
      "   memory: cache (Player::BytesAhead) %s MiB; resident %s MiB at the end, %s MiB at most "
      "(budget + 300 = %.0f MiB)\n",
      f.Text("cache MiB").c_str(), f.Text("resident MiB").c_str(), f.Text("peak MiB").c_str(),
      double(options.cacheMiB) + 300);
  std::printf(
      "   floors: a repaint alone %s ms (update() to painted); on one thread, a frame's decoding "
      "alone %s ms, its scaling alone %s ms, its memory fresh from the kernel %s ms (a loop at "
      "%d fps leaves %.1f ms a frame)\n",
      f.Text("repaint ms", 1).c_str(), f.Text("decode ms", 1).c_str(),
      f.Text("scale ms", 1).c_str(), f.Text("memory ms", 1).c_str(), kLoopFps, 1000.0 / kLoopFps);
}

// ---- The timeline.

constexpr int kDragFrames = 100;
constexpr int kDragMs = 1000;

// Where the pointer takes each frame of the range: the middle of its columns, in logical pixels.
std::map<std::int64_t, QPointF> FramePlaces(const Timeline& timeline) {
  const QRect track = timeline.Track();
  const qreal ratio = timeline.devicePixelRatioF();
  const qreal y = (track.center().y() + 0.5) / ratio;
  std::map<std::int64_t, std::pair<qreal, qreal>> spans;
  for (int column = track.left(); column <= track.right(); ++column) {
    const qreal x = (column + 0.5) / ratio;
    const std::int64_t frame = timeline.FrameAt(QPointF(x, y));
    auto [at, fresh] = spans.try_emplace(frame, x, x);
    if (!fresh) at->second.second = x;
  }
  std::map<std::int64_t, QPointF> places;
  for (const auto& [frame, span] : spans)
    places[frame] = QPointF((span.first + span.second) / 2, y);
  return places;
}

void SendMouse(Timeline& timeline, QEvent::Type type, QPointF at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, timeline.mapToGlobal(at), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(&timeline, &event);
}

// From a pointer event to a frame on screen.
struct Latency {
  std::optional<double> toScreen;  // ms; nothing when it never came
  std::optional<double> toDue;     // ms to the frame handed over
};

// Sends a pointer event over frame and waits for that frame on screen.
Latency PointAt(Session& session, const std::map<std::int64_t, QPointF>& places, std::int64_t frame,
                QEvent::Type type) {
  ScreenLog& log = session.Log();
  const std::size_t since = log.Size();
  const auto start = Clock::now();
  SendMouse(session.TimelineStrip(), type, places.at(frame),
            type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::LeftButton);
  Latency latency;
  if (RunUntil([&] { return log.OnScreen(frame, since) != nullptr; }, 5000)) {
    const Due* due = log.OnScreen(frame, since);
    latency.toScreen = MsBetween(start, *due->painted);
    latency.toDue = MsBetween(start, due->at);
  }
  return latency;
}

// Moves to frames one after another, the button held, each once the one before is on screen:
// adds the latencies to name.
void SingleMoves(Session& session, Figures& figures, const std::string& name,
                 const std::vector<std::int64_t>& frames) {
  const auto places = FramePlaces(session.TimelineStrip());
  (void)PointAt(session, places, frames.front(), QEvent::MouseButtonPress);
  RunFor(100);
  std::vector<double> toScreen, toDue;
  int lost = 0;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const Latency latency = PointAt(session, places, frames[i], QEvent::MouseMove);
    if (latency.toScreen) {
      toScreen.push_back(*latency.toScreen);
      toDue.push_back(*latency.toDue);
    } else {
      ++lost;
    }
    RunFor(60);
  }
  SendMouse(session.TimelineStrip(), QEvent::MouseButtonRelease, places.at(frames.back()),
            Qt::LeftButton, Qt::NoButton);
  RunFor(100);
  figures.Add(name + " median", Median(toScreen));
  figures.Add(name + " max", Largest(toScreen));
  figures.Add(name + " due", Median(toDue));
  figures.Add(name + " samples", double(toScreen.size()));
  figures.Add(name + " lost", lost);
}

// What a drag came to.
struct DragFigures {
  std::optional<double> stopMs;  // from the last move to its frame on screen
  std::optional<double> waitMs;  // from the last move to a worker beginning its frame
  double dragMs = 0;             // from the first move to the last
  int moves = 0;
  double painted = 0;  // frames on screen on the way
  double decodes = 0;
};

// A press at from, then a drag to from + kDragFrames in kDragMs, the pointer's place following the
// clock (a move every few ms, each at the frame it has reached by then), and a stop there.
DragFigures Drag(Session& session, std::int64_t from) {
  const auto places = FramePlaces(session.TimelineStrip());
  const std::int64_t to = from + kDragFrames;
  (void)PointAt(session, places, from, QEvent::MouseButtonPress);
  RunFor(200);
  ScreenLog& log = session.Log();
  const std::size_t since = log.Size();
  const std::int64_t decodesBefore = session.Decodes();
  DragFigures figures;
  const auto start = Clock::now();
  std::int64_t reached = from;
  Clock::time_point stopped;
  QEventLoop loop;
  QTimer move;
  move.setTimerType(Qt::PreciseTimer);
  QObject::connect(&move, &QTimer::timeout, [&] {
    const double elapsed = MsBetween(start, Clock::now());
    const auto frame =
        std::min(to, from + static_cast<std::int64_t>(elapsed * kDragFrames / kDragMs));
    if (frame == reached) return;
    reached = frame;
    ++figures.moves;
    stopped = Clock::now();
    SendMouse(session.TimelineStrip(), QEvent::MouseMove, places.at(frame), Qt::NoButton,
              Qt::LeftButton);
    if (frame == to) loop.quit();
  });
  move.start(4);
  loop.exec();
  move.stop();
  figures.dragMs = MsBetween(start, stopped);
  const std::size_t stopIndex = log.Size();
  if (RunUntil([&] { return log.OnScreen(to, since) != nullptr; }, 5000))
    figures.stopMs = MsBetween(stopped, *log.OnScreen(to, since)->painted);
  if (const auto began = session.DecodeStarted(to); began && *began >= stopped)
    figures.waitMs = MsBetween(stopped, *began);
  std::set<std::int64_t> painted;
  for (std::size_t i = since; i < stopIndex; ++i)
    if (log.Dues()[i].painted) painted.insert(log.Dues()[i].number);
  figures.painted = double(painted.size());
  figures.decodes = double(session.Decodes() - decodesBefore);
  SendMouse(session.TimelineStrip(), QEvent::MouseButtonRelease, places.at(to), Qt::LeftButton,
            Qt::NoButton);
  RunFor(100);
  return figures;
}

// Some drags from from, each over frames not in the cache (the first frame opened again before
// it) or not: adds their medians, and the largest latency, to name.
void Drags(Session& session, Figures& figures, const std::string& name, std::int64_t from,
           bool opened) {
  constexpr int kDrags = 3;
  std::vector<double> stops, waits, dragMs, moves, painted, decodes;
  int lost = 0;
  for (int i = 0; i < kDrags; ++i) {
    if (opened) session.Open();
    const DragFigures drag = Drag(session, from);
    if (drag.stopMs)
      stops.push_back(*drag.stopMs);
    else
      ++lost;
    if (drag.waitMs) waits.push_back(*drag.waitMs);
    dragMs.push_back(drag.dragMs);
    moves.push_back(drag.moves);
    painted.push_back(drag.painted);
    decodes.push_back(drag.decodes);
  }
  figures.Add(name + " stop", Median(stops));
  figures.Add(name + " stop max", Largest(stops));
  figures.Add(name + " lost", lost);
  figures.Add(name + " wait", Median(waits));
  figures.Add(name + " drag ms", Median(dragMs));
  figures.Add(name + " moves", Median(moves));
  figures.Add(name + " painted", Median(painted));
  figures.Add(name + " decodes", Median(decodes));
}

void ScrubRun(BenchApplication& app, const Options& options, Figures& figures) {
  Session session(app, options);
  session.Check("mnuTimeline", true);
  session.Resize();  // the timeline took its height from the canvas
  session.View();
  Player& player = session.FramePlayer();
  Timeline& timeline = session.TimelineStrip();
  const std::int64_t low = timeline.State().first, high = timeline.State().last;
  const std::int64_t count = high - low + 1;
  figures.Add("frames", double(count));
  g_described = session.Describe();

  // Frames spread over the range, none twice: a step prime to the count.
  std::int64_t step = count * 2 / 5 + 1;
  while (std::gcd(step, count) != 1) ++step;
  std::vector<std::int64_t> spread;
  for (std::int64_t i = 0; i < std::min<std::int64_t>(count, 21); ++i)
    spread.push_back(low + (count / 2 + i * step) % count);
  const std::int64_t dragFrom = low + std::max<std::int64_t>(0, (count - kDragFrames) / 2 - 1);

  // Not in the cache: the window has just opened the first frame; each move reaches a frame not
  // decoded yet (nothing is decoded ahead while paused).
  SingleMoves(session, figures, "cold move", spread);
  Drags(session, figures, "cold drag", dragFrom, true);

  // In the cache: the range played once at 24 fps first.
  session.Open();
  figures.Add("passes", session.FillCache(24));
  figures.Add("held", double(player.FramesReady()));
  SingleMoves(session, figures, "cached move", spread);
  Drags(session, figures, "cached drag", dragFrom, false);

  figures.Add("cache MiB", double(player.BytesAhead()) / (1 << 20));
  figures.Add("peak MiB", PeakResidentMiB());
  figures.Add("repaint ms", session.RepaintAloneMs());
  figures.Add("decode ms", DecodeAloneMs(options.first));
  figures.Add("scale ms", ScaleAloneMs(options.first, session.Window().CurrentZoom()));
  figures.Add("memory ms", FreshFrameMs(session.Window()));
}

void ScrubReport(const Options& options, const Figures& f) {
  Heading("Scrubbing on the timeline (View > Timeline), the button held", options);
  std::printf(
      "   (each run: 20 moves to frames in the cache and 20 to frames not in it, 3 drags "
      "of each kind; a drag's figures are the median of its run's 3)\n");
  std::printf(
      "   frames: %s; a move's frame on screen, ms from the pointer event: median, largest [of "
      "runs]; handed over (median) after\n",
      f.Text("frames").c_str());
  const auto move = [&](const char* what, const std::string& name, const char* target) {
    std::printf(
        "   %s: median %s, largest %s ms (target %s); handed over after %s ms; %s moves, "
        "%s never shown\n",
        what, f.Text(name + " median", 1).c_str(), f.Text(name + " max", 1).c_str(), target,
        f.Text(name + " due", 1).c_str(), f.Text(name + " samples").c_str(),
        f.Text(name + " lost").c_str());
  };
  move("a frame in the cache    ", "cached move", "20 ms");
  move("a frame not in the cache", "cold move", "50 ms");
  const auto drag = [&](const char* what, const std::string& name) {
    std::printf(
        "   a drag across %d frames in %s ms, %s: the frame under the pointer on screen %s ms "
        "after it stopped, largest %s ms (target 50 ms), %s never shown; a worker began it %s ms "
        "after the stop; %s moves, %s frames painted on the way, %s decoded\n",
        kDragFrames, f.Text(name + " drag ms").c_str(), what, f.Text(name + " stop", 1).c_str(),
        f.Text(name + " stop max", 1).c_str(), f.Text(name + " lost").c_str(),
        f.Text(name + " wait", 1).c_str(), f.Text(name + " moves").c_str(),
        f.Text(name + " painted").c_str(), f.Text(name + " decodes").c_str());
  };
  drag("frames not in the cache", "cold drag");
  drag("frames in the cache", "cached drag");
  std::printf(
      "   frames held after %s pass(es) at 24 fps: %s; cache %s MiB; peak resident %s MiB\n",
      f.Text("passes").c_str(), f.Text("held").c_str(), f.Text("cache MiB").c_str(),
      f.Text("peak MiB").c_str());
  std::printf(
      "   floors: a repaint alone %s ms (update() to painted); on one thread, a frame's decoding "
      "alone %s ms, its scaling alone %s ms, its memory fresh from the kernel %s ms (a frame not "
      "in the cache takes them all)\n",
      f.Text("repaint ms", 1).c_str(), f.Text("decode ms", 1).c_str(),
      f.Text("scale ms", 1).c_str(), f.Text("memory ms", 1).c_str());
}

// ---- L twice.

constexpr int kShuttleFps = 24;
constexpr int kShuttleMs = 6000;

void ShuttleRun(BenchApplication& app, const Options& options, Figures& figures) {
  Session session(app, options);
  session.View();
  Player& player = session.FramePlayer();
  figures.Add("passes", session.FillCache(kShuttleFps));
  figures.Add("frames", double(player.PictureCount()));
  figures.Add("held", double(player.FramesReady()));
  g_described = session.Describe();

  session.Item("mnuLoop").trigger();
  ScreenLog& log = session.Log();
  const auto key = [&] {
    QTest::keyClick(&session.Window().Canvas(), Qt::Key_L);
    QApplication::processEvents();
  };
  key();
  RunFor(250);
  log.Clear();
  const std::int64_t decodesBefore = session.Decodes();
  key();
  figures.Add("speed", player.Speed());
  RunFor(kShuttleMs);
  const PlayCounts counts = player.GetCounts();
  const double shownRate = player.ShownRate();
  QTest::keyClick(&session.Window().Canvas(), Qt::Key_K);
  QApplication::processEvents();
  std::vector<double> dueToPaint;
  std::optional<Clock::time_point> firstShown, lastShown;
  std::int64_t painted = 0;
  for (const Due& due : log.Dues()) {
    if (due.missing) continue;
    if (!firstShown) firstShown = due.at;
    lastShown = due.at;
    if (due.painted) {
      ++painted;
      dueToPaint.push_back(MsBetween(due.at, *due.painted));
    }
  }
  const double seconds = firstShown ? MsBetween(*firstShown, *lastShown) / 1000 : 0;
  figures.Note("passed over", PassedOver(log.Dues(), counts));
  figures.Add("shown", double(counts.shown));
  figures.Add("dropped", double(counts.Dropped()));
  figures.Add("missing", double(counts.missing));
  figures.Add("due", double(Settled(counts)));
  figures.Add("rate", seconds > 0 ? double(counts.shown - 1) / seconds : 0);
  figures.Add("painted", double(painted));
  figures.Add("due to paint", Median(dueToPaint));
  figures.Add("display rate", shownRate);
  figures.Add("decodes", double(session.Decodes() - decodesBefore));
  figures.Add("seconds", seconds);
  figures.Add("repaint ms", session.RepaintAloneMs());
}

void ShuttleReport(const Options& options, const Figures& f) {
  char title[160];
  std::snprintf(title, sizeof title, "L twice (2x forwards) at %d fps, %s frames in the cache",
                kShuttleFps, Figures::Number(f.Median("frames"), 0).c_str());
  Heading(title, options);
  std::printf(
      "   held before: %s frames, after %s pass(es) at %d fps; speed after the second L: %sx\n",
      f.Text("held").c_str(), f.Text("passes").c_str(), kShuttleFps, f.Text("speed").c_str());
  std::printf(
      "   over %s s: shown %s of %s due, dropped %s, missing %s; %s shown a second (target every "
      "frame shown, %d a second); the heads-up display said %s\n",
      f.Text("seconds", 1).c_str(), f.Text("shown").c_str(), f.Text("due").c_str(),
      f.Text("dropped").c_str(), f.Text("missing").c_str(), f.Text("rate", 1).c_str(),
      2 * kShuttleFps, f.Text("display rate", 1).c_str());
  std::printf("   positions passed over (from the second L), run by run: %s\n",
              f.Notes("passed over").c_str());
  std::printf("   painted %s; handed over to painted %s ms; frames decoded %s\n",
              f.Text("painted").c_str(), f.Text("due to paint", 1).c_str(),
              f.Text("decodes").c_str());
  std::printf(
      "   floor: a repaint alone %s ms (update() to painted; %.1f ms a frame at %d a second)\n",
      f.Text("repaint ms", 1).c_str(), 1000.0 / (2 * kShuttleFps), 2 * kShuttleFps);
}

int Usage() {
  std::fprintf(stderr,
               "usage: review_bench [--runs N] [--client WIDTH HEIGHT] [--cache MIB] [--fit] "
               "loop|scrub|shuttle FIRST_FRAME\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const QTemporaryDir config;  // the user's settings play no part
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  BenchApplication app(argc, argv);
  Options options;
  if (!window_bench::ParseOptions(argc, argv, options) || options.files.size() != 1) return Usage();
  options.first = options.files[0];
  const std::map<std::string, std::pair<void (*)(BenchApplication&, const Options&, Figures&),
                                        void (*)(const Options&, const Figures&)>>
      cases{{"loop", {LoopRun, LoopReport}},
            {"scrub", {ScrubRun, ScrubReport}},
            {"shuttle", {ShuttleRun, ShuttleReport}}};
  const auto chosen = cases.find(options.what);
  if (chosen == cases.end()) return Usage();
  Figures figures;
  for (int run = 0; run < options.runs; ++run) chosen->second.first(app, options, figures);
  chosen->second.second(options, figures);
  return 0;
}
