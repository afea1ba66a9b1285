// What the benchmarks that drive Lumenor's own window share: the application that sees the end of
// each event whose handling painted the canvas, an event loop run as the program runs it, the log
// of the frames a play handed over and their paints, and figures kept run by run and printed as
// medians.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "player_types.h"

namespace window_bench {

using Clock = std::chrono::steady_clock;

inline double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return std::nan("");
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

inline double Largest(const std::vector<double>& values) {
  return values.empty() ? std::nan("") : *std::max_element(values.begin(), values.end());
}

// The process's resident memory now (VmRSS) or at most since the last ResetPeak (VmHWM), MiB.
inline double StatusMiB(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = field;
  for (std::string line; std::getline(status, line);)
    if (line.rfind(prefix, 0) == 0) return std::atof(line.c_str() + prefix.size()) / 1024;
  return 0;
}
inline double ResidentMiB() { return StatusMiB("VmRSS:"); }
inline double PeakResidentMiB() { return StatusMiB("VmHWM:"); }
inline void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The application, which sees every event go by: it tells when an event whose handling painted
// the canvas has been handled.
class BenchApplication : public QApplication {
 public:
  using QApplication::QApplication;

  void Watch(const QWidget* canvas, std::function<void(Clock::time_point)> painted) {
    canvas_ = canvas;
    painted_ = std::move(painted);
  }

  bool notify(QObject* receiver, QEvent* event) override {
    ++depth_;
    const bool result = QApplication::notify(receiver, event);
    if (canvas_ && receiver == canvas_ && event->type() == QEvent::Paint) canvasPainted_ = true;
    if (--depth_ == 0 && canvasPainted_) {
      canvasPainted_ = false;
      if (painted_) painted_(Clock::now());
    }
    return result;
  }

 private:
  const QWidget* canvas_ = nullptr;
  std::function<void(Clock::time_point)> painted_;
  int depth_ = 0;
  bool canvasPainted_ = false;
};

// Runs the event loop as the program runs it (QTest::qWait would sleep between its turns) until
// done() holds or ms have passed. Whether done() holds.
inline bool RunUntil(const std::function<bool()>& done, int ms) {
  if (done()) return true;
  QEventLoop loop;
  QElapsedTimer elapsed;
  elapsed.start();
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (done() || elapsed.hasExpired(ms)) loop.quit();
  });
  look.start(2);
  loop.exec();
  return done();
}

inline void RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

// A frame the player handed to the window, and when the canvas was first painted after it.
struct Due {
  Clock::time_point at;
  std::int64_t number = -1;
  bool missing = false;
  PlayCounts counts;  // just after it
  std::optional<Clock::time_point> painted;
};

// The frames of a play as the window got them, in order, with their paints.
class ScreenLog {
 public:
  void FrameDue(const PlayerFrame& frame, const PlayCounts& counts) {
    dues_.push_back({Clock::now(), frame.number, frame.missing, counts, {}});
    if (onDue_) onDue_(dues_.back());
  }
  void Painted(Clock::time_point at) {
    lastPaint_ = at;
    ++paints_;
    if (!dues_.empty() && !dues_.back().missing && !dues_.back().painted) dues_.back().painted = at;
  }
  void Clear() { dues_.clear(); }
  void OnDue(std::function<void(const Due&)> onDue) { onDue_ = std::move(onDue); }
  const std::vector<Due>& Dues() const { return dues_; }
  std::size_t Size() const { return dues_.size(); }
  std::int64_t Paints() const { return paints_; }
  Clock::time_point LastPaint() const { return lastPaint_; }
  // Frame number handed over at or after index since, and painted: that Due.
  const Due* OnScreen(std::int64_t number, std::size_t since) const {
    for (std::size_t i = since; i < dues_.size(); ++i)
      if (dues_[i].number == number && dues_[i].painted) return &dues_[i];
    return nullptr;
  }

 private:
  std::vector<Due> dues_;
  std::function<void(const Due&)> onDue_;
  std::int64_t paints_ = 0;
  Clock::time_point lastPaint_;
};

inline std::int64_t Settled(const PlayCounts& counts) {
  return counts.shown + counts.late + counts.broken + counts.missing;
}

// One play's positions, loop by loop: each position is shown, dropped (late or broken) or missing.
struct LoopFigures {
  std::int64_t shown = 0, dropped = 0, missing = 0, painted = 0;
  double rate = 0;                 // frames shown a second, from the loop's first to its last
  std::vector<double> dueToPaint;  // ms from a frame handed over to the canvas painted
};

inline std::vector<LoopFigures> PerLoop(const std::vector<Due>& dues, const PlayCounts& final,
                                        std::int64_t period) {
  const std::int64_t loops = Settled(final) / period;
  std::vector<LoopFigures> figures(static_cast<std::size_t>(loops));
  std::vector<std::optional<std::pair<Clock::time_point, Clock::time_point>>> spans(figures.size());
  PlayCounts before;
  // Positions passed over (before a frame handed over, or at the end) by kind, as counted.
  const auto passOver = [&](std::int64_t from, std::int64_t to, const PlayCounts& delta) {
    std::int64_t missing = delta.missing;
    for (std::int64_t p = from; p < to; ++p) {
      const std::int64_t loop = p / period;
      if (loop >= loops) break;
      LoopFigures& figure = figures[static_cast<std::size_t>(loop)];
      if (missing > 0) {
        --missing;
        ++figure.missing;
      } else {
        ++figure.dropped;
      }
    }
  };
  for (const Due& due : dues) {
    const std::int64_t position = Settled(due.counts) - 1;
    PlayCounts delta{due.counts.shown - before.shown, due.counts.late - before.late,
                     due.counts.broken - before.broken, due.counts.missing - before.missing};
    if (due.missing) --delta.missing;
    passOver(Settled(before), position, delta);
    before = due.counts;
    const std::int64_t loop = position / period;
    if (loop >= loops) continue;
    LoopFigures& figure = figures[static_cast<std::size_t>(loop)];
    if (due.missing) {
      ++figure.missing;
      continue;
    }
    ++figure.shown;
    auto& span = spans[static_cast<std::size_t>(loop)];
    span = span ? std::pair{span->first, due.at} : std::pair{due.at, due.at};
    if (due.painted) {
      ++figure.painted;
      figure.dueToPaint.push_back(MsBetween(due.at, *due.painted));
    }
  }
  passOver(Settled(before), Settled(final),
           {final.shown - before.shown, final.late - before.late, final.broken - before.broken,
            final.missing - before.missing});
  for (std::size_t i = 0; i < figures.size(); ++i)
    if (spans[i] && figures[i].shown > 1)
      figures[i].rate =
          double(figures[i].shown - 1) / (MsBetween(spans[i]->first, spans[i]->second) / 1000);
  return figures;
}

// The positions of a play that were dropped or missing (passed over without a frame handed over),
// as text: "none", or the positions from 0 and the frame numbers before them.
inline std::string PassedOver(const std::vector<Due>& dues, const PlayCounts& final) {
  std::string text;
  std::int64_t next = 0;
  const auto add = [&](std::int64_t from, std::int64_t to, std::int64_t before) {
    for (std::int64_t p = from; p < to; ++p) {
      text += text.empty() ? "" : " ";
      text += std::to_string(p) + "(after frame " + std::to_string(before) + ")";
    }
  };
  std::int64_t before = -1;
  for (const Due& due : dues) {
    const std::int64_t position = Settled(due.counts) - 1;
    add(next, position, before);
    next = position + 1;
    before = due.number;
  }
  add(next, Settled(final), before);
  return text.empty() ? "none" : text;
}

// A run's figures by name, kept in the order first given; a case's runs are printed as medians.
class Figures {
 public:
  void Add(const std::string& name, double value) {
    if (!values_.contains(name)) order_.push_back(name);
    values_[name].push_back(value);
  }
  bool Has(const std::string& name) const { return values_.contains(name); }
  double Median(const std::string& name) const {
    return Has(name) ? window_bench::Median(values_.at(name)) : std::nan("");
  }
  // "median [run, run, run]".
  std::string Text(const std::string& name, int decimals = 0) const {
    if (!Has(name)) return "-";
    std::string text = Number(Median(name), decimals);
    const auto& runs = values_.at(name);
    if (runs.size() < 2) return text;
    text += " [";
    for (std::size_t i = 0; i < runs.size(); ++i) {
      text += i ? " " : "";
      text += Number(runs[i], decimals);
    }
    return text + "]";
  }
  // The largest of every value under name.
  double Worst(const std::string& name) const {
    return Has(name) ? window_bench::Largest(values_.at(name)) : std::nan("");
  }
  // Every value under name, in the order given: "run, run, run".
  std::string Runs(const std::string& name, int decimals = 0) const {
    if (!Has(name)) return "-";
    std::string text;
    for (const double value : values_.at(name)) {
      text += text.empty() ? "" : ", ";
      text += Number(value, decimals);
    }
    return text;
  }
  // A run's words on something, printed run by run.
  void Note(const std::string& name, const std::string& text) { notes_[name].push_back(text); }
  std::string Notes(const std::string& name) const {
    if (!notes_.contains(name)) return "-";
    std::string text;
    for (const std::string& note : notes_.at(name)) {
      text += text.empty() ? "" : "; ";
      text += note;
    }
    return text;
  }
  static std::string Number(double value, int decimals) {
    if (std::isnan(value)) return "n/a";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
  }

 private:
  std::vector<std::string> order_;
  std::map<std::string, std::vector<double>> values_;
  std::map<std::string, std::vector<std::string>> notes_;
};

// What a window benchmark is told on its command line: --runs N, --client WIDTH HEIGHT,
// --cache MIB, --fit, then its case and the case's files.
struct WindowOptions {
  int runs = 3;
  int clientWidth = 1600, clientHeight = 1100;
  std::uint64_t cacheMiB = 3000;
  bool fit = false;
  std::string what;
  std::vector<QByteArray> files;
  std::string command;  // the whole command line, for the report
};

// Reads the command line into options; an option of the benchmark's own goes to extra(arg, i),
// which takes its values by moving i on and returns false for one it does not know. False on a
// mistake.
inline bool ParseOptions(int argc, char** argv, WindowOptions& options,
                         const std::function<bool(const std::string&, int&)>& extra = {}) {
  for (int i = 0; i < argc; ++i) {
    options.command += i ? " " : "";
    options.command += argv[i];
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc)
      options.runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--client" && i + 2 < argc)
      options.clientWidth = std::atoi(argv[++i]), options.clientHeight = std::atoi(argv[++i]);
    else if (arg == "--cache" && i + 1 < argc)
      options.cacheMiB = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--fit")
      options.fit = true;
    else if (arg[0] != '-' && options.what.empty())
      options.what = arg;
    else if (arg[0] != '-')
      options.files.push_back(argv[i]);
    else if (!extra || !extra(arg, i))
      return false;
  }
  return true;
}

}  // namespace window_bench
