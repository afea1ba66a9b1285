#pragma once

#include <QByteArray>
#include <cstdint>

// What a file looks like on disk, as far as telling that it was written again goes: a rewrite in
// place moves its size or times, a file renamed over it brings another inode.
struct FileStamp {
  bool exists = false;  // as a regular file, after following symlinks
  std::uint64_t device = 0, inode = 0;
  std::int64_t size = 0, modifiedNs = 0, changedNs = 0;
  bool operator==(const FileStamp&) const = default;

  static FileStamp Of(const QByteArray& path);
};

// When to reload a file that is being written: once it has been still for `settleMs`, so a writer
// is let finish; or, when `longestWaitMs` is set, that long after a change was first seen even if
// it keeps changing. The window waits for stillness alone (a picture half written is worth
// nothing), the longest wait is there for callers that want progress. A file that is gone is
// left alone until it comes back. Only arithmetic: the caller looks at the file when told and
// says what it saw and when.
class WriteSettler {
 public:
  struct Rules {
    std::int64_t settleMs = 300;
    std::int64_t longestWaitMs = 0;  // 0: none
  };
  struct Verdict {
    bool reload = false;
    std::int64_t nextLookMs = -1;  // look again after this long; -1: only when told of a change
  };

  explicit WriteSettler(Rules rules) : rules_(rules) {}
  // The file as shown on screen now.
  void Shown(const FileStamp& stamp);
  Verdict Look(const FileStamp& seen, std::int64_t nowMs);

 private:
  Rules rules_;
  FileStamp shown_;
  FileStamp lastSeen_;
  std::int64_t lastChangeMs_ = 0;    // when lastSeen_ was first seen
  std::int64_t firstChangeMs_ = -1;  // when the first change not yet shown was seen; -1: none
};
