#pragma once

#include <QStringList>
#include <deque>
#include <functional>

#include "dialogs.h"

// Answers the window's dialogs without a modal loop and records what was asked.
class FakeDialogs final : public Dialogs {
 public:
  struct Box {
    QString title, text;
    Icon icon;
  };

  std::deque<QString> answers;  // what ShowOpen returns, in turn; an empty name cancels
  QStringList openTitles, openFilters, initialNames;
  std::vector<Box> boxes;
  int beeps = 0;
  std::function<void()> onBox;  // runs while a box is "shown"

  std::optional<QString> ShowOpen(QWidget*, const QString& title, const QString& filter,
                                  const QString& initialName) override {
    openTitles << title;
    openFilters << filter;
    initialNames << initialName;
    const QString answer = answers.empty() ? QString() : answers.front();
    if (!answers.empty()) answers.pop_front();
    if (answer.isEmpty()) return std::nullopt;
    return answer;
  }
  void MsgBox(QWidget*, const QString& title, const QString& text, Icon icon) override {
    boxes.push_back({title, text, icon});
    if (onBox) onBox();
  }
  void Beep() override { ++beeps; }
};
