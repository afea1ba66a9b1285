#pragma once

#include <QObject>

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

  // What the items say of the state of things.
  struct State {
    bool canOpen = false;
    bool playing = false;     // or waiting to play
    bool anyPicture = false;  // a picture was opened: there is a folder to walk
    bool still = false;       // a picture stands still on screen
    bool encoding = false;    // Copy or Export is under way
    int position = -1;        // the picture's place in its folder (or the frame's), from 0
    int count = 0;
  };
  void Reflect(const State& state);

  // The item for a frame rate, checked: a rate off the menu's list (from the command line) joins
  // it.
  QAction* FrameRateItem(int framesPerSecond);

  QMenu* mnuFile = nullptr;
  QAction* mnuOpen = nullptr;
  QAction* mnuExport = nullptr;
  QAction* mnuProperties = nullptr;
  QAction* mnuSep1 = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuCopy = nullptr;
  QMenu* mnuView = nullptr;
  QAction* mnuZoomIn = nullptr;
  QAction* mnuZoomOut = nullptr;
  QAction* mnuActualSize = nullptr;
  QAction* mnuFit = nullptr;
  QAction* mnuStatusBar = nullptr;
  QAction* mnuFullScreen = nullptr;
  QAction* mnuReload = nullptr;
  QMenu* mnuGo = nullptr;
  QAction* mnuNext = nullptr;
  QAction* mnuPrevious = nullptr;
  QAction* mnuFirst = nullptr;
  QAction* mnuLast = nullptr;
  QAction* mnuPlay = nullptr;
  QMenu* mnuFrameRate = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuAbout = nullptr;

 signals:
  void frameRateChosen(int framesPerSecond);

 private:
  QActionGroup* frameRates_ = nullptr;
};
