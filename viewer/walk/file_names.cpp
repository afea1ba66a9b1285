#include "file_names.h"

#include <QFile>
#include <filesystem>
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
