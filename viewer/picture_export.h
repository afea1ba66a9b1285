#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <memory>

#include "stored_image.h"

class QMimeData;

// The picture as its file stores it (grey as grey, alpha kept, nothing laid over the
// background), read from the file again: the window holds it only as shown.

// The stored values as an image of their own kind: grey, grey with alpha (as ARGB), RGB or
// RGBA. A null image for a file with no picture.
QImage StoredQImage(const lumenor::StoredImage& image);

// What Copy puts on the clipboard for the picture in file (the system's bytes): the picture as a
// PNG of its channels (image/png) and, but on Wayland, as an image for Qt's own conversions (BMP,
// JPEG and the like), and the file's
// address (text/uri-list, and GNOME's x-special/gnome-copied-files) so that a file manager can
// paste the file itself. Nothing, with why set, when the file holds no picture any more.
std::unique_ptr<QMimeData> PictureMimeData(const QByteArray& file, QString* why);

// The picture in file as a PNG at output (never over file itself), written through a temporary
// file renamed into place. Empty when it was written; otherwise why not, and nothing is left.
QString ExportPng(const QByteArray& file, const QString& output);
