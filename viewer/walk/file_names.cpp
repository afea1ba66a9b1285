#include "file_names.h"

#include <QFile>
#include <QMimeData>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace {

QByteArray FolderOf(const QByteArray& path) { return path.left(path.lastIndexOf('/') + 1); }

}  // namespace

QByteArray AbsolutePath(const QByteArray& path) {
  if (path.isEmpty() || path.startsWith('/')) return path;
  std::error_code error;
  const std::string working = std::filesystem::current_path(error).native();
  if (error) return path;
  QByteArray absolute(working.data(), static_cast<qsizetype>(working.size()));
  if (!absolute.endsWith('/')) absolute += '/';
  return absolute + (path.startsWith("./") ? path.mid(2) : path);
}

QByteArray ChosenPath(const QString& chosen, const QByteArray& suggested) {
  if (chosen == QFile::decodeName(suggested)) return suggested;
  const QByteArray folder = FolderOf(suggested);
  const QString shownFolder = QFile::decodeName(folder);
  if (!folder.isEmpty() && chosen.startsWith(shownFolder) &&
      !chosen.mid(shownFolder.size()).contains(QLatin1Char('/')))
    return folder + QFile::encodeName(chosen.mid(shownFolder.size()));
  return QFile::encodeName(chosen);
}

QUrl FileUrl(const QByteArray& absolutePath) {
  return QUrl::fromEncoded("file://" + absolutePath.toPercentEncoding("/"), QUrl::StrictMode);
}

std::optional<QByteArray> DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().constFirst();
  // isLocalFile() ignores the host: file://otherhost/path names a file on another machine.
  if (!url.isLocalFile() || !(url.host().isEmpty() || url.host().compare(QLatin1String("localhost"),
                                                                         Qt::CaseInsensitive) == 0))
    return std::nullopt;
  // QUrl leaves the bytes of a name that is not UTF-8 percent-encoded: decode them here, so
  // that such a name reaches the file system as it is spelled there.
  QByteArray name = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  std::error_code error;
  if (name.isEmpty() || std::filesystem::is_directory(name.toStdString(), error))
    return std::nullopt;
  return name;
}
