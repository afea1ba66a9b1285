#include "picture_export.h"

#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <cstring>

#include "png_writer.h"
#include "save_file.h"

namespace {

// The reason a file gave no picture, in the words of the load's own box.
QString Reason(const lumenor::StoredImage& image) {
  if (!image.messages.empty()) return QString::fromStdString(image.messages.front());
  return QStringLiteral("The file holds no picture.");
}

QByteArray EncodePng(const lumenor::StoredImage& image) {
  QByteArray png;
  const std::string error =
      lumenor::EncodeStoredImagePng(image, [&png](std::span<const std::uint8_t> bytes) {
        png.append(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qsizetype>(bytes.size()));
        return true;
      });
  return error.empty() ? png : QByteArray();
}

}  // namespace

QImage StoredQImage(const lumenor::StoredImage& image) {
  static constexpr QImage::Format kFormats[] = {QImage::Format_Grayscale8, QImage::Format_ARGB32,
                                                QImage::Format_RGB888, QImage::Format_RGBA8888};
  if (image.width <= 0 || image.height <= 0 || image.channels < 1 || image.channels > 4) return {};
  QImage out(image.width, image.height, kFormats[image.channels - 1]);
  if (out.isNull()) return {};
  const auto rowBytes = static_cast<std::size_t>(image.width) * image.channels;
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.Row(y);
    if (image.channels != 2) {
      std::memcpy(out.scanLine(y), row, rowBytes);
      continue;
    }
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < image.width; ++x)
      line[x] = qRgba(row[2 * x], row[2 * x], row[2 * x], row[2 * x + 1]);
  }
  return out;
}

std::unique_ptr<QMimeData> PictureMimeData(const QByteArray& file, QString* why) {
  const lumenor::StoredImage image = lumenor::LoadStoredImage(file.toStdString());
  const QImage picture = StoredQImage(image);
  const QByteArray png = picture.isNull() ? QByteArray() : EncodePng(image);
  if (png.isEmpty()) {
    if (why) *why = Reason(image);
    return nullptr;
  }
  auto data = std::make_unique<QMimeData>();
  data->setData(QStringLiteral("image/png"), png);
  // Qt's Wayland clipboard makes every image/ type from the image when there is one, over the
  // PNG given: there the PNG alone is offered, so that what is pasted is the picture as stored
  // (grey with alpha stays so, the name stays its Title). Qt's own programs read it all the same.
  if (QGuiApplication::platformName() != QLatin1String("wayland")) data->setImageData(picture);
  const QUrl url = QUrl::fromLocalFile(QFile::decodeName(file));
  data->setUrls({url});
  data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
  return data;
}

QString ExportPng(const QByteArray& file, const QString& output) {
  // Refused before the picture is read: the picture's own file, a folder, a file that may not be
  // written.
  lumenor::SaveFile out(QFile::encodeName(output).toStdString(), file.toStdString());
  if (!out.Ok()) return QString::fromStdString(out.Error());
  const lumenor::StoredImage image = lumenor::LoadStoredImage(file.toStdString());
  if (image.width <= 0 || image.height <= 0 || image.values.empty()) {
    out.Abandon("not written");
    return Reason(image);
  }
  if (!lumenor::WriteStoredImagePng(image, out)) return QString::fromStdString(out.Error());
  return {};
}
