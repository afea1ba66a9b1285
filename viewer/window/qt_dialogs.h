#pragma once

#include "dialogs.h"

class QtDialogs final : public Dialogs {
 public:
  std::optional<QString> ShowOpen(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& initialName) override;
  std::optional<QString> ShowSave(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& initialPath) override;
  void MsgBox(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
  void ShowFacts(QWidget* parent, const QString& title,
                 const QList<QPair<QString, QString>>& lines) override;
  void Beep() override;
  std::optional<Preferences> ShowPreferences(QWidget* parent, const Preferences& current) override;
};
