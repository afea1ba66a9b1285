#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "byte_source.h"

namespace lumenor {

// Sequential big-endian reading of an image file, through a buffer of one header's size so that
// the header's byte-at-a-time reads cost one system call in all.
class ImageFile {
 public:
  explicit ImageFile(ByteSource& source) : source_(source) {}

  std::uint8_t ReadByte();
  // b0 * 256 + b1.
  std::uint16_t ReadWord();
  // b0 * 2^24 + b1 * 2^16 + b2 * 2^8 + b3 as a signed value: b0 >= 128 gives a negative result.
  std::int32_t ReadLong();
  void ReadBytes(std::span<std::uint8_t> out);
  void Skip(std::uint64_t count) { position_ += count; }
  void Seek(std::uint64_t offset) { position_ = offset; }
  std::uint64_t Position() const { return position_; }
  ByteSource& Source() { return source_; }

 private:
  ByteSource& source_;
  std::uint64_t position_ = 0;
  std::array<std::uint8_t, 512> buffer_{};
  std::uint64_t bufferStart_ = 0;
  bool bufferValid_ = false;
};

}  // namespace lumenor
