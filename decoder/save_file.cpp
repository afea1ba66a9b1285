#include "save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace lumenor {

namespace {

// Large enough that a file of tens of MiB costs a few hundred system calls.
constexpr std::size_t kBufferSize = std::size_t{1} << 18;

// A name no other writer in the folder is using, hidden from file managers: ".NAME.XXXX.tmp".
std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path path(target);
  // Kept well below the 255 bytes a file name may have.
  const std::string name = path.filename().string().substr(0, 200);
  const auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%x%x%llx.tmp", static_cast<unsigned>(::getpid()),
                counter.fetch_add(1), ticks & 0xFFFFFu);
  return (path.parent_path() / ("." + name + suffix)).string();
}

std::string FolderOf(const std::string& path) {
  const auto folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

}  // namespace

SaveFile::SaveFile(const std::string& path, const std::string& protectedPath, Links links)
    : path_(path) {
  if (path.empty()) {
    error_ = "no file name given";
    return;
  }
  // A symbolic link stays a link: the file it points at is replaced, or made when not there yet.
  target_ = path;
  std::error_code failed;
  const std::filesystem::path pointsAt = std::filesystem::read_symlink(path, failed);
  if (!failed && links == Links::kRefuse) {
    Fail("is a symbolic link; nothing is written through it");
    return;
  }
  if (!failed) {
    const auto resolved = std::filesystem::weakly_canonical(
        std::filesystem::path(path).parent_path() / pointsAt, failed);
    if (!failed) target_ = resolved.string();
  }

  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) {
      Fail("is a folder, not a file");
      return;
    }
    struct stat input {};
    if (!protectedPath.empty() && ::stat(protectedPath.c_str(), &input) == 0 &&
        input.st_dev == existing.st_dev && input.st_ino == existing.st_ino) {
      Fail("is the input file " + protectedPath + "; it is never written over");
      return;
    }
    // Renaming over a device or a pipe would replace it, not write to it.
    if (!S_ISREG(existing.st_mode)) {
      Fail("is not a regular file");
      return;
    }
    if (::access(target_.c_str(), W_OK) != 0) {
      FailWithErrno("cannot be written");
      return;
    }
  }

  // Written unnamed where the kernel and the file system allow it: a process killed half way
  // then leaves nothing at all. Elsewhere under a hidden name, removed on every failure.
  const std::string folder = FolderOf(target_);
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      FailWithErrno("cannot be written");
      return;
    }
    CreateNamed();
    if (fd_ < 0) return;
  }
  // A replaced file keeps its permissions.
  if (exists && ::fchmod(fd_, existing.st_mode & 0777) != 0) {
    FailWithErrno("cannot be written");
    return;
  }
  buffer_.reserve(kBufferSize);
}

SaveFile::~SaveFile() { RemoveTemporary(); }

bool SaveFile::Write(std::span<const std::uint8_t> bytes) {
  if (!Ok()) return false;
  while (!bytes.empty()) {
    const std::size_t room = kBufferSize - buffer_.size();
    const std::size_t take = std::min(room, bytes.size());
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    bytes = bytes.subspan(take);
    if (buffer_.size() == kBufferSize && !Flush()) return false;
  }
  return true;
}

bool SaveFile::Write(const std::string& text) {
  return Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool SaveFile::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t wrote = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return FailWithErrno("cannot be written");
    if (wrote == 0) return Fail("cannot be written: the device takes no more");
    done += static_cast<std::size_t>(wrote);
  }
  buffer_.clear();
  return true;
}

void SaveFile::CreateNamed() {
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    std::string candidate = TemporaryName(target_);
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = std::move(candidate);
    } else if (errno != EEXIST) {
      FailWithErrno("cannot be written");
      return;
    }
  }
  if (fd_ < 0) Fail("cannot be written: no free temporary name in its folder");
}

// Gives the unnamed file a temporary name next to the target, for the rename.
bool SaveFile::NameTemporary() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = TemporaryName(target_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        (errno == ENOENT && ::linkat(fd_, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0)) {
      temporary_ = std::move(candidate);
      return true;
    }
    if (errno != EEXIST) return FailWithErrno("cannot be written");
  }
  return Fail("cannot be written: no free temporary name in its folder");
}

bool SaveFile::Commit() {
  if (fd_ < 0) return Fail("written already");
  if (!Ok() || !Flush()) return false;
  // On disk before the rename, so that a crash leaves the old file or the new one, never an
  // empty one under the final name.
  if (::fsync(fd_) != 0) return FailWithErrno("cannot be written");
  if (temporary_.empty() && !NameTemporary()) return false;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return FailWithErrno("cannot be written");
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return FailWithErrno("cannot be written");
  temporary_.clear();
  return true;
}

void SaveFile::Abandon(const std::string& why) { Fail(why); }

bool SaveFile::Fail(const std::string& why) {
  if (error_.empty()) error_ = path_ + ": " + why;
  RemoveTemporary();
  return false;
}

bool SaveFile::FailWithErrno(const std::string& what) {
  const int code = errno;
  return Fail(what + ": " + std::generic_category().message(code));
}

void SaveFile::RemoveTemporary() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace lumenor
