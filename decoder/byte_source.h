#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lumenor {

// Random access to the bytes of an image file. Bytes past the end read as zeros, so a truncated
// file shows what it holds; a failing read throws LoadFailure.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  virtual void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// A file opened read-only. Anything that is not a regular file (a directory, a FIFO, a device)
// is refused before a byte is read, so nothing can block the caller.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::uint64_t Size() const override { return size_; }
  void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace lumenor
