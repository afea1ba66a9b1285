#pragma once

#include <functional>

#include "canvas.h"

class Dialogs;
class Picture1;
class QWidget;

// The decoder's view of the main window during one load: it paints into Picture1's backing
// image, titles the window, shows error boxes and, at each progress point, repaints the rows that
// changed and lets waiting window events run.
class WindowCanvas final : public lumenor::Canvas {
 public:
  // ending says whether the program is ending; sized runs after the canvas takes a new size.
  WindowCanvas(QWidget& window, Picture1& picture, Dialogs& dialogs, std::function<bool()> ending,
               std::function<void()> sized)
      : window_(window),
        picture_(picture),
        dialogs_(dialogs),
        ending_(std::move(ending)),
        sized_(std::move(sized)) {}

  int Width() const override;
  int Height() const override;
  bool Resize(int width, int height) override;
  lumenor::Pixel* Scanline(int y) override;
  lumenor::StoredPixel* StoredScanline(int y) override;
  void SetTitle(const std::string& utf8Title) override;
  void ShowError(const std::string& utf8Text) override;
  bool Progress(int top, int bottom) override;

  // Whether the header was taken (the title names the picture), and whether a box was shown.
  bool Titled() const { return titled_; }
  bool Failed() const { return failed_; }

 private:
  QWidget& window_;
  Picture1& picture_;
  Dialogs& dialogs_;
  std::function<bool()> ending_;
  std::function<void()> sized_;
  bool titled_ = false;
  bool failed_ = false;
};
