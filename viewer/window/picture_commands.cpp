#include "picture_commands.h"

#include <QAction>
#include <QFile>
#include <QWidget>

#include "dialogs.h"
#include "file_names.h"
#include "menus.h"
#include "picture_out.h"
#include "player.h"
#include "properties.h"
#include "remembered.h"
#include "stage.h"

PictureCommands::PictureCommands(QWidget& window, Menus& menus, Stage& stage, Dialogs& dialogs,
                                 std::function<void(const lumenor::DecodeOptions&)> setOptions,
                                 std::function<void(std::uint64_t)> setCacheMiB)
    : QObject(&window),
      window_(window),
      stage_(stage),
      dialogs_(dialogs),
      setOptions_(std::move(setOptions)),
      setCacheMiB_(std::move(setCacheMiB)) {
  out_ = new PictureOut(this);
  connect(out_, &PictureOut::done, this, &PictureCommands::changed);
  connect(out_, &PictureOut::failed, this, [this](const QString& text) {
    dialogs_.MsgBox(&window_, QStringLiteral("Error"), text, Dialogs::Icon::Critical);
  });
  connect(menus.mnuCopy, &QAction::triggered, this, &PictureCommands::Copy);
  connect(menus.mnuExport, &QAction::triggered, this, &PictureCommands::Export);
  connect(menus.mnuProperties, &QAction::triggered, this, &PictureCommands::Properties);
  connect(menus.mnuPreferences, &QAction::triggered, this, &PictureCommands::ChoosePreferences);
}

bool PictureCommands::Busy() const { return out_->Busy(); }

void PictureCommands::Copy() {
  const auto& shown = stage_.Shown();
  if (!shown || !stage_.Owner().Still() || out_->Busy()) return;
  out_->Copy(shown->path, stage_.DecodeOptions());
  emit changed();
}

void PictureCommands::Export() {
  if (!stage_.Shown() || !stage_.Owner().Still() || out_->Busy()) return;
  const QByteArray suggested = PictureOut::SuggestedPng(stage_.Shown()->path);
  const auto chosen = dialogs_.ShowSave(&window_, QStringLiteral("Export as PNG"),
                                        QStringLiteral("PNG Images (*.png)"),
                                        QFile::decodeName(suggested));
  const auto& shown = stage_.Shown();
  if (!chosen || !shown || out_->Busy()) return;
  out_->Export(shown->path, stage_.DecodeOptions(), ChosenPath(*chosen, suggested));
  emit changed();
}

void PictureCommands::Properties() {
  if (const auto& shown = stage_.Shown())
    dialogs_.ShowFacts(&window_, QStringLiteral("Properties"), PropertiesOf(*shown));
}

void PictureCommands::ChoosePreferences() {
  const Preferences current{stage_.DecodeOptions().sixteenBit,
                            stage_.FramePlayer().CacheBytes() >> 20};
  const auto chosen = dialogs_.ShowPreferences(&window_, current);
  if (!chosen || *chosen == current) return;
  if (chosen->sixteenBit != current.sixteenBit) {
    remembered::Remember(remembered::kSixteenBit, chosen->sixteenBit);
    setOptions_({.sixteenBit = chosen->sixteenBit});
  }
  if (chosen->cacheMiB != current.cacheMiB) {
    remembered::Remember(remembered::kCacheMiB, static_cast<qulonglong>(chosen->cacheMiB));
    setCacheMiB_(chosen->cacheMiB);
  }
}
