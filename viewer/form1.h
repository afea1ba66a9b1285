#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QString>

class Dialogs;
class Picture1;
class QAction;
class QMenu;

// The program's only window: the menus, the canvas Picture1 inside the client area, the Open,
// Exit and About commands, and drag panning of a picture larger than the window.
class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kInitialClientWidth = 449;
  static constexpr int kInitialClientHeight = 343;

  explicit Form1(Dialogs& dialogs, QWidget* parent = nullptr);

  void mnuOpen_Click();
  // Steps of the Open command after a name is chosen: every way of opening a picture (the
  // dialog, the command line, a drop) ends here. fileName is in the system's own encoding.
  void OpenFile(const QByteArray& fileName);
  void mnuExit_Click();
  void mnuAbout_Click();

  static QString AboutText();

  Picture1& Canvas() const { return *Picture1_; }
  QWidget& ClientArea() const { return *client_; }
  QAction& OpenItem() const { return *mnuOpen_; }
  int ScaleWidth() const;
  int ScaleHeight() const;
  bool Ending() const { return ending_; }
  bool Loading() const { return loading_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Unload();
  void Form_Resize();
  void PullCanvasBack();
  bool TakesDrops() const;
  void Picture1_MouseDown(double x, double y);
  void Picture1_MouseMove(double x, double y);
  void Picture1_MouseUp();
  void CreateMenus();

  Dialogs& dialogs_;
  QWidget* client_ = nullptr;
  Picture1* Picture1_ = nullptr;
  QMenu* mnuFile_ = nullptr;
  QAction* mnuOpen_ = nullptr;
  QAction* mnuSep1_ = nullptr;
  QAction* mnuExit_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  QAction* mnuAbout_ = nullptr;

  // The file dialog keeps the name chosen last and offers it again.
  QString CommonDialog1FileName_;

  // Drag panning: positions are in canvas pixels.
  bool Dragging = false;
  double LastX = 0;
  float LastY = 0;
  bool SkipNextMove = false;

  bool loading_ = false;
  bool ending_ = false;
  bool dropPending_ = false;  // a dropped file waits to be opened
};
