#include "transport.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "flipbook.h"
#include "folder.h"
#include "heads_up.h"
#include "menus.h"
#include "picture1.h"
#include "player.h"
#include "stage.h"
#include "timeline.h"

namespace {

constexpr int kRefreshMs = 250;

}  // namespace

Transport::Transport(Menus& menus, Stage& stage, Picture1& canvas, Timeline& timeline,
                     QObject* parent)
    : QObject(parent), menus_(menus), stage_(stage), canvas_(canvas), timeline_(timeline) {
  headsUp_ = new HeadsUpDisplay(&canvas_);
  refresh_ = new QTimer(this);
  refresh_->setInterval(kRefreshMs);
  connect(refresh_, &QTimer::timeout, this, &Transport::ShowDisplays);
  Flipbook& book = stage_.Book();
  connect(menus_.mnuPlayBackwards, &QAction::triggered, this, [this] { Play(-1); });
  connect(menus_.keyBackwards, &QAction::triggered, this, [this] { Shuttle(-1); });
  connect(menus_.keyForwards, &QAction::triggered, this, [this] { Shuttle(1); });
  connect(menus_.keyPause, &QAction::triggered, this, [this] { stage_.Owner().Pause(); });
  connect(menus_.mnuSetIn, &QAction::triggered, this, [this] { SetIn(false); });
  connect(menus_.mnuSetOut, &QAction::triggered, this, [this] { SetOut(false); });
  connect(menus_.keyResetIn, &QAction::triggered, this, [this] { SetIn(true); });
  connect(menus_.keyResetOut, &QAction::triggered, this, [this] { SetOut(true); });
  const std::pair<QAction*, LoopMode> modes[] = {{menus_.mnuLoop, LoopMode::kLoop},
                                                 {menus_.mnuPingPong, LoopMode::kPingPong},
                                                 {menus_.mnuPlayOnce, LoopMode::kOnce}};
  for (const auto& [item, mode] : modes)
    connect(item, &QAction::triggered, this, [this, &book, mode = mode] {
      book.SetMode(mode);
      Replay();
    });
  connect(&menus_, &Menus::frameRateChosen, this, [this](FrameRate rate) {
    stage_.FramePlayer().SetRate(rate);
    ShowDisplays();
  });
  connect(menus_.mnuHeadsUp, &QAction::triggered, this, &Transport::ShowDisplays);
  connect(&timeline_, &Timeline::scrubbed, this,
          [this](std::int64_t number) { stage_.Owner().Seek(number); });
}

void Transport::Play(int direction) {
  Flipbook& book = stage_.Book();
  ScreenOwner& owner = stage_.Owner();
  const bool playingThatWay =
      owner.GetState() == ScreenOwner::State::kPlaying && book.Direction() == direction;
  if (playingThatWay || (owner.PlayChecked() && owner.GetState() != ScreenOwner::State::kPlaying))
    return owner.TogglePlay();  // pauses (or gives up waiting for the list)
  book.SetDirection(direction);
  book.SetSpeed(1);
  owner.Play();
}

void Transport::Shuttle(int direction) {
  Flipbook& book = stage_.Book();
  ScreenOwner& owner = stage_.Owner();
  if (owner.GetState() == ScreenOwner::State::kPlaying && book.Direction() == direction) {
    book.SetSpeed(book.Speed() * 2);
  } else {
    book.SetDirection(direction);
    book.SetSpeed(1);
  }
  owner.Play();
}

bool Transport::KeyWalks(int key, bool fitsAcross, bool fitsBoth) {
  const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right;
  if (arrow && stage_.Owner().GetState() == ScreenOwner::State::kPaused && stage_.FrameShown()) {
    stage_.Owner().Seek(stage_.Book().StepFrom(*stage_.FrameShown(), key == Qt::Key_Left ? -1 : 1));
    return true;
  }
  if (stage_.PictureFolder().Current().isEmpty()) return false;
  const struct {
    int key;
    bool walks;
    QByteArray (Folder::*to)();
  } walks[] = {{Qt::Key_Right, fitsAcross, &Folder::Next},
               {Qt::Key_Left, fitsAcross, &Folder::Previous},
               {Qt::Key_Home, fitsBoth, &Folder::First},
               {Qt::Key_End, fitsBoth, &Folder::Last}};
  for (const auto& w : walks)
    if (key == w.key && w.walks) {
      stage_.Walk(w.to);
      return true;
    }
  return false;
}

void Transport::SetIn(bool reset) {
  Flipbook& book = stage_.Book();
  if (!stage_.ChooseFrames()) return;
  const auto shown =
      stage_.FrameShown() ? stage_.FrameShown() : book.NumberOf(stage_.PictureFolder().Current());
  book.SetIn(reset ? std::nullopt : shown);
  Replay();
}

void Transport::SetOut(bool reset) {
  Flipbook& book = stage_.Book();
  if (!stage_.ChooseFrames()) return;
  const auto shown =
      stage_.FrameShown() ? stage_.FrameShown() : book.NumberOf(stage_.PictureFolder().Current());
  book.SetOut(reset ? std::nullopt : shown);
  Replay();
}

void Transport::Replay() {
  if (stage_.Owner().GetState() == ScreenOwner::State::kPlaying) stage_.Owner().Play();
  ShowDisplays();
}

void Transport::Refresh() { ShowDisplays(); }

void Transport::SetFullScreen(bool full) {
  fullScreen_ = full;
  ShowDisplays();
}

void Transport::ShowDisplays() {
  const Flipbook& book = stage_.Book();
  const Player& player = stage_.FramePlayer();
  const bool afterPlay = stage_.AfterPlay();
  const bool playing = stage_.Owner().GetState() == ScreenOwner::State::kPlaying;
  // Between frames the cache fills and the rate shown moves: looked at now and then.
  if (afterPlay && !refresh_->isActive()) refresh_->start();
  if (!afterPlay) refresh_->stop();

  const bool timeline = menus_.mnuTimeline->isChecked() && !fullScreen_ && stage_.ChooseFrames();
  const std::optional<std::int64_t> shown =
      afterPlay ? stage_.FrameShown() : book.NumberOf(stage_.PictureFolder().Current());
  if (menus_.mnuHeadsUp->isChecked() && afterPlay && shown) {
    HeadsUpFacts facts;
    const QByteArray path = stage_.ShowsMissing() ? book.PathOf(*shown) : QByteArray();
    // Named from what the stage holds: nothing is read from the file for it.
    const QByteArray named = path.isEmpty() ? stage_.PathOnScreen() : path;
    facts.fileName = QFileInfo(QFile::decodeName(named)).fileName();
    facts.number = *shown;
    facts.first = book.First();
    facts.last = book.Last();
    facts.missing = stage_.ShowsMissing() && !stage_.ShowsWriting();
    if (stage_.ShowsWriting()) facts.incomplete = QStringLiteral("being written");
    facts.playing = playing;
    facts.rate = Menus::RateText(player.Rate()) + QStringLiteral(" fps");
    facts.speed = player.Speed();
    facts.direction = player.Order().direction;
    facts.shownRate = player.ShownRate();
    facts.dropped = player.GetCounts().Dropped();
    headsUp_->Show(facts);
    headsUp_->move(8, 8);
    headsUp_->raise();
  } else {
    headsUp_->hide();
  }

  timeline_.setVisible(timeline);
  if (!timeline) return;
  TimelineState state;
  state.first = book.First();
  state.last = book.Last();
  state.shown = shown.value_or(book.First());
  state.in = book.In();
  state.out = book.Out();
  state.held = player.Held();
  state.missing = book.Missing();
  state.incomplete = book.Writing();
  timeline_.SetState(state);
}
