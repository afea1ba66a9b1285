#pragma once

#include "dialogs.h"

class QtDialogs final : public Dialogs {
 public:
  std::optional<QString> ShowOpen(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& initialName) override;
  void MsgBox(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
  void Beep() override;
};
