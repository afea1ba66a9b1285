#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

#include "canvas.h"
#include "image_header.h"

// A picture loaded aside: the whole picture as laid over the background (Format_RGB32), with
// the title a load gives it and, for a picture with alpha, its stored values (Format_ARGB32).
// A picture that could not be shown is null, with the text of the first box its load would show.
struct AsidePicture {
  QImage picture;
  QImage stored;
  QString title;
  QString error;
};

// A picture loaded off the window's thread into memory of its own: the reload the program starts
// by itself when the picture's file changed (the picture on screen stays until the new one is
// complete, and a file that cannot be shown yet never shows a box), and the picture compared with
// the one shown.
class QuietReload : public QObject {
  Q_OBJECT

 public:
  explicit QuietReload(QObject* parent = nullptr);
  // Gives up a load under way, at its next progress point, and waits for it.
  ~QuietReload() override;
  QuietReload(const QuietReload&) = delete;
  QuietReload& operator=(const QuietReload&) = delete;

  // What a load keeps: the picture (with alpha, over background), also its stored values (a
  // picture with alpha), or those values alone (the picture's pixels go by a row at a time).
  enum class Keep { kPicture, kPictureAndStored, kStoredOnly };

  // Loads path (the system's bytes). A load under way is given up first: only the latest is
  // reported. A load of stored values alone succeeds when loaded.stored is not null.
  void Start(const QByteArray& path, lumenor::Pixel background,
             const lumenor::DecodeOptions& options = {}, Keep keep = Keep::kPicture);
  // Gives up a load under way; nothing is reported for it.
  void Cancel();
  bool Running() const { return running_; }

 signals:
  // On the window's thread.
  void finished(const QByteArray& path, const AsidePicture& loaded);

 private:
  void Join();

  std::thread thread_;
  std::atomic<bool> cancelled_ = false;
  int generation_ = 0;  // of the load wanted; an older one's result is dropped
  bool running_ = false;
};
