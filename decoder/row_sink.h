#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_source.h"
#include "image_header.h"
#include "rows.h"

namespace lumenor {

// Where the decoding paths deliver a picture. One set of paths serves both ends: the load lays
// the rows over a canvas, LoadStoredImage keeps the values as the file stores them. Rows come in
// file order, from the bottom of the picture up; y counts from the top.
class RowSink {
 public:
  virtual ~RowSink() = default;

  // The header as read, before it is checked.
  virtual void HeaderRead(const ImageHeader& /*header*/) {}
  // The header passed its checks: make room for the picture (a channel count without a path is
  // reported right after). False when the memory cannot be had.
  virtual bool Allocate(const ImageHeader& header) = 0;
  virtual void Named(const std::string& utf8Name) = 0;
  // The text of a box: a header that cannot be used, or a read error.
  virtual void Report(const std::string& utf8Text) = 0;
  // Values are a byte each, or two (big-endian) when the header says two bytes a channel.
  // Grey row y holds count values from its start on; what lies beyond was not decoded.
  virtual void GreyRow(int y, const std::uint8_t* values, std::size_t count) = 0;
  // Row y is in the channel buffers; from extent on every buffer holds zeros.
  virtual void ChannelRow(int y, const ChannelRows& rows, std::size_t extent) = 0;
  // Rows top..bottom are zeros in every channel (they lie past the end of the file).
  virtual void ZeroRows(int top, int bottom) = 0;
  // Row y holds exactly what row y + 1 was delivered with (a run-length row stored where the row
  // below is, in every channel: files share identical rows). True when the sink has taken it so;
  // false has it delivered as any other row.
  virtual bool RepeatRow(int /*y*/) { return false; }
  // A progress point: rows top..bottom changed since the last one. False abandons the decode.
  virtual bool Progress(int top, int bottom) = 0;
};

// Decodes the file through sink: the header's checks, then the rows. Every outcome, read errors
// included, is reported through the sink; nothing is thrown.
void DecodeThrough(ByteSource& source, RowSink& sink, const DecodeOptions& options = {});
void DecodeFileThrough(const std::string& fileName, RowSink& sink,
                       const DecodeOptions& options = {});

}  // namespace lumenor
