#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "compare_view.h"
#include "image_header.h"
#include "sequence.h"
#include "view_look.h"

class Menus;
class Picture1;
class QuietReload;
struct AsidePicture;

// Comparing the picture shown (A) with another (B): how B is chosen and loaded, the modes of
// View > Compare, Tab, the difference's gain and the wipe line's drag. B is loaded aside and
// lies on A's canvas; when A is a frame of a sequence and B is one too, B follows A's frame
// number, as a still picture (loaded aside again) or, while frames are played or sought, through
// the player with A's frames. Nothing changes for someone who never compares.
class Comparison : public QObject {
  Q_OBJECT

 public:
  // B's frames by number, when B is a frame of a sequence.
  struct Frames {
    QByteArray folder;  // ending in '/'
    Sequence sequence;
    QByteArray PathOf(std::int64_t number) const;
  };

  // currentA names A's file when comparing starts: B follows A's frame number from there on.
  Comparison(Menus& menus, Picture1& canvas, std::function<QByteArray()> currentA,
             QObject* parent);
  ~Comparison() override;

  bool Comparing() const { return view_.comparing; }
  const lumenor::CompareView& View() const { return view_; }
  // B as it is shown: its file (empty when B lacks A's frame number), and its frames.
  const QByteArray& Shown() const { return shown_; }
  const std::optional<Frames>& BFrames() const { return frames_; }

  // Loads path (the system's bytes) as B; once it is loaded comparing starts, A's frame number
  // followed when path is a frame of a sequence. A file that cannot be shown is reported and
  // changes nothing.
  void CompareWith(const QByteArray& path);
  void Stop();
  // A's picture is now the one at path: when A moved to another frame, B follows its frame
  // number, loaded aside unless the frame on screen brought B's with it.
  void AFollowed(const QByteArray& path, bool frameCarriesB = false);
  // The look B is loaded for: B is loaded again with its stored values when the look shows them
  // and B, a picture with alpha, was loaded without them (unless frames bring B's, made for it).
  void SetLook(const lumenor::Look& look, bool framesCarryB);
  // Pictures of 16 bits a channel, as A's are.
  void SetDecodeOptions(const lumenor::DecodeOptions& options);
  // Shows mode (Tab's flip ends).
  void SetMode(lumenor::CompareMode mode);
  // Tab: A and B in turn; from a mode showing both, B whole and back.
  void Flip();

  // The wipe line's drag: a press within reach of the line (device pixels of the client area)
  // takes it; moves then carry it.
  bool Press(QPointF devicePoint);
  bool Drag(QPointF devicePoint);
  bool Release();
  // The client area changed size: the line stays within it.
  void ClientResized();

 signals:
  // Comparing started, stopped or changed mode: items, the status bar, the frames.
  void changed();
  // The view's client area changed (side by side halves it).
  void clientChanged();
  // B could not be shown: Open's box, with its text.
  void failed(const QString& text);

 private:
  void Loaded(const QByteArray& path, const AsidePicture& loaded);
  void Apply(const lumenor::CompareView& view);
  void LoadB(const QByteArray& path);

  Menus& menus_;
  Picture1& canvas_;
  std::function<QByteArray()> currentA_;
  QByteArray lastA_;  // A's file B last followed
  QuietReload* loader_ = nullptr;
  lumenor::CompareView view_;
  lumenor::Look look_;  // what B is loaded for
  std::optional<lumenor::CompareMode> flippedFrom_;  // Tab showed B whole from this mode
  QByteArray chosen_;   // B as chosen, being loaded before comparing starts
  QByteArray shown_;    // B's file on screen
  std::optional<Frames> frames_;
  bool dragging_ = false;
  lumenor::DecodeOptions options_;
};
