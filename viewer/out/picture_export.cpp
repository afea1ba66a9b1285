#include "picture_export.h"

#include <QMimeData>
#include <QUrl>

#include "file_names.h"

std::unique_ptr<QMimeData> PictureMimeData(const QByteArray& png, const QByteArray& file) {
  auto data = std::make_unique<QMimeData>();
  data->setData(QStringLiteral("image/png"), png);
  const QUrl url = FileUrl(file);
  data->setUrls({url});
  data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
  return data;
}
