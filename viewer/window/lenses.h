#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointF>
#include <QString>
#include <optional>

#include "status_readout.h"

class Comparison;
class Looks;
class Menus;
class Picture1;
class Stage;
class Viewport;

// How the window shows what it shows, beyond where and how large: the looks (a channel, the
// checkerboard, the view turned or mirrored) and comparing with B. Keeps them in step with the
// stage (frames made for the look, B's frames with A's) and the view (side by side halves the
// client area), and says what the status bar needs of them.
class Lenses : public QObject {
  Q_OBJECT

 public:
  Lenses(Menus& menus, Picture1& canvas, Viewport& viewport, Stage& stage, QObject* parent);

  Looks& GetLooks() const { return *looks_; }
  Comparison& Compare() const { return *comparison_; }
  void SetDecodeOptions(const lumenor::DecodeOptions& options);

  // The channel shown and, while comparing, B on screen.
  void Describe(StatusReadout& status);
  // The values under a point of the client area (device pixels): A's pixel there and, while
  // comparing, B's and (in Difference) the difference of the two as shown.
  void PointAt(QPointF devicePoint, StatusReadout& status) const;

 signals:
  // The look or the comparison changed: items and the status bar.
  void changed();
  // B could not be shown: Open's box, with its text.
  void failed(const QString& text);

 private:
  // Tells the stage whether frames are to come with B's.
  void FollowComparison();

  Picture1& canvas_;
  Viewport& viewport_;
  Stage& stage_;
  Looks* looks_ = nullptr;
  Comparison* comparison_ = nullptr;
  QByteArray comparedFolder_;  // B's sequence's, as the stage was told; empty: none
  QByteArray described_;       // B's file the status bar reads
  std::optional<ShownPicture> bPicture_;
  lumenor::DecodeOptions options_;
};
