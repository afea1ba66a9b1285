#pragma once

#include <QObject>
#include <cstdint>

class HeadsUpDisplay;
class Menus;
class Picture1;
class QTimer;
class Stage;
class Timeline;

// The flipbook's commands for the window: Go > Play and Play Backwards, the in and out points,
// the loop mode and the frame rate, J, K and L, and the frame steps while paused after play; and
// its displays, the heads-up display over the picture and the timeline below it.
class Transport : public QObject {
  Q_OBJECT

 public:
  Transport(Menus& menus, Stage& stage, Picture1& canvas, Timeline& timeline,
            QObject* parent = nullptr);

  // Go > Play (P) and Play Backwards (Shift+P): plays that way at its rate; again, pauses.
  void Play(int direction);
  // J and L: plays that way, twice as fast at each press while it plays that way, up to 8 times.
  void Shuttle(int direction);
  // Left and Right while paused after play: a frame on or back within in..out. Otherwise, with
  // nothing left to pan that way (the canvas fits across, or for Home and End both ways), the
  // arrows and Home and End walk the folder. False when the key does neither (the view pans).
  bool KeyWalks(int key, bool fitsAcross, bool fitsBoth);
  // The displays follow the frame shown and the state of things.
  void Refresh();
  // Full screen shows the picture alone: the timeline goes until the window comes back.
  void SetFullScreen(bool full);

 private:
  void SetIn(bool reset);
  void SetOut(bool reset);
  // A change of the way frames are played reaches a play under way from the frame shown.
  void Replay();
  void ShowDisplays();

  Menus& menus_;
  Stage& stage_;
  Picture1& canvas_;
  Timeline& timeline_;
  HeadsUpDisplay* headsUp_ = nullptr;
  QTimer* refresh_ = nullptr;  // the cache and the rate shown change between frames too
  bool fullScreen_ = false;
};
