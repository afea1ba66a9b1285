#include "png_encoding.h"

#include <string>

#include "image_header.h"
#include "load_failure.h"
#include "png_writer.h"
#include "save_file.h"

namespace {

constexpr char kReadError[] = "There was an error reading the file:\r\n";

// The picture in file as PNG into sink, a row at a time: empty when it was written, else why not,
// in the words of the load's own box. Only the header is read before the rows: a file that holds
// no picture is told apart without a pass over it.
std::string EncodeFile(const std::string& file, const lumenor::DecodeOptions& options,
                       const lumenor::PngWriter::Sink& sink, const std::atomic<bool>& cancelled) {
  try {
    lumenor::FileSource source(file);
    const lumenor::ImageHeader header = lumenor::ReadHeader(source);
    if (const auto rejection = lumenor::HeaderRejection(header, options)) return *rejection;
    if (!lumenor::HasPixelPath(header.channels)) return lumenor::ChannelRejection(header.channels);
    if (header.width == 0 || header.height == 0) return "The file holds no picture.";
  } catch (const lumenor::LoadFailure& e) {
    return kReadError + std::string(e.what());
  }
  // Ending the program gives the encoding up at its next row.
  const std::string why = lumenor::EncodeFilePng(
      file, [&](std::span<const std::uint8_t> bytes) { return !cancelled && sink(bytes); }, {},
      options);
  return why;
}

}  // namespace

PngEncoding::PngEncoding(QObject* parent) : QObject(parent) {}

PngEncoding::~PngEncoding() {
  cancelled_ = true;
  if (thread_.joinable()) thread_.join();
}

void PngEncoding::EncodeToMemory(const QByteArray& picture, const lumenor::DecodeOptions& options) {
  Run(picture, options, {});
}

void PngEncoding::EncodeToFile(const QByteArray& picture, const lumenor::DecodeOptions& options,
                               const QByteArray& output) {
  Run(picture, options, output);
}

void PngEncoding::Run(const QByteArray& picture, const lumenor::DecodeOptions& options,
                      const QByteArray& output) {
  if (busy_) return;
  if (thread_.joinable()) thread_.join();  // done already: its result is in
  busy_ = true;
  thread_ = std::thread([this, picture, options, output] {
    QByteArray png;
    std::string why;
    try {
      if (output.isEmpty()) {
        why = EncodeFile(
            picture.toStdString(), options,
            [&png](std::span<const std::uint8_t> bytes) {
              png.append(reinterpret_cast<const char*>(bytes.data()),
                         static_cast<qsizetype>(bytes.size()));
              return true;
            },
            cancelled_);
      } else {
        // Refused before the picture is read: the picture's own file, a folder, a file that may
        // not be written.
        lumenor::SaveFile file(output.toStdString(), picture.toStdString());
        if (file.Ok())
          why = EncodeFile(
              picture.toStdString(), options,
              [&file](std::span<const std::uint8_t> bytes) { return file.Write(bytes); },
              cancelled_);
        if (!file.Ok()) {
          why = file.Error();  // says more than the writer, which only saw the output stop
        } else if (!why.empty()) {
          file.Abandon("not written");
        } else if (!file.Commit()) {
          why = file.Error();
        }
      }
    } catch (const std::exception& e) {  // memory for the PNG's bytes
      why = e.what();
    }
    if (cancelled_) return;
    if (!why.empty()) png.clear();
    QMetaObject::invokeMethod(
        this,
        [this, png = std::move(png), why = QString::fromStdString(why)] {
          if (thread_.joinable()) thread_.join();
          busy_ = false;
          emit encoded(png, why);
        },
        Qt::QueuedConnection);
  });
}
