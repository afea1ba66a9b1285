#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "frame_clock.h"
#include "image_header.h"
#include "scale.h"

class Dialogs;
class Folder;
class Lenses;
class Menus;
class Picture1;
class PictureCommands;
class Player;
class QAction;
class QKeyEvent;
class QWheelEvent;
class Stage;
class StatusLine;
class StatusReadout;
class Timeline;
class Transport;
class Viewport;

// The program's only window: the menus, the canvas Picture1 in the client area, the Open, Exit
// and About commands, and the handlers of the pointer, the keys, the wheel and the window's size.
// What is on screen is decided by the stage's ScreenOwner; the view's commands are the
// Viewport's; Copy and Export are the PictureOut's.
class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kInitialClientWidth = 449;
  static constexpr int kInitialClientHeight = 343;

  explicit Form1(Dialogs& dialogs, QWidget* parent = nullptr);
  ~Form1() override;

  void mnuOpen_Click();
  // Steps of the Open command after a name is chosen: every way of opening a picture (the
  // dialog, the command line, a drop) ends here. fileName is in the system's own encoding.
  void OpenFile(const QByteArray& fileName);
  // The same, once the window is on screen and the event loop runs (the command line, a drop).
  // Until then Open and drops are refused, so nothing can come in between. thenPlay plays the
  // folder from it afterwards.
  void OpenFileSoon(const QByteArray& fileName, bool thenPlay = false);
  // File > Compare With: the picture shown compared with another; CompareSoon once the window
  // is on screen (the command line).
  void mnuCompareWith_Click();
  void CompareWith(const QByteArray& fileName);
  void CompareSoon(const QByteArray& fileName);
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
  void mnuPlay_Click();
  void SetFrameRate(FrameRate rate);
  void SetFrameRate(int framesPerSecond) { SetFrameRate(FrameRate{framesPerSecond, 1}); }
  // The frame cache's budget (--cache, the settings).
  void SetCacheMiB(std::uint64_t mib);
  void mnuExit_Click();
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
  Folder& PictureFolder() const;
  Player& FramePlayer() const;
  // The status bar's readout while it is on.
  const StatusReadout* Status() const;
  Lenses& View() const { return *lenses_; }
  // The client area in device pixels.
  int ScaleWidth() const;
  int ScaleHeight() const;
  lumenor::Zoom CurrentZoom() const;
  bool Ending() const;
  bool Loading() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
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
  void UpdateItems();
  void SetDecodeOptions(const lumenor::DecodeOptions& options);

  Dialogs& dialogs_;
  Picture1* Picture1_ = nullptr;
  Menus* menus_ = nullptr;
  Viewport* viewport_ = nullptr;
  Stage* stage_ = nullptr;
  PictureCommands* commands_ = nullptr;
  Timeline* timeline_ = nullptr;
  Transport* transport_ = nullptr;
  Lenses* lenses_ = nullptr;

  // Drag panning: positions are in canvas pixels (device pixels of the screen).
  bool Dragging = false;
  double LastX = 0;
  float LastY = 0;
  bool SkipNextMove = false;

  bool fullScreenLayout_ = false;  // the menu bar and status bar laid out for full screen
  StatusLine* statusLine_ = nullptr;
};
