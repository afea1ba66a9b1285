#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "file_stamp.h"

class FolderLister;
class QSocketNotifier;

// The pictures of the folder of the picture shown, in natural order, and the current one among
// them. The window says which picture it opens (SetCurrent) and asks for the path of the next,
// previous, first or last, which it then opens, and so calls SetCurrent with it. Listing runs on
// a thread of its own: SetCurrent never waits for it, and listChanged() says when the list
// arrived or changed. The folder is watched, and listed again when pictures come or go.
//
// The shown file is watched too: when it is written again in place, or another file is renamed
// over it, currentFileChanged() comes once the writer is done (see WriteSettler).
//
// Watching is inotify's, not QFileSystemWatcher's: names need not be UTF-8, and watching a large
// folder costs the kernel a walk over its entries (about 10 ms for 20,000), which the lister's
// thread pays rather than the window's.
class Folder : public QObject {
  Q_OBJECT

 public:
  struct Intervals {
    int relistDelayMs = 100;  // a burst of changes to the folder makes one listing
    int firstLookMs = 50;     // from the notice of a change to the first look at the file
    int settleMs = 300;
    int longestWaitMs = 0;  // none: a file that keeps changing waits until it is still
    int pollMs = 1000;  // what cannot be watched is looked at this often
  };

  explicit Folder(QObject* parent = nullptr);
  explicit Folder(Intervals intervals, QObject* parent = nullptr);
  ~Folder() override;

  // The picture just opened, as the system's bytes, absolute or relative to the working folder.
  // It is in the list even when its name is not a picture's or it no longer exists.
  void SetCurrent(const QByteArray& path);
  // The current picture's absolute path; empty before the first SetCurrent.
  QByteArray Current() const { return current_; }

  // Whether the list has arrived for the current folder; until it has, the position is -1, the
  // count 0 and there is nothing to step to.
  bool Listed() const { return listed_; }
  int Position() const { return position_; }  // from 0, for "Position() + 1 of Count()"
  int Count() const { return static_cast<int>(names_.size()); }
  bool HasNext() const { return listed_ && position_ + 1 < Count(); }
  bool HasPrevious() const { return listed_ && position_ > 0; }
  // The names walked, in order (without the folder).
  const std::vector<QByteArray>& Names() const { return names_; }

  // The path to open for each step, or empty when there is none. Files deleted since the listing
  // are skipped (and dropped from the list). The position moves only with SetCurrent.
  QByteArray Next();
  QByteArray Previous();
  QByteArray First();
  QByteArray Last();

 signals:
  // Listed(), Position(), Count() or Names() may have changed.
  void listChanged();
  void currentFileChanged();

 private:
  void TakeListing(std::uint64_t generation, std::vector<QByteArray> names,
                   std::int64_t folderTimeNs, int folderWatch);
  // The first name from `from` on, going by `step`, that is still a regular file.
  QByteArray StepFrom(int from, int step);
  void ArrangeNames();
  void PlaceCurrent();
  void StartListing();
  void ListAgainSoon();
  void ListAgain();
  void ListAgainIfFolderChanged();
  void WatchFile();
  void ReadNotices();
  void FileNoticed();
  void PollFile();
  void LookAtFile();

  const Intervals intervals_;
  QByteArray current_;               // absolute
  QByteArray folder_;                // absolute, ending in '/'
  QByteArray currentName_;           // current_ without folder_
  std::vector<QByteArray> entries_;  // the folder's pictures as listed, hidden ones too, sorted
  std::vector<QByteArray> names_;    // what is walked: entries_ as the current name filters them
  int position_ = -1;
  bool currentAdded_ = false;  // the current name is in names_ only because it is current
  bool listed_ = false;
  std::int64_t listedFolderTimeNs_ = -1;
  std::uint64_t generation_ = 0;  // of the listing wanted; older ones are dropped when they come
  bool listing_ = false;
  bool listAgain_ = false;  // the folder changed while it was being listed

  int inotify_ = -1;
  std::unique_ptr<QSocketNotifier> notices_;
  int folderWatch_ = -1;  // added by the lister, which watches the folder it lists
  int fileWatch_ = -1;
  std::pair<std::uint64_t, std::uint64_t> watchedInode_{};  // the file watched: device, inode
  QTimer relistTimer_;
  QTimer lookTimer_;
  bool polling_ = false;  // lookTimer_ runs for a poll, not for a settle
  QTimer folderPollTimer_;
  QElapsedTimer clock_;
  WriteSettler settler_;
  std::unique_ptr<FolderLister> lister_;  // stopped first thing in the destructor
};
