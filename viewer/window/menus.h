#pragma once

#include <QObject>

#include "frame_clock.h"

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;

// The window's menu bar: every menu and item with its caption, access key, shortcut and object
// name, made once. Whoever handles an item connects to it; the window keeps them all.
class Menus : public QObject {
  Q_OBJECT

 public:
  explicit Menus(QMainWindow& window);

  // "23.976" for 24000 / 1001.
  static QString RateText(FrameRate rate);

  // What the items say of the state of things.
  struct State {
    bool canOpen = false;
    bool playing = false;     // or waiting to play
    int direction = 1;        // of play
    bool anyPicture = false;  // a picture was opened: there is a folder to walk
    bool still = false;       // a picture stands still on screen
    bool encoding = false;    // Copy or Export is under way
    int position = -1;        // the picture's place in its folder (or the frame's), from 0
    int count = 0;
    bool comparing = false;
  };
  void Reflect(const State& state);

  // The item for a frame rate, checked: a rate off the menu's list (from the command line) joins
  // it.
  QAction* FrameRateItem(FrameRate rate);

  QMenu* mnuFile = nullptr;
  QAction* mnuOpen = nullptr;
  QAction* mnuCompareWith = nullptr;
  QAction* mnuStopComparing = nullptr;
  QAction* mnuExport = nullptr;
  QAction* mnuProperties = nullptr;
  QAction* mnuSep1 = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuCopy = nullptr;
  QAction* mnuPreferences = nullptr;
  QMenu* mnuView = nullptr;
  QAction* mnuZoomIn = nullptr;
  QAction* mnuZoomOut = nullptr;
  QAction* mnuActualSize = nullptr;
  QAction* mnuFit = nullptr;
  QAction* mnuStatusBar = nullptr;
  QAction* mnuFullScreen = nullptr;
  QAction* mnuTimeline = nullptr;
  QAction* mnuHeadsUp = nullptr;
  QAction* mnuReload = nullptr;
  QMenu* mnuCompare = nullptr;
  QAction* mnuCompareA = nullptr;
  QAction* mnuCompareB = nullptr;
  QAction* mnuWipe = nullptr;
  QAction* mnuDifference = nullptr;
  QAction* mnuSideBySide = nullptr;
  QMenu* mnuDifferenceGain = nullptr;
  QAction* mnuGain1 = nullptr;
  QAction* mnuGain4 = nullptr;
  QAction* mnuGain16 = nullptr;
  QMenu* mnuChannels = nullptr;
  QAction* mnuColour = nullptr;
  QAction* mnuRed = nullptr;
  QAction* mnuGreen = nullptr;
  QAction* mnuBlue = nullptr;
  QAction* mnuAlpha = nullptr;
  QAction* mnuLuminance = nullptr;
  QAction* mnuCheckerboard = nullptr;
  QAction* mnuRotateRight = nullptr;
  QAction* mnuRotateLeft = nullptr;
  QAction* mnuMirrorHorizontally = nullptr;
  QAction* mnuMirrorVertically = nullptr;
  QAction* mnuResetOrientation = nullptr;
  QMenu* mnuGo = nullptr;
  QAction* mnuNext = nullptr;
  QAction* mnuPrevious = nullptr;
  QAction* mnuFirst = nullptr;
  QAction* mnuLast = nullptr;
  QAction* mnuPlay = nullptr;
  QAction* mnuPlayBackwards = nullptr;
  QAction* mnuSetIn = nullptr;
  QAction* mnuSetOut = nullptr;
  QMenu* mnuLoopMode = nullptr;
  QAction* mnuLoop = nullptr;
  QAction* mnuPingPong = nullptr;
  QAction* mnuPlayOnce = nullptr;
  QMenu* mnuFrameRate = nullptr;
  // Keys without an item of their own: J, K and L (backwards, pause, forwards), Shift+I and
  // Shift+O (in and out back to the range's ends), Tab (A and B in turn while comparing).
  QAction* keyBackwards = nullptr;
  QAction* keyPause = nullptr;
  QAction* keyForwards = nullptr;
  QAction* keyResetIn = nullptr;
  QAction* keyResetOut = nullptr;
  QAction* keyFlip = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuAbout = nullptr;

 signals:
  void frameRateChosen(FrameRate rate);

 private:
  void AddCompareMenu();
  void AddLookItems();

  QActionGroup* frameRates_ = nullptr;
};
