#include "drop_target.h"

#include <QDropEvent>
#include <QWidget>

#include "file_names.h"

DropTarget::DropTarget(QWidget& window, std::function<bool()> canOpen,
                       std::function<void(const QByteArray&)> open)
    : QObject(&window), canOpen_(std::move(canOpen)), open_(std::move(open)) {
  window.setAcceptDrops(true);
  window.installEventFilter(this);
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
    return QObject::eventFilter(watched, event);
  auto* drop = static_cast<QDropEvent*>(event);
  const auto file = DroppedFile(drop->mimeData());
  if (!canOpen_() || !file || !(drop->possibleActions() & Qt::CopyAction)) {
    drop->ignore();
    return true;
  }
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  // The load runs once the drop has been answered, so that the program the file came from is
  // not kept waiting for it.
  if (type == QEvent::Drop) open_(*file);
  return true;
}
