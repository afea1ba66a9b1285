#include "picture_out.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "picture_export.h"
#include "picture_name.h"

PictureOut::PictureOut(QObject* parent) : QObject(parent) {
  connect(&encoding_, &PngEncoding::encoded, this, &PictureOut::Encoded);
}

void PictureOut::Copy(const QByteArray& file, const lumenor::DecodeOptions& options) {
  if (Busy()) return;
  copied_ = file;
  exporting_ = false;
  encoding_.EncodeToMemory(file, options);
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

void PictureOut::Export(const QByteArray& file, const lumenor::DecodeOptions& options,
                        const QByteArray& output) {
  if (Busy()) return;
  exporting_ = true;
  encoding_.EncodeToFile(file, options, output);
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

QByteArray PictureOut::SuggestedPng(const QByteArray& file) {
  QByteArray name = file.mid(file.lastIndexOf('/') + 1);
  name.chop(static_cast<qsizetype>(lumenor::PictureExtensionLength(name.toStdString())));
  return file.left(file.lastIndexOf('/') + 1) + name + ".png";
}

void PictureOut::Encoded(const QByteArray& png, const QString& why) {
  QApplication::restoreOverrideCursor();
  emit done();
  if (!why.isEmpty())
    return emit failed((exporting_ ? QStringLiteral("The picture could not be exported:\r\n")
                                   : QStringLiteral("The picture could not be copied:\r\n")) +
                       why);
  if (!exporting_)
    QGuiApplication::clipboard()->setMimeData(PictureMimeData(png, copied_).release());
}
