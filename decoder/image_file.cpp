#include "image_file.h"

namespace lumenor {

std::uint8_t ImageFile::ReadByte() {
  if (!bufferValid_ || position_ < bufferStart_ || position_ - bufferStart_ >= buffer_.size()) {
    bufferStart_ = position_;
    source_.ReadAt(bufferStart_, buffer_);
    bufferValid_ = true;
  }
  return buffer_[static_cast<std::size_t>(position_++ - bufferStart_)];
}

std::uint16_t ImageFile::ReadWord() {
  const unsigned high = ReadByte();
  return static_cast<std::uint16_t>(high << 8 | ReadByte());
}

std::int32_t ImageFile::ReadLong() {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | ReadByte();
  return static_cast<std::int32_t>(value);
}

void ImageFile::ReadBytes(std::span<std::uint8_t> out) {
  for (auto& byte : out) byte = ReadByte();
}

}  // namespace lumenor
