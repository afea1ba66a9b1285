#include "menus.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <initializer_list>

namespace {

// Go > Frame Rate: the film, video and television rates, the NTSC ones as exact fractions.
constexpr FrameRate kFrameRates[] = {{12, 1}, {24000, 1001}, {24, 1},       {25, 1}, {30000, 1001},
                                     {30, 1}, {48, 1},       {60000, 1001}, {60, 1}};

}  // namespace

QString Menus::RateText(FrameRate rate) {
  QString text = QString::number(rate.Value(), 'f', 3);
  while (text.endsWith(QLatin1Char('0'))) text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text;
}

namespace {

QMenu* AddMenu(QMainWindow& window, const char* caption, const char* name) {
  QMenu* created = window.menuBar()->addMenu(QString::fromLatin1(caption));
  created->setObjectName(QString::fromLatin1(name));
  return created;
}

QAction* AddItem(QMenu* in, const char* caption, const char* name, const QKeySequence& key) {
  QAction* created = in->addAction(QString::fromLatin1(caption));
  created->setObjectName(QString::fromLatin1(name));
  created->setShortcut(key);
  return created;
}

QAction* AddCheckable(QMenu* in, const char* caption, const char* name, const QKeySequence& key) {
  QAction* created = AddItem(in, caption, name, key);
  created->setCheckable(true);
  return created;
}

}  // namespace

Menus::Menus(QMainWindow& window) : QObject(&window) {
  mnuFile = AddMenu(window, "&File", "mnuFile");
  mnuOpen = AddItem(mnuFile, "&Open", "mnuOpen", QKeySequence::Open);
  mnuCompareWith = AddItem(mnuFile, "Co&mpare With...", "mnuCompareWith",
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  mnuStopComparing = AddItem(mnuFile, "&Stop Comparing", "mnuStopComparing",
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
  mnuExport = AddItem(mnuFile, "E&xport as PNG...", "mnuExport",
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  mnuProperties =
      AddItem(mnuFile, "P&roperties", "mnuProperties", QKeySequence(Qt::ALT | Qt::Key_Return));
  mnuSep1 = mnuFile->addSeparator();
  mnuSep1->setObjectName(QStringLiteral("mnuSep1"));
  mnuExit = AddItem(mnuFile, "&Exit", "mnuExit", QKeySequence(Qt::CTRL | Qt::Key_Q));

  mnuEdit = AddMenu(window, "&Edit", "mnuEdit");
  mnuCopy = AddItem(mnuEdit, "&Copy", "mnuCopy", QKeySequence::Copy);
  mnuPreferences = AddItem(mnuEdit, "Pr&eferences...", "mnuPreferences", {});

  mnuView = AddMenu(window, "&View", "mnuView");
  mnuZoomIn = AddItem(mnuView, "Zoom &In", "mnuZoomIn", {});
  // Ctrl+= too: the key beside Ctrl+- on most keyboards, unshifted.
  QList<QKeySequence> zoomIn = QKeySequence::keyBindings(QKeySequence::ZoomIn);
  if (!zoomIn.contains(QKeySequence(Qt::CTRL | Qt::Key_Equal)))
    zoomIn << QKeySequence(Qt::CTRL | Qt::Key_Equal);
  mnuZoomIn->setShortcuts(zoomIn);
  mnuZoomOut = AddItem(mnuView, "Zoom &Out", "mnuZoomOut", {});
  mnuZoomOut->setShortcuts(QKeySequence::ZoomOut);
  mnuActualSize =
      AddItem(mnuView, "&Actual Size", "mnuActualSize", QKeySequence(Qt::CTRL | Qt::Key_0));
  mnuFit = AddCheckable(mnuView, "&Fit to Window", "mnuFit", QKeySequence(Qt::Key_F));
  mnuView->addSeparator();
  mnuStatusBar = AddCheckable(mnuView, "&Status Bar", "mnuStatusBar", {});
  mnuFullScreen = AddCheckable(mnuView, "F&ull Screen", "mnuFullScreen", QKeySequence(Qt::Key_F11));
  mnuTimeline = AddCheckable(mnuView, "&Timeline", "mnuTimeline", QKeySequence(Qt::Key_T));
  mnuHeadsUp = AddCheckable(mnuView, "&Heads-Up Display", "mnuHeadsUp", QKeySequence(Qt::Key_H));
  mnuHeadsUp->setChecked(true);
  mnuView->addSeparator();
  mnuReload = AddItem(mnuView, "&Reload", "mnuReload", QKeySequence(Qt::Key_F5));
  mnuView->addSeparator();
  AddCompareMenu();
  AddLookItems();

  mnuGo = AddMenu(window, "&Go", "mnuGo");
  mnuNext = AddItem(mnuGo, "&Next Picture", "mnuNext", QKeySequence(Qt::Key_Space));
  mnuPrevious = AddItem(mnuGo, "&Previous Picture", "mnuPrevious", QKeySequence(Qt::Key_Backspace));
  mnuFirst = AddItem(mnuGo, "&First Picture", "mnuFirst", QKeySequence(Qt::CTRL | Qt::Key_Home));
  mnuLast = AddItem(mnuGo, "&Last Picture", "mnuLast", QKeySequence(Qt::CTRL | Qt::Key_End));
  mnuGo->addSeparator();
  // P is Previous Picture's access key already.
  mnuPlay = AddCheckable(mnuGo, "Pl&ay", "mnuPlay", QKeySequence(Qt::Key_P));
  mnuPlayBackwards = AddCheckable(mnuGo, "Play &Backwards", "mnuPlayBackwards",
                                  QKeySequence(Qt::SHIFT | Qt::Key_P));
  mnuSetIn = AddItem(mnuGo, "Set &In Point", "mnuSetIn", QKeySequence(Qt::Key_I));
  mnuSetOut = AddItem(mnuGo, "Set &Out Point", "mnuSetOut", QKeySequence(Qt::Key_O));
  mnuLoopMode = mnuGo->addMenu(QStringLiteral("Loop &Mode"));
  mnuLoopMode->setObjectName(QStringLiteral("mnuLoopMode"));
  auto* loopModes = new QActionGroup(this);
  mnuLoop = AddCheckable(mnuLoopMode, "&Loop", "mnuLoop", {});
  mnuPingPong = AddCheckable(mnuLoopMode, "&Ping-Pong", "mnuPingPong", {});
  mnuPlayOnce = AddCheckable(mnuLoopMode, "Play &Once", "mnuPlayOnce", {});
  for (QAction* mode : {mnuLoop, mnuPingPong, mnuPlayOnce}) loopModes->addAction(mode);
  mnuLoop->setChecked(true);
  mnuFrameRate = mnuGo->addMenu(QStringLiteral("Frame &Rate"));
  mnuFrameRate->setObjectName(QStringLiteral("mnuFrameRate"));
  frameRates_ = new QActionGroup(this);
  for (const FrameRate rate : kFrameRates) FrameRateItem(rate);

  mnuHelp = AddMenu(window, "&Help", "mnuHelp");
  mnuAbout = AddItem(mnuHelp, "&About...", "mnuAbout", {});

  const auto key = [&window](const char* name, const QKeySequence& sequence) {
    auto* action = new QAction(&window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(sequence);
    window.addAction(action);
    return action;
  };
  keyBackwards = key("keyBackwards", QKeySequence(Qt::Key_J));
  keyPause = key("keyPause", QKeySequence(Qt::Key_K));
  keyForwards = key("keyForwards", QKeySequence(Qt::Key_L));
  keyResetIn = key("keyResetIn", QKeySequence(Qt::SHIFT | Qt::Key_I));
  keyResetOut = key("keyResetOut", QKeySequence(Qt::SHIFT | Qt::Key_O));
  keyFlip = key("keyFlip", QKeySequence(Qt::Key_Tab));
}

namespace {

struct Choice {
  QAction** item;
  const char* caption;
  const char* name;
  QKeySequence key;
};

// A submenu of checkable items of which one, checked, is checked at start.
QMenu* AddChoices(QMenu* in, const char* caption, const char* name,
                  std::initializer_list<Choice> items, QAction** checked, QObject* owner) {
  QMenu* menu = in->addMenu(QString::fromLatin1(caption));
  menu->setObjectName(QString::fromLatin1(name));
  auto* group = new QActionGroup(owner);
  for (const Choice& choice : items) {
    *choice.item = AddCheckable(menu, choice.caption, choice.name, choice.key);
    group->addAction(*choice.item);
  }
  (*checked)->setChecked(true);
  return menu;
}

}  // namespace

// View > Compare: how A and B are shown while comparing.
void Menus::AddCompareMenu() {
  const auto alt = [](int digit) { return QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_0 + digit)); };
  mnuCompare = AddChoices(mnuView, "&Compare", "mnuCompare",
                          {{&mnuCompareA, "&A", "mnuCompareA", alt(1)},
                           {&mnuCompareB, "&B", "mnuCompareB", alt(2)},
                           {&mnuWipe, "&Wipe", "mnuWipe", alt(3)},
                           {&mnuDifference, "&Difference", "mnuDifference", alt(4)},
                           {&mnuSideBySide, "&Side by Side", "mnuSideBySide", alt(5)}},
                          &mnuWipe, this);
  mnuCompare->addSeparator();
  mnuDifferenceGain = AddChoices(mnuCompare, "Difference &Gain", "mnuDifferenceGain",
                                 {{&mnuGain1, "&1", "mnuGain1", {}},
                                  {&mnuGain4, "&4", "mnuGain4", {}},
                                  {&mnuGain16, "1&6", "mnuGain16", {}}},
                                 &mnuGain1, this);
}

// View > Channels, Checkerboard and the turns of the view.
void Menus::AddLookItems() {
  mnuChannels = AddChoices(mnuView, "Cha&nnels", "mnuChannels",
                           {{&mnuColour, "&Colour", "mnuColour", QKeySequence(Qt::Key_C)},
                            {&mnuRed, "&Red", "mnuRed", QKeySequence(Qt::Key_R)},
                            {&mnuGreen, "&Green", "mnuGreen", QKeySequence(Qt::Key_G)},
                            {&mnuBlue, "&Blue", "mnuBlue", QKeySequence(Qt::Key_B)},
                            {&mnuAlpha, "&Alpha", "mnuAlpha", QKeySequence(Qt::Key_A)},
                            {&mnuLuminance, "&Luminance", "mnuLuminance", QKeySequence(Qt::Key_Y)}},
                           &mnuColour, this);
  mnuCheckerboard = AddCheckable(mnuView, "Chec&kerboard", "mnuCheckerboard",
                                 QKeySequence(Qt::SHIFT | Qt::Key_C));
  mnuView->addSeparator();
  mnuRotateRight =
      AddItem(mnuView, "Rotate Ri&ght", "mnuRotateRight", QKeySequence(Qt::CTRL | Qt::Key_R));
  mnuRotateLeft = AddItem(mnuView, "Rotate &Left", "mnuRotateLeft",
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  mnuMirrorHorizontally = AddItem(mnuView, "&Mirror Horizontally", "mnuMirrorHorizontally",
                                  QKeySequence(Qt::CTRL | Qt::Key_M));
  mnuMirrorVertically = AddItem(mnuView, "Mirror &Vertically", "mnuMirrorVertically",
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
  mnuResetOrientation = AddItem(mnuView, "R&eset Orientation", "mnuResetOrientation",
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_0));
}

QAction* Menus::FrameRateItem(FrameRate rate) {
  QAction* chosen = nullptr;
  for (QAction* item : frameRates_->actions()) {
    const QList<QVariant> fraction = item->data().toList();
    if (FrameRate{fraction.value(0).toLongLong(), fraction.value(1).toLongLong()} == rate)
      chosen = item;
  }
  if (!chosen) {
    chosen = mnuFrameRate->addAction(RateText(rate) + QStringLiteral(" fps"));
    chosen->setData(QList<QVariant>{QVariant::fromValue(rate.num), QVariant::fromValue(rate.den)});
    chosen->setCheckable(true);
    frameRates_->addAction(chosen);
    connect(chosen, &QAction::triggered, this, [this, rate] { emit frameRateChosen(rate); });
  }
  chosen->setChecked(true);
  return chosen;
}

void Menus::Reflect(const State& state) {
  mnuOpen->setEnabled(state.canOpen);
  mnuPlay->setChecked(state.playing && state.direction > 0);
  mnuPlayBackwards->setChecked(state.playing && state.direction < 0);
  for (QAction* item : {mnuSetIn, mnuSetOut, keyResetIn, keyResetOut})
    item->setEnabled(state.anyPicture);
  mnuNext->setEnabled(state.anyPicture && state.position >= 0 && state.position + 1 < state.count);
  mnuPrevious->setEnabled(state.anyPicture && state.position > 0);
  mnuFirst->setEnabled(state.anyPicture);
  mnuLast->setEnabled(state.anyPicture);
  mnuReload->setEnabled(state.anyPicture);
  mnuCopy->setEnabled(state.still && !state.encoding);
  mnuExport->setEnabled(state.still && !state.encoding);
  mnuProperties->setEnabled(state.still);
  mnuCompareWith->setEnabled(state.canOpen && state.anyPicture);
  mnuStopComparing->setEnabled(state.comparing);
  mnuCompare->menuAction()->setEnabled(state.comparing);
  for (QAction* item : mnuCompare->actions()) item->setEnabled(state.comparing);
  for (QAction* item : mnuDifferenceGain->actions()) item->setEnabled(state.comparing);
  keyFlip->setEnabled(state.comparing);
}
