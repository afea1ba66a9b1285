#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

#include "image_header.h"

// Encodes a picture's stored values as PNG on a thread of its own, reading the file again a row
// at a time: the window stays live, and no second copy of the picture is held. For Copy the PNG
// goes to memory, for Export into a file that appears complete or not at all. One encoding runs
// at a time; the destructor gives it up at its next row.
class PngEncoding : public QObject {
  Q_OBJECT

 public:
  explicit PngEncoding(QObject* parent = nullptr);
  ~PngEncoding() override;
  PngEncoding(const PngEncoding&) = delete;
  PngEncoding& operator=(const PngEncoding&) = delete;

  bool Busy() const { return busy_; }
  // picture: the file's bytes; options: what the window shows (pictures of 16 bits or not).
  void EncodeToMemory(const QByteArray& picture, const lumenor::DecodeOptions& options);
  void EncodeToFile(const QByteArray& picture, const lumenor::DecodeOptions& options,
                    const QByteArray& output);

 signals:
  // On the window's thread, once done: the PNG (Copy) or nothing (Export), and why it failed,
  // in the words of the load's box, or empty.
  void encoded(const QByteArray& png, const QString& why);

 private:
  void Run(const QByteArray& picture, const lumenor::DecodeOptions& options,
           const QByteArray& output);

  std::thread thread_;
  std::atomic<bool> cancelled_ = false;
  bool busy_ = false;
};
