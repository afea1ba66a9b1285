#pragma once

#include <QLabel>
#include <QString>
#include <cstdint>
#include <optional>

// What the heads-up display says of the frame on screen.
struct HeadsUpFacts {
  QString fileName;         // as the window shows names
  std::int64_t number = 0;  // the frame's number
  std::int64_t first = 0, last = 0;
  bool missing = false;  // the number lacks a file: the frame before is held
  QString incomplete;    // "incomplete: R of H rows", when the file ends early
  bool playing = false;
  // While playing: the target and what came of it.
  QString rate;  // "24 fps", "23.976 fps"
  int speed = 1;
  int direction = 1;
  double shownRate = 0;      // frames shown a second, over the last second
  std::int64_t dropped = 0;  // since Play
};

// The text of the display: the file name; "frame 12 of 1-48"; while playing "24 fps: 23.9 shown,
// 0 dropped" (the speed and the way when they are not plain); "missing" for a missing frame.
QString HeadsUpText(const HeadsUpFacts& facts);

// The heads-up display over the picture's top-left corner while a sequence plays or is paused
// after play. A label, so that assistive technology reads its text; named "Heads-Up Display".
class HeadsUpDisplay : public QLabel {
  Q_OBJECT

 public:
  explicit HeadsUpDisplay(QWidget* parent);
  void Show(const HeadsUpFacts& facts);

 protected:
  // Light text on a dark, half-transparent plate: readable over any picture.
  void paintEvent(QPaintEvent* event) override;
};
