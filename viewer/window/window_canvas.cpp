#include "window_canvas.h"

#include <QCoreApplication>

#include "dialogs.h"
#include "picture1.h"

int WindowCanvas::Width() const { return picture_.ImageWidth(); }
int WindowCanvas::Height() const { return picture_.ImageHeight(); }
bool WindowCanvas::Resize(int width, int height) {
  if (!picture_.SetSize(width, height)) return false;
  sized_();
  return true;
}
lumenor::Pixel* WindowCanvas::Scanline(int y) { return picture_.Scanline(y); }
lumenor::StoredPixel* WindowCanvas::StoredScanline(int y) { return picture_.StoredScanline(y); }

void WindowCanvas::SetTitle(const std::string& utf8Title) {
  titled_ = true;
  window_.setWindowTitle(QString::fromStdString(utf8Title));
}

void WindowCanvas::ShowError(const std::string& utf8Text) {
  failed_ = true;
  dialogs_.MsgBox(&window_, QStringLiteral("Error"), QString::fromStdString(utf8Text),
                  Dialogs::Icon::Critical);
}

bool WindowCanvas::Progress(int top, int bottom) {
  if (!ending_()) {
    picture_.RefreshRows(top, bottom);
    QCoreApplication::processEvents();
  }
  return !ending_();
}
