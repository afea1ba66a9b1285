#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

#include "folder.h"
#include "completeness.h"
#include "image_header.h"
#include "canvas.h"
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

  // The header of a file; a file that cannot be read has none to tell of.
  static lumenor::ImageHeader HeaderOf(const QByteArray& path);
  // The file at path as it is now, loaded cleanly or not.
  static ShownPicture Of(const QByteArray& path, bool loadedCleanly,
                         const lumenor::DecodeOptions& options);
};

// The values a file stores for one pixel, read again from the file one row at a time (the last row
// read is kept): the status bar's part for a picture.
class PixelReader {
 public:
  PixelReader();
  ~PixelReader();
  // A picture other than the one before drops what was read.
  void SetPicture(const std::optional<ShownPicture>& picture, const lumenor::DecodeOptions& options);
  const std::optional<ShownPicture>& Picture() const { return picture_; }
  bool Covers(int x, int y) const;
  // "R r G g B b" (as the picture's channels go) for pixel (x, y) within it, or why not.
  QString ValuesAt(int x, int y);

 private:
  std::optional<ShownPicture> picture_;
  std::unique_ptr<lumenor::RowReader> reader_;
  bool unreadable_ = false;  // the reader could not be made for this picture
  lumenor::DecodeOptions options_;
};

// The status bar's text: the file's name, its place in the folder, its size and the zoom (and the
// channel shown); and, while the pointer is over the picture, the values the file stores for the
// pixel under it, and while comparing those of B's pixel there too.
class StatusReadout {
 public:
  explicit StatusReadout(QStatusBar& bar);
  ~StatusReadout();

  // What is on screen: nothing, or a picture at position (from 0) of count in its folder.
  void Show(const std::optional<ShownPicture>& picture, int position, int count,
            lumenor::Zoom zoom);
  // A word among the facts ("being written"), until another is set; empty for none.
  void SetNote(const QString& note);
  // The channel shown, after the zoom ("Red"); empty for the colour.
  void SetChannel(const QString& channel);
  // While comparing, B on screen (nothing when B lacks the frame); not comparing: nullptr.
  void SetCompared(const std::optional<ShownPicture>* b);
  // The pointer is over picture pixel (x, y) (0, 0 at the top-left), or off the picture. While
  // comparing, b is B's pixel there (nothing where B does not reach), and diff the difference
  // of the two pixels as shown, when the difference is on screen.
  void PointAt(int x, int y, std::optional<std::pair<int, int>> b = std::nullopt,
               std::optional<lumenor::Pixel> diff = std::nullopt);
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
  QString channel_;
  PixelReader a_;
  std::optional<PixelReader> b_;  // while comparing
  lumenor::DecodeOptions options_;
};
