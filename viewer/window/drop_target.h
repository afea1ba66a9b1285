#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>

// A file dropped on the window opens as if chosen in the Open dialog. A drop is taken as a copy,
// never a move (a source told of a move may delete its file), and only while Open could be
// chosen: asked again at every move of the drag, since a load may have started or ended since it
// came in.
class DropTarget : public QObject {
 public:
  // canOpen says whether Open could be chosen; open takes the file dropped.
  DropTarget(QWidget& window, std::function<bool()> canOpen,
             std::function<void(const QByteArray&)> open);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<bool()> canOpen_;
  std::function<void(const QByteArray&)> open_;
};
