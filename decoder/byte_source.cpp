#include "byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "load_failure.h"

namespace lumenor {

namespace {

std::string SystemError(int error) { return std::strerror(error); }

}  // namespace

FileSource::FileSource(const std::string& path) {
  // O_NONBLOCK keeps the open of a FIFO without a writer from hanging; such files are refused
  // below anyway.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) throw LoadFailure(SystemError(errno) + " (" + path + ")");
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    const int error = errno;
    ::close(fd_);
    throw LoadFailure(SystemError(error) + " (" + path + ")");
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd_);
    throw LoadFailure("Not a regular file (" + path + ")");
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
}

FileSource::~FileSource() { ::close(fd_); }

void FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  // The file may shrink while it is read: a short read means the end, and the rest is zeros.
  while (done < out.size() && offset + done < size_) {
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(out.size() - done, size_ - (offset + done)));
    const ssize_t got = ::pread(fd_, out.data() + done, want, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw LoadFailure(SystemError(errno));
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), std::uint8_t{0});
}

void MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  if (offset < bytes_.size()) {
    done = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), bytes_.size() - offset));
    std::memcpy(out.data(), bytes_.data() + offset, done);
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), std::uint8_t{0});
}

}  // namespace lumenor
