#include "file_stamp.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>

namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

FileStamp FileStamp::Of(const QByteArray& path) {
  struct stat status {};
  if (::stat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
  return {true,
          static_cast<std::uint64_t>(status.st_dev),
          static_cast<std::uint64_t>(status.st_ino),
          static_cast<std::int64_t>(status.st_size),
          Nanoseconds(status.st_mtim),
          Nanoseconds(status.st_ctim)};
}

void WriteSettler::Shown(const FileStamp& stamp) {
  shown_ = stamp;
  lastSeen_ = stamp;
  firstChangeMs_ = -1;
}

WriteSettler::Verdict WriteSettler::Look(const FileStamp& seen, std::int64_t nowMs) {
  if (seen != lastSeen_) {
    lastSeen_ = seen;
    lastChangeMs_ = nowMs;
    if (firstChangeMs_ < 0) firstChangeMs_ = nowMs;
  }
  // Gone (the picture stays as it is), or back as it was shown: nothing to wait for.
  if (!seen.exists || seen == shown_) {
    firstChangeMs_ = -1;
    return {};
  }
  const std::int64_t settledAt = lastChangeMs_ + rules_.settleMs;
  const std::int64_t latestAt =
      rules_.longestWaitMs > 0 ? firstChangeMs_ + rules_.longestWaitMs : INT64_MAX;
  if (nowMs >= settledAt || nowMs >= latestAt) {
    shown_ = seen;
    firstChangeMs_ = -1;
    return {true, -1};
  }
  return {false, std::min(settledAt, latestAt) - nowMs};
}
