#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "image_header.h"

class Dialogs;
class Menus;
class PictureOut;
class QWidget;
class Stage;

// What the window gives out of the picture standing still on screen, and how it reads pictures:
// Copy and Export (encoded on a thread of their own, the picture as its file stores it),
// Properties, and Edit > Preferences (only what was changed is remembered).
class PictureCommands : public QObject {
  Q_OBJECT

 public:
  // setOptions and setCacheMiB apply a preference wherever it is needed.
  PictureCommands(QWidget& window, Menus& menus, Stage& stage, Dialogs& dialogs,
                  std::function<void(const lumenor::DecodeOptions&)> setOptions,
                  std::function<void(std::uint64_t)> setCacheMiB);

  // Copy or Export is under way.
  bool Busy() const;

  void Copy();
  void Export();
  void Properties();
  void ChoosePreferences();

 signals:
  // Copy or Export started or ended: the items.
  void changed();

 private:
  QWidget& window_;
  Stage& stage_;
  Dialogs& dialogs_;
  PictureOut* out_ = nullptr;
  std::function<void(const lumenor::DecodeOptions&)> setOptions_;
  std::function<void(std::uint64_t)> setCacheMiB_;
};
