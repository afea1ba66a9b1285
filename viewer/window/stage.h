#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <functional>
#include <optional>
#include <vector>

#include "file_stamp.h"
#include "screen_owner.h"
#include "status_readout.h"

class Dialogs;
class Folder;
class Picture1;
class Player;
struct PlayerFrame;
class QMainWindow;
class QuietReload;
class Viewport;

// The window's side of what is on screen: the ScreenOwner decides, the stage does. It loads
// pictures onto the canvas, plays the folder through the player, reloads a picture aside when its
// file changes, and keeps the record of the picture shown that Copy, Export, Properties and the
// status bar read.
class Stage : public QObject, public ScreenOwner::Host {
  Q_OBJECT

 public:
  Stage(QMainWindow& window, Picture1& canvas, Viewport& viewport, Dialogs& dialogs);
  ~Stage() override;

  ScreenOwner& Owner() { return owner_; }
  const ScreenOwner& Owner() const { return owner_; }
  Folder& PictureFolder() const { return *folder_; }
  Player& FramePlayer() const { return *player_; }

  // The picture standing still on screen, as its load found it; nothing while frames go by.
  const std::optional<ShownPicture>& Shown() const { return shown_; }
  // The picture on screen, also a frame that goes by.
  std::optional<ShownPicture> OnScreen() const;
  // Its place (from 0) among its folder's pictures and their count, or the frame's among those
  // played; -1 and 0 until the folder's list is there.
  std::pair<int, int> Place() const;
  // A reload aside found a file that cannot be shown (yet): the picture shown is the last good one.
  bool BeingWritten() const { return beingWritten_; }
  // The picture loaded last, absolute: where the file dialog starts.
  const QByteArray& LastLoaded() const { return lastLoaded_; }
  // The view as it stands, for the frames scaled ahead.
  void UpdatePlayerView();

  // ScreenOwner::Host
  void Soon(std::function<void()> run) override;
  void Aim(const QByteArray& path) override;
  bool Load(const QByteArray& path, bool keepView) override;
  void ReloadAside() override;
  void CancelReloadAside() override;
  ScreenOwner::PlayStart Play() override;
  void Pause() override;
  void Changed() override { emit changed(); }

 signals:
  // The state, the picture shown or its place changed: items, marks and the status bar.
  void changed();
  // A frame went on screen.
  void frameShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowFrame(const PlayerFrame& frame);
  void ReloadedAside(const QByteArray& path, const QImage& picture, const QString& title);

  QMainWindow& window_;
  Picture1& canvas_;
  Viewport& viewport_;
  Dialogs& dialogs_;
  Folder* folder_ = nullptr;  // the pictures around the one shown
  Player* player_ = nullptr;
  QuietReload* reloadAside_ = nullptr;
  ScreenOwner owner_{*this};

  std::optional<ShownPicture> shown_;
  QByteArray lastLoaded_;
  FileStamp asideStamp_;  // the file as the reload aside under way found it
  bool beingWritten_ = false;
  std::vector<QByteArray> playedPaths_;             // what the player was given last
  QByteArray playingFrame_;                         // the file of the frame on screen while playing
  int playingIndex_ = -1;                           // its place among the pictures played
  std::vector<std::function<void()>> whenExposed_;  // runs once the window is on screen
};
