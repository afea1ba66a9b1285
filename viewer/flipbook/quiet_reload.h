#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

#include "canvas.h"
#include "image_header.h"

// A reload the program starts by itself, because the picture's file changed: the picture is
// loaded off the window's thread into memory of its own, and the picture on screen stays until
// the new one is complete. A file that cannot be shown (empty, refused, unreadable, broken part
// way) never shows a box: it leaves the picture on screen as it was.
class QuietReload : public QObject {
  Q_OBJECT

 public:
  explicit QuietReload(QObject* parent = nullptr);
  // Gives up a load under way, at its next progress point, and waits for it.
  ~QuietReload() override;
  QuietReload(const QuietReload&) = delete;
  QuietReload& operator=(const QuietReload&) = delete;

  // Loads path (the system's bytes), pictures with alpha over background. A load under way is
  // given up first: only the latest is reported.
  void Start(const QByteArray& path, lumenor::Pixel background,
             const lumenor::DecodeOptions& options = {});
  // Gives up a load under way; nothing is reported for it.
  void Cancel();
  bool Running() const { return running_; }

 signals:
  // On the window's thread: picture is the whole picture (Format_RGB32) with the title a load
  // gives it, or null when the file could not be shown.
  void finished(const QByteArray& path, const QImage& picture, const QString& title);

 private:
  void Join();

  std::thread thread_;
  std::atomic<bool> cancelled_ = false;
  int generation_ = 0;  // of the load wanted; an older one's result is dropped
  bool running_ = false;
};
