#include "properties.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "picture_facts.h"
#include "status_readout.h"

QList<QPair<QString, QString>> PropertiesOf(const ShownPicture& picture) {
  const QFileInfo file(QFile::decodeName(picture.path));
  // The time from the file's own bytes: a name that is not UTF-8 cannot be looked up as text.
  const FileStamp now = FileStamp::Of(picture.path);
  const std::int64_t modifiedNs = now.exists ? now.modifiedNs : picture.stamp.modifiedNs;
  const QDateTime modified = QDateTime::fromMSecsSinceEpoch(modifiedNs / 1'000'000);
  const FileFacts facts{file.fileName().toStdString(), file.absolutePath().toStdString(),
                        static_cast<std::uint64_t>(picture.stamp.size),
                        QLocale().toString(modified, QLocale::ShortFormat).toStdString()};
  QList<QPair<QString, QString>> lines;
  const std::optional<int> storedRows =
      picture.EndsEarly() ? std::optional<int>(picture.completeness.completeRows) : std::nullopt;
  for (const auto& [label, value] : PropertyLines(picture.header, facts, storedRows))
    lines.append({QString::fromStdString(label), QString::fromStdString(value)});
  return lines;
}
