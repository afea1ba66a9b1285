#include "form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>
#include <QTimer>
#include <QStatusBar>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "dialogs.h"
#include "file_names.h"
#include "menus.h"
#include "viewport.h"
#include "folder.h"
#include "module1.h"
#include "picture1.h"
#include "player.h"
#include "picture_out.h"
#include "properties.h"
#include "quiet_reload.h"
#include "status_readout.h"
#include "window_canvas.h"

namespace {

const QString kInitialTitle = QStringLiteral("Lumenor 1.0 by Vantris");
const QString kOpenTitle = QStringLiteral("Select a RGB Image");
// The described choice first and chosen; then every extension the walk knows, and every file.
const QString kOpenFilter = QStringLiteral(
    "RGB Images (*.bw, *.rgb)|*.bw; *.rgb"
    "|All SGI Images (*.bw *.int *.inta *.rgb *.rgba *.sgi)|*.bw; *.int; *.inta; *.rgb; *.rgba; *.sgi"
    "|All Files (*)|*");

constexpr int kDefaultFrameRate = 24;  // Go > Frame Rate

// What is remembered between runs, and only once the user has chosen it in the menu.
const QString kStatusBarSetting = QStringLiteral("view/statusBar");
const QString kFitSetting = QStringLiteral("view/fitToWindow");

// $XDG_CONFIG_HOME/lumenor/lumenor.conf
std::unique_ptr<QSettings> SettingsFile() {
  return std::make_unique<QSettings>(QStringLiteral("lumenor"), QStringLiteral("lumenor"));
}

// The header of the file about to be loaded; a file that cannot be read has none to tell of.
lumenor::ImageHeader ReadHeaderOf(const QByteArray& fileName) {
  try {
    lumenor::FileSource file(fileName.toStdString());
    return lumenor::ReadHeader(file);
  } catch (const std::exception&) {
    return {};
  }
}

// Nearest integer, ties to even, held to the 16-bit range the drag arithmetic works in.
int RoundToInt16(double value) {
  const double rounded = std::nearbyint(value);
  return static_cast<int>(std::clamp(rounded, double{std::numeric_limits<std::int16_t>::min()},
                                     double{std::numeric_limits<std::int16_t>::max()}));
}

// The one local file a drag carries, named in the system's own encoding; nothing for text, remote
// addresses, folders or several files.
std::optional<QByteArray> DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().constFirst();
  // isLocalFile() ignores the host: file://otherhost/path names a file on another machine.
  if (!url.isLocalFile() || !(url.host().isEmpty() || url.host().compare(QLatin1String("localhost"),
                                                                         Qt::CaseInsensitive) == 0))
    return std::nullopt;
  // QUrl leaves the bytes of a name that is not UTF-8 percent-encoded: decode them here, so
  // that such a name reaches the file system as it is spelled there.
  QByteArray name = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  std::error_code error;
  if (name.isEmpty() || std::filesystem::is_directory(name.toStdString(), error))
    return std::nullopt;
  return name;
}

}  // namespace

Form1::Form1(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kInitialTitle);

  Picture1_ = new Picture1(this);
  Picture1_->installEventFilter(this);
  connect(Picture1_, &Picture1::resized, this, &Form1::Form_Resize);
  setCentralWidget(Picture1_);
  Picture1_->setFocus();
  setAcceptDrops(true);

  folder_ = new Folder(this);
  connect(folder_, &Folder::listChanged, this, [this] {
    UpdateItems();
    if (playWanted_ && folder_->Listed()) StartPlaying();
  });
  player_ = new Player(nullptr, 0, Player::kMostBytesAhead, this);
  connect(player_, &Player::frameDue, this, &Form1::ShowFrame);
  // The picture follows its file: rewritten in place or replaced, it is loaded again, aside, and
  // shown once it is whole; a file that cannot be shown (yet) leaves the picture as it is.
  quietReload_ = new QuietReload(this);
  connect(quietReload_, &QuietReload::finished, this, &Form1::QuietlyReloaded);
  connect(folder_, &Folder::currentFileChanged, this, [this] {
    if (player_->Playing()) return;
    // A load under way finishes first: restarting it at every rewrite could never end.
    if (loading_ || quietReload_->Running())
      reloadWhenLoaded_ = true;
    else
      ReloadQuietly();
  });
  out_ = new PictureOut(this);
  connect(out_, &PictureOut::done, this, &Form1::UpdateItems);
  connect(out_, &PictureOut::failed, this, [this](const QString& text) {
    dialogs_.MsgBox(this, QStringLiteral("Error"), text, Dialogs::Icon::Critical);
  });

  menus_ = new Menus(*this);
  viewport_ = new Viewport(*Picture1_, *menus_->mnuFit, this);
  connect(viewport_, &Viewport::zoomed, this, [this] {
    if (player_->Playing()) UpdatePlayerView();
    if (status_) UpdateItems();
    ShowValuesUnderPointer();
  });
  connect(viewport_, &Viewport::panned, this, [this] {
    if (!Dragging) ShowValuesUnderPointer();  // a drag's own move reads them
  });
  ConnectMenus();
  SetFrameRate(kDefaultFrameRate);
  const auto settings = SettingsFile();
  menus_->mnuFit->setChecked(settings->value(kFitSetting, false).toBool());
  if (settings->value(kStatusBarSetting, false).toBool()) ShowStatusBar(true);
  const int bars =
      menuBar()->sizeHint().height() + (status_ ? statusBar()->sizeHint().height() : 0);
  resize(kInitialClientWidth, kInitialClientHeight + bars);
}

void Form1::ConnectMenus() {
  // Queued, so that a load runs from the event loop rather than inside the menu's own handling.
  connect(menus_->mnuOpen, &QAction::triggered, this, &Form1::mnuOpen_Click, Qt::QueuedConnection);
  connect(menus_->mnuExport, &QAction::triggered, this, &Form1::mnuExport_Click);
  connect(menus_->mnuProperties, &QAction::triggered, this, &Form1::mnuProperties_Click);
  connect(menus_->mnuExit, &QAction::triggered, this, &Form1::mnuExit_Click);
  connect(menus_->mnuCopy, &QAction::triggered, this, &Form1::mnuCopy_Click);
  connect(menus_->mnuZoomIn, &QAction::triggered, this, &Form1::mnuZoomIn_Click);
  connect(menus_->mnuZoomOut, &QAction::triggered, this, &Form1::mnuZoomOut_Click);
  connect(menus_->mnuActualSize, &QAction::triggered, this, &Form1::mnuActualSize_Click);
  connect(menus_->mnuFit, &QAction::triggered, this, &Form1::mnuFit_Click);
  connect(menus_->mnuStatusBar, &QAction::triggered, this, &Form1::mnuStatusBar_Click);
  connect(menus_->mnuFullScreen, &QAction::triggered, this, &Form1::mnuFullScreen_Click);
  connect(menus_->mnuReload, &QAction::triggered, this, &Form1::mnuReload_Click);
  connect(menus_->mnuNext, &QAction::triggered, this, &Form1::mnuNext_Click);
  connect(menus_->mnuPrevious, &QAction::triggered, this, &Form1::mnuPrevious_Click);
  connect(menus_->mnuFirst, &QAction::triggered, this, &Form1::mnuFirst_Click);
  connect(menus_->mnuLast, &QAction::triggered, this, &Form1::mnuLast_Click);
  connect(menus_->mnuPlay, &QAction::triggered, this, &Form1::mnuPlay_Click);
  connect(menus_->mnuAbout, &QAction::triggered, this, &Form1::mnuAbout_Click);
  connect(menus_, &Menus::frameRateChosen, player_, &Player::SetFrameRate);
  UpdateItems();
}

QWidget& Form1::ClientArea() const { return *Picture1_; }
QAction& Form1::OpenItem() const { return *menus_->mnuOpen; }
QAction& Form1::FitItem() const { return *menus_->mnuFit; }
int Form1::ScaleWidth() const { return Picture1_->ScaleWidth(); }
int Form1::ScaleHeight() const { return Picture1_->ScaleHeight(); }
lumenor::Zoom Form1::CurrentZoom() const { return viewport_->Zoom(); }

void Form1::mnuOpen_Click() {
  if (!CanOpen()) return;  // loads never nest
  const auto chosen = dialogs_.ShowOpen(this, kOpenTitle, kOpenFilter, CommonDialog1FileName_);
  if (!chosen) return;  // cancelled: canvas, title and Open untouched
  OpenFile(ChosenPath(*chosen, CommonDialog1Bytes_));
}

void Form1::OpenFile(const QByteArray& fileName) { OpenWith(fileName, false); }

void Form1::OpenWith(const QByteArray& fileName, bool keepView) {
  if (loading_ || ending_) return;
  for (QByteArray next = fileName; !next.isEmpty() && !ending_;) {
    nextOpen_.clear();
    if (LoadOnce(next, keepView)) break;
    // A step came in the middle: its picture is next.
    next = std::exchange(nextOpen_, {});
    keepView = nextKeepsView_;
  }
  // The file changed while it loaded: once more, aside, from the event loop.
  if (std::exchange(reloadWhenLoaded_, false) && !ending_)
    QMetaObject::invokeMethod(
        this, [this] { ReloadQuietly(); }, Qt::QueuedConnection);
}

bool Form1::LoadOnce(const QByteArray& fileName, bool keepView) {
  if (player_->Playing()) PausePlaying();
  if (std::exchange(playWanted_, false)) menus_->mnuPlay->setChecked(false);
  // The picture shown no longer comes from play: the frames prepared ahead go.
  player_->Stop();
  playedPaths_.clear();
  quietReload_->Cancel();
  beingWritten_ = false;
  // The file dialog offers the picture opened last, whichever way it came.
  CommonDialog1Bytes_ = AbsolutePath(fileName);
  CommonDialog1FileName_ = QFile::decodeName(CommonDialog1Bytes_);
  folder_->SetCurrent(fileName);

  Picture1_->Refresh();
  menus_->mnuOpen->setEnabled(false);
  Picture1_->Clear();
  shown_.reset();
  // Every picture starts at actual size, unless Fit to Window is chosen or it is loaded again.
  if (!keepView && !menus_->mnuFit->isChecked() && !(CurrentZoom() == ViewGeometry::kActualSize))
    viewport_->ZoomAbout(ViewGeometry::kActualSize, QPointF(0, 0));
  loading_ = true;
  UpdateItems();
  // The file as it is loaded, for what the window says of it afterwards.
  ShownPicture loaded{folder_->Current(), ReadHeaderOf(fileName), FileStamp::Of(fileName)};
  {
    // The load ends at its next progress point when the program ends or a step asks for another
    // picture.
    WindowCanvas canvas(
        *this, *Picture1_, dialogs_, [this] { return ending_ || !nextOpen_.isEmpty(); },
        [this] { viewport_->CanvasSized(); });
    lumenor::LoadImageFile(fileName.toStdString(), canvas);
    loaded.loadedCleanly = !canvas.Failed();
    if (canvas.Titled()) shown_ = loaded;
  }
  loading_ = false;
  menus_->mnuOpen->setEnabled(true);
  UpdateItems();
  if (ending_ || !nextOpen_.isEmpty()) return false;
  Picture1_->Refresh();
  dialogs_.Beep();
  return true;
}

void Form1::WalkTo(const QByteArray& path, bool keepView) {
  if (path.isEmpty() || ending_ || openQueued_) return;
  // The position moves at once, so that the next step goes on from here, also during a load.
  folder_->SetCurrent(path);
  nextOpen_ = path;
  nextKeepsView_ = keepView;
  UpdateItems();
  if (loading_ || walkQueued_) return;  // it ends at its next progress point, then this one runs
  // From the event loop, as the Open command's load runs.
  walkQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        walkQueued_ = false;
        if (nextOpen_.isEmpty() || loading_) return;
        const QByteArray next = std::exchange(nextOpen_, {});
        const bool keep = nextKeepsView_;
        OpenWith(next, keep);
      },
      Qt::QueuedConnection);
}

void Form1::UpdateItems() {
  const bool any = !folder_->Current().isEmpty();
  // While frames go by, the steps go from the frame shown.
  const bool playing = player_->Playing() && playingIndex_ >= 0;
  menus_->mnuNext->setEnabled(any && (playing ? playingIndex_ + 1 < player_->PictureCount()
                                       : folder_->HasNext()));
  menus_->mnuPrevious->setEnabled(any && (playing ? playingIndex_ > 0 : folder_->HasPrevious()));
  menus_->mnuFirst->setEnabled(any);
  menus_->mnuLast->setEnabled(any);
  menus_->mnuReload->setEnabled(any);
  const bool shown = shown_.has_value() && !loading_;
  menus_->mnuCopy->setEnabled(shown && !out_->Busy());
  menus_->mnuExport->setEnabled(shown && !out_->Busy());
  menus_->mnuProperties->setEnabled(shown);
  if (status_ && !player_->Playing()) {
    status_->Show(shown_, folder_->Position(), folder_->Count(), CurrentZoom());
    status_->SetNote(beingWritten_ ? QStringLiteral("being written") : QString());
  }
}

void Form1::mnuCopy_Click() {
  if (!shown_ || loading_ || out_->Busy()) return;
  out_->Copy(shown_->path, shown_->loadedCleanly);
  UpdateItems();
}

void Form1::mnuExport_Click() {
  if (!shown_ || loading_ || out_->Busy()) return;
  const QByteArray suggested = PictureOut::SuggestedPng(shown_->path);
  const auto chosen =
      dialogs_.ShowSave(this, QStringLiteral("Export as PNG"), QStringLiteral("PNG Images (*.png)"),
                        QFile::decodeName(suggested));
  if (!chosen || !shown_ || out_->Busy()) return;
  out_->Export(shown_->path, shown_->loadedCleanly, ChosenPath(*chosen, suggested));
  UpdateItems();
}

void Form1::mnuProperties_Click() {
  if (shown_) dialogs_.ShowFacts(this, QStringLiteral("Properties"), PropertiesOf(*shown_));
}

void Form1::mnuStatusBar_Click() {
  ShowStatusBar(menus_->mnuStatusBar->isChecked());
  SettingsFile()->setValue(kStatusBarSetting, menus_->mnuStatusBar->isChecked());
}

// The status bar takes its line from the bottom of the client area: the canvas keeps its place
// in the client area, and so on screen, unless the resize rule pulls it back.
void Form1::ShowStatusBar(bool show) {
  menus_->mnuStatusBar->setChecked(show);
  if (show && !status_) status_ = std::make_unique<StatusReadout>(*statusBar());
  if (status_) statusBar()->setVisible(show);
  // The values under the pointer are read as it moves, without a button held.
  Picture1_->setMouseTracking(show);
  if (!show && status_) status_->PointerLeft();
  UpdateItems();
}

// A step pauses a flipbook first, so that it goes on from the frame shown.
void Form1::Step(const std::function<QByteArray(Folder&)>& target, bool keepView) {
  PausePlaying();
  WalkTo(target(*folder_), keepView);
}

void Form1::mnuNext_Click() { Step(&Folder::Next); }
void Form1::mnuPrevious_Click() { Step(&Folder::Previous); }
void Form1::mnuFirst_Click() { Step(&Folder::First); }
void Form1::mnuLast_Click() { Step(&Folder::Last); }
void Form1::mnuReload_Click() { Step(&Folder::Current, true); }

void Form1::SetFrameRate(int framesPerSecond) {
  menus_->FrameRateItem(framesPerSecond);
  player_->SetFrameRate(framesPerSecond);
}

void Form1::mnuPlay_Click() {
  if (player_->Playing() || playWanted_) {
    playWanted_ = false;
    PausePlaying();
  } else {
    StartPlaying();
  }
  menus_->mnuPlay->setChecked(player_->Playing() || playWanted_);
}

void Form1::StartPlaying() {
  if (folder_->Current().isEmpty() || loading_ || ending_) return;
  if (!folder_->Listed()) {  // once the list is there
    playWanted_ = true;
    menus_->mnuPlay->setChecked(true);
    return;
  }
  playWanted_ = false;
  quietReload_->Cancel();
  const QByteArray current = folder_->Current();
  const QByteArray folder = current.left(current.lastIndexOf('/') + 1);
  std::vector<QByteArray> paths;
  for (const QByteArray& name : folder_->Names()) paths.push_back(folder + name);
  UpdatePlayerView();
  playingFrame_ = current;
  const int position = std::max(0, folder_->Position());
  playingIndex_ = position;
  if (paths == playedPaths_ && position == player_->ShownIndex()) {
    // Paused on this frame and nothing changed since: on from the next, with the frames prepared.
    player_->Play((position + 1) % static_cast<int>(paths.size()));
  } else {
    playedPaths_ = paths;
    player_->SetPictures(std::move(paths));
    player_->Play(position);
  }
  menus_->mnuPlay->setChecked(true);
  shown_.reset();  // nothing to copy or export while frames go by
  UpdateItems();
}

void Form1::PausePlaying() {
  if (!player_->Playing()) return;
  player_->Pause();
  menus_->mnuPlay->setChecked(false);
  // The frame on screen is the picture shown now, and the walk goes on from it.
  folder_->SetCurrent(playingFrame_);
  shown_ =
      ShownPicture{playingFrame_, ReadHeaderOf(playingFrame_), FileStamp::Of(playingFrame_), true};
  UpdateItems();
}

void Form1::ShowFrame(const PlayerFrame& frame) {
  playingFrame_ = frame.path;
  playingIndex_ = frame.index;
  setWindowTitle(frame.title);
  const bool resized =
      frame.picture.size() != QSize(Picture1_->ImageWidth(), Picture1_->ImageHeight());
  if (resized && menus_->mnuFit->isChecked()) {
    // The view at the frame's fitted zoom first, so that the frame scaled for it is taken.
    Picture1_->View().SetPictureSize(frame.picture.width(), frame.picture.height());
    viewport_->FitToWindow();
  }
  Picture1_->ShowFrame(frame.picture, frame.scaled, frame.zoom, frame.scaledRect);
  if (resized) viewport_->CanvasSized();
  UpdateItems();  // the steps go from the frame shown
  if (status_ && statusBar()->isVisible()) {
    status_->Show(
        ShownPicture{frame.path, ReadHeaderOf(frame.path), FileStamp::Of(frame.path), true},
        frame.index, player_->PictureCount(), CurrentZoom());
    ShowValuesUnderPointer();
  }
}

// Frames are scaled ahead for the view as it stands: a zoom or a resize reaches them from the
// next one on.
void Form1::UpdatePlayerView() {
  player_->SetView({menus_->mnuFit->isChecked(), CurrentZoom(), ScaleWidth(), ScaleHeight(),
                    Picture1_->Left(), Picture1_->Top(), Picture1_->BackColor().rgb()});
}

void Form1::ReloadQuietly() {
  if (ending_ || loading_ || player_->Playing() || folder_->Current().isEmpty()) return;
  quietStamp_ = FileStamp::Of(folder_->Current());
  quietReload_->Start(folder_->Current(), Picture1_->BackColor().rgb());
}

void Form1::QuietlyReloaded(const QByteArray& path, const QImage& picture, const QString& title) {
  if (ending_ || loading_ || player_->Playing() || path != folder_->Current()) return;
  if (picture.isNull()) {
    // Empty, refused or broken part way (a writer not done yet): the last good picture stays,
    // and the file is tried again at its next change.
    beingWritten_ = true;
  } else {
    beingWritten_ = false;
    setWindowTitle(title);
    const bool resized =
        picture.size() != QSize(Picture1_->ImageWidth(), Picture1_->ImageHeight());
    Picture1_->ShowFrame(picture, {}, CurrentZoom(), {});
    if (resized) viewport_->CanvasSized();
    shown_ = ShownPicture{path, ReadHeaderOf(path), quietStamp_, true};
  }
  UpdateItems();
  if (std::exchange(reloadWhenLoaded_, false)) ReloadQuietly();
}

void Form1::mnuExit_Click() { Form_Unload(); }

void Form1::closeEvent(QCloseEvent* event) {
  event->accept();
  Form_Unload();
}

// Ends the program at once. The only file the program holds is the one a load has open: the load
// sees ending_ at its next progress point, closes it and unwinds before the event loop returns.
void Form1::Form_Unload() {
  ending_ = true;
  hide();
  QCoreApplication::exit(0);
}

QString Form1::AboutText() {
  return QStringLiteral(
      "Lumenor 1.0 by Vantris (vantris@lumenor.example)\r\n"
      "A complete decoder of RGB and BW images in the SGI image file format.\r\n"
      "\r\n"
      "Copyright \u00A9 2003 Vantris. All rights reserved.\r\n"
      "\r\n"
      "https://www.lumenor.example/");
}

// The window system keeps the window's size and place and gives them back.
void Form1::mnuFullScreen_Click() { setWindowState(windowState() ^ Qt::WindowFullScreen); }

// Full screen shows the picture area alone, whether the menu or the window system chose it. The
// menu bar stays, at no height, so that its access keys still open the menus (a hidden menu bar
// would take them along); the status bar goes until the window comes back, unless chosen again
// meanwhile.
void Form1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  const bool full = isFullScreen();
  if (full == fullScreenLayout_ || !menus_->mnuFullScreen) return;
  fullScreenLayout_ = full;
  menus_->mnuFullScreen->setChecked(full);
  if (full) {
    menuBar()->setFixedHeight(0);
    if (status_) statusBar()->hide();
  } else {
    menuBar()->setMinimumHeight(0);
    menuBar()->setMaximumHeight(QWIDGETSIZE_MAX);
    if (status_) statusBar()->setVisible(menus_->mnuStatusBar->isChecked());
  }
}

void Form1::mnuAbout_Click() {
  dialogs_.MsgBox(this, QStringLiteral("About..."), AboutText(), Dialogs::Icon::Information);
}

// Open can be chosen, and a drop taken, only when no load runs or waits to run.
bool Form1::CanOpen() const { return !loading_ && !ending_ && !openQueued_ && !walkQueued_; }

void Form1::OpenFileSoon(const QByteArray& fileName, bool thenPlay) {
  if (!CanOpen()) return;
  openQueued_ = true;
  menus_->mnuOpen->setEnabled(false);
  WhenExposed([this, fileName, thenPlay] {
    QMetaObject::invokeMethod(
        this,
        [this, fileName, thenPlay] {
          openQueued_ = false;
          OpenFile(fileName);
          if (thenPlay && !ending_) StartPlaying();
        },
        Qt::QueuedConnection);
  });
}

void Form1::WhenExposed(std::function<void()> open) {
  if (windowHandle() == nullptr) (void)winId();  // the window system's window, to be told of
  QWindow* window = windowHandle();
  if (window == nullptr || window->isExposed()) return open();
  whenExposed_ = std::move(open);
  window->installEventFilter(this);
  // A window system that never says so (a window started minimised): not forever.
  constexpr int kLongestWaitMs = 3000;
  QTimer::singleShot(kLongestWaitMs, this, [this] {
    if (const auto pending = std::exchange(whenExposed_, nullptr)) pending();
  });
}

void Form1::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

// Asked again at every move: a load may have started or ended since the drag came in. A drop is
// taken as a copy, never a move: a source told of a move may delete its file.
void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (CanOpen() && DraggedFile(event->mimeData()) &&
      (event->possibleActions() & Qt::CopyAction)) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void Form1::dropEvent(QDropEvent* event) {
  const auto file = DraggedFile(event->mimeData());
  if (!CanOpen() || !file || !(event->possibleActions() & Qt::CopyAction)) return event->ignore();
  event->setDropAction(Qt::CopyAction);
  event->accept();
  // The load runs once the drop has been answered, so that the program the file came from is
  // not kept waiting for it.
  OpenFileSoon(*file);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && whenExposed_ &&
      windowHandle()->isExposed()) {
    windowHandle()->removeEventFilter(this);
    std::exchange(whenExposed_, nullptr)();
  }
  if (watched != Picture1_) return QMainWindow::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      // Pointer positions are in canvas pixels; the client area around the canvas is not it.
      const QPointF at = Picture1_->ToDevice(static_cast<QMouseEvent*>(event)->position());
      if (Picture1_->CanvasRect().contains(at.toPoint()))
        Picture1_MouseDown(at.x() - Picture1_->Left(), at.y() - Picture1_->Top());
      return true;
    }
    case QEvent::MouseMove: {
      const QPointF at = Picture1_->ToDevice(static_cast<QMouseEvent*>(event)->position());
      pointer_ = at;
      Picture1_MouseMove(at.x() - Picture1_->Left(), at.y() - Picture1_->Top());
      if (status_ && statusBar()->isVisible()) ShowValuesUnder(at);
      return true;
    }
    case QEvent::Leave:
      pointer_.reset();
      if (status_) status_->PointerLeft();
      return false;
    case QEvent::MouseButtonRelease:
      Picture1_MouseUp();
      return true;
    case QEvent::KeyPress:
      return Picture1_KeyDown(*static_cast<QKeyEvent*>(event));
    case QEvent::Wheel:
      Picture1_Wheel(*static_cast<QWheelEvent*>(event));
      return true;
    default:
      return false;
  }
}

// The picture pixel under a point of the client area (device pixels), wherever the canvas is.
void Form1::ShowValuesUnder(QPointF devicePoint) {
  if (const auto pixel = viewport_->PictureAt(devicePoint))
    status_->PointAt(pixel->x(), pixel->y());
  else
    status_->PointerLeft();
}

void Form1::ShowValuesUnderPointer() {
  if (status_ && statusBar()->isVisible() && pointer_) ShowValuesUnder(*pointer_);
}

void Form1::Picture1_MouseDown(double x, double y) {
  Dragging = true;
  LastX = x;
  LastY = static_cast<float>(y);
}

void Form1::Picture1_MouseUp() { Dragging = false; }

void Form1::Picture1_MouseMove(double x, double y) {
  if (!Dragging) return;
  if (SkipNextMove) {
    SkipNextMove = false;
    LastX = x;
    LastY = static_cast<float>(y);
    return;
  }
  const double dx = x - LastX;
  const int dy = RoundToInt16(y - static_cast<double>(LastY));
  LastX = x;
  LastY = static_cast<float>(y);
  if (dx == 0 && dy == 0) return;
  SkipNextMove = true;
  const QPoint before(Picture1_->Left(), Picture1_->Top());
  viewport_->PanBy(dx, dy);

  // Qt sends no move event when the canvas moves under a pointer that stands still; the skip
  // above is meant for that event, so deliver it: the same pointer, in the moved canvas's
  // coordinates. The next real movement is then applied in full.
  const QPoint moved = QPoint(Picture1_->Left(), Picture1_->Top()) - before;
  if (!moved.isNull()) Picture1_MouseMove(x - moved.x(), y - moved.y());
}

bool Form1::Picture1_KeyDown(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  if (event.key() == Qt::Key_Escape && isFullScreen()) {
    mnuFullScreen_Click();
    return true;
  }
  // With nothing left to pan that way, the arrows and Home and End walk the folder instead.
  if (!folder_->Current().isEmpty()) {
    const bool fitsAcross = Picture1_->Width() <= ScaleWidth();
    const bool fitsBoth = fitsAcross && Picture1_->Height() <= ScaleHeight();
    const struct {
      int key;
      bool walks;
      void (Form1::*step)();
    } walks[] = {{Qt::Key_Right, fitsAcross, &Form1::mnuNext_Click},
                 {Qt::Key_Left, fitsAcross, &Form1::mnuPrevious_Click},
                 {Qt::Key_Home, fitsBoth, &Form1::mnuFirst_Click},
                 {Qt::Key_End, fitsBoth, &Form1::mnuLast_Click}};
    for (const auto& w : walks)
      if (event.key() == w.key && w.walks) {
        (this->*w.step)();
        return true;
      }
  }
  return viewport_->PanByKey(event.key());
}

void Form1::Picture1_Wheel(const QWheelEvent& event) {
  if (event.modifiers() & Qt::ControlModifier)
    viewport_->WheelZoom(event.angleDelta().y(), Picture1_->ToDevice(event.position()));
  else
    viewport_->PanByWheel(event);
}

void Form1::mnuZoomIn_Click() { viewport_->ZoomIn(); }
void Form1::mnuZoomOut_Click() { viewport_->ZoomOut(); }
void Form1::mnuActualSize_Click() { viewport_->ActualSize(); }

// Fit to Window is a mode: while it is checked, a resize or a new picture fits again. Unchecked,
// the view stays where it is.
void Form1::mnuFit_Click() {
  SettingsFile()->setValue(kFitSetting, menus_->mnuFit->isChecked());
  if (menus_->mnuFit->isChecked()) viewport_->FitToWindow();
}

void Form1::Form_Resize() {
  viewport_->Resized();
  if (player_->Playing()) UpdatePlayerView();
}
