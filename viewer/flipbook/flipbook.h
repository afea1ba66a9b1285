#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <map>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "play_order.h"
#include "player.h"
#include "sequence.h"

// What play plays and how. A picture whose name carries a frame number plays its sequence: the
// files of its folder with the same name around another number, by number, the numbers absent in
// between held as missing frames. A picture without one plays its folder's pictures, numbered
// from 0 in the walk's order. Frames being written (changed a moment ago, or ending early) are
// held as missing until they are whole. How: forwards or backwards, at one to eight times the frame rate,
// looping, ping-ponging or once, within in and out points (the range's ends until set).
class Flipbook : public QObject {
  Q_OBJECT
  // A file changed this recently is still being written.
  static constexpr std::int64_t kStillForMs = 300;

 public:
  using Runs = Player::Runs;

  explicit Flipbook(QObject* parent = nullptr);

  Player& FramePlayer() { return player_; }
  const Player& FramePlayer() const { return player_; }

  // The frames of the picture at path (absolute, the system's bytes) among names, its folder's
  // pictures in the walk's order. The player keeps its cache while they stay the same.
  void Choose(const QByteArray& path, const std::vector<QByteArray>& names);
  // The folder's pictures again, while frames are played or shown from them: new frames join,
  // files written again are read again, files being written are held as missing. True when the
  // range changed.
  bool Update(const std::vector<QByteArray>& names);
  // Looks at the files now and then while on (every half second): a file rewritten in place
  // tells the folder nothing.
  void Watch(bool on);
  // The frames being written, as runs of numbers.
  Runs Writing() const;
  // Whether frame number's file is being written.
  bool IsWriting(std::int64_t number) const;
  bool Chosen() const { return !folder_.isEmpty(); }
  bool IsSequence() const { return sequence_.has_value(); }
  // The number of the picture at path among the frames chosen, if it is one of them.
  std::optional<std::int64_t> NumberOf(const QByteArray& path) const;
  QByteArray PathOf(std::int64_t number) const;
  std::int64_t First() const { return first_; }
  std::int64_t Last() const { return last_; }
  Runs Missing() const;

 signals:
  // The files looked at gave frames a new range: a play takes it from the frame shown.
  void rangeChanged();
  // Frames came, went, were written again or are written no more.
  void framesChanged();

 public:
  int Direction() const { return direction_; }
  int Speed() const { return speed_; }
  void SetDirection(int direction) { direction_ = direction < 0 ? -1 : 1; }
  void SetSpeed(int speed);
  // Compared with B, a frame of sequence in folder (ending in '/'): each frame comes with B's of
  // the same number when the frames are a sequence too. Nothing: compared with nothing. The
  // cache goes.
  void SetCompared(const QByteArray& folder, const std::optional<Sequence>& sequence);
  bool ComparesFrames() const { return compared_.has_value() && sequence_.has_value(); }
  // Pictures of 16 bits a channel played, or held as broken.
  void SetDecodeOptions(const lumenor::DecodeOptions& options);
  LoopMode Mode() const { return mode_; }
  void SetMode(LoopMode mode) { mode_ = mode; }
  std::int64_t In() const;
  std::int64_t Out() const;
  // At a frame, or back to the range's end (nothing).
  void SetIn(std::optional<std::int64_t> number);
  void SetOut(std::optional<std::int64_t> number);

  // Plays from frame from on (the picture shown), or, resuming a play paused on it, from the one
  // after it: within in..out, the way and at the speed set.
  void Play(std::int64_t from, bool resume);
  // The frame a step of delta frames from the one shown reaches, held within in..out.
  std::int64_t StepFrom(std::int64_t shown, int delta) const;

 private:
  Player player_;
  QByteArray folder_;                 // of the frames chosen, ending in '/'
  std::optional<Sequence> sequence_;  // when the picture chosen has a frame number
  std::vector<QByteArray> names_;     // the folder's pictures, when it has not
  std::vector<PlayItem> items_;
  std::int64_t first_ = 0, last_ = 0;
  int direction_ = 1;
  int speed_ = 1;
  LoopMode mode_ = LoopMode::kLoop;
  std::optional<std::int64_t> in_, out_;
  std::optional<std::pair<QByteArray, Sequence>> compared_;  // B's folder and sequence

  // What is known of a file: its version, and whether it was complete at that version.
  struct Known {
    std::uint64_t version = 0;
    bool complete = false;
  };
  std::vector<PlayItem> ItemsOf(const QByteArray& folder, const std::optional<Sequence>& sequence,
                                const std::vector<QByteArray>& names);
  std::map<QByteArray, Known> known_;
  lumenor::DecodeOptions options_;
  std::vector<QByteArray> watchedNames_;
  QTimer* watch_ = nullptr;
};
