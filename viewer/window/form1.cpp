#include "form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "dialogs.h"
#include "drop_target.h"
#include "file_names.h"
#include "comparison.h"
#include "flipbook.h"
#include "folder.h"
#include "lenses.h"
#include "looks.h"
#include "menus.h"
#include "picture1.h"
#include "picture_commands.h"
#include "player.h"
#include "remembered.h"
#include "stage.h"
#include "status_line.h"
#include "status_readout.h"
#include "timeline.h"
#include "transport.h"
#include "viewport.h"

namespace {

const QString kInitialTitle = QStringLiteral("Lumenor 1.0 by Vantris");
const QString kOpenTitle = QStringLiteral("Select a RGB Image");
// The described choice first and chosen; then every extension the walk knows, and every file.
const QString kOpenFilter = QStringLiteral(
    "RGB Images (*.bw, *.rgb)|*.bw; *.rgb"
    "|All SGI Images (*.bw *.int *.inta *.rgb *.rgba *.sgi)|*.bw; *.int; *.inta; *.rgb; *.rgba; "
    "*.sgi"
    "|All Files (*)|*");

constexpr FrameRate kDefaultFrameRate{24, 1};  // Go > Frame Rate

// Nearest integer, ties to even, held to the 16-bit range the drag arithmetic works in.
int RoundToInt16(double value) {
  const double rounded = std::nearbyint(value);
  return static_cast<int>(std::clamp(rounded, double{std::numeric_limits<std::int16_t>::min()},
                                     double{std::numeric_limits<std::int16_t>::max()}));
}

}  // namespace

Form1::Form1(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kInitialTitle);

  // The client area: the canvas, and the timeline below it when it is chosen.
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  Picture1_ = new Picture1(central);
  Picture1_->installEventFilter(this);
  connect(Picture1_, &Picture1::resized, this, &Form1::Form_Resize);
  layout->addWidget(Picture1_, 1);
  timeline_ = new Timeline(central);
  timeline_->hide();
  layout->addWidget(timeline_);
  setCentralWidget(central);
  Picture1_->setFocus();
  new DropTarget(
      *this, [this] { return CanOpen(); }, [this](const QByteArray& file) { OpenFileSoon(file); });

  menus_ = new Menus(*this);
  viewport_ = new Viewport(*Picture1_, *menus_->mnuFit, this);
  stage_ = new Stage(*this, *Picture1_, *viewport_, dialogs_);
  transport_ = new Transport(*menus_, *stage_, *Picture1_, *timeline_, this);
  lenses_ = new Lenses(*menus_, *Picture1_, *viewport_, *stage_, this);
  statusLine_ = new StatusLine(*this, *Picture1_, *lenses_, *menus_->mnuStatusBar);
  connect(statusLine_, &StatusLine::chosen, this, &Form1::UpdateItems);
  connect(lenses_, &Lenses::changed, this, [this] {
    UpdateItems();
    statusLine_->PictureMoved();
  });
  connect(lenses_, &Lenses::failed, this, [this](const QString& text) {
    dialogs_.MsgBox(this, QStringLiteral("Error"), text, Dialogs::Icon::Critical);
  });
  connect(stage_, &Stage::changed, this, &Form1::UpdateItems);
  connect(stage_, &Stage::frameShown, this, [this] {
    UpdateItems();  // the steps go from the frame shown
    statusLine_->PictureMoved();
  });
  connect(viewport_, &Viewport::zoomed, this, [this] {
    if (stage_->FramePlayer().Playing()) stage_->UpdatePlayerView();
    if (Status()) UpdateItems();
    statusLine_->PictureMoved();
  });
  connect(viewport_, &Viewport::panned, this, [this] {
    if (!Dragging) statusLine_->PictureMoved();  // a drag's own move reads them
  });
  commands_ = new PictureCommands(
      *this, *menus_, *stage_, dialogs_,
      [this](const lumenor::DecodeOptions& options) { SetDecodeOptions(options); },
      [this](std::uint64_t mib) { SetCacheMiB(mib); });
  connect(commands_, &PictureCommands::changed, this, &Form1::UpdateItems);
  ConnectMenus();
  SetFrameRate(kDefaultFrameRate);

  using namespace remembered;
  menus_->mnuFit->setChecked(Value(kFit, false).toBool());
  menus_->mnuTimeline->setChecked(Value(kTimeline, false).toBool());
  menus_->mnuHeadsUp->setChecked(Value(kHeadsUp, true).toBool());
  if (const auto mib = Value(kCacheMiB, 0).toULongLong(); mib > 0) SetCacheMiB(mib);
  SetDecodeOptions({.sixteenBit = Value(kSixteenBit, false).toBool()});
  if (Value(kCheckerboard, false).toBool()) lenses_->GetLooks().SetCheckerboard(true);
  if (Value(kStatusBar, false).toBool()) statusLine_->Choose(true);
  const int bars =
      menuBar()->sizeHint().height() + (Status() ? statusBar()->sizeHint().height() : 0);
  resize(kInitialClientWidth, kInitialClientHeight + bars);
}

void Form1::ConnectMenus() {
  // Queued, so that a load runs from the event loop rather than inside the menu's own handling.
  connect(menus_->mnuOpen, &QAction::triggered, this, &Form1::mnuOpen_Click, Qt::QueuedConnection);
  connect(menus_->mnuCompareWith, &QAction::triggered, this, &Form1::mnuCompareWith_Click,
          Qt::QueuedConnection);
  connect(menus_->mnuExit, &QAction::triggered, this, &Form1::mnuExit_Click);
  connect(menus_->mnuZoomIn, &QAction::triggered, this, &Form1::mnuZoomIn_Click);
  connect(menus_->mnuZoomOut, &QAction::triggered, this, &Form1::mnuZoomOut_Click);
  connect(menus_->mnuActualSize, &QAction::triggered, this, &Form1::mnuActualSize_Click);
  connect(menus_->mnuFit, &QAction::triggered, this, &Form1::mnuFit_Click);
  connect(menus_->mnuFullScreen, &QAction::triggered, this, &Form1::mnuFullScreen_Click);
  connect(menus_->mnuReload, &QAction::triggered, this, &Form1::mnuReload_Click);
  connect(menus_->mnuNext, &QAction::triggered, this, &Form1::mnuNext_Click);
  connect(menus_->mnuPrevious, &QAction::triggered, this, &Form1::mnuPrevious_Click);
  connect(menus_->mnuFirst, &QAction::triggered, this, &Form1::mnuFirst_Click);
  connect(menus_->mnuLast, &QAction::triggered, this, &Form1::mnuLast_Click);
  connect(menus_->mnuPlay, &QAction::triggered, this, &Form1::mnuPlay_Click);
  connect(menus_->mnuAbout, &QAction::triggered, this, &Form1::mnuAbout_Click);
  for (const auto& [item, setting] : {std::pair{menus_->mnuTimeline, remembered::kTimeline},
                                      std::pair{menus_->mnuHeadsUp, remembered::kHeadsUp}})
    connect(item, &QAction::triggered, this, [this, item = item, setting = setting] {
      remembered::Remember(setting, item->isChecked());
      transport_->Refresh();
    });
  UpdateItems();
}

Form1::~Form1() = default;

QWidget& Form1::ClientArea() const { return *Picture1_; }
QAction& Form1::OpenItem() const { return *menus_->mnuOpen; }
QAction& Form1::FitItem() const { return *menus_->mnuFit; }
Folder& Form1::PictureFolder() const { return stage_->PictureFolder(); }
const StatusReadout* Form1::Status() const { return statusLine_->Readout(); }
Player& Form1::FramePlayer() const { return stage_->FramePlayer(); }
int Form1::ScaleWidth() const { return Picture1_->ScaleWidth(); }
int Form1::ScaleHeight() const { return Picture1_->ScaleHeight(); }
lumenor::Zoom Form1::CurrentZoom() const { return viewport_->Zoom(); }
bool Form1::CanOpen() const { return stage_->Owner().CanOpen(); }
bool Form1::Loading() const { return stage_->Owner().Loading(); }
bool Form1::Ending() const { return stage_->Owner().GetState() == ScreenOwner::State::kQuitting; }

void Form1::mnuOpen_Click() {
  if (!CanOpen()) return;  // loads never nest
  const auto chosen =
      dialogs_.ShowOpen(this, kOpenTitle, kOpenFilter, QFile::decodeName(stage_->LastLoaded()));
  if (!chosen) return;  // cancelled: canvas, title and Open untouched
  OpenFile(ChosenPath(*chosen, stage_->LastLoaded()));
}

void Form1::OpenFile(const QByteArray& fileName) { stage_->Owner().Open(fileName); }

// File > Compare With: B is chosen as a picture is opened, from A's folder.
void Form1::mnuCompareWith_Click() {
  if (!CanOpen() || stage_->PictureFolder().Current().isEmpty()) return;
  const auto chosen =
      dialogs_.ShowOpen(this, kOpenTitle, kOpenFilter, QFile::decodeName(stage_->LastLoaded()));
  if (chosen) CompareWith(ChosenPath(*chosen, stage_->LastLoaded()));
}

void Form1::CompareWith(const QByteArray& fileName) { lenses_->Compare().CompareWith(fileName); }

void Form1::CompareSoon(const QByteArray& fileName) {
  stage_->Soon([this, fileName] { CompareWith(fileName); });
}

void Form1::OpenFileSoon(const QByteArray& fileName, bool thenPlay) {
  stage_->Owner().OpenSoon(fileName, thenPlay);
}

void Form1::UpdateItems() {
  const ScreenOwner& owner = stage_->Owner();
  // While frames go by, the steps go from the frame shown.
  const auto [position, count] = stage_->Place();
  menus_->Reflect({.canOpen = owner.CanOpen(),
                   .playing = owner.PlayChecked(),
                   .direction = stage_->Book().Direction(),
                   .anyPicture = !stage_->PictureFolder().Current().isEmpty(),
                   .still = stage_->Shown().has_value() && owner.Still(),
                   .encoding = commands_->Busy(),
                   .position = position,
                   .count = count,
                   .comparing = lenses_->Compare().Comparing()});
  const bool playing = owner.GetState() == ScreenOwner::State::kPlaying;
  if (StatusReadout* status = statusLine_->Readout(); status && (!playing || statusLine_->Showing())) {
    lenses_->Describe(*status);
    status->Show(stage_->OnScreen(), position, count, CurrentZoom());
    status->SetNote(stage_->BeingWritten() ? QStringLiteral("being written") : QString());
  }
  if (transport_) transport_->Refresh();
}

// Pictures of 16 bits a channel, or not: wherever pictures are read.
void Form1::SetDecodeOptions(const lumenor::DecodeOptions& options) {
  stage_->SetDecodeOptions(options);
  lenses_->SetDecodeOptions(options);
  statusLine_->SetDecodeOptions(options);
}

void Form1::mnuNext_Click() { stage_->Walk(&Folder::Next); }
void Form1::mnuPrevious_Click() { stage_->Walk(&Folder::Previous); }
void Form1::mnuFirst_Click() { stage_->Walk(&Folder::First); }
void Form1::mnuLast_Click() { stage_->Walk(&Folder::Last); }
// The picture shown read again, its view kept.
void Form1::mnuReload_Click() {
  stage_->Owner().Step([this] { return stage_->PictureFolder().Current(); }, true);
}

void Form1::SetFrameRate(FrameRate rate) {
  menus_->FrameRateItem(rate);
  stage_->FramePlayer().SetRate(rate);
}

void Form1::SetCacheMiB(std::uint64_t mib) {
  stage_->FramePlayer().SetCacheBytes(static_cast<std::size_t>(mib) << 20);
}

// Plays the picture's sequence (or its folder) as a flipbook from the picture shown; again,
// pauses on the frame shown.
void Form1::mnuPlay_Click() {
  transport_->Play(1);
  UpdateItems();
}

void Form1::mnuExit_Click() { Form_Unload(); }

void Form1::closeEvent(QCloseEvent* event) {
  event->accept();
  Form_Unload();
}

// Ends the program at once. The only file the program holds is the one a load has open: the load
// sees the program ending at its next progress point, closes it and unwinds before the event loop
// returns.
void Form1::Form_Unload() {
  stage_->Owner().Exit();
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
  transport_->SetFullScreen(full);
  if (full) {
    menuBar()->setFixedHeight(0);
  } else {
    menuBar()->setMinimumHeight(0);
    menuBar()->setMaximumHeight(QWIDGETSIZE_MAX);
  }
  statusLine_->FullScreen(full);
}

void Form1::mnuAbout_Click() {
  dialogs_.MsgBox(this, QStringLiteral("About..."), AboutText(), Dialogs::Icon::Information);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Picture1_) return QMainWindow::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      // Pointer positions are in canvas pixels; the client area around the canvas is not it.
      const QPointF at = Picture1_->ToDevice(static_cast<QMouseEvent*>(event)->position());
      if (lenses_->Compare().Press(at)) return true;  // the wipe line, taken
      if (Picture1_->CanvasRect().contains(at.toPoint()))
        Picture1_MouseDown(at.x() - Picture1_->Left(), at.y() - Picture1_->Top());
      return true;
    }
    case QEvent::MouseMove: {
      const QPointF at = Picture1_->ToDevice(static_cast<QMouseEvent*>(event)->position());
      if (!lenses_->Compare().Drag(at))
        Picture1_MouseMove(at.x() - Picture1_->Left(), at.y() - Picture1_->Top());
      statusLine_->PointerAt(at);
      return true;
    }
    case QEvent::Leave:
      statusLine_->PointerLeft();
      return false;
    case QEvent::MouseButtonRelease:
      if (!lenses_->Compare().Release()) Picture1_MouseUp();
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
  // Frame steps and walks first, where the view has nothing to pan.
  const bool fitsAcross = Picture1_->Width() <= ScaleWidth();
  if (transport_->KeyWalks(event.key(), fitsAcross, fitsAcross && Picture1_->Height() <= ScaleHeight()))
    return true;
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
  remembered::Remember(remembered::kFit, menus_->mnuFit->isChecked());
  if (menus_->mnuFit->isChecked()) viewport_->FitToWindow();
}

void Form1::Form_Resize() {
  lenses_->Compare().ClientResized();
  viewport_->Resized();
  if (stage_->FramePlayer().Playing()) stage_->UpdatePlayerView();
}
