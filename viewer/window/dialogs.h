#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>
#include <optional>

class QWidget;

// Edit > Preferences: what the window does that the user may choose.
struct Preferences {
  bool sixteenBit = false;     // show pictures of 16 bits a channel
  std::uint64_t cacheMiB = 0;  // the frame cache's budget
  bool operator==(const Preferences&) const = default;
};

// The platform's modal pieces: the file dialogs, message boxes, the facts dialog and the beep. The
// window takes them through this interface so that tests can answer them without a real modal loop.
class Dialogs {
 public:
  enum class Icon { Critical, Information };

  virtual ~Dialogs() = default;

  // Shows the file-open dialog. filter is "label|patterns|label|patterns...", patterns separated
  // by ';'. Returns the chosen name, or nothing when the user cancels.
  virtual std::optional<QString> ShowOpen(QWidget* parent, const QString& title,
                                          const QString& filter, const QString& initialName) = 0;
  // Shows the file-save dialog at initialPath (folder and name), asking before it replaces a
  // file. Returns the chosen name, or nothing when the user cancels.
  virtual std::optional<QString> ShowSave(QWidget* parent, const QString& title,
                                          const QString& filter, const QString& initialPath) = 0;
  // A modal box with an OK button; lines in text are broken by CR LF.
  virtual void MsgBox(QWidget* parent, const QString& title, const QString& text, Icon icon) = 0;
  // The dialog titled "Preferences"; what was chosen, or nothing when cancelled.
  virtual std::optional<Preferences> ShowPreferences(QWidget* parent,
                                                     const Preferences& current) = 0;
  // A modal dialog of labelled values, one a line, that can be selected and copied.
  virtual void ShowFacts(QWidget* parent, const QString& title,
                         const QList<QPair<QString, QString>>& lines) = 0;
  virtual void Beep() = 0;
};
