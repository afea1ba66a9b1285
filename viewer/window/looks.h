#pragma once

#include <QObject>
#include <QString>

#include "view_look.h"

class Menus;

// View > Channels, Checkerboard and the turns of the view: how every picture is shown, frames and
// pictures compared included. The checkerboard is remembered once chosen; the channel and the
// orientation last as long as the window.
class Looks : public QObject {
  Q_OBJECT

 public:
  Looks(Menus& menus, QObject* parent);

  const lumenor::Look& Current() const { return look_; }
  // As the settings keep it.
  void SetCheckerboard(bool on);
  // The channel's name in the status bar ("Red"); empty for the colour.
  static QString ChannelName(lumenor::Channel channel);

 signals:
  void changed(const lumenor::Look& look);
  // The user chose it in the menu: to be remembered.
  void checkerboardChosen(bool on);

 private:
  void Set(const lumenor::Look& look);

  Menus& menus_;
  lumenor::Look look_;
};
