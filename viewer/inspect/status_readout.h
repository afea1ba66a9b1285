#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "folder.h"
#include "completeness.h"
#include "image_header.h"
#include "scale.h"

class QLabel;
class QStatusBar;

namespace lumenor {
class RowReader;
}

// The picture on screen, as its load found it: enough to say what the file holds without
// keeping a second copy of the picture.
struct ShownPicture {
  QByteArray path;  // the system's bytes
  lumenor::ImageHeader header;
  FileStamp stamp;             // the file when it was loaded
  bool loadedCleanly = false;  // the load showed no box
  // Whether the file holds every row its header and tables say, when it was loaded.
  lumenor::Completeness completeness;
  bool EndsEarly() const {
    return completeness.state == lumenor::Completeness::State::kIncomplete;
  }
};

// The status bar's text: the file's name, its place in the folder, its size and the zoom; and,
// while the pointer is over the picture, the values the file stores for the pixel under it,
// read again from the file one row at a time (the last row read is kept).
class StatusReadout {
 public:
  explicit StatusReadout(QStatusBar& bar);
  ~StatusReadout();

  // What is on screen: nothing, or a picture at position (from 0) of count in its folder.
  void Show(const std::optional<ShownPicture>& picture, int position, int count,
            lumenor::Zoom zoom);
  // A word among the facts ("being written"), until another is set; empty for none.
  void SetNote(const QString& note);
  // The pointer is over picture pixel (x, y) (0, 0 at the top-left), or off the picture.
  void PointAt(int x, int y);
  void PointerLeft();

  // Pictures of 16 bits a channel are read when the window shows them.
  void SetDecodeOptions(const lumenor::DecodeOptions& options) { options_ = options; }

  QString Text() const;       // the picture's part
  QString ValueText() const;  // the pixel's part, empty when the pointer is not over it

 private:
  void ShowFacts();

  QLabel* facts_;
  QLabel* values_;
  QStringList factParts_;
  QString note_;
  std::optional<ShownPicture> picture_;
  std::unique_ptr<lumenor::RowReader> reader_;
  bool unreadable_ = false;  // the reader could not be made for this picture
  lumenor::DecodeOptions options_;
};
