#include "looks.h"

#include <QAction>
#include <utility>

#include "menus.h"

using lumenor::Channel;
using lumenor::Look;
using lumenor::Orientation;

Looks::Looks(Menus& menus, QObject* parent) : QObject(parent), menus_(menus) {
  const std::pair<QAction*, Channel> channels[] = {
      {menus.mnuColour, Channel::kColour}, {menus.mnuRed, Channel::kRed},
      {menus.mnuGreen, Channel::kGreen},   {menus.mnuBlue, Channel::kBlue},
      {menus.mnuAlpha, Channel::kAlpha},   {menus.mnuLuminance, Channel::kLuminance}};
  for (const auto& [item, channel] : channels)
    connect(item, &QAction::triggered, this, [this, channel = channel] {
      Look look = look_;
      look.channel = channel;
      Set(look);
    });
  connect(menus.mnuCheckerboard, &QAction::triggered, this, [this](bool on) {
    Look look = look_;
    look.checkerboard = on;
    Set(look);
    emit checkerboardChosen(on);
  });
  const std::pair<QAction*, Orientation (Orientation::*)() const> turns[] = {
      {menus.mnuRotateRight, &Orientation::RotatedRight},
      {menus.mnuRotateLeft, &Orientation::RotatedLeft},
      {menus.mnuMirrorHorizontally, &Orientation::MirroredHorizontally},
      {menus.mnuMirrorVertically, &Orientation::MirroredVertically}};
  for (const auto& [item, turn] : turns)
    connect(item, &QAction::triggered, this, [this, turn = turn] {
      Look look = look_;
      look.orientation = (look.orientation.*turn)();
      Set(look);
    });
  connect(menus.mnuResetOrientation, &QAction::triggered, this, [this] {
    Look look = look_;
    look.orientation = {};
    Set(look);
  });
}

void Looks::SetCheckerboard(bool on) {
  menus_.mnuCheckerboard->setChecked(on);
  Look look = look_;
  look.checkerboard = on;
  Set(look);
}

void Looks::Set(const Look& look) {
  if (look == look_) return;
  look_ = look;
  emit changed(look_);
}

QString Looks::ChannelName(Channel channel) {
  switch (channel) {
    case Channel::kRed:
      return QStringLiteral("Red");
    case Channel::kGreen:
      return QStringLiteral("Green");
    case Channel::kBlue:
      return QStringLiteral("Blue");
    case Channel::kAlpha:
      return QStringLiteral("Alpha");
    case Channel::kLuminance:
      return QStringLiteral("Luminance");
    case Channel::kColour:
      break;
  }
  return {};
}
