#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "png_encoding.h"

// Copy and Export: the picture as its file stores it, encoded as PNG on a thread of its own while
// the window stays live. The pointer says so meanwhile, and neither can be asked for again until
// it is done; failures come back as the text of a box.
class PictureOut : public QObject {
  Q_OBJECT

 public:
  explicit PictureOut(QObject* parent = nullptr);

  bool Busy() const { return encoding_.Busy(); }
  // file: an absolute path, the system's bytes; options: what the window shows.
  void Copy(const QByteArray& file, const lumenor::DecodeOptions& options);
  void Export(const QByteArray& file, const lumenor::DecodeOptions& options,
              const QByteArray& output);
  // Export's suggestion: the picture's name without its SGI extension, as PNG, in its folder.
  static QByteArray SuggestedPng(const QByteArray& file);

 signals:
  void done();
  void failed(const QString& text);

 private:
  void Encoded(const QByteArray& png, const QString& why);

  PngEncoding encoding_;
  QByteArray copied_;       // the file whose PNG Copy is encoding
  bool exporting_ = false;  // the encoding is Export's
};
