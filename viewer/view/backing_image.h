#pragma once

#include <QImage>

// A picture's backing image (QImage::Format_RGB32, or another of four bytes a pixel) in memory of
// our own, large ones in huge pages; Qt hands the memory back when the last image sharing it goes.
// A null image when the memory cannot be had.
QImage AllocateImage(int width, int height, QImage::Format format = QImage::Format_RGB32);
