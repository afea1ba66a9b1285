#pragma once

#include <QImage>
#include <QWidget>

#include "canvas.h"

// The canvas: a borderless child area that owns a backing image of exactly its own size, keeps
// what was painted into it and shows it on every repaint. Pointer events are handled by Form1.
class Picture1 : public QWidget {
  Q_OBJECT

 public:
  explicit Picture1(QWidget* parent);

  int Left() const { return x(); }
  int Top() const { return y(); }
  void SetLeft(int left) { move(left, y()); }
  void SetTop(int top) { move(x(), top); }
  int Width() const { return width(); }
  int Height() const { return height(); }
  // Resizes the canvas and its backing image, keeping what overlaps. Returns false, changing
  // nothing, when the image cannot be allocated.
  bool SetSize(int width, int height);

  void Clear();
  void Refresh();
  void RefreshRows(int top, int bottom);
  // Pixels outside the image are dropped; GetPixel answers 0xFFFFFFFF for them.
  void SetPixel(int x, int y, lumenor::Colour colour);
  lumenor::Colour GetPixel(int x, int y) const;
  void FillSpan(int x, int y, int count, lumenor::Colour colour);

  lumenor::Pixel* Scanline(int y);
  const QImage& Image() const { return image_; }
  QColor BackColor() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};
