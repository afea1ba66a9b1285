// Looking closer and comparing in Lumenor's own window, as a person does it: a channel, the
// checkerboard or a turn chosen over a large picture; frames played with a channel or a turn
// chosen; two pictures compared, the wipe line dragged and the difference shown; two sequences
// compared while they play. Prints the time from the command (or the pointer) to the repaint on
// screen, frames shown and dropped, and floors measured in the same run, with the targets beside
// them; passes or fails nothing. Run it under a real X server (xvfb-run, QT_QPA_PLATFORM=xcb);
// bench/look_compare_bench.sh writes the pictures and runs every case.
//
//   look_compare_bench [--runs N] [--client WIDTH HEIGHT] [--cache MIB] [--fit] [--look LOOK]
//                      CASE FILE [FILE]
//
//   looks         RGB RGBA: View > Channels, Checkerboard and the turns, each from the item
//                 triggered to the end of the paint that shows it: Red, Luminance and Colour,
//                 Rotate Right, Mirror Horizontally and Reset Orientation over the RGB picture;
//                 Alpha, Colour and the checkerboard on and off over the RGBA one. At 100 % the
//                 pixels on screen are checked against the picture decoded here.
//   play          FIRST_FRAME: the sequence played once at 12 fps with LOOK chosen (colour, red
//                 or rotate; the cold pass), then looped at 60 fps from the frame cache
//   compare       A B: File > Compare With B; the wipe line dragged a move at a time and at 125
//                 moves a second, from the pointer event to the paint; Difference chosen the
//                 first time, again, and with another gain
//   compare-play  FIRST_A FIRST_B: comparing two sequences, B following A's frame number: played
//                 once at 12 fps (the cold pass), then looped at 24 fps and at 60 fps; each frame
//                 handed over is checked to be A's and B's of its number
//
// Each run is a window of its own; the figures are the runs' medians (or all samples' median and
// the worst of them), each run's in brackets. A change is "on screen" at the end of the event
// whose handling painted the canvas after it: the repaint has been drawn into the window's
// backing store and flushed to the window system.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "blend.h"
#include "comparison.h"
#include "fake_dialogs.h"
#include "folder.h"
#include "form1.h"
#include "frame_number.h"
#include "lenses.h"
#include "look.h"
#include "looks.h"
#include "memory_canvas.h"
#include "module1.h"
#include "picture1.h"
#include "player.h"
#include "window_bench.h"

namespace {

using namespace window_bench;
using lumenor::Pixel;

struct Options : window_bench::WindowOptions {
  std::string look = "red";
};

// One window, its canvas and player watched.
class Session {
 public:
  Session(BenchApplication& app, const Options& options) : app_(app), options_(options) {
    ResetPeak();
    form_ = std::make_unique<Form1>(dialogs_);
    form_->show();
    Resize();
    (void)QTest::qWaitForWindowExposed(form_.get());
    form_->activateWindow();
    (void)QTest::qWaitForWindowActive(form_.get());
    QApplication::processEvents();
    form_->SetCacheMiB(options.cacheMiB);
    Player& player = form_->FramePlayer();
    // After the window's own connection: the frame is on the canvas when this runs.
    QObject::connect(&player, &Player::frameDue, form_.get(), [this](const PlayerFrame& frame) {
      log_.FrameDue(frame, form_->FramePlayer().GetCounts());
      if (onFrame_) onFrame_(frame);
    });
    QObject::connect(&player, &Player::ended, form_.get(), [this] { ended_ = true; });
    player.SetWorkerHook([this](std::int64_t) { ++decodes_; });
    app_.Watch(&form_->Canvas(), [this](Clock::time_point at) {
      log_.Painted(at);
      paints_.push_back(at);
    });
  }
  ~Session() {
    app_.Watch(nullptr, {});
    form_->FramePlayer().SetWorkerHook({});
    form_.reset();
    QApplication::processEvents();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Form1& Window() { return *form_; }
  Picture1& Canvas() { return form_->Canvas(); }
  Comparison& Compare() { return form_->View().Compare(); }
  Player& FramePlayer() { return form_->FramePlayer(); }
  ScreenLog& Log() { return log_; }
  std::int64_t Decodes() const { return decodes_; }
  QAction& Item(const char* name) { return *form_->findChild<QAction*>(name); }
  void OnFrame(std::function<void(const PlayerFrame&)> onFrame) { onFrame_ = std::move(onFrame); }

  bool Open(const QByteArray& path) {
    form_->OpenFile(path);
    return RunUntil([&] { return form_->PictureFolder().Listed() && !form_->Loading(); }, 60000);
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
  // Until nothing has been painted for a while, the window idle.
  void Settle() {
    RunFor(100);
    (void)RunUntil([&] { return paints_.empty() || MsBetween(paints_.back(), Clock::now()) > 60; },
                   2000);
  }
  // When the canvas was first painted after at, if it was.
  std::optional<Clock::time_point> PaintAfter(Clock::time_point at) const {
    const auto after = std::upper_bound(paints_.begin(), paints_.end(), at);
    if (after == paints_.end()) return std::nullopt;
    return *after;
  }
  // Runs the event loop until the canvas is painted after at: ms from at to the end of that paint.
  std::optional<double> ToScreen(Clock::time_point at, int ms = 5000) {
    if (!RunUntil([&] { return PaintAfter(at).has_value(); }, ms)) return std::nullopt;
    return MsBetween(at, *PaintAfter(at));
  }
  // Loop Mode > Play Once at fps from the frame shown, to the end: false when it never ends.
  bool PlayOnce(int fps) {
    Item("mnuPlayOnce").trigger();
    form_->SetFrameRate(fps);
    ended_ = false;
    Item("mnuPlay").trigger();
    return RunUntil([&] { return ended_; }, 600000);
  }
  // Plays the range once at fps, again while frames are not held for the view: the passes.
  int FillCache(int fps) {
    int passes = 0;
    do {
      if (!PlayOnce(fps)) break;
      ++passes;
    } while (FramePlayer().FramesReady() < FramePlayer().PictureCount() && passes < 4);
    return passes;
  }
  // From update() to the canvas painted, nothing else changed: ms, the median of some.
  double RepaintAloneMs() {
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
      Settle();
      const auto start = Clock::now();
      form_->Canvas().update();
      if (const auto ms = ToScreen(start, 2000)) times.push_back(*ms);
    }
    return Median(times);
  }
  std::string Describe(const std::string& what) {
    char text[320];
    std::snprintf(text, sizeof text, "%s, %d x %d %s, client %d x %d, %s, cache %llu MiB",
                  qPrintable(QGuiApplication::platformName()), form_->Canvas().View().PictureWidth(),
                  form_->Canvas().View().PictureHeight(), what.c_str(), form_->ScaleWidth(),
                  form_->ScaleHeight(), options_.fit ? "Fit to Window" : "100 %",
                  static_cast<unsigned long long>(options_.cacheMiB));
    return text;
  }

 private:
  BenchApplication& app_;
  const Options& options_;
  FakeDialogs dialogs_;
  std::unique_ptr<Form1> form_;
  ScreenLog log_;
  std::vector<Clock::time_point> paints_;
  std::function<void(const PlayerFrame&)> onFrame_;
  std::atomic<std::int64_t> decodes_ = 0;
  bool ended_ = false;
};

std::string g_described;  // the first run's setting, for the case's heading

void Heading(const std::string& title, const Options& options) {
  std::printf("== %s\n   %s\n   command: %s\n   runs: %d\n", title.c_str(), g_described.c_str(),
              options.command.c_str(), options.runs);
}

// "met" or "not met" for a median against a target (nothing measured: "n/a").
const char* Met(double median, double target) {
  if (std::isnan(median)) return "n/a";
  return median <= target ? "met" : "NOT met";
}

// A command's way to the screen: ms from triggering it to the end of the paint that shows it,
// and how long the command itself took before the event loop ran again.
struct Change {
  std::optional<double> toScreen;
  double handled = 0;
};

Change TimeChange(Session& session, const std::function<void()>& command) {
  session.Settle();
  const auto start = Clock::now();
  command();
  Change change;
  change.handled = MsBetween(start, Clock::now());
  change.toScreen = session.ToScreen(start);
  return change;
}

// A change's samples in a run: every sample under name, the run's median under name + " run",
// what the command took under name + " handled", and changes never painted under name + " lost".
class Samples {
 public:
  void Add(const std::string& name, const Change& change) {
    if (!samples_.contains(name)) order_.push_back(name);
    auto& samples = samples_[name];
    if (change.toScreen)
      samples.toScreen.push_back(*change.toScreen);
    else
      ++samples.lost;
    samples.handled.push_back(change.handled);
  }
  void Into(Figures& figures) const {
    for (const std::string& name : order_) {
      const auto& samples = samples_.at(name);
      for (const double ms : samples.toScreen) figures.Add(name, ms);
      figures.Add(name + " run", Median(samples.toScreen));
      figures.Add(name + " handled", Median(samples.handled));
      figures.Add(name + " lost", samples.lost);
    }
  }

 private:
  struct Of {
    std::vector<double> toScreen, handled;
    int lost = 0;
  };
  std::vector<std::string> order_;
  std::map<std::string, Of> samples_;
};

// One line for a change: the median and worst of all samples, the runs' medians, the target.
void ChangeLine(const Figures& f, const std::string& name, const char* label, double target) {
  if (!f.Has(name + " run")) return;
  std::printf(
      "   %-34s median %6s ms, worst %6s ms; runs' medians [%s]; the command itself %s ms; "
      "never painted %s; target %.0f ms: %s\n",
      label, Figures::Number(f.Median(name), 1).c_str(), Figures::Number(f.Worst(name), 1).c_str(),
      f.Runs(name + " run", 1).c_str(), Figures::Number(f.Median(name + " handled"), 1).c_str(),
      f.Text(name + " lost").c_str(), target, Met(f.Median(name), target));
}

// ---- Checking what is on screen at 100 %.

// The picture as decoded here, with its stored values, over the window's background.
struct Decoded {
  explicit Decoded(Pixel background) : canvas(background) { canvas.KeepStored(); }
  lumenor::MemoryCanvas canvas;
  bool Load(const QByteArray& path) {
    lumenor::LoadImageFile(path.toStdString(), canvas);
    return canvas.Messages().empty();
  }
};

enum class Turn { kNone, kRight, kMirror };

// What the view ought to show at pixel (x, y) of the picture as shown (the canvas at 100 %).
struct Expected {
  lumenor::Channel channel = lumenor::Channel::kColour;
  Turn turn = Turn::kNone;
  bool checkerboard = false;
  bool alpha = false;  // the picture has alpha

  Pixel At(const lumenor::MemoryCanvas& picture, int x, int y) const {
    const int width = picture.Width(), height = picture.Height();
    int px = x, py = y;
    if (turn == Turn::kRight) px = y, py = height - 1 - x;  // the left column on top
    if (turn == Turn::kMirror) px = width - 1 - x;
    const Pixel shown = picture.At(px, py);
    const std::uint32_t stored = alpha ? picture.StoredAt(px, py) : (shown | 0xFF000000u);
    const unsigned r = lumenor::RedOf(stored), g = lumenor::GreenOf(stored),
                   b = lumenor::BlueOf(stored), a = stored >> 24;
    switch (channel) {
      case lumenor::Channel::kRed:
        return lumenor::GreyPixel(r);
      case lumenor::Channel::kGreen:
        return lumenor::GreyPixel(g);
      case lumenor::Channel::kBlue:
        return lumenor::GreyPixel(b);
      case lumenor::Channel::kAlpha:
        return lumenor::GreyPixel(a);
      case lumenor::Channel::kLuminance:
        return lumenor::GreyPixel(lumenor::Luminance(r, g, b));
      case lumenor::Channel::kColour:
        break;
    }
    if (!checkerboard || !alpha) return shown;
    // Over the squares of 8 pixels, light first, that lie on the canvas.
    const Pixel square = lumenor::GreyPixel((x / 8 + y / 8) % 2 == 0 ? 0x99 : 0x66);
    return lumenor::BlendPixel(square, r, g, b, a);
  }
};

// Compares points spread over what the client area shows of the canvas with what expected says:
// the number of points off by more than tolerance in a colour, and the first of them described.
int CheckScreen(Session& session, const Decoded& decoded, const Expected& expected, int tolerance,
                std::string& first) {
  Picture1& canvas = session.Canvas();
  const QImage screen = canvas.grab().toImage();
  const qreal ratio = canvas.devicePixelRatioF();
  const int left = std::max(0, canvas.Left()), top = std::max(0, canvas.Top());
  const int right = std::min(canvas.ScaleWidth(), canvas.Left() + canvas.Width());
  const int bottom = std::min(canvas.ScaleHeight(), canvas.Top() + canvas.Height());
  int wrong = 0;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j) {
      const int x = left + (right - left - 1) * i / 11, y = top + (bottom - top - 1) * j / 11;
      const QRgb seen = screen.pixel(static_cast<int>(x / ratio), static_cast<int>(y / ratio));
      const Pixel want = expected.At(decoded.canvas, x - canvas.Left(), y - canvas.Top());
      const auto off = [&](unsigned a, unsigned b) {
        return static_cast<int>(a > b ? a - b : b - a) > tolerance;
      };
      if (off(lumenor::RedOf(seen), lumenor::RedOf(want)) ||
          off(lumenor::GreenOf(seen), lumenor::GreenOf(want)) ||
          off(lumenor::BlueOf(seen), lumenor::BlueOf(want))) {
        if (wrong++ == 0) {
          char text[160];
          std::snprintf(text, sizeof text,
                        "at (%d, %d) of the client area %06X on screen, %06X due", x, y,
                        seen & 0xFFFFFFu, want & 0xFFFFFFu);
          first = text;
        }
      }
    }
  return wrong;
}

// ---- View > Channels, Checkerboard and the turns over a still picture.

constexpr int kRepeats = 5;

struct LookStep {
  const char* name;      // the figures' name
  const char* label;     // as printed
  const char* item;      // triggered
  bool checked = false;  // for a checkable item: triggered only when it is not so
  Expected screen;       // what is on screen after it
};

void LooksRun(BenchApplication& app, const Options& options, Figures& figures) {
  using lumenor::Channel;
  Session session(app, options);
  const Pixel background = session.Canvas().BackColor().rgb();
  static std::optional<Decoded> rgb, rgba;  // decoded once, for the checks at 100 %
  if (!options.fit && !rgb) {
    rgb.emplace(background);
    rgba.emplace(background);
    if (!rgb->Load(options.files[0]) || !rgba->Load(options.files[1]))
      std::printf("   the pictures could not be decoded for the checks\n");
  }
  Samples samples;
  const auto steps = [&](const QByteArray& path, bool alpha, const std::vector<LookStep>& list) {
    if (!session.Open(path)) std::printf("   %s never opened\n", path.constData());
    session.View();
    if (!alpha) g_described = session.Describe("pictures");
    for (int repeat = 0; repeat < kRepeats; ++repeat)
      for (const LookStep& step : list) {
        QAction& item = session.Item(step.item);
        samples.Add(step.name, TimeChange(session, [&] { item.trigger(); }));
        if (repeat > 0 || options.fit) continue;
        Expected expected = step.screen;
        expected.alpha = alpha;
        std::string first;
        const int wrong = CheckScreen(session, alpha ? *rgba : *rgb, expected,
                                      step.screen.checkerboard ? 3 : 0, first);
        figures.Add(std::string(step.name) + " wrong", wrong);
        if (wrong) figures.Note(std::string(step.name) + " wrong", first);
      }
  };
  steps(options.files[0], false,
        {{"red", "Red", "mnuRed", false, {Channel::kRed}},
         {"colour", "Colour (from Red)", "mnuColour", false, {}},
         {"luminance", "Luminance", "mnuLuminance", false, {Channel::kLuminance}},
         {"colour2", "Colour (from Luminance)", "mnuColour", false, {}},
         {"right", "Rotate Right", "mnuRotateRight", false, {Channel::kColour, Turn::kRight}},
         {"reset", "Reset Orientation (from Right)", "mnuResetOrientation", false, {}},
         {"mirror",
          "Mirror Horizontally",
          "mnuMirrorHorizontally",
          false,
          {Channel::kColour, Turn::kMirror}},
         {"reset2", "Reset Orientation (from Mirror)", "mnuResetOrientation", false, {}}});
  figures.Add("repaint rgb", session.RepaintAloneMs());
  steps(options.files[1], true,
        {{"alpha", "Alpha (RGBA)", "mnuAlpha", false, {Channel::kAlpha}},
         {"colour rgba", "Colour (RGBA, from Alpha)", "mnuColour", false, {}},
         {"checker on",
          "Checkerboard on (RGBA)",
          "mnuCheckerboard",
          false,
          {Channel::kColour, Turn::kNone, true}},
         {"checker off", "Checkerboard off (RGBA)", "mnuCheckerboard", false, {}}});
  figures.Add("repaint rgba", session.RepaintAloneMs());
  samples.Into(figures);
}

void LooksReport(const Options& options, const Figures& f) {
  const double target = options.fit ? 30 : 50;
  Heading(std::string("View > Channels, Checkerboard and turns over 3840 x 2160 at ") +
              (options.fit ? "Fit to Window" : "100 %"),
          options);
  std::printf(
      "   each item triggered %d times a run, each time from the look before it; from trigger() "
      "to the end of the paint that shows it\n",
      kRepeats);
  const std::pair<const char*, const char*> rows[] = {{"red", "Red"},
                                                      {"luminance", "Luminance"},
                                                      {"colour", "Colour (from Red)"},
                                                      {"colour2", "Colour (from Luminance)"},
                                                      {"right", "Rotate Right"},
                                                      {"reset", "Reset Orientation (from Right)"},
                                                      {"mirror", "Mirror Horizontally"},
                                                      {"reset2", "Reset Orientation (from Mirror)"},
                                                      {"alpha", "Alpha (RGBA)"},
                                                      {"colour rgba", "Colour (RGBA, from Alpha)"},
                                                      {"checker on", "Checkerboard on (RGBA)"},
                                                      {"checker off", "Checkerboard off (RGBA)"}};
  for (const auto& [name, label] : rows) ChangeLine(f, name, label, target);
  std::printf("   floor: a repaint alone (update() to painted) %s ms (RGB), %s ms (RGBA)\n",
              f.Text("repaint rgb", 1).c_str(), f.Text("repaint rgba", 1).c_str());
  if (options.fit) return;
  std::string wrong;
  for (const auto& [name, label] : rows) {
    const std::string key = std::string(name) + " wrong";
    if (!f.Has(key)) continue;
    if (f.Worst(key) > 0)
      wrong += std::string("\n     ") + label + ": " + f.Text(key) + " of 144 points wrong, " +
               f.Notes(key);
  }
  std::printf("   pixels on screen after each (144 points, each run's first): %s\n",
              wrong.empty() ? "all as decoded here" : wrong.c_str());
}

// ---- A sequence played with a look chosen.

constexpr int kColdFps = 12;
constexpr int kLoopFps = 60;

const char* LookItem(const std::string& look) {
  if (look == "red") return "mnuRed";
  if (look == "rotate") return "mnuRotateRight";
  return nullptr;
}

// Loops the range at fps for loops loops: adds each loop's figures, and those of them all, under
// name; returns the counts.
void Loops(Session& session, Figures& figures, const std::string& name, int fps, int loops) {
  Player& player = session.FramePlayer();
  ScreenLog& log = session.Log();
  const std::int64_t period = std::max(1, player.PictureCount());
  session.Item("mnuLoop").trigger();
  session.Window().SetFrameRate(fps);
  session.Settle();
  log.Clear();
  const std::int64_t decodesBefore = session.Decodes();
  session.Item("mnuPlay").trigger();
  (void)RunUntil([&] { return Settled(player.GetCounts()) >= period * loops + 2; },
                 static_cast<int>(period * loops * 1000 / fps + 30000));
  const PlayCounts counts = player.GetCounts();
  const double shownRate = player.ShownRate();
  session.Item("mnuPlay").trigger();  // pause
  const std::vector<LoopFigures> each = PerLoop(log.Dues(), counts, period);
  std::int64_t due = 0, dropped = 0, missing = 0;
  double worst = 0;
  for (std::size_t i = 0; i < each.size(); ++i) {
    const std::string loop = name + " loop " + std::to_string(i + 1) + " ";
    const std::int64_t loopDue = each[i].shown + each[i].dropped + each[i].missing;
    figures.Add(loop + "shown", double(each[i].shown));
    figures.Add(loop + "dropped", double(each[i].dropped));
    figures.Add(loop + "rate", each[i].rate);
    figures.Add(loop + "due to paint", Median(each[i].dueToPaint));
    due += loopDue;
    dropped += each[i].dropped;
    missing += each[i].missing;
    if (loopDue) worst = std::max(worst, 100.0 * double(each[i].dropped) / double(loopDue));
  }
  figures.Add(name + " due", double(due));
  figures.Add(name + " dropped", double(dropped));
  figures.Add(name + " missing", double(missing));
  figures.Add(name + " dropped %", due ? 100.0 * double(dropped) / double(due) : std::nan(""));
  figures.Add(name + " worst loop %", worst);
  figures.Add(name + " display rate", shownRate);
  figures.Add(name + " decodes", double(session.Decodes() - decodesBefore));
  figures.Note(name + " passed over", PassedOver(log.Dues(), counts));
}

void LoopsReport(const Figures& f, const std::string& name, int fps, int loops, const char* target,
                 double targetPercent) {
  std::printf("   looped at %d fps from the cache:\n", fps);
  for (int i = 1; i <= loops; ++i) {
    const std::string loop = name + " loop " + std::to_string(i) + " ";
    if (!f.Has(loop + "shown")) break;
    std::printf(
        "     loop %d: shown %s, dropped %s; %s shown a second; handed over to painted %s ms\n", i,
        f.Text(loop + "shown").c_str(), f.Text(loop + "dropped").c_str(),
        f.Text(loop + "rate", 1).c_str(), f.Text(loop + "due to paint", 1).c_str());
  }
  std::printf(
      "     over %d loops: dropped %s of %s due, %s %% (worst loop %s %%), missing %s; target %s: "
      "%s\n",
      loops, f.Text(name + " dropped").c_str(), f.Text(name + " due").c_str(),
      f.Text(name + " dropped %", 2).c_str(), f.Text(name + " worst loop %", 1).c_str(),
      f.Text(name + " missing").c_str(), target, Met(f.Median(name + " dropped %"), targetPercent));
  std::printf("     the heads-up display's rate %s; frames decoded while looping %s\n",
              f.Text(name + " display rate", 1).c_str(), f.Text(name + " decodes").c_str());
  std::printf("     positions passed over, run by run: %s\n",
              f.Notes(name + " passed over").c_str());
}

constexpr int kPlayLoops = 4;

void PlayRun(BenchApplication& app, const Options& options, Figures& figures) {
  Session session(app, options);
  if (!session.Open(options.files[0]))
    std::printf("   %s never opened\n", options.files[0].constData());
  session.View();
  if (const char* item = LookItem(options.look)) session.Item(item).trigger();
  session.Settle();
  // Frames handed over that were made for another look than the one chosen.
  std::int64_t otherLook = 0;
  lumenor::Look chosen = session.Window().View().GetLooks().Current();
  session.OnFrame([&](const PlayerFrame& frame) {
    if (!frame.missing && !(frame.look == chosen)) ++otherLook;
  });
  const auto coldStart = Clock::now();
  figures.Add("passes", session.FillCache(kColdFps));
  figures.Add("cold s", MsBetween(coldStart, Clock::now()) / 1000);
  figures.Add("held", double(session.FramePlayer().FramesReady()));
  figures.Add("frames", double(session.FramePlayer().PictureCount()));
  g_described = session.Describe("frames");
  Loops(session, figures, "60", kLoopFps, kPlayLoops);
  figures.Add("other look", double(otherLook));
  figures.Add("cache MiB", double(session.FramePlayer().BytesAhead()) / (1 << 20));
  figures.Add("peak MiB", PeakResidentMiB());
  figures.Add("repaint ms", session.RepaintAloneMs());
}

void PlayReport(const Options& options, const Figures& f) {
  Heading("Playing " + Figures::Number(f.Median("frames"), 0) + " frames with " +
              (LookItem(options.look)
                   ? options.look == "red" ? "View > Channels > Red" : "View > Rotate Right"
                   : std::string("no look (Colour, upright)")) +
              " chosen",
          options);
  std::printf(
      "   cold pass(es) at %d fps: %s, %s s; frames held for the view after it %s; cache %s MiB, "
      "peak resident %s MiB\n",
      kColdFps, f.Text("passes").c_str(), f.Text("cold s", 1).c_str(), f.Text("held").c_str(),
      f.Text("cache MiB").c_str(), f.Text("peak MiB").c_str());
  LoopsReport(f, "60", kLoopFps, kPlayLoops, "at most 2 %", 2);
  std::printf("   frames handed over made for another look: %s; floor: a repaint alone %s ms\n",
              f.Text("other look").c_str(), f.Text("repaint ms", 1).c_str());
}

// ---- Two pictures compared.

void SendMouse(QWidget& widget, QEvent::Type type, QPointF at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, widget.mapToGlobal(at), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &event);
}

// Starts comparing with b: ms from Compare With to B on screen, if it came.
std::optional<double> StartComparing(Session& session, const QByteArray& b) {
  const auto start = Clock::now();
  session.Window().CompareWith(b);
  if (!RunUntil([&] { return session.Compare().Comparing(); }, 30000)) return std::nullopt;
  const auto ms = session.ToScreen(start);
  session.Settle();
  return ms;
}

constexpr int kSingleMoves = 40;
constexpr int kDragMoves = 125;
constexpr int kDragInterval = 8;  // ms between moves: a pointer at 125 moves a second

void WipeDrags(Session& session, Figures& figures) {
  Picture1& canvas = session.Canvas();
  const qreal ratio = canvas.devicePixelRatioF();
  const auto logical = [&](double deviceX) {
    return QPointF(deviceX / ratio, canvas.ScaleHeight() / 2.0 / ratio);
  };
  const int width = canvas.ScaleWidth();
  int line = session.Compare().View().wipe;
  // Takes the line: the press is on it.
  SendMouse(canvas, QEvent::MouseButtonPress, logical(line + 0.5), Qt::LeftButton, Qt::LeftButton);
  session.Settle();
  // A move at a time, each once the one before is on screen.
  std::vector<double> toScreen, handled;
  int lost = 0, notCarried = 0;
  int step = 7;
  for (int i = 0; i < kSingleMoves; ++i) {
    if (line + step < width / 8 || line + step > width * 7 / 8) step = -step;
    line += step;
    const Change change = TimeChange(session, [&] {
      SendMouse(canvas, QEvent::MouseMove, logical(line + 0.5), Qt::NoButton, Qt::LeftButton);
    });
    if (session.Compare().View().wipe != line) ++notCarried;
    if (change.toScreen)
      toScreen.push_back(*change.toScreen);
    else
      ++lost;
    handled.push_back(change.handled);
  }
  for (const double ms : toScreen) figures.Add("single", ms);
  figures.Add("single run", Median(toScreen));
  figures.Add("single handled", Median(handled));
  figures.Add("single lost", lost);

  // A drag at the pointer's pace: each move's latency is to the end of the first paint after it.
  std::vector<Clock::time_point> sent;
  const int from = width / 4;
  const double stride = double(width / 2) / kDragMoves;
  QEventLoop loop;
  QTimer move;
  move.setTimerType(Qt::PreciseTimer);
  int moves = 0;
  const auto start = Clock::now();
  QObject::connect(&move, &QTimer::timeout, [&] {
    line = from + static_cast<int>(moves * stride);
    sent.push_back(Clock::now());
    SendMouse(canvas, QEvent::MouseMove, logical(line + 0.5), Qt::NoButton, Qt::LeftButton);
    if (session.Compare().View().wipe != line) ++notCarried;
    if (++moves == kDragMoves) loop.quit();
  });
  move.start(kDragInterval);
  loop.exec();
  move.stop();
  const double dragMs = MsBetween(start, Clock::now());
  (void)session.ToScreen(sent.back());
  std::vector<double> latencies;
  std::vector<Clock::time_point> painted;
  for (const auto& at : sent)
    if (const auto paint = session.PaintAfter(at)) {
      latencies.push_back(MsBetween(at, *paint));
      if (painted.empty() || painted.back() != *paint) painted.push_back(*paint);
    }
  for (const double ms : latencies) figures.Add("drag", ms);
  figures.Add("drag run", Median(latencies));
  figures.Add("drag lost", double(sent.size() - latencies.size()));
  figures.Add("drag moves", double(moves));
  figures.Add("drag paints", double(painted.size()));
  figures.Add("drag ms", dragMs);
  figures.Add("not carried", notCarried);
  SendMouse(canvas, QEvent::MouseButtonRelease, logical(line + 0.5), Qt::LeftButton, Qt::NoButton);
  session.Settle();
}

void CompareRun(BenchApplication& app, const Options& options, Figures& figures) {
  Session session(app, options);
  if (!session.Open(options.files[0]))
    std::printf("   %s never opened\n", options.files[0].constData());
  session.View();
  const auto started = StartComparing(session, options.files[1]);
  if (!started) std::printf("   comparing never started\n");
  figures.Add("compare ms", started.value_or(std::nan("")));
  g_described = session.Describe("pictures");
  figures.Add("repaint ms", session.RepaintAloneMs());
  WipeDrags(session, figures);

  // The difference, checked on screen at 100 % against |A - B| of the pictures decoded here.
  static std::optional<Decoded> a, b;
  if (!options.fit && !a) {
    const Pixel background = session.Canvas().BackColor().rgb();
    a.emplace(background);
    b.emplace(background);
    if (!a->Load(options.files[0]) || !b->Load(options.files[1]))
      std::printf("   the pictures could not be decoded for the checks\n");
  }
  const auto checkDifference = [&](const std::string& name, unsigned gain) {
    if (options.fit) return;
    Picture1& canvas = session.Canvas();
    const QImage screen = canvas.grab().toImage();
    int wrong = 0;
    std::string first;
    for (int i = 0; i < 144; ++i) {
      const int x = (i % 12) * (canvas.ScaleWidth() - 1) / 11,
                y = (i / 12) * (canvas.ScaleHeight() - 1) / 11;
      const int px = x - canvas.Left(), py = y - canvas.Top();
      if (px < 0 || py < 0 || px >= a->canvas.Width() || py >= a->canvas.Height()) continue;
      const Pixel pa = a->canvas.At(px, py), pb = b->canvas.At(px, py);
      const auto diff = [&](unsigned u, unsigned v) {
        return std::min(255u, (u > v ? u - v : v - u) * gain);
      };
      const Pixel want = lumenor::MakePixel(diff(lumenor::RedOf(pa), lumenor::RedOf(pb)),
                                            diff(lumenor::GreenOf(pa), lumenor::GreenOf(pb)),
                                            diff(lumenor::BlueOf(pa), lumenor::BlueOf(pb)));
      const QRgb seen = screen.pixel(x, y);
      if ((seen & 0xFFFFFFu) != (want & 0xFFFFFFu) && wrong++ == 0) {
        char text[160];
        std::snprintf(text, sizeof text, "at (%d, %d) %06X on screen, %06X due", x, y,
                      seen & 0xFFFFFFu, want & 0xFFFFFFu);
        first = text;
      }
    }
    figures.Add(name + " wrong", wrong);
    if (wrong) figures.Note(name + " wrong", first);
  };

  Samples samples;
  samples.Add("difference first",
              TimeChange(session, [&] { session.Item("mnuDifference").trigger(); }));
  checkDifference("difference", 1);
  for (int i = 0; i < kRepeats; ++i) {
    samples.Add("wipe", TimeChange(session, [&] { session.Item("mnuWipe").trigger(); }));
    samples.Add("difference again",
                TimeChange(session, [&] { session.Item("mnuDifference").trigger(); }));
  }
  for (int i = 0; i < kRepeats; ++i) {
    samples.Add("gain 4", TimeChange(session, [&] { session.Item("mnuGain4").trigger(); }));
    if (i == 0) checkDifference("gain 4", 4);
    samples.Add("gain 1", TimeChange(session, [&] { session.Item("mnuGain1").trigger(); }));
  }
  samples.Into(figures);
  figures.Add("peak MiB", PeakResidentMiB());
}

void CompareReport(const Options& options, const Figures& f) {
  Heading(std::string("Comparing two 3840 x 2160 pictures at ") +
              (options.fit ? "Fit to Window" : "100 %"),
          options);
  std::printf("   Compare With to B on screen (B loaded aside): %s ms; peak resident %s MiB\n",
              f.Text("compare ms").c_str(), f.Text("peak MiB").c_str());
  std::printf("   floor: a repaint alone (update() to painted), in Wipe: %s ms\n",
              f.Text("repaint ms", 1).c_str());
  std::printf(
      "   the wipe line dragged (target 16 ms from the pointer event to the end of the paint%s):\n",
      options.fit ? "" : "; the target is for Fit to Window");
  ChangeLine(f, "single", "a move, each once painted", 16);
  std::printf(
      "   %-34s median %6s ms, worst %6s ms; runs' medians [%s]; %s paints for %s moves in %s "
      "ms; target 16 ms: %s\n",
      "moves at 125 a second", Figures::Number(f.Median("drag"), 1).c_str(),
      Figures::Number(f.Worst("drag"), 1).c_str(), f.Runs("drag run", 1).c_str(),
      f.Text("drag paints").c_str(), f.Text("drag moves").c_str(), f.Text("drag ms").c_str(),
      Met(f.Median("drag"), 16));
  std::printf("   moves that did not carry the line to the pointer: %s\n",
              f.Text("not carried").c_str());
  std::printf("   View > Compare, from the item to the paint (target 40 ms at 100 %%%s):\n",
              options.fit ? "; this is Fit to Window" : "");
  ChangeLine(f, "difference first", "Difference, first time", 40);
  ChangeLine(f, "wipe", "Wipe (from Difference)", 40);
  ChangeLine(f, "difference again", "Difference again (from Wipe)", 40);
  ChangeLine(f, "gain 4", "Gain 4 (in Difference)", 40);
  ChangeLine(f, "gain 1", "Gain 1 (in Difference)", 40);
  if (options.fit) return;
  for (const char* name : {"difference", "gain 4"}) {
    const std::string key = std::string(name) + " wrong";
    if (f.Has(key))
      std::printf("   %s on screen, 144 points against |A - B| decoded here: %s wrong%s%s\n", name,
                  f.Text(key).c_str(), f.Worst(key) > 0 ? ", " : "",
                  f.Worst(key) > 0 ? f.Notes(key).c_str() : "");
  }
}

// ---- Two sequences compared while they play.

constexpr int kSlowFps = 24;
constexpr int kSlowLoops = 2;
constexpr int kFastLoops = 3;

// A few pixels of a frame, to tell frames apart.
using Signature = std::array<Pixel, 8>;

Signature SignatureOf(const QImage& picture) {
  Signature signature{};
  if (picture.isNull()) return signature;
  for (std::size_t i = 0; i < signature.size(); ++i) {
    const int x = static_cast<int>((i * 397 + 13) % static_cast<std::size_t>(picture.width()));
    const int y = static_cast<int>((i * 211 + 7) % static_cast<std::size_t>(picture.height()));
    signature[i] = reinterpret_cast<const Pixel*>(picture.constScanLine(y))[x] | 0xFF000000u;
  }
  return signature;
}

// Each frame of the sequence of first, by number, as decoded here: from first's number on, while
// the files are there.
std::map<std::int64_t, Signature> SignaturesOf(const QByteArray& first) {
  std::map<std::int64_t, Signature> signatures;
  const QByteArray folder = first.left(first.lastIndexOf('/') + 1);
  const std::string name = first.mid(first.lastIndexOf('/') + 1).toStdString();
  const auto split = lumenor::SplitFrameName(name);
  if (!split) return signatures;
  for (auto number = static_cast<long long>(split->number);; ++number) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*lld", static_cast<int>(split->digits.size()), number);
    const QByteArray path = folder + QByteArray::fromStdString(std::string(split->prefix) + digits +
                                                               std::string(split->suffix));
    if (!QFileInfo::exists(QFile::decodeName(path))) break;
    lumenor::MemoryCanvas canvas;
    lumenor::LoadImageFile(path.toStdString(), canvas);
    const QImage image(reinterpret_cast<const uchar*>(canvas.Scanline(0)), canvas.Width(),
                       canvas.Height(), QImage::Format_RGB32);
    signatures[number] = SignatureOf(image);
  }
  return signatures;
}

void ComparePlayRun(BenchApplication& app, const Options& options, Figures& figures) {
  static const auto signaturesA = SignaturesOf(options.files[0]);
  static const auto signaturesB = SignaturesOf(options.files[1]);
  Session session(app, options);
  if (!session.Open(options.files[0]))
    std::printf("   %s never opened\n", options.files[0].constData());
  session.View();
  const auto started = StartComparing(session, options.files[1]);
  if (!started) std::printf("   comparing never started\n");
  figures.Add("compare ms", started.value_or(std::nan("")));
  figures.Add("b frames", session.Compare().BFrames() ? 1 : 0);
  // Every frame handed over: A's and B's of its number?
  std::int64_t wrongA = 0, wrongB = 0, withoutB = 0, checked = 0;
  std::string firstWrong;
  session.OnFrame([&](const PlayerFrame& frame) {
    if (frame.missing) return;
    ++checked;
    const auto a = signaturesA.find(frame.number), b = signaturesB.find(frame.number);
    if (a == signaturesA.end() || SignatureOf(frame.picture) != a->second) ++wrongA;
    if (frame.comparedPicture.isNull())
      ++withoutB;
    else if (b == signaturesB.end() || SignatureOf(frame.comparedPicture) != b->second) {
      if (wrongB++ == 0) firstWrong = "frame " + std::to_string(frame.number);
    }
  });
  const auto coldStart = Clock::now();
  figures.Add("passes", session.FillCache(kColdFps));
  figures.Add("cold s", MsBetween(coldStart, Clock::now()) / 1000);
  figures.Add("held", double(session.FramePlayer().FramesReady()));
  figures.Add("frames", double(session.FramePlayer().PictureCount()));
  g_described = session.Describe("frames, Wipe");
  Loops(session, figures, "24", kSlowFps, kSlowLoops);
  Loops(session, figures, "60", kLoopFps, kFastLoops);
  figures.Add("checked", double(checked));
  figures.Add("wrong a", double(wrongA));
  figures.Add("wrong b", double(wrongB));
  figures.Add("without b", double(withoutB));
  if (wrongB) figures.Note("wrong b", firstWrong);
  figures.Add("cache MiB", double(session.FramePlayer().BytesAhead()) / (1 << 20));
  figures.Add("peak MiB", PeakResidentMiB());
  figures.Add("repaint ms", session.RepaintAloneMs());
}

void ComparePlayReport(const Options& options, const Figures& f) {
  Heading("Comparing two sequences of " + Figures::Number(f.Median("frames"), 0) +
              " frames while they play",
          options);
  std::printf(
      "   Compare With to B on screen %s ms; B taken as a sequence: %s; cold pass(es) at %d fps: "
      "%s, %s s; frames held after it %s; cache %s MiB, peak resident %s MiB\n",
      f.Text("compare ms").c_str(), f.Median("b frames") > 0 ? "yes" : "NO", kColdFps,
      f.Text("passes").c_str(), f.Text("cold s", 1).c_str(), f.Text("held").c_str(),
      f.Text("cache MiB").c_str(), f.Text("peak MiB").c_str());
  LoopsReport(f, "24", kSlowFps, kSlowLoops, "every frame shown", 0);
  LoopsReport(f, "60", kLoopFps, kFastLoops, "at most 2 %", 2);
  std::printf(
      "   frames handed over, checked against the files decoded here: %s; A's not of its number "
      "%s, B's not of its number %s%s%s, without B %s\n",
      f.Text("checked").c_str(), f.Text("wrong a").c_str(), f.Text("wrong b").c_str(),
      f.Has("wrong b") && f.Worst("wrong b") > 0 ? " first " : "",
      f.Has("wrong b") && f.Worst("wrong b") > 0 ? f.Notes("wrong b").c_str() : "",
      f.Text("without b").c_str());
  std::printf("   floor: a repaint alone %s ms\n", f.Text("repaint ms", 1).c_str());
}

int Usage() {
  std::fprintf(stderr,
               "usage: look_compare_bench [--runs N] [--client WIDTH HEIGHT] [--cache MIB] [--fit] "
               "[--look colour|red|rotate] looks RGB RGBA | play FIRST | compare A B | "
               "compare-play FIRST_A FIRST_B\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const QTemporaryDir config;  // the user's settings play no part
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  BenchApplication app(argc, argv);
  Options options;
  const bool read = window_bench::ParseOptions(argc, argv, options, [&](const std::string& arg, int& i) {
    if (arg != "--look" || i + 1 >= argc) return false;
    options.look = argv[++i];
    return true;
  });
  if (!read) return Usage();
  const std::map<std::string,
                 std::tuple<std::size_t, void (*)(BenchApplication&, const Options&, Figures&),
                            void (*)(const Options&, const Figures&)>>
      cases{{"looks", {2, LooksRun, LooksReport}},
            {"play", {1, PlayRun, PlayReport}},
            {"compare", {2, CompareRun, CompareReport}},
            {"compare-play", {2, ComparePlayRun, ComparePlayReport}}};
  const auto chosen = cases.find(options.what);
  if (chosen == cases.end() || options.files.size() != std::get<0>(chosen->second)) return Usage();
  Figures figures;
  for (int run = 0; run < options.runs; ++run) std::get<1>(chosen->second)(app, options, figures);
  std::get<2>(chosen->second)(options, figures);
  return 0;
}
