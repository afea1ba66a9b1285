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

  std::deque<QString> answers;  // what ShowOpen and ShowSave return, in turn; empty cancels
  QStringList openTitles, openFilters, initialNames;
  QStringList saveTitles, saveFilters, initialPaths;
  std::vector<Box> boxes;
  QList<QList<QPair<QString, QString>>> facts;
  int beeps = 0;
  std::function<void()> onBox;  // runs while a box is "shown"

  std::optional<QString> ShowOpen(QWidget*, const QString& title, const QString& filter,
                                  const QString& initialName) override {
    openTitles << title;
    openFilters << filter;
    initialNames << initialName;
    return NextAnswer();
  }
  std::optional<QString> ShowSave(QWidget*, const QString& title, const QString& filter,
                                  const QString& initialPath) override {
    saveTitles << title;
    saveFilters << filter;
    initialPaths << initialPath;
    return NextAnswer();
  }
  void ShowFacts(QWidget*, const QString& title,
                 const QList<QPair<QString, QString>>& lines) override {
    facts << lines;
    factTitles << title;
  }
  QStringList factTitles;
  void MsgBox(QWidget*, const QString& title, const QString& text, Icon icon) override {
    boxes.push_back({title, text, icon});
    if (onBox) onBox();
  }
  void Beep() override { ++beeps; }
  // What ShowPreferences answers (nothing: cancelled), and what it was shown.
  std::optional<Preferences> preferences;
  std::vector<Preferences> preferencesShown;
  std::optional<Preferences> ShowPreferences(QWidget*, const Preferences& current) override {
    preferencesShown.push_back(current);
    return preferences;
  }

 private:
  std::optional<QString> NextAnswer() {
    const QString answer = answers.empty() ? QString() : answers.front();
    if (!answers.empty()) answers.pop_front();
    if (answer.isEmpty()) return std::nullopt;
    return answer;
  }
};
