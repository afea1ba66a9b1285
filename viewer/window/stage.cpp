#include "stage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "dialogs.h"
#include "file_names.h"
#include "flipbook.h"
#include "folder.h"
#include "completeness.h"
#include "module1.h"
#include "picture1.h"
#include "player.h"
#include "quiet_reload.h"
#include "viewport.h"
#include "window_canvas.h"

namespace {

lumenor::ImageHeader ReadHeaderOf(const QByteArray& fileName) { return ShownPicture::HeaderOf(fileName); }

ShownPicture PictureOf(const QByteArray& path, bool loadedCleanly,
                       const lumenor::DecodeOptions& options) {
  return ShownPicture::Of(path, loadedCleanly, options);
}

}  // namespace

Stage::Stage(QMainWindow& window, Picture1& canvas, Viewport& viewport, Dialogs& dialogs)
    : QObject(&window), window_(window), canvas_(canvas), viewport_(viewport), dialogs_(dialogs) {
  folder_ = new Folder(this);
  connect(folder_, &Folder::listChanged, this, [this] {
    // Frames that come or go while frames are shown join or leave what play plays.
    if (AfterPlay() && folder_->Listed() && book_->Update(folder_->Names())) RangeChanged();
    emit changed();
    if (folder_->Listed()) owner_.ListArrived();
  });
  // The picture follows its file: rewritten in place or replaced, it is loaded again.
  connect(folder_, &Folder::currentFileChanged, this, [this] { owner_.FileChanged(); });
  book_ = new Flipbook(this);
  connect(&book_->FramePlayer(), &Player::frameDue, this, [this](const PlayerFrame& frame) {
    if (owner_.FrameDue() || owner_.GetState() == ScreenOwner::State::kPaused) ShowFrame(frame);
  });
  connect(&book_->FramePlayer(), &Player::ended, this, [this] { owner_.Ended(); });
  connect(book_, &Flipbook::rangeChanged, this, &Stage::RangeChanged);
  // Paused on a frame being written: it is shown once it is whole.
  connect(book_, &Flipbook::framesChanged, this, [this] {
    if (owner_.GetState() == ScreenOwner::State::kPaused && writing_ && frameShown_ &&
        !book_->IsWriting(*frameShown_))
      book_->FramePlayer().Seek(*frameShown_);
  });
  reloadAside_ = new QuietReload(this);
  connect(reloadAside_, &QuietReload::finished, this, &Stage::ReloadedAside);
  storedLoad_ = new QuietReload(this);
  connect(storedLoad_, &QuietReload::finished, this, &Stage::StoredLoaded);
}

Stage::~Stage() = default;

Player& Stage::FramePlayer() const { return book_->FramePlayer(); }

void Stage::SetDecodeOptions(const lumenor::DecodeOptions& options) {
  options_ = options;
  book_->SetDecodeOptions(options);
}

bool Stage::AfterPlay() const {
  const auto state = owner_.GetState();
  return afterPlay_ &&
         (state == ScreenOwner::State::kPlaying || state == ScreenOwner::State::kPaused ||
          state == ScreenOwner::State::kReloading);
}

std::optional<std::int64_t> Stage::FrameShown() const {
  return AfterPlay() ? frameShown_ : std::nullopt;
}

// The range grew or shrank under a play: it goes on from the frame shown within the new range.
void Stage::RangeChanged() {
  if (owner_.GetState() == ScreenOwner::State::kPlaying && frameShown_)
    book_->Play(*frameShown_, true);
  emit changed();
}

bool Stage::ChooseFrames() {
  if (folder_->Current().isEmpty() || !folder_->Listed()) return false;
  const QByteArray& current = folder_->Current();
  // While frames are shown, the list is the one they come from.
  if (!AfterPlay()) {
    std::vector<QByteArray> names = folder_->Names();
    book_->Choose(current, names);
  }
  return true;
}

QByteArray Stage::PathOnScreen() const {
  if (owner_.GetState() == ScreenOwner::State::kPlaying && frameShown_ && !framePath_.isEmpty())
    return framePath_;
  return shown_ ? shown_->path : QByteArray();
}

std::optional<ShownPicture> Stage::OnScreen() const {
  if (owner_.GetState() == ScreenOwner::State::kPlaying && frameShown_ && !framePath_.isEmpty())
    return PictureOf(framePath_, true, options_);
  return shown_;
}

std::pair<int, int> Stage::Place() const {
  // While frames go by, the walk's place is the frame's file's among the folder's pictures.
  if (owner_.GetState() == ScreenOwner::State::kPlaying && !framePath_.isEmpty()) {
    const QByteArray name = framePath_.mid(framePath_.lastIndexOf('/') + 1);
    const auto& names = folder_->Names();
    const auto at = std::find(names.begin(), names.end(), name);
    if (at != names.end()) return {static_cast<int>(at - names.begin()), folder_->Count()};
  }
  return {folder_->Position(), folder_->Count()};
}

void Stage::Soon(std::function<void()> run) {
  auto queued = [this, run = std::move(run)] {
    QMetaObject::invokeMethod(this, run, Qt::QueuedConnection);
  };
  if (window_.windowHandle() == nullptr) (void)window_.winId();  // to be told of its exposure
  QWindow* handle = window_.windowHandle();
  if (handle == nullptr || handle->isExposed()) return queued();
  // Once the window is on screen, so that a box the load brings is shown over it.
  whenExposed_.push_back(std::move(queued));
  handle->installEventFilter(this);
  // A window system that never says so (a window started minimised): not forever.
  constexpr int kLongestWaitMs = 3000;
  QTimer::singleShot(kLongestWaitMs, this, [this] {
    for (auto& pending : std::exchange(whenExposed_, {})) pending();
  });
}

bool Stage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_.windowHandle() && event->type() == QEvent::Expose &&
      window_.windowHandle()->isExposed() && !whenExposed_.empty()) {
    window_.windowHandle()->removeEventFilter(this);
    for (auto& run : std::exchange(whenExposed_, {})) run();
  }
  return QObject::eventFilter(watched, event);
}

void Stage::Aim(const QByteArray& path) {
  folder_->SetCurrent(path);
  emit changed();
}

bool Stage::Load(const QByteArray& path, bool keepView) {
  // The picture shown no longer comes from play: the frames prepared ahead go.
  book_->FramePlayer().Stop();
  book_->Watch(false);
  afterPlay_ = false;
  frameShown_.reset();
  framePath_.clear();
  missing_ = false;
  reloadAside_->Cancel();
  storedLoad_->Cancel();
  // The look as it stands decides what the load keeps.
  if (canvas_.SetLook(look_)) viewport_.CanvasSized();
  beingWritten_ = false;
  lastLoaded_ = AbsolutePath(path);
  folder_->SetCurrent(path);

  canvas_.Refresh();
  canvas_.Clear();
  shown_.reset();
  // Every picture starts at actual size, unless Fit to Window is chosen or it is loaded again.
  if (!keepView && !viewport_.FitMode() && !(viewport_.Zoom() == ViewGeometry::kActualSize))
    viewport_.ZoomAbout(ViewGeometry::kActualSize, QPointF(0, 0));
  emit changed();
  // The file as it is loaded, for what the window says of it afterwards.
  ShownPicture loaded{folder_->Current(), ReadHeaderOf(path), FileStamp::Of(path), false, {}};
  {
    // The load ends at its next progress point when the program ends or a step asks for another
    // picture.
    WindowCanvas canvas(
        window_, canvas_, dialogs_, [this] { return owner_.EndLoad(); },
        [this] { viewport_.CanvasSized(); });
    lumenor::LoadImageFile(path.toStdString(), canvas, options_);
    loaded.loadedCleanly = !canvas.Failed();
    // What the file holds is told from its header and tables: a file that ends early is painted
    // as it is (zeros past its end), and said to be incomplete.
    if (canvas.Titled()) {
      loaded.completeness = lumenor::CheckFileCompleteness(path.toStdString(), options_);
      shown_ = loaded;
    }
  }
  if (owner_.EndLoad()) return false;
  canvas_.Refresh();
  dialogs_.Beep();
  // A look chosen during the load that shows stored values the load did not keep.
  Soon([this] { LoadStoredValues(); });
  return true;
}

// A channel or the checkerboard over a picture with alpha shows its stored values, which a load
// keeps only when the look shows them (they take as much memory as the picture): they are read
// from the file aside, the picture staying as it is meanwhile. True while they are on the way.
bool Stage::LoadStoredValues() {
  if (!look_.NeedsStored() || AfterPlay() || !shown_ || !owner_.Still() ||
      !lumenor::HasAlpha(shown_->header.channels) || canvas_.GetScene().A().HasStored() ||
      !(FileStamp::Of(shown_->path) == shown_->stamp))
    return false;
  storedLoad_->Start(shown_->path, canvas_.BackColor().rgb(), options_,
                     QuietReload::Keep::kStoredOnly);
  return true;
}

// The look waits for them, so that it never shows the picture's blended pixels as its values.
void Stage::StoredLoaded(const QByteArray& path, const AsidePicture& loaded) {
  if (shown_ && path == shown_->path && FileStamp::Of(path) == shown_->stamp && !AfterPlay())
    canvas_.GetScene().A().SetStored(loaded.stored);
  ApplyLook();
}

void Stage::ReloadAside() {
  asideStamp_ = FileStamp::Of(folder_->Current());
  // A file that does not hold everything its header says is still being written: the picture
  // on screen stays until it is whole.
  if (lumenor::CheckFileCompleteness(folder_->Current().toStdString(), options_).state !=
      lumenor::Completeness::State::kComplete) {
    beingWritten_ = true;
    emit changed();
    return owner_.ReloadedAside();
  }
  reloadAside_->Start(folder_->Current(), canvas_.BackColor().rgb(), options_,
                      look_.NeedsStored() ? QuietReload::Keep::kPictureAndStored
                                          : QuietReload::Keep::kPicture);
}

void Stage::CancelReloadAside() { reloadAside_->Cancel(); }

void Stage::ReloadedAside(const QByteArray& path, const AsidePicture& loaded) {
  if (owner_.GetState() != ScreenOwner::State::kReloading || path != folder_->Current()) return;
  if (loaded.picture.isNull()) {
    // Empty, refused or broken part way (a writer not done yet): the last good picture stays,
    // and the file is tried again at its next change.
    beingWritten_ = true;
  } else {
    beingWritten_ = false;
    window_.setWindowTitle(loaded.title);
    if (canvas_.ShowPicture(loaded.picture, loaded.stored)) viewport_.CanvasSized();
    shown_ = ShownPicture{path, ReadHeaderOf(path), asideStamp_, true,
                          lumenor::CheckFileCompleteness(path.toStdString(), options_)};
  }
  owner_.ReloadedAside();
  emit changed();
}

ScreenOwner::PlayStart Stage::Play() {
  if (folder_->Current().isEmpty()) return ScreenOwner::PlayStart::kNothingShown;
  if (!ChooseFrames()) return ScreenOwner::PlayStart::kNoList;
  UpdatePlayerView();
  const bool resume = AfterPlay() && frameShown_;
  book_->Watch(true);
  const auto from = resume ? frameShown_ : book_->NumberOf(folder_->Current());
  if (!resume) framePath_ = folder_->Current();  // until the first frame comes
  afterPlay_ = true;
  book_->Play(from.value_or(book_->First()), resume);
  shown_.reset();  // nothing to copy or export while frames go by
  return ScreenOwner::PlayStart::kStarted;
}

bool Stage::Seek(std::int64_t number) {
  if (!ChooseFrames()) return false;
  if (!afterPlay_) frameShown_ = book_->NumberOf(folder_->Current());
  afterPlay_ = true;
  book_->Watch(true);
  UpdatePlayerView();
  book_->FramePlayer().Seek(std::clamp(number, book_->First(), book_->Last()));
  return true;
}

void Stage::Pause() {
  book_->FramePlayer().Pause();
  if (framePath_.isEmpty()) return;
  // The frame on screen is the picture shown now, and the walk goes on from it.
  folder_->SetCurrent(framePath_);
  shown_ = PictureOf(framePath_, true, options_);
}

void Stage::ShowFrame(const PlayerFrame& frame) {
  frameShown_ = frame.number;
  missing_ = frame.missing;
  writing_ = frame.writing;
  if (frame.missing) return emit frameShown();  // the frame before it stays
  framePath_ = frame.path;
  window_.setWindowTitle(frame.title);
  const ViewGeometry& view = canvas_.View();
  if (viewport_.FitMode() &&
      frame.picture.size() != QSize(view.PictureWidth(), view.PictureHeight())) {
    // The view at the frame's fitted zoom first, so that the frame scaled for it is taken.
    canvas_.View().SetPictureSize(frame.picture.width(), frame.picture.height());
    viewport_.FitToWindow();
  }
  if (canvas_.ShowFrame(frame.picture, frame.scaled, frame.zoom, frame.scaledRect, frame.look))
    viewport_.CanvasSized();
  if (book_->ComparesFrames()) {
    canvas_.GetScene().B().SetShown(frame.comparedPicture, frame.comparedScaled, frame.zoom,
                                    frame.comparedScaledRect, frame.look);
    canvas_.BChanged();
  }
  if (owner_.GetState() == ScreenOwner::State::kPaused) {
    // A frame sought: it is the picture shown, and the walk goes on from it.
    folder_->SetCurrent(framePath_);
    shown_ = PictureOf(framePath_, true, options_);
  }
  emit frameShown();
}

// Frames are scaled ahead for the view as it stands: a zoom or a resize reaches them from the
// next one on.
void Stage::UpdatePlayerView() {
  book_->FramePlayer().SetView({viewport_.FitMode(), viewport_.Zoom(), canvas_.ScaleWidth(),
                                canvas_.ScaleHeight(), canvas_.Left(), canvas_.Top(),
                                canvas_.BackColor().rgb(), look_});
}

void Stage::SetCompared(const QByteArray& folder, const std::optional<Sequence>& sequence) {
  book_->SetCompared(folder, sequence);
  // The frame on screen, or the play under way, again with B's frames.
  if (!AfterPlay() || !frameShown_) return;
  if (owner_.GetState() == ScreenOwner::State::kPlaying)
    book_->Play(*frameShown_, true);
  else if (owner_.GetState() == ScreenOwner::State::kPaused)
    book_->FramePlayer().Seek(*frameShown_);
}

void Stage::Walk(const std::function<QByteArray(Folder&)>& to) {
  owner_.Step([this, &to] { return to(*folder_); });
}

void Stage::SetLook(const lumenor::Look& look) {
  look_ = look;
  if (storedLoad_->Running() || LoadStoredValues()) return;  // with the values, below
  ApplyLook();
}

void Stage::ApplyLook() {
  if (canvas_.SetLook(look_)) viewport_.CanvasSized();
  UpdatePlayerView();
  if (!AfterPlay() || !frameShown_) return;
  // Frames are made for the look: a play goes on from the frame shown, and a frame made for
  // another look is made again.
  if (owner_.GetState() == ScreenOwner::State::kPlaying)
    book_->Play(*frameShown_, true);
  else if (owner_.GetState() == ScreenOwner::State::kPaused && !missing_ &&
           !canvas_.GetScene().A().ShowsLook())
    book_->FramePlayer().Seek(*frameShown_);
}
