#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

class QMimeData;

// File names travel through the program as the file system's bytes: they need not be UTF-8. Qt's
// widgets and dialogs know names only as text, so a name that is not UTF-8 cannot make the round
// trip through them; these functions keep the bytes wherever the text still names the same file.

// The path made absolute against the working folder, without resolving links.
QByteArray AbsolutePath(const QByteArray& path);

// The path chosen in a dialog as bytes. A choice that reads as the suggested path, or lies in the
// suggested path's folder as that reads, takes the suggested bytes for what they share.
QByteArray ChosenPath(const QString& chosen, const QByteArray& suggested);

// "file:///..." for an absolute path, every byte outside the unreserved characters and '/'
// percent-encoded: a name that is not UTF-8 keeps its bytes ("caf%E9.rgb").
QUrl FileUrl(const QByteArray& absolutePath);

// The one local file a drag carries, named in the system's own encoding; nothing for text,
// remote addresses, folders or several files.
std::optional<QByteArray> DroppedFile(const QMimeData* data);
