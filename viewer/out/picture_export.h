#pragma once

#include <QByteArray>
#include <memory>

class QMimeData;

// What Copy puts on the clipboard for the picture in file (an absolute path, the system's bytes):
// png, the picture as a PNG of its stored channels (image/png), and the file's address
// (text/uri-list, and GNOME's x-special/gnome-copied-files) so that a file manager can paste the
// file itself. No second image of the picture: image/png is what other programs take.
std::unique_ptr<QMimeData> PictureMimeData(const QByteArray& png, const QByteArray& file);
