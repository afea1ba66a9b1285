// The owner of what is on screen, with a host that only records what it is told: every state
// against every request, then the ways a request comes back (a load ended for a step, a reload
// after a load, a Play that waits for the folder's list).
#include "screen_owner.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using State = ScreenOwner::State;

}  // namespace

// State names in failure messages.
void PrintTo(ScreenOwner::State state, std::ostream* out) {
  static const char* const kNames[] = {"idle",      "queued",  "loading", "ending",
                                       "reloading", "playing", "paused",  "quitting"};
  *out << kNames[static_cast<int>(state)];
}

namespace {

class FakeHost final : public ScreenOwner::Host {
 public:
  void Soon(std::function<void()> run) override {
    calls << "soon";
    queued.push_back(std::move(run));
  }
  void Aim(const QByteArray& path) override { calls << "aim " + QString(path); }
  bool Load(const QByteArray& path, bool keepView) override {
    calls << (keepView ? "reload " : "load ") + QString(path);
    shown = QString(path);
    if (const auto during = std::exchange(duringLoad, nullptr)) during();
    return !owner->EndLoad();
  }
  void ReloadAside() override { calls << "reload aside"; }
  void CancelReloadAside() override { calls << "cancel aside"; }
  ScreenOwner::PlayStart Play() override {
    calls << "play";
    if (playStart == ScreenOwner::PlayStart::kStarted) shown = "frames";
    return playStart;
  }
  void Pause() override {
    calls << "pause";
    shown = "frame";
  }
  bool Seek(std::int64_t number) override {
    calls << "seek " + QString::number(number);
    shown = "frame " + QString::number(number);
    return true;
  }
  void Changed() override {}

  void RunQueued() {
    for (auto& run : std::exchange(queued, {})) run();
  }

  ScreenOwner* owner = nullptr;
  QStringList calls;
  QString shown = "nothing";
  std::function<void()> duringLoad;  // a request that comes while a load runs
  std::vector<std::function<void()>> queued;
  ScreenOwner::PlayStart playStart = ScreenOwner::PlayStart::kStarted;
};

struct Fixture {
  Fixture() { host.owner = &owner; }
  FakeHost host;
  ScreenOwner owner{host};
};

std::function<QByteArray()> To(const char* path) {
  return [path] { return QByteArray(path); };
}

// Brings the owner into a state, with picture "a" loaded first; setups inside a load run their
// request from within it.
struct Start {
  const char* name;
  State state;
  std::function<void(Fixture&, std::function<void()> request)> enter;
};

const Start kStarts[] = {
    {"idle", State::kIdle,
     [](Fixture& f, auto request) {
       f.owner.Open("a");
       f.host.calls.clear();
       request();
     }},
    {"an open waits", State::kQueued,
     [](Fixture& f, auto request) {
       f.owner.Open("a");
       f.owner.OpenSoon("q");
       f.host.calls.clear();
       request();
     }},
    {"a step waits", State::kQueued,
     [](Fixture& f, auto request) {
       f.owner.Open("a");
       f.owner.Step(To("s"));
       f.host.calls.clear();
       request();
     }},
    {"loading", State::kLoading,
     [](Fixture& f, auto request) {
       f.host.duringLoad = [&f, request] {
         f.host.calls.clear();
         request();
       };
       f.owner.Open("a");
     }},
    {"ending for a step", State::kEnding,
     [](Fixture& f, auto request) {
       f.host.duringLoad = [&f, request] {
         f.owner.Step(To("s"));
         f.host.calls.clear();
         request();
       };
       f.owner.Open("a");
     }},
    {"reloading aside", State::kReloading,
     [](Fixture& f, auto request) {
       f.owner.Open("a");
       f.owner.FileChanged();
       f.host.calls.clear();
       request();
     }},
    {"playing", State::kPlaying,
     [](Fixture& f, auto request) {
       f.owner.Open("a");
       f.owner.TogglePlay();
       f.host.calls.clear();
       request();
     }},
    {"paused", State::kPaused,
     [](Fixture& f, auto request) {
       f.owner.Open("a");
       f.owner.TogglePlay();
       f.owner.Pause();
       f.host.calls.clear();
       request();
     }},
    {"quitting", State::kQuitting,
     [](Fixture& f, auto request) {
       f.owner.Open("a");
       f.owner.Exit();
       f.host.calls.clear();
       request();
     }},
};

const std::pair<const char*, std::function<void(ScreenOwner&)>> kRequests[] = {
    {"Open b", [](ScreenOwner& o) { o.Open("b"); }},
    {"drop b", [](ScreenOwner& o) { o.OpenSoon("b"); }},
    {"step to b", [](ScreenOwner& o) { o.Step(To("b")); }},
    {"Reload", [](ScreenOwner& o) { o.Step(To("a"), true); }},
    {"file changed", [](ScreenOwner& o) { o.FileChanged(); }},
    {"Play", [](ScreenOwner& o) { o.TogglePlay(); }},
    {"Pause", [](ScreenOwner& o) { o.Pause(); }},
    {"Exit", [](ScreenOwner& o) { o.Exit(); }},
    {"seek 7", [](ScreenOwner& o) { o.Seek(7); }},
    {"play on", [](ScreenOwner& o) { o.Play(); }},  // J or L: plays, or takes a change of way
};

struct Row {
  const char* setup;
  const char* request;
  State to;
  const char* calls;  // what the host was told, in order
  const char* shown;
  bool canOpen, playChecked, still;
};

constexpr State kIdle = State::kIdle, kQueued = State::kQueued, kLoading = State::kLoading,
                kEnding = State::kEnding, kReloading = State::kReloading,
                kPlaying = State::kPlaying, kPaused = State::kPaused, kQuitting = State::kQuitting;

const Row kTable[] = {
    {"idle", "Open b", kIdle, "load b", "b", true, false, true},
    {"idle", "drop b", kQueued, "soon", "a", false, false, false},
    {"idle", "step to b", kQueued, "aim b, soon", "a", false, false, false},
    {"idle", "Reload", kQueued, "aim a, soon", "a", false, false, false},
    {"idle", "file changed", kReloading, "reload aside", "a", true, false, true},
    {"idle", "Play", kPlaying, "play", "frames", true, true, false},
    {"idle", "Pause", kIdle, "", "a", true, false, true},
    {"idle", "Exit", kQuitting, "", "a", false, false, false},
    {"idle", "seek 7", kPaused, "seek 7", "frame 7", true, false, true},
    {"idle", "play on", kPlaying, "play", "frames", true, true, false},

    {"an open waits", "Open b", kQueued, "", "a", false, false, false},
    {"an open waits", "drop b", kQueued, "", "a", false, false, false},
    {"an open waits", "step to b", kQueued, "", "a", false, false, false},
    {"an open waits", "Reload", kQueued, "", "a", false, false, false},
    {"an open waits", "file changed", kQueued, "", "a", false, false, false},
    {"an open waits", "Play", kQueued, "", "a", false, false, false},
    {"an open waits", "Pause", kQueued, "", "a", false, false, false},
    {"an open waits", "Exit", kQuitting, "", "a", false, false, false},
    {"an open waits", "seek 7", kQueued, "", "a", false, false, false},
    {"an open waits", "play on", kQueued, "", "a", false, false, false},

    {"a step waits", "Open b", kQueued, "", "a", false, false, false},
    {"a step waits", "drop b", kQueued, "", "a", false, false, false},
    {"a step waits", "step to b", kQueued, "aim b", "a", false, false, false},  // the latest only
    {"a step waits", "Reload", kQueued, "aim a", "a", false, false, false},
    {"a step waits", "file changed", kQueued, "", "a", false, false, false},
    {"a step waits", "Play", kQueued, "", "a", false, false, false},
    {"a step waits", "Pause", kQueued, "", "a", false, false, false},
    {"a step waits", "Exit", kQuitting, "", "a", false, false, false},
    {"a step waits", "seek 7", kQueued, "", "a", false, false, false},
    {"a step waits", "play on", kQueued, "", "a", false, false, false},

    {"loading", "Open b", kLoading, "", "a", false, false, false},
    {"loading", "drop b", kLoading, "", "a", false, false, false},
    {"loading", "step to b", kEnding, "aim b", "a", false, false, false},
    {"loading", "Reload", kEnding, "aim a", "a", false, false, false},
    {"loading", "file changed", kLoading, "", "a", false, false, false},  // reloaded after it
    {"loading", "Play", kLoading, "", "a", false, false, false},
    {"loading", "Pause", kLoading, "", "a", false, false, false},
    {"loading", "Exit", kQuitting, "", "a", false, false, false},
    {"loading", "seek 7", kLoading, "", "a", false, false, false},
    {"loading", "play on", kLoading, "", "a", false, false, false},

    {"ending for a step", "Open b", kEnding, "", "a", false, false, false},
    {"ending for a step", "drop b", kEnding, "", "a", false, false, false},
    {"ending for a step", "step to b", kEnding, "aim b", "a", false, false, false},
    {"ending for a step", "Reload", kEnding, "aim a", "a", false, false, false},
    {"ending for a step", "file changed", kEnding, "", "a", false, false, false},
    {"ending for a step", "Play", kEnding, "", "a", false, false, false},
    {"ending for a step", "Pause", kEnding, "", "a", false, false, false},
    {"ending for a step", "Exit", kQuitting, "", "a", false, false, false},
    {"ending for a step", "seek 7", kEnding, "", "a", false, false, false},
    {"ending for a step", "play on", kEnding, "", "a", false, false, false},

    {"reloading aside", "Open b", kIdle, "cancel aside, load b", "b", true, false, true},
    {"reloading aside", "drop b", kQueued, "cancel aside, soon", "a", false, false, false},
    {"reloading aside", "step to b", kQueued, "cancel aside, aim b, soon", "a", false, false,
     false},
    {"reloading aside", "Reload", kQueued, "cancel aside, aim a, soon", "a", false, false, false},
    {"reloading aside", "file changed", kReloading, "", "a", true, false, true},  // again after
    {"reloading aside", "Play", kPlaying, "cancel aside, play", "frames", true, true, false},
    {"reloading aside", "Pause", kReloading, "", "a", true, false, true},
    {"reloading aside", "Exit", kQuitting, "", "a", false, false, false},
    {"reloading aside", "seek 7", kPaused, "cancel aside, seek 7", "frame 7", true, false, true},
    {"reloading aside", "play on", kPlaying, "cancel aside, play", "frames", true, true, false},

    {"playing", "Open b", kIdle, "pause, load b", "b", true, false, true},
    {"playing", "drop b", kQueued, "pause, soon", "frame", false, false, false},
    {"playing", "step to b", kQueued, "pause, aim b, soon", "frame", false, false, false},
    {"playing", "Reload", kQueued, "pause, aim a, soon", "frame", false, false, false},
    {"playing", "file changed", kPlaying, "", "frames", true, true, false},
    {"playing", "Play", kPaused, "pause", "frame", true, false, true},
    {"playing", "Pause", kPaused, "pause", "frame", true, false, true},
    {"playing", "Exit", kQuitting, "", "frames", false, false, false},
    {"playing", "seek 7", kPaused, "pause, seek 7", "frame 7", true, false, true},
    {"playing", "play on", kPlaying, "play", "frames", true, true, false},

    {"paused", "Open b", kIdle, "load b", "b", true, false, true},
    {"paused", "drop b", kQueued, "soon", "frame", false, false, false},
    {"paused", "step to b", kQueued, "aim b, soon", "frame", false, false, false},
    {"paused", "Reload", kQueued, "aim a, soon", "frame", false, false, false},
    {"paused", "file changed", kReloading, "reload aside", "frame", true, false, true},
    {"paused", "Play", kPlaying, "play", "frames", true, true, false},
    {"paused", "Pause", kPaused, "", "frame", true, false, true},
    {"paused", "Exit", kQuitting, "", "frame", false, false, false},
    {"paused", "seek 7", kPaused, "seek 7", "frame 7", true, false, true},
    {"paused", "play on", kPlaying, "play", "frames", true, true, false},

    {"quitting", "Open b", kQuitting, "", "a", false, false, false},
    {"quitting", "drop b", kQuitting, "", "a", false, false, false},
    {"quitting", "step to b", kQuitting, "", "a", false, false, false},
    {"quitting", "Reload", kQuitting, "", "a", false, false, false},
    {"quitting", "file changed", kQuitting, "", "a", false, false, false},
    {"quitting", "Play", kQuitting, "", "a", false, false, false},
    {"quitting", "Pause", kQuitting, "", "a", false, false, false},
    {"quitting", "Exit", kQuitting, "", "a", false, false, false},
    {"quitting", "seek 7", kQuitting, "", "a", false, false, false},
    {"quitting", "play on", kQuitting, "", "a", false, false, false},
};

TEST(ScreenOwner, EveryStateAgainstEveryRequest) {
  ASSERT_EQ(std::size(kTable), std::size(kStarts) * std::size(kRequests));
  for (const Row& row : kTable) {
    const Start* setup = nullptr;
    for (const Start& s : kStarts)
      if (std::string(s.name) == row.setup) setup = &s;
    const std::function<void(ScreenOwner&)>* request = nullptr;
    for (const auto& [name, r] : kRequests)
      if (std::string(name) == row.request) request = &r;
    ASSERT_TRUE(setup && request) << row.setup << " / " << row.request;
    SCOPED_TRACE(std::string(row.setup) + ", " + row.request);

    Fixture f;
    State before{}, after{};
    QStringList calls;
    QString shown;
    bool canOpen = false, playChecked = false, still = false;
    setup->enter(f, [&] {
      before = f.owner.GetState();
      (*request)(f.owner);
      after = f.owner.GetState();
      calls = f.host.calls;
      shown = f.host.shown;
      canOpen = f.owner.CanOpen();
      playChecked = f.owner.PlayChecked();
      still = f.owner.Still();
    });
    EXPECT_EQ(before, setup->state);
    EXPECT_EQ(after, row.to);
    EXPECT_EQ(calls.join(", ").toStdString(), row.calls);
    EXPECT_EQ(shown.toStdString(), row.shown);
    EXPECT_EQ(canOpen, row.canOpen);
    EXPECT_EQ(playChecked, row.playChecked);
    EXPECT_EQ(still, row.still);
  }
}

// A step during a load ends it at its next progress point and loads the latest step's picture;
// a change of the file during the load reloads it aside afterwards, from the event loop.
TEST(ScreenOwner, ALoadEndedForAStepThenAReloadAfterIt) {
  Fixture f;
  f.host.duringLoad = [&f] {
    f.owner.Step(To("s1"));
    f.owner.Step(To("s2"));
    f.owner.FileChanged();
    EXPECT_TRUE(f.owner.EndLoad());
  };
  f.owner.Open("a");
  EXPECT_EQ(f.host.calls.join(", ").toStdString(), "load a, aim s1, aim s2, load s2, soon");
  EXPECT_EQ(f.owner.GetState(), State::kIdle);
  f.host.RunQueued();
  EXPECT_EQ(f.owner.GetState(), State::kReloading);
  f.owner.ReloadedAside();
  EXPECT_EQ(f.owner.GetState(), State::kIdle);
}

// The program's reload returns to where it began, and goes again when the file changed meanwhile.
TEST(ScreenOwner, AReloadAsideReturnsToWhereItBegan) {
  Fixture f;
  f.owner.Open("a");
  f.owner.TogglePlay();
  f.owner.Pause();
  f.owner.FileChanged();
  f.owner.FileChanged();  // while it runs
  f.host.calls.clear();
  f.owner.ReloadedAside();
  EXPECT_EQ(f.owner.GetState(), State::kReloading);
  EXPECT_EQ(f.host.calls.join(", ").toStdString(), "reload aside");
  f.owner.ReloadedAside();
  EXPECT_EQ(f.owner.GetState(), State::kPaused);
}

// Play before the folder is listed waits for the list (checked meanwhile); a load or Pause ends
// the wait. The command line's --play plays once its picture is loaded.
TEST(ScreenOwner, PlayWaitsForTheListAndTheCommandLinePlaysAfterItsLoad) {
  Fixture f;
  f.owner.Open("a");
  f.host.playStart = ScreenOwner::PlayStart::kNoList;
  f.owner.TogglePlay();
  EXPECT_EQ(f.owner.GetState(), State::kIdle);
  EXPECT_TRUE(f.owner.PlayChecked());
  f.host.playStart = ScreenOwner::PlayStart::kStarted;
  f.owner.ListArrived();
  EXPECT_EQ(f.owner.GetState(), State::kPlaying);

  Fixture g;
  g.host.playStart = ScreenOwner::PlayStart::kNoList;
  g.owner.TogglePlay();  // nothing shown yet, no list
  g.owner.Open("b");
  EXPECT_FALSE(g.owner.PlayChecked()) << "a load ends the wait";
  g.owner.TogglePlay();
  g.owner.TogglePlay();  // Pause while waiting
  EXPECT_FALSE(g.owner.PlayChecked());

  Fixture h;
  h.owner.OpenSoon("c", true);
  h.host.RunQueued();
  EXPECT_EQ(h.host.calls.join(", ").toStdString(), "soon, load c, play");
  EXPECT_EQ(h.owner.GetState(), State::kPlaying);
}

}  // namespace
