#include "load_outcome.h"

#include "row_sink.h"

namespace lumenor {

namespace {

// The end of the decoding paths that keeps nothing but what the load says.
class OutcomeRows final : public RowSink {
 public:
  explicit OutcomeRows(LoadOutcome& outcome) : outcome_(outcome) {}

  void HeaderRead(const ImageHeader& header) override { outcome_.header = header; }
  bool Allocate(const ImageHeader& /*header*/) override { return true; }
  void Named(const std::string& utf8Name) override { outcome_.name = utf8Name; }
  void Report(const std::string& utf8Text) override { outcome_.messages.push_back(utf8Text); }
  void GreyRow(int /*y*/, const std::uint8_t* /*values*/, std::size_t /*count*/) override {}
  void ChannelRow(int /*y*/, const ChannelRows& /*rows*/, std::size_t /*extent*/) override {}
  void ZeroRows(int /*top*/, int /*bottom*/) override {}
  bool RepeatRow(int /*y*/) override { return true; }
  bool Progress(int /*top*/, int /*bottom*/) override { return true; }

 private:
  LoadOutcome& outcome_;
};

}  // namespace

LoadOutcome CheckLoad(const std::string& fileName, const DecodeOptions& options) {
  LoadOutcome outcome;
  OutcomeRows sink(outcome);
  DecodeFileThrough(fileName, sink, options);
  return outcome;
}

LoadOutcome CheckLoad(ByteSource& source, const DecodeOptions& options) {
  LoadOutcome outcome;
  OutcomeRows sink(outcome);
  DecodeThrough(source, sink, options);
  return outcome;
}

}  // namespace lumenor
