#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "scale.h"
#include "status_readout.h"

class Dialogs;
class Menus;
class Viewport;
class Folder;
class Player;
class PictureOut;
class QuietReload;
struct PlayerFrame;
class Picture1;
class QAction;
class QKeyEvent;
class QWheelEvent;

// The program's only window: the menus, the canvas Picture1 in the client area, the Open, Exit
// and About commands, the View menu's zoom, the walk through the picture's folder, and panning a
// picture larger than the window by dragging it, by the keyboard and by the wheel.
class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kInitialClientWidth = 449;
  static constexpr int kInitialClientHeight = 343;

  explicit Form1(Dialogs& dialogs, QWidget* parent = nullptr);

  void mnuOpen_Click();
  // Steps of the Open command after a name is chosen: every way of opening a picture (the
  // dialog, the command line, a drop) ends here. fileName is in the system's own encoding.
  void OpenFile(const QByteArray& fileName);
  // The same, once the event loop runs again (the command line, a drop). Until then Open and drops
  // are refused, so nothing can come in between. thenPlay plays the folder from it afterwards.
  void OpenFileSoon(const QByteArray& fileName, bool thenPlay = false);
  // Whether Open can be chosen: no load runs or waits to run, and the program is not ending.
  bool CanOpen() const;
  // The Go menu: the picture after, before, first and last in its folder, in natural order. A
  // step during a load ends that load at its next progress point and opens the step's picture.
  void mnuNext_Click();
  void mnuPrevious_Click();
  void mnuFirst_Click();
  void mnuLast_Click();
  // Loads the picture shown again, keeping the zoom and the canvas where they are.
  void mnuReload_Click();
  // Full screen and back (F11, or Escape in full screen) to the window as it was.
  void mnuFullScreen_Click();
  // Plays the folder as a flipbook from the picture shown, looping; again, pauses on the frame
  // shown. Any step of the walk pauses too.
  void mnuPlay_Click();
  void SetFrameRate(int framesPerSecond);
  Player& FramePlayer() const { return *player_; }
  void mnuExit_Click();
  // The picture as its file stores it: to the clipboard, to a PNG file, and what its header says.
  void mnuCopy_Click();
  void mnuExport_Click();
  void mnuProperties_Click();
  void mnuStatusBar_Click();
  void mnuAbout_Click();
  void mnuZoomIn_Click();
  void mnuZoomOut_Click();
  void mnuActualSize_Click();
  void mnuFit_Click();

  static QString AboutText();

  Picture1& Canvas() const { return *Picture1_; }
  QWidget& ClientArea() const;
  QAction& OpenItem() const;
  QAction& FitItem() const;
  Folder& PictureFolder() const { return *folder_; }
  // The status bar's readout while it is on.
  const StatusReadout* Status() const { return status_.get(); }
  // The client area in device pixels.
  int ScaleWidth() const;
  int ScaleHeight() const;
  lumenor::Zoom CurrentZoom() const;
  bool Ending() const { return ending_; }
  bool Loading() const { return loading_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Form_Unload();
  void Form_Resize();
  void Picture1_MouseDown(double x, double y);
  void Picture1_MouseMove(double x, double y);
  void Picture1_MouseUp();
  bool Picture1_KeyDown(const QKeyEvent& event);
  void Picture1_Wheel(const QWheelEvent& event);
  void ConnectMenus();
  void OpenWith(const QByteArray& fileName, bool keepView);
  // One load of the Open routine; returns whether it ran to its end (not ended for a step).
  bool LoadOnce(const QByteArray& fileName, bool keepView);
  void Step(const std::function<QByteArray(Folder&)>& target, bool keepView = false);
  // Opens path now, or, during a load, once that load has ended at its next progress point.
  void WalkTo(const QByteArray& path, bool keepView = false);
  void UpdateItems();
  void ShowStatusBar(bool show);
  void StartPlaying();
  // Pauses a flipbook on the frame shown, which becomes the picture shown and the walk's place.
  void PausePlaying();
  void ShowFrame(const PlayerFrame& frame);
  void UpdatePlayerView();
  void ShowValuesUnder(QPointF devicePoint);
  // After the picture under a pointer that stands still changed (a zoom, a pan, a frame).
  void ShowValuesUnderPointer();
  // The picture again because its file changed: loaded aside, shown only once it is whole.
  void ReloadQuietly();
  void QuietlyReloaded(const QByteArray& path, const QImage& picture, const QString& title);
  // Runs open once the window is on screen, so that a box it shows is centred on the window.
  void WhenExposed(std::function<void()> open);

  Dialogs& dialogs_;
  Picture1* Picture1_ = nullptr;
  Menus* menus_ = nullptr;
  Viewport* viewport_ = nullptr;

  // The file dialog keeps the name chosen last and offers it again; its bytes, for names that
  // are not UTF-8.
  QString CommonDialog1FileName_;
  QByteArray CommonDialog1Bytes_;

  // Drag panning: positions are in canvas pixels (device pixels of the screen).
  bool Dragging = false;
  double LastX = 0;
  float LastY = 0;
  bool SkipNextMove = false;

  std::optional<QPointF> pointer_;  // over the client area, in device pixels

  bool loading_ = false;
  bool ending_ = false;
  bool openQueued_ = false;  // a file from the command line or a drop waits to be opened

  Folder* folder_ = nullptr;  // the pictures around the one shown
  // The picture a step asked for while another load ran or before the event loop came round:
  // only the latest request is kept.
  QByteArray nextOpen_;
  bool nextKeepsView_ = false;
  bool walkQueued_ = false;
  bool reloadWhenLoaded_ = false;  // the file changed while it was loading
  QuietReload* quietReload_ = nullptr;
  FileStamp quietStamp_;         // the file as the quiet reload under way found it
  bool beingWritten_ = false;    // a quiet reload found a file that cannot be shown (yet)
  PictureOut* out_ = nullptr;
  std::function<void()> whenExposed_;
  bool fullScreenLayout_ = false;  // the menu bar and status bar laid out for full screen

  std::optional<ShownPicture> shown_;      // the picture on screen, when there is one
  std::unique_ptr<StatusReadout> status_;  // made when the status bar is first turned on

  Player* player_ = nullptr;
  bool playWanted_ = false;              // play once the picture is open and its folder listed
  QByteArray playingFrame_;              // the file of the frame on screen while playing
  int playingIndex_ = -1;                // its place among the pictures played
  std::vector<QByteArray> playedPaths_;  // what the player was given last
};
