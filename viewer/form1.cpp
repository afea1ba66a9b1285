#include "form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>

#include "dialogs.h"
#include "module1.h"
#include "picture1.h"
#include "window_canvas.h"

namespace {

const QString kInitialTitle = QStringLiteral("Lumenor 1.0 by Vantris");
const QString kOpenTitle = QStringLiteral("Select a RGB Image");
const QString kOpenFilter =
    QStringLiteral("RGB Images (*.bw, *.rgb)|*.bw; *.rgb|All Files (*.*)|*.*");

// Nearest integer, ties to even, held to the 16-bit range the drag arithmetic works in.
int RoundToInt16(double value) {
  const double rounded = std::nearbyint(value);
  return static_cast<int>(std::clamp(rounded, double{std::numeric_limits<std::int16_t>::min()},
                                     double{std::numeric_limits<std::int16_t>::max()}));
}

int RoundToInt(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

Form1::Form1(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kInitialTitle);

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  client_->setBackgroundRole(QPalette::Dark);
  client_->setAutoFillBackground(true);
  client_->installEventFilter(this);
  setCentralWidget(client_);
  setAcceptDrops(true);

  Picture1_ = new Picture1(client_);
  Picture1_->installEventFilter(this);

  CreateMenus();
  resize(kInitialClientWidth, kInitialClientHeight + menuBar()->sizeHint().height());
}

void Form1::CreateMenus() {
  mnuFile_ = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFile_->setObjectName(QStringLiteral("mnuFile"));
  mnuOpen_ = mnuFile_->addAction(QStringLiteral("&Open"));
  mnuOpen_->setObjectName(QStringLiteral("mnuOpen"));
  mnuOpen_->setShortcut(QKeySequence::Open);
  mnuSep1_ = mnuFile_->addSeparator();
  mnuSep1_->setObjectName(QStringLiteral("mnuSep1"));
  mnuExit_ = mnuFile_->addAction(QStringLiteral("&Exit"));
  mnuExit_->setObjectName(QStringLiteral("mnuExit"));
  mnuExit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  mnuHelp_ = menuBar()->addMenu(QStringLiteral("&Help"));
  mnuHelp_->setObjectName(QStringLiteral("mnuHelp"));
  mnuAbout_ = mnuHelp_->addAction(QStringLiteral("&About..."));
  mnuAbout_->setObjectName(QStringLiteral("mnuAbout"));

  // Queued, so that a load runs from the event loop rather than inside the menu's own handling.
  connect(mnuOpen_, &QAction::triggered, this, &Form1::mnuOpen_Click, Qt::QueuedConnection);
  connect(mnuExit_, &QAction::triggered, this, &Form1::mnuExit_Click);
  connect(mnuAbout_, &QAction::triggered, this, &Form1::mnuAbout_Click);
}

int Form1::ScaleWidth() const { return client_->width(); }
int Form1::ScaleHeight() const { return client_->height(); }

void Form1::mnuOpen_Click() {
  if (loading_ || ending_) return;  // loads never nest
  const auto chosen = dialogs_.ShowOpen(this, kOpenTitle, kOpenFilter, CommonDialog1FileName_);
  if (!chosen) return;  // cancelled: canvas, title and Open untouched
  OpenFile(QFile::encodeName(*chosen));
}

void Form1::OpenFile(const QByteArray& fileName) {
  if (loading_ || ending_) return;
  // The file dialog offers the picture opened last, whichever way it came.
  CommonDialog1FileName_ = QFileInfo(QFile::decodeName(fileName)).absoluteFilePath();

  Picture1_->Refresh();
  mnuOpen_->setEnabled(false);
  Picture1_->Clear();
  loading_ = true;
  {
    WindowCanvas canvas(
        *this, *Picture1_, dialogs_, [this] { return ending_; }, [this] { PullCanvasBack(); });
    lumenor::LoadImageFile(fileName.toStdString(), canvas);
  }
  loading_ = false;
  mnuOpen_->setEnabled(true);
  if (ending_) return;  // Exit or close came in the middle of the load
  Picture1_->Refresh();
  dialogs_.Beep();
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

void Form1::mnuAbout_Click() {
  dialogs_.MsgBox(this, QStringLiteral("About..."), AboutText(), Dialogs::Icon::Information);
}

namespace {

// The one local file a drag carries, named in the system's own encoding; nothing for text, remote
// addresses, folders or several files.
std::optional<QByteArray> DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().constFirst();
  if (!url.isLocalFile()) return std::nullopt;
  // QUrl leaves the bytes of a name that is not UTF-8 percent-encoded: decode them here, so
  // that such a name reaches the file system as it is spelled there.
  QByteArray name = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  std::error_code error;
  if (name.isEmpty() || std::filesystem::is_directory(name.toStdString(), error))
    return std::nullopt;
  return name;
}

}  // namespace

// A drop is taken only when Open could be chosen: never during a load, and never queued.
bool Form1::TakesDrops() const { return !loading_ && !ending_ && !dropPending_; }

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (TakesDrops() && DraggedFile(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (TakesDrops() && DraggedFile(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void Form1::dropEvent(QDropEvent* event) {
  const auto file = DraggedFile(event->mimeData());
  if (!TakesDrops() || !file) return event->ignore();
  event->acceptProposedAction();
  // The load runs once the drop has been answered, so that the program the file came from is
  // not kept waiting for it.
  dropPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this, name = *file] {
        dropPending_ = false;
        OpenFile(name);
      },
      Qt::QueuedConnection);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) {
    Form_Resize();
  } else if (watched == Picture1_) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        const QPointF at = static_cast<QMouseEvent*>(event)->position();
        Picture1_MouseDown(at.x(), at.y());
        return true;
      }
      case QEvent::MouseMove: {
        const QPointF at = static_cast<QMouseEvent*>(event)->position();
        Picture1_MouseMove(at.x(), at.y());
        return true;
      }
      case QEvent::MouseButtonRelease:
        Picture1_MouseUp();
        return true;
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
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
  Picture1& canvas = *Picture1_;
  const QPoint before = canvas.pos();

  // Each clamp keeps the picture against the client area's edge on a side where it is larger
  // than the window.
  if (dx > 0) {
    if (canvas.Left() + dx < 0)
      canvas.SetLeft(RoundToInt(canvas.Left() + dx));
    else
      canvas.SetLeft(0);
  } else if (dx < 0 && canvas.Width() > ScaleWidth()) {
    if (canvas.Width() + canvas.Left() + dx > ScaleWidth())
      canvas.SetLeft(RoundToInt(canvas.Left() + dx));
    else
      canvas.SetLeft(ScaleWidth() - canvas.Width());
  }
  if (dy < 0 && canvas.Height() > ScaleHeight()) {
    if (canvas.Height() + canvas.Top() + dy > ScaleHeight())
      canvas.SetTop(canvas.Top() + dy);
    else
      canvas.SetTop(ScaleHeight() - canvas.Height());
  } else if (dy > 0) {
    if (dy + canvas.Top() < 0)
      canvas.SetTop(canvas.Top() + dy);
    else
      canvas.SetTop(0);
  }

  // Qt sends no move event when the canvas moves under a pointer that stands still; the skip
  // above is meant for that event, so deliver it: the same pointer, in the moved canvas's
  // coordinates. The next real movement is then applied in full.
  const QPoint moved = canvas.pos() - before;
  if (!moved.isNull()) Picture1_MouseMove(x - moved.x(), y - moved.y());
}

void Form1::Form_Resize() { PullCanvasBack(); }

// A canvas panned left or up is pulled back so that no gap opens on its right or bottom: after a
// resize of the window, and after a load sizes the canvas to a new picture (a smaller picture
// must not be left outside the window where it cannot be grabbed).
void Form1::PullCanvasBack() {
  Picture1& canvas = *Picture1_;
  if (canvas.Left() < 0 && canvas.Width() + canvas.Left() < ScaleWidth())
    canvas.SetLeft(ScaleWidth() - canvas.Width() >= 0 ? 0 : ScaleWidth() - canvas.Width());
  if (canvas.Top() < 0 && canvas.Height() + canvas.Top() < ScaleHeight())
    canvas.SetTop(ScaleHeight() - canvas.Height() >= 0 ? 0 : ScaleHeight() - canvas.Height());
}
