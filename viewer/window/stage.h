#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "file_stamp.h"
#include "image_header.h"
#include "screen_owner.h"
#include "sequence.h"
#include "status_readout.h"
#include "view_look.h"

class Dialogs;
class Flipbook;
class Folder;
class Picture1;
class Player;
struct PlayerFrame;
class QMainWindow;
class QuietReload;
struct AsidePicture;
class Viewport;

// The window's side of what is on screen: the ScreenOwner decides, the stage does. It loads
// pictures onto the canvas, plays through the flipbook, shows the frames sought on the timeline,
// reloads a picture aside when its file changes, and keeps the record of the picture shown that
// Copy, Export, Properties and the status bar read.
class Stage : public QObject, public ScreenOwner::Host {
  Q_OBJECT

 public:
  Stage(QMainWindow& window, Picture1& canvas, Viewport& viewport, Dialogs& dialogs);
  ~Stage() override;

  ScreenOwner& Owner() { return owner_; }
  const ScreenOwner& Owner() const { return owner_; }
  Folder& PictureFolder() const { return *folder_; }
  // A step of the walk through the folder.
  void Walk(const std::function<QByteArray(Folder&)>& to);
  Flipbook& Book() const { return *book_; }
  Player& FramePlayer() const;

  // The picture standing still on screen, as its load found it; nothing while frames go by.
  const std::optional<ShownPicture>& Shown() const { return shown_; }
  // The picture on screen, also a frame that goes by.
  std::optional<ShownPicture> OnScreen() const;
  // Its file, without reading it (empty for none).
  QByteArray PathOnScreen() const;
  // Its place (from 0) among its folder's pictures and their count, or the frame's among those
  // played; -1 and 0 until the folder's list is there.
  std::pair<int, int> Place() const;
  // The frame on screen of what play plays (also held for a missing one); nothing before any.
  std::optional<std::int64_t> FrameShown() const;
  // The frame shown is a number the sequence lacks, or a file being written (the frame before it
  // held).
  bool ShowsMissing() const { return missing_; }
  bool ShowsWriting() const { return writing_; }
  // Frames have been played or sought since the picture was opened: the flipbook's display and
  // steps apply.
  bool AfterPlay() const;
  // A reload aside found a file that cannot be shown (yet): the picture shown is the last good one.
  bool BeingWritten() const { return beingWritten_; }
  // The picture loaded last, absolute: where the file dialog starts.
  const QByteArray& LastLoaded() const { return lastLoaded_; }
  // The view as it stands, for the frames scaled ahead.
  void UpdatePlayerView();
  // The frames of the picture shown, from its folder's list, for the timeline and Seek.
  bool ChooseFrames();
  // Pictures of 16 bits a channel shown, or refused as the described program does.
  void SetDecodeOptions(const lumenor::DecodeOptions& options);
  // How pictures and frames are shown: the canvas shows the picture so, and frames are made so.
  void SetLook(const lumenor::Look& look);
  // Comparing with B, a frame of sequence in folder: frames played or sought come with B's of the
  // same number. Nothing: B is a still picture, or nothing is compared.
  void SetCompared(const QByteArray& folder, const std::optional<Sequence>& sequence);
  const lumenor::DecodeOptions& DecodeOptions() const { return options_; }

  // ScreenOwner::Host
  void Soon(std::function<void()> run) override;
  void Aim(const QByteArray& path) override;
  bool Load(const QByteArray& path, bool keepView) override;
  void ReloadAside() override;
  void CancelReloadAside() override;
  ScreenOwner::PlayStart Play() override;
  bool Seek(std::int64_t number) override;
  void Pause() override;
  void Changed() override { emit changed(); }

 signals:
  // The state, the picture shown or its place changed: items, marks and the status bar.
  void changed();
  // A frame went on screen (or a missing one was announced).
  void frameShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool LoadStoredValues();
  void StoredLoaded(const QByteArray& path, const AsidePicture& loaded);
  void ApplyLook();
  void ShowFrame(const PlayerFrame& frame);
  void RangeChanged();
  void ReloadedAside(const QByteArray& path, const AsidePicture& loaded);

  QMainWindow& window_;
  Picture1& canvas_;
  Viewport& viewport_;
  Dialogs& dialogs_;
  Folder* folder_ = nullptr;  // the pictures around the one shown
  Flipbook* book_ = nullptr;
  QuietReload* reloadAside_ = nullptr;
  QuietReload* storedLoad_ = nullptr;  // the stored values of the picture shown, when a look wants them
  ScreenOwner owner_{*this};

  std::optional<ShownPicture> shown_;
  QByteArray lastLoaded_;
  FileStamp asideStamp_;  // the file as the reload aside under way found it
  bool beingWritten_ = false;
  QByteArray framePath_;  // the file of the frame on screen, of what play plays
  std::optional<std::int64_t> frameShown_;
  bool missing_ = false;
  bool writing_ = false;
  bool afterPlay_ = false;
  std::vector<std::function<void()>> whenExposed_;  // runs once the window is on screen
  lumenor::DecodeOptions options_;
  lumenor::Look look_;
};
