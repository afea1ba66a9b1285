#include "folder.h"

#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

#include "file_names.h"
#include "natural_order.h"
#include "picture_name.h"

namespace {

// What makes the folder's list change, and a file be renamed over the current one.
constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// What a writer does to the current file (or to the file a symlink under its name leads to).
constexpr std::uint32_t kFileEvents =
    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

std::string_view View(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

bool NaturalLessBytes(const QByteArray& a, const QByteArray& b) {
  return NaturalLess(View(a), View(b));
}

std::int64_t Nanoseconds(const timespec& time) {
  return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

std::int64_t FolderTimeNs(const QByteArray& folder) {
  struct stat status {};
  if (::stat(folder.constData(), &status) != 0) return -1;
  return Nanoseconds(status.st_mtim);
}

bool IsHidden(const QByteArray& name) { return name.startsWith('.'); }

struct Listing {
  std::vector<QByteArray> names;
  std::int64_t folderTimeNs = -1;
  int folderWatch = -1;
};

// The regular files of `folder` with a picture's name, sorted. Only the folder is read: a name's
// type comes from the folder entry, and only a symlink (or an entry of unknown type) is looked up
// by stat, never opened, so a FIFO under a picture's name cannot block the listing. Returns false
// when `stop` said to give up.
bool ListPictures(const QByteArray& folder, const std::function<bool()>& stop, Listing& listing) {
  // The time first: a change while the folder is read shows as a newer time.
  listing.folderTimeNs = FolderTimeNs(folder);
  DIR* dir = ::opendir(folder.constData());
  if (dir == nullptr) return true;  // an unreadable folder lists nothing; the current stays
  while (const dirent* entry = ::readdir(dir)) {
    if (stop()) {
      ::closedir(dir);
      return false;
    }
    const std::string_view name = entry->d_name;
    if (lumenor::PictureExtensionLength(name) == 0) continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat status {};
      regular = ::fstatat(::dirfd(dir), entry->d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
    }
    if (regular) listing.names.emplace_back(name.data(), static_cast<qsizetype>(name.size()));
  }
  ::closedir(dir);
  if (stop()) return false;
  std::sort(listing.names.begin(), listing.names.end(), NaturalLessBytes);
  return true;
}

}  // namespace

// One thread that watches and lists folders, the latest one asked for: a listing asked for while
// another runs makes that one give up.
class FolderLister {
 public:
  using Done = std::function<void(std::uint64_t generation, Listing listing)>;

  // `inotify` may be -1: then nothing is watched.
  FolderLister(int inotify, Done done) : inotify_(inotify), done_(std::move(done)) {}
  ~FolderLister() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wanted_ = 0;
    changed_.notify_all();
    thread_.join();
  }
  FolderLister(const FolderLister&) = delete;
  FolderLister& operator=(const FolderLister&) = delete;

  // `generation` is never 0 and grows with every call.
  void List(const QByteArray& folder, std::uint64_t generation) {
    {
      std::lock_guard lock(mutex_);
      folder_ = folder;
      wanted_ = generation;
    }
    changed_.notify_all();
  }

 private:
  void Work() {
    // Listing is never urgent: a thread woken for it should not push the window's thread off
    // its core.
    const sched_param parameters{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameters);
    std::uint64_t done = 0;
    int watch = -1;  // the folder watched last
    for (;;) {
      QByteArray folder;
      std::uint64_t generation = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || wanted_ != done; });
        if (stopping_) return;
        folder = folder_;
        generation = done = wanted_;
      }
      Listing listing;
      // Watched before it is read, so that no change is missed. The same folder keeps its watch;
      // asking again renews one the kernel dropped (the folder was replaced).
      if (inotify_ >= 0) {
        listing.folderWatch = ::inotify_add_watch(inotify_, folder.constData(), kFolderEvents);
        if (watch >= 0 && watch != listing.folderWatch) ::inotify_rm_watch(inotify_, watch);
        watch = listing.folderWatch;
      }
      const auto overtaken = [&] { return wanted_ != generation; };
      if (ListPictures(folder, overtaken, listing)) done_(generation, std::move(listing));
    }
  }

  const int inotify_;
  const Done done_;
  std::mutex mutex_;
  std::condition_variable changed_;
  QByteArray folder_;
  std::atomic<std::uint64_t> wanted_ = 0;
  bool stopping_ = false;
  std::thread thread_{[this] { Work(); }};  // last: it starts when everything above is ready
};

Folder::Folder(QObject* parent) : Folder(Intervals{}, parent) {}

Folder::Folder(Intervals intervals, QObject* parent)
    : QObject(parent),
      intervals_(intervals),
      inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      settler_({intervals.settleMs, intervals.longestWaitMs}),
      lister_(std::make_unique<FolderLister>(
          inotify_, [this](std::uint64_t generation, Listing listing) {
            // On the lister's thread: hand the names to this object's thread. The destructor
            // stops the lister first, and a call still queued goes with this object.
            QMetaObject::invokeMethod(
                this,
                [this, generation, listing = std::move(listing)]() mutable {
                  TakeListing(generation, std::move(listing.names), listing.folderTimeNs,
                              listing.folderWatch);
                },
                Qt::QueuedConnection);
          })) {
  clock_.start();
  relistTimer_.setSingleShot(true);
  lookTimer_.setSingleShot(true);
  folderPollTimer_.setInterval(intervals_.pollMs);
  connect(&relistTimer_, &QTimer::timeout, this, &Folder::ListAgain);
  connect(&lookTimer_, &QTimer::timeout, this, &Folder::LookAtFile);
  connect(&folderPollTimer_, &QTimer::timeout, this, &Folder::ListAgainIfFolderChanged);
  if (inotify_ >= 0) {
    notices_ = std::make_unique<QSocketNotifier>(inotify_, QSocketNotifier::Read);
    connect(notices_.get(), &QSocketNotifier::activated, this, &Folder::ReadNotices);
  }
}

Folder::~Folder() {
  lister_.reset();
  notices_.reset();
  if (inotify_ >= 0) ::close(inotify_);
}

void Folder::SetCurrent(const QByteArray& path) {
  if (path.isEmpty()) return;
  const QByteArray absolute = AbsolutePath(path);
  const qsizetype slash = absolute.lastIndexOf('/');
  const QByteArray folder = absolute.left(slash + 1);
  const bool wasHidden = IsHidden(currentName_);
  current_ = absolute;
  currentName_ = absolute.mid(slash + 1);

  lookTimer_.stop();
  settler_.Shown(FileStamp::Of(current_));
  // Watched afresh every time: after a rename over it, the old watch follows the file replaced.
  WatchFile();
  if (fileWatch_ < 0) PollFile();
  if (folder != folder_) {
    folder_ = folder;
    entries_.clear();
    names_.clear();
    position_ = -1;
    currentAdded_ = false;
    listed_ = false;
    listAgain_ = false;
    folderWatch_ = -1;
    relistTimer_.stop();
    folderPollTimer_.stop();
    StartListing();
  } else if (listed_ && wasHidden != IsHidden(currentName_)) {
    ArrangeNames();
  } else if (listed_) {
    // A step within the list: only the current name's place changes.
    if (currentAdded_) names_.erase(names_.begin() + position_);
    PlaceCurrent();
  }
  emit listChanged();
}

QByteArray Folder::Next() { return StepFrom(position_ + 1, 1); }
QByteArray Folder::Previous() { return StepFrom(position_ - 1, -1); }
QByteArray Folder::First() { return StepFrom(0, 1); }
QByteArray Folder::Last() { return StepFrom(Count() - 1, -1); }

QByteArray Folder::StepFrom(int from, int step) {
  if (!listed_) return {};
  ListAgainIfFolderChanged();
  bool dropped = false;
  QByteArray found;
  for (int index = from; index >= 0 && index < Count(); index += step) {
    if (index == position_) {
      if (FileStamp::Of(current_).exists) {
        found = current_;
        break;
      }
      continue;  // deleted too: skipped, though it stays the walk's place
    }
    const QByteArray path = folder_ + names_[index];
    if (FileStamp::Of(path).exists) {
      found = path;
      break;
    }
    // Deleted since the listing: gone from the list, and the walk goes on past it.
    const auto entry =
        std::lower_bound(entries_.begin(), entries_.end(), names_[index], NaturalLessBytes);
    if (entry != entries_.end() && *entry == names_[index]) entries_.erase(entry);
    names_.erase(names_.begin() + index);
    if (index < position_) --position_;
    if (step > 0) index -= step;  // the next name moved into this place
    dropped = true;
  }
  if (dropped) emit listChanged();
  return found;
}

void Folder::ArrangeNames() {
  const bool showHidden = IsHidden(currentName_);
  names_.clear();
  names_.reserve(entries_.size() + 1);
  std::copy_if(entries_.begin(), entries_.end(), std::back_inserter(names_),
               [&](const QByteArray& name) { return showHidden || !IsHidden(name); });
  PlaceCurrent();
}

void Folder::PlaceCurrent() {
  auto place = std::lower_bound(names_.begin(), names_.end(), currentName_, NaturalLessBytes);
  currentAdded_ = place == names_.end() || *place != currentName_;
  if (currentAdded_) place = names_.insert(place, currentName_);
  position_ = static_cast<int>(place - names_.begin());
}

void Folder::StartListing() {
  listing_ = true;
  lister_->List(folder_, ++generation_);
}

void Folder::TakeListing(std::uint64_t generation, std::vector<QByteArray> names,
                         std::int64_t folderTimeNs, int folderWatch) {
  if (generation != generation_) return;  // for a folder left since, or overtaken
  listing_ = false;
  entries_ = std::move(names);
  listedFolderTimeNs_ = folderTimeNs;
  folderWatch_ = folderWatch;
  if (folderWatch_ < 0) {
    folderPollTimer_.start();
  } else {
    folderPollTimer_.stop();
  }
  listed_ = true;
  ArrangeNames();
  emit listChanged();
  if (listAgain_) {
    listAgain_ = false;
    ListAgainSoon();
  } else {
    // Notices for the folder that came before its watch was known here were not recognised.
    ListAgainIfFolderChanged();
  }
}

void Folder::ListAgainSoon() {
  if (!relistTimer_.isActive()) relistTimer_.start(intervals_.relistDelayMs);
}

void Folder::ListAgain() {
  // A listing under way is let finish (giving it up each time would starve a folder that keeps
  // changing), and the folder is listed again after it.
  if (listing_) {
    listAgain_ = true;
    return;
  }
  StartListing();
}

// For a folder that could not be watched, and for changes the watch could not tell yet.
void Folder::ListAgainIfFolderChanged() {
  if (!listed_ || listing_ || relistTimer_.isActive()) return;
  if (FolderTimeNs(folder_) != listedFolderTimeNs_) ListAgainSoon();
}

void Folder::WatchFile() {
  if (inotify_ < 0) return;
  if (fileWatch_ >= 0) ::inotify_rm_watch(inotify_, fileWatch_);
  fileWatch_ = -1;
  const FileStamp stamp = FileStamp::Of(current_);
  if (!stamp.exists) return;
  fileWatch_ = ::inotify_add_watch(inotify_, current_.constData(), kFileEvents);
  watchedInode_ = {stamp.device, stamp.inode};
}

void Folder::ReadNotices() {
  bool folderChanged = false, fileChanged = false;
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t length = ::read(inotify_, buffer, sizeof buffer);
    if (length <= 0) break;  // EAGAIN: all read
    for (const char* at = buffer; at < buffer + length;) {
      inotify_event event;
      std::memcpy(&event, at, sizeof event);
      const std::string_view name =
          event.len > 0 ? std::string_view(at + sizeof event) : std::string_view();
      at += sizeof event + event.len;
      if (event.mask & IN_Q_OVERFLOW) {
        folderChanged = fileChanged = true;
      } else if (event.wd == fileWatch_) {
        fileChanged = true;
        if (event.mask & IN_IGNORED) fileWatch_ = -1;  // the file is gone; a look watches anew
      } else if (event.wd == folderWatch_) {
        if (event.mask & IN_IGNORED) folderWatch_ = -1;
        const bool current = name == View(currentName_);
        fileChanged |= current;
        folderChanged |= name.empty() || current || lumenor::PictureExtensionLength(name) > 0;
      }
    }
  }
  if (folderChanged) ListAgainSoon();
  if (fileChanged) FileNoticed();
}

void Folder::FileNoticed() {
  // While the file is being settled, notices change nothing: the look due sees what they say.
  if (lookTimer_.isActive() && !polling_) return;
  polling_ = false;
  lookTimer_.start(intervals_.firstLookMs);
}

void Folder::PollFile() {
  polling_ = true;
  lookTimer_.start(intervals_.pollMs);
}

void Folder::LookAtFile() {
  const FileStamp stamp = FileStamp::Of(current_);
  // Back under its name after a rename over it or a delete: watch the file that is there now.
  if (stamp.exists && (fileWatch_ < 0 || watchedInode_ != std::pair{stamp.device, stamp.inode})) {
    WatchFile();
  }
  const WriteSettler::Verdict verdict = settler_.Look(stamp, clock_.elapsed());
  if (verdict.nextLookMs >= 0) {
    polling_ = false;
    lookTimer_.start(static_cast<int>(verdict.nextLookMs));
  } else if (fileWatch_ < 0) {
    PollFile();  // not watched (gone, or no inotify): look again now and then
  }
  if (verdict.reload) emit currentFileChanged();
}
